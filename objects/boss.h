// Boss: the last opponent, a Character created inactive. It descends, charges its
// flare and then fights like a magician; its drawing alpha is its charge. It casts no
// stencil shadow (both shadow slots do nothing). The phases' behaviour is added with
// the boss's own work; for now update runs the Character's motion.
#pragma once

#include "objects/character.h"

#include <cstdint>

class FlareEffect;

enum BossPhase : int32_t {
    BOSS_DESCENT = 0,
    BOSS_CHARGE = 1,
    BOSS_FIGHT = 2,
    BOSS_DEAD = 3,
};

class Boss : public Character {
public:
    Boss();
    ~Boss() override;

    // As a Character, coloured (1, 1, 1, m_charge); the model only from the charge on.
    void draw() override;
    void update() override;
    void updateShadowCasters() override {}
    void setShadowLight(float, float, float, float, bool, int32_t) override {}

    int32_t m_phase = BOSS_DESCENT;
    // Owned once the effects exist: "Data/Flare.bmp", blue, ring 1.0, vertical.
    FlareEffect* m_flare = nullptr;
    float m_charge = 0.0f; // 0 to 1; also the drawing alpha
};
