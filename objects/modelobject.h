// ModelObject: a scene object drawn with an MS3D model. It owns its model, its
// stopwatch and its animation queue, and carries the state every moving thing shares
// (velocity, knockback, speed, current animation, dying). It is the concrete base of
// everything in the world; the seven virtual operations below are the ones the play
// frame, the shadow pass and combat call.
//
// Costs: draw re-poses and redraws the model in immediate mode (see SkinnedModel);
// applyGravity is one terrain query and one water-cell query. loadModel reads the
// whole file; a failed load leaves an empty model that draws nothing.
// The view and shadow-range flags (m_visible, m_castsShadow) are written by the view
// frustum each frame, not by the object.
#pragma once

#include "models/ms3dmodel.h"
#include "models/vector.h"
#include "objects/animationqueue.h"
#include "objects/sceneobject.h"

#include <cstdint>
#include <memory>

class Timer;

// Height at which water holds an object up, whatever the terrain below.
constexpr float WATER_LEVEL = 81.0f;
// Ground below this lies under the drawn water for most of its tide (83 to 97).
constexpr float SHORE_LEVEL = 88.0f;
// Downward acceleration in world units per second squared.
constexpr float GRAVITY = 98.0f;

class ModelObject : public SceneObject {
public:
    ModelObject();
    ~ModelObject() override;
    ModelObject(const ModelObject&) = delete;
    ModelObject& operator=(const ModelObject&) = delete;

    // Pushes the matrix and attributes, places the model at the position and heading
    // and draws it.
    void draw() override;
    // Does nothing for a bare model object.
    virtual void update();
    // Places both shadow volumes at the position and heading, ending under the land (when
    // m_castsShadow); the step before the shadow pass, no GL call.
    virtual void updateShadowCasters();
    // Draws both shadow volumes where the step placed them (when m_castsShadow).
    virtual void drawShadowCasters();
    // Gives shadow volume `index` (0 or 1) the light, negated, with the range and the
    // in-range flag; other indices are ignored.
    virtual void setShadowLight(float lightX, float lightY, float lightZ, float range, bool inRange,
                                int32_t index);
    // Combat's report of a blow or projectile; a bare model object ignores it.
    virtual void onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
                       const Vector& direction);

    // Loads the model file. On failure shows "Couldn't load the model data\model.ms3d"
    // titled "Error" and returns false; the object stays and draws nothing.
    bool loadModel(const char* path);
    // Asks the model to upload its textures again (after the GL context is ready).
    void reloadTextures();
    // The model's shadow volumes are rebuilt every n-th drawn frame.
    void setShadowPeriod(int32_t n);
    // Gravity for this update: a negative vertical speed below ground is stopped,
    // otherwise the vertical speed loses elapsed seconds * 98. Water cells hold at 81.
    void applyGravity();
    // The ground height under (x, z): the terrain's, or 81.0 on a water cell.
    static float groundHeight(float x, float z);
    // True on a water cell or where the land lies below SHORE_LEVEL; false with no land.
    static bool underWater(float x, float z);
    // Advances the animation queue one step and records a finished request.
    void advanceAnimation();

    SkinnedModel& model() { return *m_model; }
    const SkinnedModel& model() const { return *m_model; }
    AnimationQueue& animationQueue() { return *m_animationQueue; }
    Timer& timer() { return *m_timer; }

    bool m_keyframeAnimated = false; // advance the model's time-based playback first
    int32_t m_id = -1;               // the data layer's identifier, -1 until assigned
    bool m_visible = true;           // written by the view test each frame
    bool m_castsShadow = true;       // written by the shadow-range test each frame
    std::unique_ptr<AnimationQueue> m_animationQueue;
    Vector m_knockback{0.0f, 0.0f, 0.0f};
    std::unique_ptr<Ms3dModel> m_model;
    std::unique_ptr<Timer> m_timer;
    float m_speed = 30.0f;
    Vector m_velocity{0.0f, 0.0f, 0.0f};
    int32_t m_currentAnimation = 0;
    bool m_dying = false;

    // Bounding sphere for the view test: centre = position + offset. The collision
    // set-up derives both from the model when the object enters the collision world.
    Vector m_sphereOffset{0.0f, 0.0f, 0.0f};
    float m_sphereRadius = 10.0f;
};
