// Character: a model object with a particle effect above it and a tint it is drawn
// with. Melee enemies are plain Characters; magicians and the boss derive from it.
//
// Each update carries out the AI's decision for this frame (walk, jump, attack,
// stand), turns slowly towards the target, falls, plays the queued animations and
// fades the paint that gun hits leave. An enemy's bone-bound geometry is hidden while
// it carries no paint (it shows only its shadow and the puff above it). onHit applies
// the hit rules: a 500 ms invulnerability window, reactions by struck body part,
// tints and freezing by gun colour, and on death the burst, the death cue and one gem.
//
// Costs: update and onHit are constant time plus one data-layer lookup and the
// model's blend step; a death allocates one gem. Drawing is the model's immediate
// mode draw plus up to 1000 effect quads.
// Not guaranteed: the decision is looked up by identifier each frame; a character
// whose record is gone (killed) keeps the last one it read. Sounds need g_sound.
#pragma once

#include "level/levelfile.h"
#include "objects/modelobject.h"
#include "objects/poses.h"

#include <cstdint>
#include <memory>

class ParticleEffect;
struct AIDecision;

// Where the effect above a character floats.
constexpr float CHARACTER_EFFECT_HEIGHT = 5.0f;
// How long a hit keeps the character from being hit again.
constexpr double CHARACTER_INVULNERABLE_MS = 500.0;
// How long the blue gun freezes a character.
constexpr int32_t CHARACTER_FROZEN_MS = 5000;
// Paint lost per channel per update.
constexpr float CHARACTER_PAINT_FADE = 0.001f;
// Largest tint a gun can paint.
constexpr float CHARACTER_TINT_CAP = 2.0f;
// A coat of paint shows this many times its strength in opacity (capped at opaque): one
// gun hit (0.3) shows the body nearly solid, and it turns see-through only as it wears off.
constexpr float CHARACTER_PAINT_OPACITY = 3.0f;

// The colour each gun's paint shows in (red, green, blue guns), drawn unlit: hues that stand
// out against the lit grass, the dark forest and the snow. The green gun's pure green was a
// shade of the grass itself; its spring green is lighter and bluer than any grass, and the
// blue is an azure that reads on dark ground too.
constexpr float CHARACTER_PAINT_COLOURS[3][3] = {
    {1.0f, 0.15f, 0.1f}, {0.2f, 1.0f, 0.6f}, {0.2f, 0.5f, 1.0f}};

// Weapon kinds passed to onHit.
constexpr int32_t WEAPON_BAT = 0;
constexpr int32_t WEAPON_GREEN = 1;
constexpr int32_t WEAPON_RED = 2;
constexpr int32_t WEAPON_BLUE = 3;

class Character : public ModelObject {
public:
    Character();
    ~Character() override;

