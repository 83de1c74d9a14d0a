// QRVBossAI: the boss's steering. Its decision step arrives with the boss fight;
// for now the boss keeps the decision the loader gave it.
#pragma once

#include "ai/qrvai.h"

struct BossData;

class QRVBossAI : public QRVAI {
public:
    void step(QRVDataLayer* dataLayer, BossData* boss);
};
