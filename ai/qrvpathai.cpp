#include "ai/qrvpathai.h"

#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"

#include <cmath>
#include <cstdlib>

namespace {
int32_t gap(float a, float b) {
    return std::abs(static_cast<int32_t>(std::trunc(a - b)));
}
} // namespace

int32_t nextPathIndex(int32_t index, int32_t count) {
    if (count <= 0 || index < 0 || index >= count)
        return 0;
    return (index + 1) % count;
}

QRVPathAI::QRVPathAI() = default;
QRVPathAI::~QRVPathAI() = default;

void QRVPathAI::setPath(const std::vector<Vector>& points, int32_t count) {
    m_path = points;
    m_pathCount = storedPathCount(m_path.size(), count);
    m_pathIndex = 0;
}

int32_t QRVPathAI::usablePathCount() const {
    return pathPointsInUse(m_path.size(), m_pathCount);
}

void QRVPathAI::update(QRVDataLayer* dataLayer, ObjectData* record) {
    if (!dataLayer || !record)
        return;
    const int32_t count = usablePathCount();
    if (count <= 0)
        return;
    AIDecision* d = nullptr;
    if (auto* npc = dynamic_cast<NpcData*>(record))
        d = &npc->decision;
    else if (auto* enemy = dynamic_cast<EnemyData*>(record))
        d = &enemy->decision;
    if (!d)
        return;
    if (gap(record->x, d->m_waypoint.x) <= 5 && gap(record->z, d->m_waypoint.z) <= 5) {
        m_pathIndex = nextPathIndex(m_pathIndex, count);
        aimAtPathPoint(*dataLayer, *d, m_path[static_cast<size_t>(m_pathIndex)]);
    }
}
