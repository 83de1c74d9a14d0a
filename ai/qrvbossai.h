// QRVBossAI: the boss's steering once it is active. It hunts the hero without pause:
// faces the hero, steps one grid cell toward the hero's cell until it stops BOSS_STANDOFF
// from him, jumps with chance 1/1000 and, within a box distance of 200, attacks with
// chance 1/20. Constant time per step;
// it reads the boss's cell as moveBoss left it and never moves the boss itself.
#pragma once

#include "ai/qrvai.h"

class QRVDataLayer;
struct BossData;

// The box distance within which the boss may attack.
constexpr int32_t BOSS_ATTACK_RANGE = 200;
// How far from the hero the boss's hunt ends: it stands two and a half times an enemy's
// height, so its reach is as much longer.
constexpr float BOSS_STANDOFF = 12.0f;

class QRVBossAI : public QRVAI {
public:
    // One decision into boss->decision. Null arguments do nothing.
    void step(QRVDataLayer* dataLayer, BossData* boss);
};
