// Character: a model object with a particle effect above it and a tint it is drawn
// with. Melee enemies are plain Characters; magicians and the boss derive from it.
// Drawing picks the model's shadow period from what is needed (visible, shadow only,
// both) and draws the model blended in its tint colour with lighting off.
// The combat rules (AI decisions, hits, freezing, death) live in update and onHit;
// until they are filled in, update only runs gravity, vertical motion, the ground
// clamp and the animation queue, and onHit ignores blows.
#pragma once

#include "objects/modelobject.h"

#include <cstdint>

class ParticleEffect;
struct AIDecision;

// Where the effect above a character floats.
constexpr float CHARACTER_EFFECT_HEIGHT = 5.0f;

class Character : public ModelObject {
public:
    Character();
    ~Character() override;

    // Only when active and visible or casting a shadow: shadow period 60 (visible
    // only), 30 and shadow-only drawing (shadow only) or 1 (both); then the model in
    // (red, green, blue, glow) with blending on and lighting off, then the effect.
    void draw() override;
    void update() override;
    void onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
               const Vector& direction) override;

    // The shadow period the draw rule asks for; 0 when nothing is drawn.
    static int32_t shadowPeriodFor(bool visible, bool castsShadow);

    float m_tint[3] = {0.0f, 0.0f, 0.0f}; // red, green, blue
    float m_glow = 0.0f;                  // drawing alpha; the largest tint
    Vector m_moveDirection{0.0f, 0.0f, 0.0f};
    Vector m_targetDirection{0.0f, 0.0f, 0.0f};
    Vector m_jumpDirection{0.0f, 0.0f, 0.0f};
    bool m_frozen = false;
    int32_t m_frozenMs = 5000;
    double m_invulnerableMs = 0.0;
    AIDecision* m_decision = nullptr; // the AI's record, refreshed each frame
    // Owned; textured with "Data/p3.bmp" and placed 5.0 above the character once the
    // effects exist. Null until then, and every use checks.
    ParticleEffect* m_effect = nullptr;

protected:
    // The shared part of Character-style drawing: push, place, colour, model, pop.
    void drawTinted(float red, float green, float blue, float alpha);
    // The plain per-frame motion: gravity, vertical motion, ground clamp, knockback.
    // Returns the elapsed milliseconds, or a negative value when paused or inactive.
    double moveAndFall();
};
