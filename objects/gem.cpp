#include "objects/gem.h"

#include "objects/player.h"
#include "platform/demo.h"
#include "platform/random.h"
#include "platform/soundmanager.h"

#include <GL/gl.h>

const char* Gem::modelFor(int32_t pick) {
    switch (pick) {
    case 1:
        return "Data/gem3.ms3d";
    case 2:
        return "Data/gem2.ms3d";
    default:
        return "Data/gem1.ms3d";
    }
}

Gem::Gem() {
    gameSrand(GameClockSeed());
    loadModel(modelFor(gameRand() % 3));
    for (float& channel : m_color)
        channel = float(gameRand() % 2);
    m_value = gameRand() % 10 + 5;
    setShadowPeriod(10000);
}

Gem::~Gem() = default;

void Gem::draw() {
    if (!m_active)
        return;
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    m_heading += 0.1f;
    glColor4f(m_color[0], m_color[1], m_color[2], 0.3f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    const float scale = drawScale();
    glScalef(scale, scale, scale);
    m_model->drawModel();
    glPopAttrib();
    glPopMatrix();
}

bool dropGem(const Vector& position) {
    // A full list refuses the drop rather than write past its end.
    if (g_gemCount < 0 || g_gemCount >= GEM_TABLE_SIZE)
        return false;
    Gem* gem = new Gem();
    gem->setPosition(position);
    g_gems[g_gemCount++] = gem;
    return true;
}

bool collectGems() {
    if (!g_hero || g_gemCount <= 0)
        return false;
    const Vector hero = g_hero->getPosition();
    const int32_t count = g_gemCount < GEM_TABLE_SIZE ? g_gemCount : GEM_TABLE_SIZE;
    for (int32_t i = 0; i < count; ++i) {
        Gem* gem = g_gems[i];
        if (!gem)
            continue;
        if ((gem->getPosition() - hero).length() >= GEM_PICKUP_DISTANCE)
            continue;
        g_hero->m_gems += gem->m_value;
        PlayCue(9, gem->getPosition()); // the grab
        delete gem;
        for (int32_t j = i; j + 1 < count; ++j)
            g_gems[j] = g_gems[j + 1];
        g_gems[count - 1] = nullptr;
        g_gemCount = count - 1;
        return true; // one gem a frame
    }
    return false;
}

void releaseGems() {
    for (Gem*& gem : g_gems) {
        delete gem;
        gem = nullptr;
    }
    g_gemCount = 0;
}