    // Only when active and visible or casting a shadow: shadow period 60 (visible
    // only), 30 and shadow-only drawing (shadow only) or 1 (both); then the model in
    // (red, green, blue, glow) with blending on and lighting off, then the effect.
    void draw() override;
    // One frame of a melee enemy (see the header paragraph).
    void update() override;
    // A blow or projectile reached the character; see the header paragraph.
    void onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
               const Vector& direction) override;

    // The shadow period the draw rule asks for; 0 when nothing is drawn.
    static int32_t shadowPeriodFor(bool visible, bool castsShadow);
    // Reaction animation and damage factor for a struck body part (attack type).
    static int32_t reactionFor(int32_t attackType);
    // A hit's reaction (or knock-down) waits at the front of the queue: the pose shown has
    // not caught up with the hit yet, and no decision may clear it away meanwhile.
    bool hitReactionQueued() const;
    static float damageFactorFor(int32_t attackType);

    // Draws a figure by the draw rule's visible/shadow cases: pushed, placed, turned, the
    // model (shadow volumes only when unseen), popped. With `rgba` the model is drawn in
    // that colour, blended, unlit; without, as it is.
    static void drawFigure(ModelObject& body, const float* rgba);
    // Whether the bone-bound geometry is drawn (false while unpainted).
    bool geometryShown() const;
    // The colour and alpha the body is drawn in: the paints' colours
    // (CHARACTER_PAINT_COLOURS) mixed by their strengths, at full brightness (the strongest
    // channel 1), CHARACTER_PAINT_OPACITY times the glow as alpha. A dying body is
    // drawn opaque, in its paint or, unpainted, in its own colours, so a death is seen.
    static void paintColour(const float tint[3], float glow, bool dying, float rgba[4]);

    // The plain per-frame motion of a walking figure, enemy or villager: gravity, the
    // invulnerability countdown, vertical motion, the ground clamp, and the knockback
    // (pushKnockedBack). Returns the elapsed milliseconds, or a negative value when paused or
    // inactive.
    static double moveAndFall(ModelObject& body, double& invulnerableMs);
    // Spends a figure's knockback over dt ms, the same at any frame rate: a sixtieth of a
    // second pushes it by the knockback it began with (nine tenths while the collision world
    // takes its share) and eases that off by a twentieth, and by the world's tenth unless
    // scenery holds it; zeroed once shorter than 0.7. The push is walked in wall-checked
    // pieces.
    static void pushKnockedBack(ModelObject& body, double dt);

    float m_tint[3] = {0.0f, 0.0f, 0.0f}; // red, green, blue
    float m_glow = 0.0f;                  // drawing alpha; the largest tint
    // Seen from the start (a newcomer's first creatures): drawn plainly while unpainted and
    // never hidden when the paint fades; paint still tints it.
    bool m_shown = false;
    int32_t m_blowDamage = ENEMY_BLOW_DAMAGE; // the life a blow of it takes from the hero
    Vector m_moveDirection{0.0f, 0.0f, 0.0f};
    // The waypoint of the last walk decision, and whether the character walks to it (false
    // after a jump, which carries it along m_moveDirection instead).
    Vector m_walkPoint{0.0f, 0.0f, 0.0f};
    bool m_walkingToPoint = false;
    Vector m_targetDirection{0.0f, 0.0f, 0.0f};
    Vector m_jumpDirection{0.0f, 0.0f, 0.0f};
    bool m_frozen = false;
    int32_t m_frozenMs = CHARACTER_FROZEN_MS;
    double m_invulnerableMs = 0.0;
    AIDecision* m_decision = nullptr; // the AI's record, refreshed each frame
    // Owned (a SparkEffect made at construction), textured with "Data/p3.bmp" once a
    // GL context exists (loadEffectTexture), placed 5.0 above the character.
    std::unique_ptr<ParticleEffect> m_effect;
    // Number of gems this character has dropped (at most one).
    int32_t m_gemsDropped = 0;
    // Drops the death's gem where the body lies (see gemRestingPlace), once.
    void dropOwnGem();

    // Loads the effect's texture (needs a GL context). The first draw calls it when
    // nobody did before; a missing file is reported once by the texture loader.
    virtual void loadEffectTexture();
    bool m_effectTextureLoaded = false;

protected:
    // The shared part of Character-style drawing: push, place, colour, model, pop.
    void drawTinted(float red, float green, float blue, float alpha);
    // Reads this frame's decision from the data layer (keeps the old one if none).
    void refreshDecision();
    // Carries out this frame's decision (attack, jump, stand or walk), turns and walks, or
    // thaws a frozen character, then queues the walk poses. Returns false when the frame
    // ended early (attack or stand).
    bool actOnDecision(double dt);
    // One frame's stride at m_speed: toward m_walkPoint, stopping on it, while walking to
    // the decision's waypoint; along m_moveDirection after a jump.
    void walkAlong(double dt);
    // Undoes the part of a step from `from` that would take the creature into the water.
    void keepOutOfWater(const Vector& from);
    // The walk cycle and the airborne poses: while walking (current pose below the jump)
    // an empty queue gets both steps; then a vertical speed above 20 queues the jump
    // pose, below -20 the fall pose, between -10 and 10 the other step (refused when
    // full). A melee enemy or magician does this only while walking; the boss passes
    // `alsoWhileBusy` and queues the poses behind its attacks and reactions too.
    void queueWalkPoses(bool alsoWhileBusy);
    // Fades the paint, hides unpainted geometry, switches the outline.
    void fadePaint();
    // Queues the attack; the magician's is slower and places its flare.
    virtual void startAttack();
    // Reports damage; true when the life is exhausted.
    bool reportDamage(int32_t amount);
    // Plays a cue at the character's position (nothing without g_sound).
    void playCue(int32_t cue) const;
};
