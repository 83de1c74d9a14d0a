#include "ai/qrvwaypointai.h"

#include "ai/qrvpathai.h"
#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"
#include "platform/random.h"

#include <cmath>
#include <cstdlib>

namespace {
int32_t gap(float a, float b) {
    return std::abs(static_cast<int32_t>(std::trunc(a - b)));
}

int32_t freshAlertTimer() {
    return (gameRand() % 10) * 60 + 200;
}
} // namespace

QRVWaypointAI::QRVWaypointAI() = default;
QRVWaypointAI::~QRVWaypointAI() = default;

void QRVWaypointAI::provoke() {
    m_alerted = true;
    m_alertTimer = freshAlertTimer();
}

void QRVWaypointAI::setPath(const std::vector<Vector>& points, int32_t count) {
    m_path = points;
    m_pathCount = storedPathCount(m_path.size(), count);
    m_pathIndex = 0;
}

int32_t QRVWaypointAI::usablePathCount() const {
    return pathPointsInUse(m_path.size(), m_pathCount);
}

bool QRVWaypointAI::currentPoint(Vector& out) const {
    const int32_t count = usablePathCount();
    if (count <= 0)
        return false;
    const int32_t i = (m_pathIndex >= 0 && m_pathIndex < count) ? m_pathIndex : 0;
    out = m_path[static_cast<size_t>(i)];
    return true;
}

void QRVWaypointAI::update(QRVDataLayer* layer, ObjectData* record) {
    auto* enemy = dynamic_cast<EnemyData*>(record);
    if (!layer || !enemy)
        return;
    AIDecision& d = enemy->decision;
    const PlayerData& hero = layer->m_player;
    const int32_t dist = sumDistance(enemy->x, enemy->z, hero.x, hero.z);
    // The chase's leash: a hero in the village is no quarry. A hunt ends there and the
    // enemy turns back to its round.
    const bool heroSafe = layer->inVillage(hero.x, hero.z);
    if (heroSafe && m_alerted) {
        m_alerted = false;
        Vector p;
        if (currentPoint(p))
            aimAtPathPoint(*layer, d, p);
    }
    if (dist <= 150 && !heroSafe)
        m_alerted = true;
    if (m_alertTimer == 0)
        m_alertTimer = freshAlertTimer();

    if (m_alerted) {
        d.m_target = Vector(hero.x, 0.0f, hero.z);
        d.m_action = ACTION_WALK;
        if (gameRand() % 100 == 1) {
            d.m_action = ACTION_JUMP;
            return;
        }
        stepToward(*layer, d, enemy->aiX, enemy->aiZ, hero.aiX, hero.aiZ);
        closeIn(*layer, d, enemy->x, enemy->z, enemy->aiX, enemy->aiZ, HUNT_STANDOFF);
        if (dist <= 50 && strikesThisFrame(*layer, m_attackOdds))
            d.m_action = ACTION_ATTACK;
        m_alertTimer -= 1;
        if (m_alertTimer < 1) {
            m_alerted = false;
            Vector p;
            if (currentPoint(p))
                aimAtPathPoint(*layer, d, p);
        }
        return;
    }

    const int32_t count = usablePathCount();
    if (count <= 0)
        return;
    if (gap(enemy->x, d.m_waypoint.x) <= 10 && gap(enemy->z, d.m_waypoint.z) <= 10) {
        m_pathIndex = nextPathIndex(m_pathIndex, count);
        aimAtPathPoint(*layer, d, m_path[static_cast<size_t>(m_pathIndex)]);
    }
}
