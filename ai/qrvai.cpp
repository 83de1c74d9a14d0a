#include "ai/qrvai.h"

#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"
#include "platform/demo.h"
#include "platform/random.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

QRVAI::QRVAI() {
    gameSrand(GameClockSeed());
    m_randomIndex = gameRand() & 1023;
    for (int32_t& v : m_randomTable)
        v = gameRand();
}

void QRVAI::update(QRVDataLayer*, ObjectData*) {}

int32_t QRVAI::nextRandom() {
    // Any index outside the table restarts it, not only exactly 1024.
    if (m_randomIndex < 0 || m_randomIndex >= 1024)
        m_randomIndex = 0;
    return m_randomTable[m_randomIndex++];
}

namespace {
int32_t truncatedGap(float a, float b) {
    return std::abs(static_cast<int32_t>(std::trunc(a - b)));
}

} // namespace

bool strikesThisFrame(const QRVDataLayer& layer, int32_t odds) {
    const double chance = layer.m_aiFrameMs / AI_STEP_MS / std::max(odds, 1);
    return gameRand() < chance * (GAME_RAND_MAX + 1);
}

void huntHero(const QRVDataLayer& layer, AIDecision& d, float x, float z, int32_t aiX, int32_t aiZ,
              const HuntRule& rule) {
    const PlayerData& hero = layer.m_player;
    d.m_target = Vector(hero.x, 0.0f, hero.z);
    d.m_action = ACTION_WALK;
    const int32_t distance = boxDistance(x, z, hero.x, hero.z);
    if (gameRand() % 1000 == 1) {
        d.m_action = ACTION_JUMP;
        return;
    }
    rule.step(layer, d, aiX, aiZ, hero.aiX, hero.aiZ);
    closeIn(layer, d, x, z, aiX, aiZ, rule.standoff);
    if (distance <= rule.attackRange && strikesThisFrame(layer, rule.attackOdds))
        d.m_action = ACTION_ATTACK;
}

bool closeIn(const QRVDataLayer& layer, AIDecision& d, float x, float z, int32_t aiX, int32_t aiZ,
             float standoff) {
    const PlayerData& hero = layer.m_player;
    if (std::abs(aiX - hero.aiX) > 1 || std::abs(aiZ - hero.aiZ) > 1)
        return false;
    const float awayX = x - hero.x, awayZ = z - hero.z;
    const float away = std::sqrt(awayX * awayX + awayZ * awayZ);
    if (away < 1e-3f) {
        // On the hero's very spot there is no side to keep: it stays where it is.
        d.m_waypoint.x = x;
        d.m_waypoint.z = z;
    } else {
        // Kept inside the world, where the play frame would otherwise put it back each frame.
        const float low = std::max(layer.m_worldStart, 0.0f);
        d.m_waypoint.x =
            std::clamp(hero.x + awayX / away * standoff, low, layer.m_worldWidth - 1.0f);
        d.m_waypoint.z =
            std::clamp(hero.z + awayZ / away * standoff, low, layer.m_worldDepth - 1.0f);
    }
    d.m_waypointCell = layer.worldToCellF(d.m_waypoint.x, d.m_waypoint.z);
    return true;
}

void waypointFromCell(const QRVDataLayer& layer, AIDecision& d) {
    Vector corner = layer.cellToWorld(static_cast<int32_t>(std::trunc(d.m_waypointCell.x)),
                                      static_cast<int32_t>(std::trunc(d.m_waypointCell.z)));
    d.m_waypoint.x = corner.x;
    d.m_waypoint.z = corner.z;
}

namespace {
void placeWaypoint(const QRVDataLayer& layer, AIDecision& d) {
    waypointFromCell(layer, d);
}
} // namespace

int32_t boxDistance(float x1, float z1, float x2, float z2) {
    int32_t dx = truncatedGap(x1, x2), dz = truncatedGap(z1, z2);
    return dx > dz ? dx : dz;
}

int32_t sumDistance(float x1, float z1, float x2, float z2) {
    return truncatedGap(x1, x2) + truncatedGap(z1, z2);
}

bool stepToward(const QRVDataLayer& layer, AIDecision& d, int32_t aiX, int32_t aiZ, int32_t gx,
                int32_t gz) {
    bool changed = false;
    auto axis = [&](int32_t ai, int32_t g, float& c) {
        if (ai > g && ai <= c) {
            c -= 1.0f;
            changed = true;
        } else if (ai < g && ai >= c) {
            c += 1.0f;
            changed = true;
        }
    };
    axis(aiX, gx, d.m_waypointCell.x);
    axis(aiZ, gz, d.m_waypointCell.z);
    if (changed)
        placeWaypoint(layer, d);
    return changed;
}

bool stepAway(const QRVDataLayer& layer, AIDecision& d, int32_t aiX, int32_t aiZ, int32_t gx,
              int32_t gz) {
    bool changed = false;
    // The last cell of the grid: the corner of cell m_gridSize is the world's far edge, which
    // a retreat to it would cross.
    const float limit = static_cast<float>(layer.m_gridSize - 1);
    auto axis = [&](int32_t ai, int32_t g, float& c) {
        const float before = c;
        if (ai > g && ai >= c)
            c += 1.0f;
        else if (ai < g && ai <= c)
            c -= 1.0f;
        if (c < 0.0f)
            c = 0.0f;
        if (c > limit)
            c = limit;
        if (c != before)
            changed = true;
    };
    axis(aiX, gx, d.m_waypointCell.x);
    axis(aiZ, gz, d.m_waypointCell.z);
    if (changed)
        placeWaypoint(layer, d);
    return changed;
}

bool stepOnArrival(const QRVDataLayer& layer, AIDecision& d, int32_t aiX, int32_t aiZ, int32_t gx,
                   int32_t gz) {
    bool changed = false;
    auto axis = [&](int32_t ai, int32_t g, float& c) {
        if (static_cast<float>(ai) != c)
            return;
        if (ai > g) {
            c -= 1.0f;
            changed = true;
        } else if (ai < g) {
            c += 1.0f;
            changed = true;
        }
    };
    axis(aiX, gx, d.m_waypointCell.x);
    axis(aiZ, gz, d.m_waypointCell.z);
    if (changed)
        placeWaypoint(layer, d);
    return changed;
}

void aimAtPathPoint(const QRVDataLayer& layer, AIDecision& d, const Vector& p) {
    d.m_waypoint = p;
    d.m_target = p;
    d.m_waypointCell = layer.worldToCellF(p.x, p.z);
    d.m_action = ACTION_WALK;
}

int32_t storedPathCount(size_t held, int32_t count) {
    const int32_t n = static_cast<int32_t>(held);
    if (count < 0)
        count = n;
    QRV_ASSERT(count == n);
    return count < n ? count : n;
}

int32_t pathPointsInUse(size_t held, int32_t count) {
    const int32_t n = static_cast<int32_t>(held);
    return (count <= 0 || count > n) ? n : count;
}
