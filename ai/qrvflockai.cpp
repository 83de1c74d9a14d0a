#include "ai/qrvflockai.h"

bool QRVFlockAI::join(int flockNumber, EnemyData* record, bool leader) {
    if (flockNumber < 0 || flockNumber >= FLOCK_COUNT)
        return false;
    m_flocks[flockNumber].members.push_back({record, leader});
    return true;
}

void QRVFlockAI::update(QRVDataLayer*) {}
