#include "ai/qrvbossai.h"

void QRVBossAI::step(QRVDataLayer*, BossData*) {}
