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

void Gem::colourFor(int32_t draw, float rgb[3]) {
    // Each channel full or off, but never all three off: a black gem on dark grass is lost.
    const int32_t mix = (draw % 7 + 7) % 7 + 1;
    for (int c = 0; c < 3; ++c)
        rgb[c] = float((mix >> c) & 1);
}

Gem::Gem() {
    gameSrand(GameClockSeed());
    loadModel(modelFor(gameRand() % 3));
    colourFor(gameRand(), m_color);
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
    glColor4f(m_color[0], m_color[1], m_color[2], GEM_ALPHA);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    const float scale = drawScale();
    glScalef(scale, scale, scale);
    m_model->drawModel();
    glPopAttrib();
    glPopMatrix();
}

Vector gemRestingPlace(const Vector& body, const Vector& hero) {
    Vector away(body.x - hero.x, 0.0f, body.z - hero.z);
    const float gap = away.length();
    if (gap >= GEM_CLEAR_OF_HERO)
        return body;
    if (gap < 1e-3f)
        away.set(1.0f, 0.0f, 0.0f);
    else
        away.normalize();
    return Vector(hero.x + away.x * GEM_CLEAR_OF_HERO, body.y, hero.z + away.z * GEM_CLEAR_OF_HERO);
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
        PlayCue(CUE_GRAB_GEM, gem->getPosition());
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
