// Magician: a Character that casts bolts from a flare above its head. It walks,
// jumps and takes hits like a melee enemy; its attack is slower (500, 500, 100 ms) and
// ends in a hostile Bolt aimed at the hero, handed to g_projectiles. While attacking it
// draws its flare and plays the casting cue at its position every drawn frame.
// Costs: as a Character, plus the flare's 1000 particles while casting.
// Not guaranteed: without g_projectiles the bolt is not cast; a full list refuses it
// and the bolt is destroyed at once.
#pragma once

#include "objects/character.h"

#include <memory>

class FlareEffect;

// Bolt parameters.
constexpr float MAGICIAN_BOLT_SPEED = 300.0f;
constexpr float MAGICIAN_BOLT_LIFETIME_MS = 1500.0f;
constexpr int32_t MAGICIAN_BOLT_DAMAGE = 10;

class Magician : public Character {
public:
    Magician();
    ~Magician() override;

    void draw() override;
    void update() override;

    // Casts one bolt from above the head at the hero; false when it was not cast
    // (no list, or the list was full: then the bolt is destroyed).
    bool castBolt();
    // Loads the flare's and the effect's textures (needs a GL context).
    void loadEffectTexture() override;

    // "Data/Flare.bmp", orange, ring 5.0, horizontal.
    std::unique_ptr<FlareEffect> m_flare;
    int32_t m_boltsCast = 0;

protected:
    void startAttack() override;
};
