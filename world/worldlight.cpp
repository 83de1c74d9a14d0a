#include "world/worldlight.h"

#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/modelobject.h"
#include "objects/player.h"
#include "platform/frameprofile.h"
#include "platform/random.h"
#include "platform/soundmanager.h"
#include "platform/timer.h"
#include "platform/win32timer.h"
#include "world/shadowvolume.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace {
// Rotating the light into an object's frame: degrees to radians.
constexpr float DEG_TO_RAD = 3.14159265358979f / 180.0f;
constexpr float SUN_RANGE = 4000.0f;
constexpr float SPOT_RANGE = 300.0f;
constexpr float FIRE_RANGE = 200.0f;

void setLight4(GLenum light, GLenum what, float a, float b, float c, float d) {
    const GLfloat v[4] = {a, b, c, d};
    glLightfv(light, what, v);
}

// The light's stopwatch: the time into the present day or night. A new light's first day
// reads `head` milliseconds old, so a game opens in morning light rather than in the black of
// the day's first seconds (the sun's colour starts at 0); every reset, the light's own at dusk
// and dawn included, counts from 0 as before.
class DayClock : public Win32Timer {
public:
    explicit DayClock(double head) : m_head(head) {}
    void Reset() override {
        m_head = 0.0;
        Win32Timer::Reset();
    }
    double Elapsed() override { return Win32Timer::Elapsed() + m_head; }

private:
    double m_head;
};

// The day and night noises play at a given place, the hero's here so that they are
// always heard (the origin without a hero).
void playAmbientCue(int cue) {
    PlayCue(cue, g_hero ? g_hero->getPosition() : Vector(0.0f, 0.0f, 0.0f));
}
} // namespace

WorldLight::WorldLight() : m_objects(g_objectTable), m_hero(g_hero) {
    setLight4(GL_LIGHT5, GL_POSITION, 20.0f, 20.0f, 20.0f, 1.0f);
    setLight4(GL_LIGHT5, GL_AMBIENT, 20.0f, 20.0f, 20.0f, 1.0f);
    setLight4(GL_LIGHT5, GL_DIFFUSE, 20.0f, 20.0f, 20.0f, 1.0f);
    setLight4(GL_LIGHT5, GL_SPECULAR, 20.0f, 20.0f, 20.0f, 1.0f);
    glDisable(GL_LIGHT5);
    setLight4(GL_LIGHT0, GL_POSITION, 4.0f, 4.0f, 5.0f, 1.0f);
    setLight4(GL_LIGHT0, GL_AMBIENT, 4.0f, 4.0f, 5.0f, 1.0f);
    setLight4(GL_LIGHT0, GL_DIFFUSE, 0.0f, 0.0f, 0.0f, 1.0f);
    setLight4(GL_LIGHT0, GL_SPECULAR, 0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_LIGHT0);
    m_timer.reset(new (std::nothrow) DayClock(FIRST_MORNING_MS));
    m_isDay = true;
}

WorldLight::~WorldLight() = default;

void WorldLight::refreshHero() {
    m_hero = g_hero;
}

void WorldLight::update() {
    refreshHero();
    if (m_isDay)
        updateDay();
    else
        updateNight();
}

void WorldLight::updateDay() {
    refreshHero();
    double t = m_timer ? m_timer->Elapsed() : 0.0;
    if (t > m_dayLength) {
        m_isDay = false;
        m_color[0] = m_color[1] = m_color[2] = 3.0f;
        if (m_timer)
            m_timer->Reset();
        glDisable(GL_LIGHT1);
        setMoon(0.0f);
        return;
    }
    if (gameRand() % 500 == 0)
        playAmbientCue(CUE_BIRDS);
    double f = t / m_dayLength;
    m_sunPosition.x = float(f * 5000.0 - 1500.0);
    // Noon itself counts to the rising half, so the peak is 7.5.
    float c = t <= m_dayLength / 2.0 ? float(15.0 * f) : float(15.1 - 15.0 * f);
    m_color[0] = m_color[1] = m_color[2] = c;

    glPushMatrix();
    setLight4(GL_LIGHT1, GL_POSITION, m_sunPosition.x, m_sunPosition.y, m_sunPosition.z, 1.0f);
    setLight4(GL_LIGHT1, GL_AMBIENT, c * 3.0f, c * 3.0f, c * 3.0f, 1.0f);
    setLight4(GL_LIGHT1, GL_DIFFUSE, c, c, c, 1.0f);
    setLight4(GL_LIGHT1, GL_SPECULAR, c, c, c, 1.0f);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHTING);
    glPopMatrix();
    setMoon(c * 3.0f);

    placeShadowLight(m_sunPosition.x, m_sunPosition.y, m_sunPosition.z, SUN_RANGE, 0);
    setShadowEnabled(false, 1, true);
}

