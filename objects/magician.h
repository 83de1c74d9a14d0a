// Magician: a Character that casts bolts from a flare above its head. Drawn like a
// Character; its casting (flare, bolt, sound) is added with the enemies' combat rules.
#pragma once

#include "objects/character.h"

class FlareEffect;

class Magician : public Character {
public:
    Magician();
    ~Magician() override;

    void draw() override;
    void update() override;

    // Owned once the effects exist: "Data/Flare.bmp", orange, ring 5.0, horizontal.
    FlareEffect* m_flare = nullptr;
};
