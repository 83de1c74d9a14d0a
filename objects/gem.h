// Gem: the game's currency. A collectable, spinning, see-through model worth 5 to 14,
// in one of the colours whose channels are each 0 or 1. Construction reseeds the
// game's random generator with the calendar time in seconds, so gems made within one
// second come out alike. A missing gem model shows the model-load box and the gem
// draws nothing.
//
// The gem list is g_gems / g_gemCount (below), in drop order. dropGem
// and collectGems are cheap (a linear pass over at most 250 gems); a gem's creation
// reads its model file, so drops cost a file read each.
//
// Not guaranteed: a drop into a full list (250) is refused, so the 251st gem is lost.
#pragma once

#include "objects/modelobject.h"

#include <cstdint>

// The hero picks up a gem closer than this.
constexpr float GEM_PICKUP_DISTANCE = 10.0f;

class Gem : public ModelObject {
public:
    Gem();
    ~Gem() override;

    // Spins 0.1 degree per drawn frame; scaled by m_value / 5 and drawn in
    // (red, green, blue, 0.3) with blending on and lighting off.
    void draw() override;
    void update() override {}
    void onHit(int32_t, int32_t, int32_t, const Vector&) override {}

    // The scale the gem is drawn at: m_value / 5.
    float drawScale() const { return float(m_value) / 5.0f; }

    // The model a random pick of 0, 1 or 2 loads.
    static const char* modelFor(int32_t pick);

    int32_t m_value = 5;
    float m_color[3] = {0.0f, 0.0f, 0.0f};
};

// Creates a gem at the position and appends it to the gem list. Returns false (and
// creates nothing) when the list already holds 250 gems.
bool dropGem(const Vector& position);

// Once per play frame: the first gem in list order closer than 10 to the hero is
// added to the hero's m_gems, cue 9 plays, and the gem is deleted and removed (later
// gems move one place forward). At most one gem a frame. Returns whether one was taken.
bool collectGems();

// Deletes every gem and sets the count to 0 (level release).
void releaseGems();

// The dropped gems in drop order, and how many there are (shell/gamecontext.cpp).
constexpr int GEM_TABLE_SIZE = 250;
extern Gem* g_gems[GEM_TABLE_SIZE];
extern int32_t g_gemCount;