Vector WorldLight::spotlightPosition() const {
    Vector p = m_hero->getPosition();
    Vector d = m_hero->getDirection();
    return Vector(p.x + d.x * 5.0f, p.y + 15.0f, p.z + d.z * 5.0f);
}

void WorldLight::updateNight() {
    refreshHero();
    double t = m_timer ? m_timer->Elapsed() : 0.0;
    if (t > m_nightLength) {
        m_isDay = true;
        if (m_timer)
            m_timer->Reset();
        m_sunPosition = Vector(-1000.0f, 1000.0f, 300.0f);
        playAmbientCue(CUE_ROOSTER);
        glDisable(GL_LIGHT2);
        glDisable(GL_LIGHT3);
        return;
    }
    if (gameRand() % 500 == 0)
        playAmbientCue(CUE_CRICKETS);
    setMoon(0.0f);

    Vector spot;
    if (m_hero) {
        spot = spotlightPosition();
        Vector d = m_hero->getDirection();
        setLight4(GL_LIGHT2, GL_POSITION, spot.x, spot.y, spot.z, 1.0f);
        const GLfloat direction[3] = {d.x, d.y - 0.3f, d.z};
        glLightfv(GL_LIGHT2, GL_SPOT_DIRECTION, direction);
        float s[3] = {m_color[0] * 10.0f, m_color[1] * 10.0f, m_color[2] * 10.0f};
        setLight4(GL_LIGHT2, GL_AMBIENT, s[0], s[1], s[2], 1.0f);
        setLight4(GL_LIGHT2, GL_DIFFUSE, s[0], s[1], s[2], 1.0f);
        setLight4(GL_LIGHT2, GL_SPECULAR, s[0], s[1], s[2], 1.0f);
        glLightf(GL_LIGHT2, GL_SPOT_CUTOFF, 30.0f);
        glLightf(GL_LIGHT2, GL_SPOT_EXPONENT, 1.0f);
        glLightf(GL_LIGHT2, GL_CONSTANT_ATTENUATION, 0.1f);
        glLightf(GL_LIGHT2, GL_LINEAR_ATTENUATION, 0.0f);
        glLightf(GL_LIGHT2, GL_QUADRATIC_ATTENUATION, 0.002f);
        glEnable(GL_LIGHT2);
    }

    setLight4(GL_LIGHT3, GL_POSITION, m_firePosition[0], m_firePosition[1], m_firePosition[2],
              1.0f);
    setLight4(GL_LIGHT3, GL_DIFFUSE, m_fireColor[0] * 10.0f, m_fireColor[1] * 10.0f,
              m_fireColor[2] * 10.0f, 1.0f);
    setLight4(GL_LIGHT3, GL_AMBIENT, 2.0f, 1.7f, 1.5f, 1.0f);
    setLight4(GL_LIGHT3, GL_SPECULAR, 0.0f, 0.0f, 0.0f, 1.0f);
    glLightf(GL_LIGHT3, GL_QUADRATIC_ATTENUATION, 0.0003f);
    glEnable(GL_LIGHT3);
    glEnable(GL_LIGHTING);

    if (m_hero)
        placeShadowLight(spot.x, spot.y, spot.z, SPOT_RANGE, 0);
    placeShadowLight(m_firePosition[0], m_firePosition[1], m_firePosition[2], FIRE_RANGE, 1);
    // The hero casts no shadow from its own spotlight.
    setShadowEnabled(false, 0, false);
}

