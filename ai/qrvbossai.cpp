#include "ai/qrvbossai.h"

#include "level/qrvdatalayer.h"
#include "platform/random.h"

void QRVBossAI::step(QRVDataLayer* dataLayer, BossData* boss) {
    if (!dataLayer || !boss)
        return;
    AIDecision& d = boss->decision;
    const PlayerData& hero = dataLayer->m_player;
    // Hunting start: face the hero, walk unless something below says otherwise.
    d.m_target = Vector(hero.x, 0.0f, hero.z);
    d.m_action = ACTION_WALK;
    const int32_t distance = boxDistance(boss->x, boss->z, hero.x, hero.z);
    if (gameRand() % 1000 == 1) {
        d.m_action = ACTION_JUMP;
        return;
    }
    stepToward(*dataLayer, d, boss->aiX, boss->aiZ, hero.aiX, hero.aiZ);
    if (distance <= 200 && gameRand() % 20 == 1)
        d.m_action = ACTION_ATTACK;
}
