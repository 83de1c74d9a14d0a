// QRVWaypointAI: an enemy that patrols a closed path point by point, turns on the
// hero when the hero comes within 150 (sum distance) or when it is hit (provoke), hunts
// for 200 to 740 frames and then walks back to the point its patrol was heading for.
// One update is constant time. The path is read only through checked indices: a
// path shorter than its count, an empty path or a stray index never reads outside it
// (an empty path simply keeps the decision it has while patrolling).
#pragma once

#include "ai/qrvai.h"

#include <cstdint>
#include <vector>

class QRVWaypointAI : public QRVAI {
public:
    QRVWaypointAI();
    ~QRVWaypointAI() override;
    // Not copyable: m_points refers to this object's own path.
    QRVWaypointAI(const QRVWaypointAI&) = delete;
    QRVWaypointAI& operator=(const QRVWaypointAI&) = delete;

    void update(QRVDataLayer* dataLayer, ObjectData* record) override;
    int32_t type() const override { return 2; }

    // A hit makes the enemy hunt the hero for a fresh 200 to 740 frames.
    void provoke();
    bool isProvoked() const { return m_alerted; }

    // Replaces the path; `count` is the level's "num" (negative: take every point).
    // A count that disagrees with the points raises a debug assertion and the
    // smaller of the two is used. The index starts again at 0.
    void setPath(const std::vector<Vector>& points, int32_t count = -1);
    // The number of points the steps may use: m_pathCount limited to the points held.
    int32_t usablePathCount() const;
    // The point being walked to (index checked); false when there is no path.
    bool currentPoint(Vector& out) const;

    std::vector<Vector> m_path;
    int32_t m_pathIndex = -1; // -1 until a path is given
    int32_t m_pathCount = 0;
    bool m_alerted = false;
    int32_t m_alertTimer = 0;
    // Within reach of the hero it starts a blow with chance 1 in this many a frame at 60
    // frames a second (strikesThisFrame).
    int32_t m_attackOdds = 20;
    // Older loader code fills the points through this name.
    std::vector<Vector>& m_points = m_path;
};
