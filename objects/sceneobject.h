// SceneObject: the abstract root of everything that stands in the world. It carries
// only where the thing is and which way it faces, plus the two flags through which the
// game switches an object off (m_active) or freezes it in time (m_paused).
// Everything here is cheap value state; drawing is the concrete class's business.
// Nothing here knows about models, timers or the world data layer.
#pragma once

#include "models/vector.h"

class SceneObject {
public:
    SceneObject();
    virtual ~SceneObject();

    // Draws the object with its current pose; the concrete class decides how.
    virtual void draw() = 0;

    void setPosition(const Vector& position) { m_position.set(position); }
    Vector getPosition() const { return m_position; }

    // Stores the facing and derives m_heading from it: the angle in degrees between
    // (dx, 0, dz) and +x, negative when dz > 0 (so +z faces -90, -z faces 90). A facing
    // with no horizontal part keeps the previous heading.
    void setDirection(const Vector& direction);
    Vector getDirection() const { return m_direction; }

    // Heading in degrees for a facing; (0, y, 0) gives 0.
    static float headingFor(const Vector& direction);

    bool m_active = true;  // an inactive object is neither updated nor drawn
    bool m_paused = false; // while set, update only restarts the object's timer
    Vector m_position;
    Vector m_direction;
    float m_heading = 0.0f; // degrees about +y, used by drawing
};
