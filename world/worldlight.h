// WorldLight: the day and night cycle and the stencil shadow pass. By day the sun
// (GL_LIGHT1) crosses the sky and is the one shadow light; by night a spotlight ahead
// of the hero (GL_LIGHT2) and the fire light (GL_LIGHT3) cast the two shadows. Light 0
// is a constant glow, light 5 the bright overlay light for the HUD and the boxes, and the
// moon (GL_LIGHT4, ambient only) keeps the darkest night from hiding the land.
//
// Costs: update sets a few GL light parameters and hands each shadow light to the hero
// and every active object (one transform per object). drawShadows draws every volume
// twice into the stencil buffer and one screen quad; its cost is the volumes' fill.
// The play operations read the hero from g_hero each time (the level release destroys
// it while the light lives on); the objects come from g_objectTable.
//
// Not guaranteed: a correct count where a volume is clipped by the near or far plane,
// or where a model's mesh is not closed. Needs a pixel format with stencil bits.
#pragma once

#include "models/vector.h"

#include <cstdint>
#include <memory>

class Timer;
class Player;
class SceneObject;
class ModelObject;

class WorldLight {
public:
    // Sets up lights 0 and 5, creates the timer; the day starts, FIRST_MORNING_MS into it.
    WorldLight();
    virtual ~WorldLight();
    WorldLight(const WorldLight&) = delete;
    WorldLight& operator=(const WorldLight&) = delete;

    // Once per play frame after the camera: the day step by day, else the night step.
    void update();
    void updateDay();
    void updateNight();

    // Light 5 on or off (on around the HUD and the conversation boxes).
    void setOverlayLight(bool on);

    // Gives the light (world position, range) as shadow light `index` to the hero and
    // every active object, each in its own frame; out of range disables its volume.
    void placeShadowLight(float lx, float ly, float lz, float range, int32_t index);
    // The same for one caster only (title and cutscene scenes).
    void placeShadowLight(ModelObject* caster, float lx, float ly, float lz, float range,
                          int32_t index = 0);

    // Sets the enabled flag of shadow volume `index` of the hero, and with `all` also of
    // every active object.
    void setShadowEnabled(bool on, int32_t index, bool all);

    // Places the shadow volumes of the hero and every active object (the step before
    // drawShadows; no GL call).
    void placeShadows();
    // The stencil pass over the hero and every active object, after the scene.
    void drawShadows();
    // The stencil pass over one caster (the hero's form: title and cutscenes).
    void drawShadows(ModelObject* caster);
    // The stencil pass over a few casters (the second intro scene's lines).
    void drawShadows(ModelObject* const* casters, int32_t count);

    // The play frame's fire light: colour and world position (ignored when m_fixed).
    void setFire(float r, float g, float b, float x, float y, float z);

    // The title and cutscene form: remembers up to three casters and gives each the
    // light (world position, reach) as shadow light 0. The casters must stay alive
    // until the next setSceneShadow or the light's end; null slots are skipped.
    void setSceneShadow(float x, float y, float z, float range, ModelObject* first,
                        ModelObject* second = nullptr, ModelObject* third = nullptr);
    // Places the remembered scene casters' volumes (no GL call), and their stencil pass.
    void placeSceneShadows();
    void drawSceneShadows();

    SceneObject** m_objects;  // the 250-slot object table (g_objectTable)
    Player* m_hero = nullptr; // the hero in use, refreshed from g_hero
    Vector m_sunPosition{-1500.0f, 1000.0f, 700.0f};
    // How far into its first day a new light starts: a game opens in the morning.
    static constexpr double FIRST_MORNING_MS = 24000.0;
    double m_dayLength = 180000.0;   // ms
    double m_nightLength = 100000.0; // ms
    float m_color[3] = {1.0f, 1.0f, 1.0f};
    // The moon's ambient light: all of it by night, and by day whatever the sun's ambient
    // (its colour times 3) falls short of it, at dawn and dusk. Under the usual material
    // (ambient 0.4) it lights the land at about a third of its full colour, a little blue.
    static constexpr float MOON[3] = {0.55f, 0.6f, 0.85f};
    float m_fireColor[3] = {1.0f, 0.1f, 0.0f};
    float m_firePosition[3] = {340.0f, 0.0f, 530.0f};
    std::unique_ptr<Timer> m_timer;
    bool m_isDay = true;
    bool m_fixed = false; // while set the play frame leaves the fire light where it is
    ModelObject* m_sceneCasters[3] = {nullptr, nullptr, nullptr};

private:
    // The hero's spotlight position of this night frame (the night shadow light 0).
    Vector spotlightPosition() const;
    void giveLight(ModelObject* object, float lx, float ly, float lz, float range, int32_t index);
    void beginStencil();
    void endStencil();
    template <typename DrawAll> void stencilPass(DrawAll drawAll);
    void refreshHero();
    // The moon's ambient under a sun whose ambient is `sunAmbient` (0 by night).
    void setMoon(float sunAmbient);
};

// The world light in g_light as the screens and the play frame use it; each call does
// nothing while there is no light.
// A new light into g_light (replacing any earlier one), and its end.
void NewWorldLight();
void DeleteWorldLight();
// The level is going: the light lets go of the hero it remembers.
void ForgetWorldLightHero();
// The shadow casters of a scene (title, intro, credits: up to three) and their shadow pass.
void SetSceneShadow(float x, float y, float z, float range, ModelObject* a,
                    ModelObject* b = nullptr, ModelObject* c = nullptr);
void PlaceSceneShadows();
void DrawSceneShadows();
// The play frame's steps: the light's update, the fire light (red, unless the light is
// held fixed), the shadow volumes' placing and pass, the overlay light around the HUD.
void UpdateWorldLight();
void PlaceFireLight(float x, float y, float z);
void PlaceWorldShadows();
void DrawWorldShadows();
void SetOverlayLight(bool on);
// The sun, the night and the shadow lights (shell/gamecontext.cpp); null until a scene
// makes them.
extern WorldLight* g_light;
