// Player: the hero, Tarvo. A model object steered by the frame commands, whose life
// lives in its data-layer entry, not here. Its draw runs its own update first, so the
// play frame only ever calls draw for the hero.
// This file holds the hero's state and the per-frame motion (gravity, velocity,
// knockback, ground, animation queue); the commands (move, jump, turn, dodge, aim,
// swing, shoot) and the hit rules are added by the player's own work.
#pragma once

#include "objects/modelobject.h"

#include <cstdint>

class ParticleEffect;
class BitmapFont;

class Player : public ModelObject {
public:
    Player();
    ~Player() override;

    // Runs update, then draws the model at the position and heading.
    void draw() override;
    void update() override;
    void onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
               const Vector& direction) override;

    float m_walkSpeed = 40.0f;
    bool m_aiming = false;
    ParticleEffect* m_effect = nullptr; // owned once the effects exist ("Data/p2.bmp")
    BitmapFont* m_font = nullptr;       // owned once the fonts exist ("Arial", 20)
    int32_t m_blueAmmo = 10;
    int32_t m_redAmmo = 10;
    int32_t m_gems = 10;
    int32_t m_weapon = 0; // 0 green, 1 red, 2 blue
    int32_t m_greenHeat = 0;
    float m_forwardInput = 0.0f;
    float m_sideInput = 0.0f;
    double m_invulnerableMs = 1000.0;
};
