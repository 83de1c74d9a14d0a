// AIDecision: what an AI wants its object to do this frame. Written by the AI,
// read by the game object's update; owned by the object's data record.
#pragma once

#include "models/vector.h"

#include <cstdint>

enum AIAction : int32_t {
    ACTION_JUMP = 0,
    ACTION_WALK = 1,
    ACTION_ATTACK = 3,
    ACTION_STAND = 4,
};

struct AIDecision {
    Vector m_target;       // point to face and to jump at
    Vector m_waypoint;     // point to walk to, y 0
    Vector m_waypointCell; // grid cell of m_waypoint as floats in x and z
    int32_t m_action = ACTION_WALK;
};
