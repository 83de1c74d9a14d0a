// QRVProbabilityAI: an enemy that every 120 to 240 frames draws its next behaviour
// (approach, retreat, stand) from one of five 20-entry tables chosen by its sum
// distance to the hero, or the "hurt" table once its life is PROBABILITY_HURT_LIFE or less. One
// update is constant time. Table reads are index-checked; a stray behaviour code stands still.
#pragma once

#include "ai/qrvai.h"

#include <cstdint>

enum ProbabilityBehaviour : int32_t {
    BEHAVIOUR_APPROACH = 0,
    BEHAVIOUR_RETREAT = 1,
    BEHAVIOUR_STAND = 2,
};

constexpr int32_t BEHAVIOUR_TABLE_SIZE = 20;
// The box distance within which an approaching enemy may attack.
constexpr int32_t PROBABILITY_ATTACK_RANGE = 50;
// At this life or less the enemy draws from the hurt table (it mostly runs away).
constexpr int32_t PROBABILITY_HURT_LIFE = 70;

enum BehaviourTable : int32_t {
    TABLE_NEAR = 0,
    TABLE_MIDDLE = 1,
    TABLE_FAR = 2,
    TABLE_DISTANT = 3,
    TABLE_HURT = 4,
};

class QRVProbabilityAI : public QRVAI {
public:
    QRVProbabilityAI();
    ~QRVProbabilityAI() override;

    void update(QRVDataLayer* dataLayer, ObjectData* record) override;
    int32_t type() const override { return 1; }

    // Which table a draw uses for this sum distance and life.
    static int32_t tableFor(int32_t sumDist, int32_t life);
    // Entry `index` of table `table`; out-of-range arguments give stand.
    static int32_t tableEntry(int32_t table, int32_t index);

    int32_t m_decisionTimer = 0;
    int32_t m_behaviour = BEHAVIOUR_APPROACH;
};