void WorldLight::setMoon(float sunAmbient) {
    float ambient[3];
    for (int i = 0; i < 3; ++i)
        ambient[i] = std::max(0.0f, MOON[i] - sunAmbient);
    if (ambient[0] <= 0.0f && ambient[1] <= 0.0f && ambient[2] <= 0.0f) {
        glDisable(GL_LIGHT4);
        return;
    }
    // From straight above and far off: no attenuation and no direct part, the same
    // everywhere on the land.
    glPushMatrix();
    glLoadIdentity();
    setLight4(GL_LIGHT4, GL_POSITION, 0.0f, 1.0f, 0.0f, 0.0f);
    glPopMatrix();
    setLight4(GL_LIGHT4, GL_AMBIENT, ambient[0], ambient[1], ambient[2], 1.0f);
    setLight4(GL_LIGHT4, GL_DIFFUSE, 0.0f, 0.0f, 0.0f, 1.0f);
    setLight4(GL_LIGHT4, GL_SPECULAR, 0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_LIGHT4);
}

void WorldLight::setOverlayLight(bool on) {
    if (on)
        glEnable(GL_LIGHT5);
    else
        glDisable(GL_LIGHT5);
}

void WorldLight::giveLight(ModelObject* object, float lx, float ly, float lz, float range,
                           int32_t index) {
    Vector p = object->getPosition();
    float dx = lx - p.x;
    float dy = ly - p.y;
    float dz = lz - p.z;
    float a = -object->m_heading * DEG_TO_RAD;
    float c = std::cos(a);
    float s = std::sin(a);
    // Rotation by a about +y, as glRotatef turns it.
    float x = c * dx + s * dz;
    float z = -s * dx + c * dz;
    bool inRange = std::sqrt(x * x + dy * dy + z * z) <= range;
    object->setShadowLight(x, dy, z, range, inRange, index);
}

void WorldLight::placeShadowLight(float lx, float ly, float lz, float range, int32_t index) {
    refreshHero();
    if (m_hero)
        giveLight(m_hero, lx, ly, lz, range, index);
    if (!m_objects)
        return;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        auto* object = dynamic_cast<ModelObject*>(m_objects[i]);
        if (object && object->m_active)
            giveLight(object, lx, ly, lz, range, index);
    }
}

void WorldLight::placeShadowLight(ModelObject* caster, float lx, float ly, float lz, float range,
                                  int32_t index) {
    if (caster)
        giveLight(caster, lx, ly, lz, range, index);
}

void WorldLight::setShadowEnabled(bool on, int32_t index, bool all) {
    if (index != 0 && index != 1)
        return;
    refreshHero();
    if (m_hero)
        m_hero->model().shadowVolume(index).setEnabled(on);
    if (!all || !m_objects)
        return;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        auto* object = dynamic_cast<ModelObject*>(m_objects[i]);
        if (object && object->m_active)
            object->model().shadowVolume(index).setEnabled(on);
    }
}

void WorldLight::setFire(float r, float g, float b, float x, float y, float z) {
    if (m_fixed)
        return;
    m_fireColor[0] = r;
    m_fireColor[1] = g;
    m_fireColor[2] = b;
    m_firePosition[0] = x;
    m_firePosition[1] = y;
    m_firePosition[2] = z;
}

void WorldLight::beginStencil() {
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_LESS);
    glEnable(GL_STENCIL_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFFu);
}

void WorldLight::endStencil() {
    glDisable(GL_BLEND);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_LIGHTING);
    glDisable(GL_STENCIL_TEST);
    glShadeModel(GL_SMOOTH);
}

