// Gem: a collectable, spinning, see-through model worth 5 to 14 gems, in one of the
// colours whose channels are each 0 or 1. Construction reseeds the game's random
// generator with the calendar time in seconds, so gems made within one second come
// out alike. Loading picks one of the three gem models; a missing one shows the
// model-load box and the gem draws nothing.
#pragma once

#include "objects/modelobject.h"

#include <cstdint>

class Gem : public ModelObject {
public:
    Gem();
    ~Gem() override;

    // Spins 0.1 degree per drawn frame; scaled by m_value / 5 and drawn in
    // (red, green, blue, 0.3) with blending on and lighting off.
    void draw() override;
    void update() override {}
    void onHit(int32_t, int32_t, int32_t, const Vector&) override {}

    // The model a random pick of 0, 1 or 2 loads.
    static const char* modelFor(int32_t pick);

    int32_t m_value = 5;
    float m_color[3] = {0.0f, 0.0f, 0.0f};
};
