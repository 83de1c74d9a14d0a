// Gem: the game's currency. A collectable, spinning, nearly solid model worth 5 to 14,
// in one of the seven colours whose channels are each 0 or 1 (never black). Construction reseeds
// the game's random generator with the calendar time in seconds, so gems made within one second
// come out alike. A missing gem model shows the model-load box and the gem draws nothing.
//
// The gem list is g_gems / g_gemCount (below), in drop order. dropGem
// and collectGems are cheap (a linear pass over at most 250 gems); a gem's creation
// reads its model file, so drops cost a file read each.
//
// Not guaranteed: a drop into a full list (250) is refused, so the 251st gem is lost.
#pragma once

#include "objects/modelobject.h"

#include <cstdint>

// The hero picks up a gem closer than this. At 10 his own body hid the gem from the camera
// behind him before he reached it, and newcomers spent a minute stepping to and fro over it.
constexpr float GEM_PICKUP_DISTANCE = 16.0f;
// How far from the hero a fallen enemy's gem comes to rest: out of his reach, so that he
// sees it lying there and walks onto it, rather than taking it unseen the moment it drops
// beside him after a bat blow.
constexpr float GEM_CLEAR_OF_HERO = 1.5f * GEM_PICKUP_DISTANCE;
// Nearly solid: at the old 0.3 a gem on grass was hard to see at all.
constexpr float GEM_ALPHA = 0.85f;

class Gem : public ModelObject {
public:
    Gem();
    ~Gem() override;

    // Spins 0.1 degree per drawn frame; scaled by m_value / 5 and drawn in
    // (red, green, blue, GEM_ALPHA) with blending on and lighting off.
    void draw() override;
    void update() override {}
    void onHit(int32_t, int32_t, int32_t, const Vector&) override {}

    // The scale the gem is drawn at: m_value / 5.
    float drawScale() const { return float(m_value) / 5.0f; }

    // The colour a random draw gives: one of the seven mixes of full channels, never black.
    static void colourFor(int32_t draw, float rgb[3]);

    // The model a random pick of 0, 1 or 2 loads.
    static const char* modelFor(int32_t pick);

    int32_t m_value = 5;
    float m_color[3] = {0.0f, 0.0f, 0.0f};
};

// Where the gem of an enemy that fell at `body` lies: at the body, or, when the hero stands
// closer than GEM_CLEAR_OF_HERO, that far from him on the body's side (straight along +x
// when he stands on the very spot). y is the body's; the caller puts it on the ground.
Vector gemRestingPlace(const Vector& body, const Vector& hero);

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
