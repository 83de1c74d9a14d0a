#include "ai/qrvbossai.h"

#include "level/qrvdatalayer.h"

void QRVBossAI::step(QRVDataLayer* dataLayer, BossData* boss) {
    if (!dataLayer || !boss)
        return;
    // It hunts without pause, and attacks from further off than an enemy.
    huntHero(*dataLayer, boss->decision, boss->x, boss->z, boss->aiX, boss->aiZ,
             {stepToward, BOSS_ATTACK_RANGE, 20, BOSS_STANDOFF});
}
