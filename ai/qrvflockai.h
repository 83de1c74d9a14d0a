// QRVFlockAI: the one flock steering of a level. Up to ten flocks (numbers 0 to 9),
// each with one leader and any number of followers. Each frame the leader hunts the
// hero and decides when its flock charges; followers hunt too, stay on a leash of 50
// per axis to the leader, spread apart from each other (within 100 of each other, as far
// as the leash lets them) and hunt alone once their leader has fallen. Every push and pull
// moves a follower's waypoint cell at most one cell beyond its own and keeps it on the
// grid, so a flock moves the same at any frame rate.
//
// Cost: per flock, the leader step is constant; the followers' separation is
// quadratic in the number of followers (flocks are a handful each).
// Members are kept by identifier and looked up in the data layer's enemy table every
// update, because a killed enemy's record is destroyed. A member whose record is gone
// counts as inactive, keeps the position last seen and is still stepped every frame on
// a decision of its own that nobody reads: a fallen leader still ends its flock's charge
// once the hero is more than 200 from where it fell. Flock numbers outside 0 to 9 are
// refused with a debug assertion; a flock without a leader steers nobody.
#pragma once

#include "ai/qrvai.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct EnemyData;

constexpr int32_t FLOCK_COUNT = 10;
constexpr int32_t FLOCK_ROLE_LEADER = 0;
constexpr int32_t FLOCK_ROLE_FOLLOWER = 1;
constexpr int32_t FLOCK_CHARGE_DISTANCE = 200;
constexpr int32_t FLOCK_LEASH = 50;
constexpr int32_t FLOCK_SPACING = 100;

struct FlockMember {
    int32_t m_role = FLOCK_ROLE_FOLLOWER;
    EnemyData* m_record = nullptr; // null once the enemy's record is gone
    int32_t m_id = -1;
    // Last seen state of the record, so a fallen member can still be measured.
    float m_x = 0.0f, m_z = 0.0f;
    int32_t m_aiX = -1, m_aiZ = -1;
    bool m_active = false;
    // The decision last written, carried on once the record is gone.
    AIDecision m_fallenDecision;

    // Where this frame's decision goes: the record's, or the carried one once it is gone.
    AIDecision& decision();
};

struct Flock {
    int32_t m_number = -1;
    std::unique_ptr<FlockMember> m_leader;
    bool m_charging = false;
    std::vector<FlockMember> m_followers;
};

class QRVFlockAI : public QRVAI {
public:
    QRVFlockAI();
    ~QRVFlockAI() override;

    static constexpr int FLOCK_COUNT = ::FLOCK_COUNT;

    // Enters `record` into flock `flockNumber` as leader (role 0, replacing any earlier
    // leader) or follower (role 1). False, with a debug assertion, for a bad number,
    // role or a null record.
    bool join(int32_t flockNumber, int32_t role, EnemyData* record);
    // Older loader form: leader flag instead of the role.
    bool join(int32_t flockNumber, EnemyData* record, bool leader) {
        return join(flockNumber, leader ? FLOCK_ROLE_LEADER : FLOCK_ROLE_FOLLOWER, record);
    }
    // One frame for every flock, in number order.
    void update(QRVDataLayer* dataLayer);
    using QRVAI::update; // the per-record step stays callable (it does nothing here)

    // The flock in slot n, or null (also for n outside 0 to 9).
    const Flock* flock(int32_t n) const;

private:
    void refresh(QRVDataLayer& layer, FlockMember& member);
    void leaderStep(QRVDataLayer& layer, Flock& flock, FlockMember& leader);
    void followerStep(QRVDataLayer& layer, Flock& flock, FlockMember& follower,
                      const FlockMember& leader);
    // Keeps the follower apart from the others within FLOCK_SPACING, as far as the leash to
    // the leader's point (leaderX, leaderZ) lets it.
    void separate(QRVDataLayer& layer, Flock& flock, FlockMember& follower, int32_t leaderX,
                  int32_t leaderZ);
    void loneHunt(QRVDataLayer& layer, FlockMember& follower);

    std::array<std::unique_ptr<Flock>, FLOCK_COUNT> m_flocks;
};
