#include "ai/qrvflockai.h"

#include "level/qrvdatalayer.h"
#include "platform/debugassert.h"
#include "platform/random.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

QRVFlockAI::QRVFlockAI() = default;
QRVFlockAI::~QRVFlockAI() = default;

bool QRVFlockAI::join(int32_t flockNumber, int32_t role, EnemyData* record) {
    const bool numberOk = flockNumber >= 0 && flockNumber < FLOCK_COUNT;
    QRV_ASSERT(numberOk);
    QRV_ASSERT(role == FLOCK_ROLE_LEADER || role == FLOCK_ROLE_FOLLOWER);
    QRV_ASSERT(record != nullptr);
    if (!numberOk || !record || (role != FLOCK_ROLE_LEADER && role != FLOCK_ROLE_FOLLOWER))
        return false;
    std::unique_ptr<Flock>& slot = m_flocks[static_cast<size_t>(flockNumber)];
    if (!slot) {
        slot = std::make_unique<Flock>();
        slot->m_number = flockNumber;
    }
    FlockMember member;
    member.m_role = role;
    member.m_record = record;
    member.m_id = record->id;
    member.m_x = record->x;
    member.m_z = record->z;
    member.m_aiX = record->aiX;
    member.m_aiZ = record->aiZ;
    member.m_active = record->active;
    if (role == FLOCK_ROLE_LEADER)
        slot->m_leader = std::make_unique<FlockMember>(member);
    else
        slot->m_followers.push_back(member);
    return true;
}

const Flock* QRVFlockAI::flock(int32_t n) const {
    if (n < 0 || n >= FLOCK_COUNT)
        return nullptr;
    return m_flocks[static_cast<size_t>(n)].get();
}

AIDecision& FlockMember::decision() {
    return m_record ? m_record->decision : m_fallenDecision;
}

void QRVFlockAI::refresh(QRVDataLayer& layer, FlockMember& m) {
    // A killed enemy's record is destroyed; never touch the old pointer again.
    auto it = layer.m_enemyTable.find(m.m_id);
    if (it == layer.m_enemyTable.end() || !it->second) {
        m.m_record = nullptr;
        m.m_active = false;
        return;
    }
    m.m_record = it->second.get();
    m.m_x = m.m_record->x;
    m.m_z = m.m_record->z;
    m.m_aiX = m.m_record->aiX;
    m.m_aiZ = m.m_record->aiZ;
    m.m_active = m.m_record->active;
    m.m_fallenDecision = m.m_record->decision;
}

void QRVFlockAI::update(QRVDataLayer* dataLayer) {
    if (!dataLayer)
        return;
    QRVDataLayer& layer = *dataLayer;
    for (std::unique_ptr<Flock>& slot : m_flocks) {
        if (!slot)
            continue;
        Flock& f = *slot;
        for (FlockMember& m : f.m_followers)
            refresh(layer, m);
        if (!f.m_leader) {
            // Nobody to follow: every follower hunts on its own.
            for (FlockMember& m : f.m_followers) {
                AIDecision& d = m.decision();
                d.m_target = Vector(layer.m_player.x, 0.0f, layer.m_player.z);
                d.m_action = ACTION_WALK;
                loneHunt(layer, m);
            }
            continue;
        }
        // Every member is stepped, fallen or not: a fallen leader's step is what ends
        // the charge once the hero has left its flock behind.
        FlockMember& leader = *f.m_leader;
        refresh(layer, leader);
        leaderStep(layer, f, leader);
        const int32_t leaderAIX = leader.m_aiX;
        for (FlockMember& m : f.m_followers) {
            QRV_ASSERT_TEXT(leaderAIX != -1, "leaderAIX != -1");
            followerStep(layer, f, m, leader);
        }
    }
    // No flock comes near the village.
    for (std::unique_ptr<Flock>& slot : m_flocks) {
        if (!slot)
            continue;
        if (slot->m_leader && slot->m_leader->m_record)
            layer.keepOutOfVillage(*slot->m_leader->m_record, VILLAGE_ROAM_MARGIN);
        for (FlockMember& m : slot->m_followers)
            if (m.m_record)
                layer.keepOutOfVillage(*m.m_record, VILLAGE_ROAM_MARGIN);
    }
}

void QRVFlockAI::leaderStep(QRVDataLayer& layer, Flock& f, FlockMember& leader) {
    const PlayerData& hero = layer.m_player;
    AIDecision& d = leader.decision();
    d.m_target = Vector(hero.x, 0.0f, hero.z);
    d.m_action = ACTION_WALK;
    const int32_t dist = boxDistance(leader.m_x, leader.m_z, hero.x, hero.z);
    stepToward(layer, d, leader.m_aiX, leader.m_aiZ, hero.aiX, hero.aiZ);
    closeIn(layer, d, leader.m_x, leader.m_z, leader.m_aiX, leader.m_aiZ, HUNT_STANDOFF);
    if (dist <= FLOCK_CHARGE_DISTANCE) {
        if (strikesThisFrame(layer, 100)) {
            f.m_charging = true;
            d.m_action = ACTION_ATTACK;
        }
    } else {
        f.m_charging = false;
    }
}