template <typename DrawAll> void WorldLight::stencilPass(DrawAll drawAll) {
    beginStencil();
    // The counting relies on back-face culling; the scene normally leaves it on, but a
    // pass without it would count every face twice and show no shadow at all.
    GLboolean culling = glIsEnabled(GL_CULL_FACE);
    GLint cullMode = GL_BACK;
    glGetIntegerv(GL_CULL_FACE_MODE, &cullMode);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    // Every volume counts up first, then down, each in its own way (from the eye, or
    // behind the scene when the eye may be inside it); what stays non-zero is inside a
    // volume. With all the ups before the downs no count goes below zero on the way.
    ResetShadowArea();
    SetShadowCount(ShadowCount::Up);
    drawAll();
    SetShadowCount(ShadowCount::Down);
    drawAll();
    SetShadowCount(ShadowCount::Idle);
    glFrontFace(GL_CCW);

    glCullFace(GLenum(cullMode));
    if (!culling)
        glDisable(GL_CULL_FACE);

    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glColor4f(0.0f, 0.0f, 0.0f, 0.4f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFFFFFFFFu);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    frameprofile::PassScope darkening(frameprofile::PASS_SHADOW_DARKENING);
    // The darkening quad: drawn in clip space with no depth test, so neither the near
    // plane nor the scene's depth can clip it away; only over the screen area the
    // volumes reached, since the stencil is marked nowhere else.
    const ShadowArea& area = CurrentShadowArea();
    glPushAttrib(GL_ENABLE_BIT | GL_SCISSOR_BIT);
    if (area.m_any && !area.m_whole) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(area.m_x0, area.m_y0, area.m_x1 - area.m_x0, area.m_y1 - area.m_y0);
    }
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    if (area.m_any) {
        glBegin(GL_TRIANGLE_STRIP);
        glVertex3f(-1.0f, 1.0f, 0.0f);
        glVertex3f(-1.0f, -1.0f, 0.0f);
        glVertex3f(1.0f, 1.0f, 0.0f);
        glVertex3f(1.0f, -1.0f, 0.0f);
        glEnd();
    }
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();

    endStencil();
}

void WorldLight::placeShadows() {
    refreshHero();
    if (m_hero)
        m_hero->updateShadowCasters();
    if (!m_objects)
        return;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
        auto* object = dynamic_cast<ModelObject*>(m_objects[i]);
        if (object && object->m_active)
            object->updateShadowCasters();
    }
}

void WorldLight::drawShadows() {
    refreshHero();
    stencilPass([this]() {
        if (m_hero)
            m_hero->drawShadowCasters();
        if (!m_objects)
            return;
        for (int i = 0; i < OBJECT_TABLE_SIZE; ++i) {
            auto* object = dynamic_cast<ModelObject*>(m_objects[i]);
            if (object && object->m_active)
                object->drawShadowCasters();
        }
    });
}

void WorldLight::drawShadows(ModelObject* caster) {
    drawShadows(&caster, 1);
}

void WorldLight::drawShadows(ModelObject* const* casters, int32_t count) {
    if (!casters || count <= 0)
        return;
    stencilPass([casters, count]() {
        for (int32_t i = 0; i < count; ++i) {
            if (casters[i])
                casters[i]->drawShadowCasters();
        }
    });
}

void WorldLight::setSceneShadow(float x, float y, float z, float range, ModelObject* first,
                                ModelObject* second, ModelObject* third) {
    m_sceneCasters[0] = first;
    m_sceneCasters[1] = second;
    m_sceneCasters[2] = third;
    for (ModelObject* caster : m_sceneCasters)
        placeShadowLight(caster, x, y, z, range, 0);
}

void WorldLight::placeSceneShadows() {
    for (ModelObject* caster : m_sceneCasters)
        if (caster)
            caster->updateShadowCasters();
}

void WorldLight::drawSceneShadows() {
    drawShadows(m_sceneCasters, 3);
}

void NewWorldLight() {
    delete g_light;
    g_light = new WorldLight();
}

void DeleteWorldLight() {
    delete g_light;
    g_light = nullptr;
}

void ForgetWorldLightHero() {
    if (g_light)
        g_light->m_hero = nullptr;
}

void SetSceneShadow(float x, float y, float z, float range, ModelObject* a, ModelObject* b,
                    ModelObject* c) {
    if (g_light)
        g_light->setSceneShadow(x, y, z, range, a, b, c);
}

void PlaceSceneShadows() {
    if (g_light)
        g_light->placeSceneShadows();
}

void DrawSceneShadows() {
    if (g_light)
        g_light->drawSceneShadows();
}

void UpdateWorldLight() {
    if (g_light)
        g_light->update();
}

void PlaceFireLight(float x, float y, float z) {
    if (g_light && !g_light->m_fixed)
        g_light->setFire(1.0f, 0.1f, 0.0f, x, y, z);
}

void PlaceWorldShadows() {
    if (g_light)
        g_light->placeShadows();
}

void DrawWorldShadows() {
    if (g_light)
        g_light->drawShadows();
}

void SetOverlayLight(bool on) {
    if (g_light)
        g_light->setOverlayLight(on);
}
