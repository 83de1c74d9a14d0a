// QRVWaypointAI: patrols a path point by point and hunts the hero for a while when
// provoked. The patrol and hunt steps arrive with the enemies; the path table and
// the provocation are here so that the loader and the damage rule can use them.
#pragma once

#include "ai/qrvai.h"

#include <vector>

class QRVWaypointAI : public QRVAI {
public:
    int32_t type() const override { return 2; }
    // A hit makes the enemy hunt the hero, whatever its remaining life.
    void provoke() { m_provoked = true; }
    bool isProvoked() const { return m_provoked; }

    std::vector<Vector> m_points;
    int32_t m_current = 0;

private:
    bool m_provoked = false;
};
