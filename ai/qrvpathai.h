// QRVPathAI: every non-player character walks its closed path of points forever,
// moving on to the next point once it is within 5 units of the current one on both
// axes. One update is constant time. The path is only read through checked indices;
// an empty path leaves the decision alone.
#pragma once

#include "ai/qrvai.h"

#include <cstdint>
#include <vector>

class QRVPathAI : public QRVAI {
public:
    QRVPathAI();
    ~QRVPathAI() override;

    void update(QRVDataLayer* dataLayer, ObjectData* record) override;

    // Replaces the path; `count` is the level's "num" (negative: take every point).
    // A count that disagrees with the points raises a debug assertion and the smaller
    // is used. The index becomes 0.
    void setPath(const std::vector<Vector>& points, int32_t count = -1);
    int32_t usablePathCount() const;

    std::vector<Vector> m_path;
    int32_t m_pathIndex = 0;
    int32_t m_pathCount = 0;
};

// Shared by the path-walking AIs: the next index of a closed path of `count` points
// (0 when the count is not positive or the index is out of range).
int32_t nextPathIndex(int32_t index, int32_t count);
