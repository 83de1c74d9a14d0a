// QRVFlockAI: the one flock steering of a level (up to ten flocks, numbered 0 to 9).
// Membership is recorded here; the flocking step itself arrives with the enemies.
#pragma once

#include "ai/qrvai.h"

#include <vector>

struct EnemyData;

struct FlockMember {
    EnemyData* record = nullptr;
    bool leader = false;
};

struct Flock {
    std::vector<FlockMember> members;
};

class QRVFlockAI : public QRVAI {
public:
    static constexpr int FLOCK_COUNT = 10;
    // Refuses (false) a flock number outside 0 to 9 instead of writing past the table.
    bool join(int flockNumber, EnemyData* record, bool leader);
    void update(QRVDataLayer* dataLayer);
    const Flock& flock(int n) const { return m_flocks[n]; }

private:
    Flock m_flocks[FLOCK_COUNT];
};
