#include "ai/qrvprobabilityai.h"

#include "level/qrvdatalayer.h"
#include "platform/random.h"

namespace {
const int32_t s_tables[5][BEHAVIOUR_TABLE_SIZE] = {
    // near
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    // middle
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 2, 2},
    // far
    {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2},
    // distant
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 2, 2},
    // hurt
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0},
};
} // namespace

QRVProbabilityAI::QRVProbabilityAI() = default;
QRVProbabilityAI::~QRVProbabilityAI() = default;

int32_t QRVProbabilityAI::tableFor(int32_t sumDist, int32_t life) {
    if (life <= PROBABILITY_HURT_LIFE)
        return TABLE_HURT;
    if (sumDist <= 50)
        return TABLE_NEAR;
    if (sumDist <= 100)
        return TABLE_MIDDLE;
    if (sumDist <= 150)
        return TABLE_FAR;
    return TABLE_DISTANT;
}

int32_t QRVProbabilityAI::tableEntry(int32_t table, int32_t index) {
    if (table < 0 || table > TABLE_HURT || index < 0 || index >= BEHAVIOUR_TABLE_SIZE)
        return BEHAVIOUR_STAND;
    return s_tables[table][index];
}

void QRVProbabilityAI::update(QRVDataLayer* layer, ObjectData* record) {
    auto* enemy = dynamic_cast<EnemyData*>(record);
    if (!layer || !enemy)
        return;
    AIDecision& d = enemy->decision;
    const PlayerData& hero = layer->m_player;

    switch (m_behaviour) {
    case BEHAVIOUR_APPROACH:
        huntHero(*layer, d, enemy->x, enemy->z, enemy->aiX, enemy->aiZ,
                 {stepToward, PROBABILITY_ATTACK_RANGE, 20});
        break;
    case BEHAVIOUR_RETREAT:
        d.m_target = Vector(hero.x, 0.0f, hero.z);
        d.m_action = ACTION_WALK;
        stepAway(*layer, d, enemy->aiX, enemy->aiZ, hero.aiX, hero.aiZ);
        break;
    default:
        d.m_action = ACTION_STAND;
        break;
    }

    const int32_t t = m_decisionTimer;
    m_decisionTimer = t - 1;
    if (t > 0)
        return;
    const int32_t dist = sumDistance(enemy->x, enemy->z, hero.x, hero.z);
    m_behaviour = tableEntry(tableFor(dist, enemy->life), gameRand() % BEHAVIOUR_TABLE_SIZE);
    m_decisionTimer = (gameRand() % 5) * 30 + 120;
}
