// Camera: the one view of the world (g_camera). In play it follows a target from
// behind and above, easing eye and look-at point toward where they should be by
// 1/divisor of the gap each frame (a swoop at level start, a soft lag while walking).
// In the intro scenes it is a free camera that scripts move and turn.
//
// The follow eye never goes under the land or looks through it: it stays a few units
// above the drawn land, and a hill, a hut or a trunk between it and the hero (or the point it
// looks at) draws it in front of the obstacle at once; it eases back out once that is gone.
// The follow does not limit the pitch itself; the hero's facing is limited (see Player).
//
// Costs: apply is a few hundred height reads (around the eye and along the lines of
// sight; each an array read), a sphere test per piece of scenery with a box-tree walk for
// the few the line of sight passes near, and one gluLookAt.
// The follow is per frame, not per millisecond, so its speed depends on the frame rate;
// free moves are per millisecond.
#pragma once

#include "models/vector.h"

#include <memory>

class SceneObject;
class Timer;

class Camera {
public:
    Camera();
    virtual ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // Follows the object; null stops following.
    void setTarget(SceneObject* target);
    void setFollowing(bool following) { m_following = following; }
    void setEaseDivisor(float divisor) { m_easeDivisor = divisor; }
    void setDistance(float distance) { m_distance = distance; }
    void setPosition(const Vector& position) { m_position.set(position); }
    Vector getPosition() const { return m_position; }
    void setDirection(const Vector& direction) { m_direction.set(direction); }
    Vector getDirection() const { return m_direction; }
    Vector getLookAt() const { return m_lookAt; }
    SceneObject* getTarget() const { return m_target; }
    bool isFollowing() const { return m_following; }

    // Sets the model-view matrix for this frame (after it was loaded with the identity).
    void apply();
    // The part of apply that moves the camera, without touching GL. Returns false when
    // following with no target (nothing is to be looked at).
    bool step();

    // How far the follow eye at `eye` rises so that its line of sight to `head` passes over a
    // figure (an enemy, a villager) standing at `feet` with its top at height `top`, instead
    // of the figure filling the view: enough to clear the top by a little where the figure
    // stands on the line, less the farther it stands aside, nothing beyond a few units from
    // the line or behind the eye, and never more than FIGURE_RISE_MOST. The rise changes
    // smoothly as the figure moves, and the follow eases the eye to it.
    static float riseOverFigure(const Vector& eye, const Vector& head, const Vector& feet,
                                float top);
    static constexpr float FIGURE_RISE_MOST = 20.0f;

    // Free moves, each by the milliseconds since the last move / divisor; only when not
    // following.
    void strafeRight();
    void strafeLeft();
    void moveForward();
    void moveBackward();
    // Free turn (radians): yaw about +y, then pitch about the side axis, except that
    // the view does not tip further once its y is beyond +-0.8.
    void turn(float pitch, float yaw);

    float m_distance = 40.0f;
    Vector m_position;
    float m_eyeHeight = 15.5f;
    Vector m_direction;
    SceneObject* m_target = nullptr;
    Vector m_lookAt;
    bool m_following = false;
    float m_easeDivisor = 5.0f;
    float m_lookHeight = 15.0f;
    std::unique_ptr<Timer> m_timer;

private:
    // Raises the look-at point and the eye clear of the land, then brings the eye in to the
    // last point of its line of sight to the look-at point that clears the land, and in front
    // of the first scenery on that line (never nearer than a few units). True when the eye
    // moved.
    static bool keepInView(Vector& eye, Vector& look);
    // The largest riseOverFigure of the level's moving figures whose bodies show, but the
    // target's and the boss's.
    float riseOverFigures(const Vector& eye, const Vector& head) const;
    // The milliseconds since the last move, divided by the divisor; restarts the timer.
    float freeStep();
    Vector sideVector() const;
};

// The camera of every scene (shell/gamecontext.cpp); null until a scene makes one.
extern Camera* g_camera;