void QRVFlockAI::loneHunt(QRVDataLayer& layer, FlockMember& follower) {
    huntHero(layer, follower.decision(), follower.m_x, follower.m_z, follower.m_aiX, follower.m_aiZ,
             {stepOnArrival, FLOCK_CHARGE_DISTANCE, 100});
}

void QRVFlockAI::followerStep(QRVDataLayer& layer, Flock& f, FlockMember& follower,
                              const FlockMember& leader) {
    const PlayerData& hero = layer.m_player;
    AIDecision& d = follower.decision();
    const int32_t leaderX = static_cast<int32_t>(std::trunc(leader.m_x));
    const int32_t leaderZ = static_cast<int32_t>(std::trunc(leader.m_z));

    d.m_target = Vector(hero.x, 0.0f, hero.z);
    d.m_action = ACTION_WALK;
    if (!leader.m_active)
        loneHunt(layer, follower);

    const int32_t dx =
        std::abs(static_cast<int32_t>(std::trunc(follower.m_x - static_cast<float>(leaderX))));
    const int32_t dz =
        std::abs(static_cast<int32_t>(std::trunc(follower.m_z - static_cast<float>(leaderZ))));

    if (f.m_charging) {
        // Charging followers run at the hero's own cell.
        d.m_waypointCell = Vector(static_cast<float>(hero.aiX), 0.0f, static_cast<float>(hero.aiZ));
        waypointFromCell(layer, d);
        if (strikesThisFrame(layer, 150))
            d.m_action = ACTION_ATTACK;
    }

    bool leashed = false;
    if (dz >= FLOCK_LEASH)
        leashed |=
            stepToward(layer, d, follower.m_aiX, follower.m_aiZ, follower.m_aiX, leader.m_aiZ);
    if (dx >= FLOCK_LEASH)
        leashed |=
            stepToward(layer, d, follower.m_aiX, follower.m_aiZ, leader.m_aiX, follower.m_aiZ);

    separate(layer, f, follower, leaderX, leaderZ);

    // Near the world's edge a push within the leash can point off the grid: the cell stays
    // on it, where its corner lies inside the world.
    const float last = static_cast<float>(layer.m_gridSize - 1);
    const Vector cell = d.m_waypointCell;
    d.m_waypointCell.x = std::clamp(cell.x, 0.0f, last);
    d.m_waypointCell.z = std::clamp(cell.z, 0.0f, last);
    if (leashed || d.m_waypointCell.x != cell.x || d.m_waypointCell.z != cell.z)
        waypointFromCell(layer, d);

    // A follower hunting the hero, with its flock or alone, stops near him like any hunter.
    if (f.m_charging || !leader.m_active)
        closeIn(layer, d, follower.m_x, follower.m_z, follower.m_aiX, follower.m_aiZ,
                HUNT_STANDOFF);
}

void QRVFlockAI::separate(QRVDataLayer& layer, Flock& f, FlockMember& follower, int32_t leaderX,
                          int32_t leaderZ) {
    AIDecision& d = follower.decision();
    // Whether the corner of cell `c` on one axis (`x` or not) lies within the leash.
    auto onLeash = [&](float c, bool x) {
        const Vector corner = layer.cellToWorld(static_cast<int32_t>(c), static_cast<int32_t>(c));
        const float gap = (x ? corner.x : corner.z) - static_cast<float>(x ? leaderX : leaderZ);
        return std::abs(static_cast<int32_t>(std::trunc(gap))) < FLOCK_LEASH;
    };
    // One axis of a push away from `other`, by the step-away rule: the cell moves one beyond
    // the follower's own and then waits for the follower to enter it, so pushes neither add
    // up over followers nor over frames; a follower pushed from both sides stays.
    auto push = [&](int32_t own, int32_t other, float& c, bool x) {
        float to = c;
        if (own > other && own >= c)
            to = c + 1.0f;
        else if (own < other && own <= c)
            to = c - 1.0f;
        if (to == c || !onLeash(to, x))
            return false;
        c = to;
        return true;
    };
    for (FlockMember& other : f.m_followers) {
        if (&other == &follower)
            continue;
        if (boxDistance(other.m_x, other.m_z, follower.m_x, follower.m_z) > FLOCK_SPACING)
            continue;
        // The other's decision is its own: this frame's attack must not be taken back.
        bool changed = push(follower.m_aiX, other.m_aiX, d.m_waypointCell.x, true);
        changed |= push(follower.m_aiZ, other.m_aiZ, d.m_waypointCell.z, false);
        if (changed)
            waypointFromCell(layer, d);
    }
}
