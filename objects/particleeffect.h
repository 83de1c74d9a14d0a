// Particle effects: the puffs above characters, hit flashes, death bursts, projectile trails,
// the standing fire of the level and the ring-shaped flare of casters and cutscenes.
//
// A ParticleEffect holds exactly 1000 particles in a fixed array and never allocates after
// construction. `update` (time in seconds, mode, extra) emits new particles from the dead slots
// (index order) and steps the live ones; particle positions are kept relative to the emitter,
// and drawing translates to the emitter (plus the offset), so an effect drawn inside an
// object's matrix follows the object. Costs: update is linear in the 1000 slots; drawing sends
// every live particle's textured quad in one vertex-array draw. setTexture loads a BMP (needs a
// current GL context for a file that exists; load at set-up, never per frame).
//
// The simulation is objects/particleeffect.cpp; the drawing members, setTexture and the fire's
// layer are defined in render/particleeffectdraw.cpp, the only one of the two that calls GL.
//
// Not guaranteed: emission stops silently once all 1000 slots are alive (the excess is lost,
// only the fraction is carried); time is whatever clock the caller passes, only differences
// matter, and the first update of an effect only sets its clock (nothing moves, rate-based
// emission starts from there). Time running backwards counts as no time. The randomness is
// the game's one generator, so sequences depend on call order.
#pragma once

#include "models/vector.h"

#include <cstdint>
#include <string>
#include <vector>

class ParticleEffect;

constexpr int32_t PARTICLE_COUNT = 1000;

// Update modes.
constexpr int32_t EFFECT_EMIT = 0; // emit only
constexpr int32_t EFFECT_MOVE = 1; // move existing particles only
constexpr int32_t EFFECT_BOTH = 2; // both

// setFlag selectors.
constexpr int32_t EFFECT_FLAG_ATTRACT = 0;
constexpr int32_t EFFECT_FLAG_NO_EMIT = 1;

struct Particle {
    ParticleEffect* m_owner = nullptr;
    Vector m_previousPosition;
    Vector m_position; // relative to the emitter
    Vector m_velocity;
    float m_color[4] = {0.0f, 0.0f, 0.0f, 1.0f}; // r, g, b, w (w follows the alpha)
    float m_colorChange[3] = {0.0f, 0.0f, 0.0f}; // per second
    float m_alpha = 0.0f;
    float m_alphaChange = 0.0f;
    float m_size = 0.0f;
    float m_sizeChange = 0.0f;
    float m_age = -1.0f; // negative: dead
    float m_lifetime = 0.0f;
    int32_t m_spin = 0; // degrees about y when drawn, 0 to 90
};

// The wall clock in seconds for effect updates: milliseconds of a process-wide stopwatch
// times 0.001 (it follows the timers' test tick source and their pause).
double effectTimeSeconds();

// The corners of one particle's quad in strip order (+h +h, -h +h, +h -h, -h -h): the quad
// of half-size h around `centre` in the xy plane, turned by `degrees` about +y, then
// moved by `offset`.
void particleQuadCorners(const Vector& offset, float degrees, const Vector& centre, float h,
                         float (&out)[4][3]);

class ParticleEffect {
public:
    ParticleEffect();
    ParticleEffect(const ParticleEffect&) = delete;
    ParticleEffect& operator=(const ParticleEffect&) = delete;

    // Kills every particle (live count 0, carry 0), so the next emission can use all slots.
    virtual void resetAll();
    // Gives particle i a new birth from the current parameters; ignored outside 0..999.
    virtual void resetParticle(int32_t i);
    // time: wall clock in seconds; mode EFFECT_EMIT / EFFECT_MOVE / EFFECT_BOTH; extra:
    // particles emitted at once on top of the rate (only in the emitting modes).
    virtual void update(double time, int32_t mode, float extra);
    // Draws the live particles; keeps the GL state and the matrix.
    virtual void draw() = 0;
    virtual ~ParticleEffect();

    // Loads the BMP as the particle texture (0, drawing untextured, when it does not load).
    void setTexture(const std::string& path);
    // Moves the emitter (the previous emitter position stays, so the next births spread along
    // the motion).
    void setPosition(float x, float y, float z);
    void setOffset(float x, float y, float z);
    void setSizes(float start, float end);
    void setAlphas(float start, float end);
    void setColors(float r1, float g1, float b1, float r2, float g2, float b2);
    void setSpeed(float speed);
    void setLifetime(float seconds);
    void setGravity(float x, float y, float z);
    void setRate(int32_t perSecond);
    // 0 sets m_attract, 1 sets m_noEmit; other selectors are ignored.
    void setFlag(int32_t which, bool value);

    // How far below the emitter a particle's quad can reach for a still emitter: the drop
    // of the fastest downward birth until gravity turns it (or over its longest life), the
    // birth jitter and the largest half-size. An emitter this far above the ground keeps
    // every flame on or above it.
    float reachBelow() const;

    int32_t liveCount() const { return m_liveCount; }
    const Particle& particle(int32_t i) const { return m_particles[static_cast<size_t>(i)]; }
    Vector getPosition() const { return m_emitter; }

    bool m_attract = false;
    bool m_noEmit = false;
    int32_t m_rate = 0;
    int32_t m_liveCount = 0;
    double m_lastTime = 0.0;
    bool m_clockStarted = false; // false until the first update has set m_lastTime
    float m_carry = 0.0f;

    Vector m_emitter;
    Vector m_previousEmitter;
    Vector m_offset{0.0f, 0.0f, 0.0f};
    Vector m_directionScale{1.0f, 1.0f, 1.0f};
    bool m_scatter[3] = {false, false, false}; // axes that get a whole-unit scatter of +-10

    float m_sizeStart = 2.0f;
    float m_sizeVariance = 0.0f;
    float m_sizeEnd = 1.0f;
    float m_alphaStart = 1.0f;
    float m_alphaVariance = 0.0f;
    float m_alphaEnd = 0.0f;
    float m_colorStart[3] = {0.0f, 0.0f, 1.0f};
    float m_colorVariance[3] = {0.0f, 0.0f, 0.0f};
    float m_colorEnd[3] = {0.0f, 0.0f, 1.0f};
    float m_speed = 50.0f;
    float m_speedVariance = 0.0f;
    float m_lifetime = 0.5f;
    float m_lifetimeVariance = 0.0f;
    float m_spread = 360.0f; // degrees
    int32_t m_jitterMin = -50;
    int32_t m_jitterMax = 50;
    float m_jitterDivisor = 100.0f;
    Vector m_gravity{0.0f, 14.0f, 0.0f};
    unsigned int m_texture = 0; // GL texture name, 0 = none

protected:
    // One step of particle i by dt seconds; false when it died (or was dead).
    bool stepParticle(Particle& p, float dt);
    // The additive textured quads of every live particle; depthAlways draws with the depth
    // function always passing instead of switching the depth test off.
    void drawParticles(bool depthAlways);

    std::vector<Particle> m_particles; // always PARTICLE_COUNT entries
    float m_birthDt = 0.0f;            // dt of the emission in progress
};

// The plain trail/puff effect: the defaults, drawn with the depth test off.
class SparkEffect : public ParticleEffect {
public:
    SparkEffect() = default;
    void draw() override;
};

// Where an effect's live particles land on a screen of one viewport: the window rectangle
// around their quads (x0, y0, x1, y1; the whole viewport when some quad reaches behind the
// eye), the radius in pixels of the smallest quad in front of the eye (infinity when none)
// and about how many pixels all the quads cover together, each at most the viewport.
struct EffectOnScreen {
    bool m_visible = false;
    int m_rect[4] = {0, 0, 0, 0};
    float m_smallestRadius = 0.0f;
    double m_coverage = 0.0;
};

// The standing fire-like fountain: rate 100, sizes 8 to 6, alpha 1 to 0, speed 5, lifetime 2 s,
// colours (1, 0, 0) to (1, 0.55, 0.1); drawn with the depth function GL_ALWAYS.
//
// Up close its two hundred large flames cover the screen many times over, and a software
// rasteriser pays for every covered pixel. Their glow is smooth, and additive blending adds
// the same whatever order or buffer it is summed in, so when every flame is large on the
// screen they are summed at half the resolution first and laid over the scene as one
// texture (prepareLayer, then draw).
class FireEffect : public ParticleEffect {
public:
    // Flames at least this many pixels in radius are summed at half the resolution: the
    // glow then spans dozens of the smaller pixels and scales back up within a step or two
    // of 255.
    static constexpr float LAYER_MIN_RADIUS = 24.0f;
    // Whether the layer pays for itself: a quarter of the flames' pixels, plus clearing and
    // copying a quarter of the viewport and laying the layer over its rectangle, must come
    // well under drawing every flame at full size.
    static bool layerPays(const EffectOnScreen& screen, const int* viewport);

    FireEffect();
    ~FireEffect() override;
    FireEffect(const FireEffect&) = delete;
    FireEffect& operator=(const FireEffect&) = delete;

    // Before the frame's clear, with the camera applied: when the flames are all large on
    // the screen, sums them into a corner of the back buffer at half the resolution and keeps
    // that as the layer texture. The frame's clear then wipes the corner.
    void prepareLayer();
    // The layer when prepareLayer made one this frame, otherwise every flame at full size.
    void draw() override;

    // The live particles on the screen under column-major model-view and projection
    // matrices (the emitter's frame is applied here) and a viewport.
    EffectOnScreen onScreen(const float* modelView, const float* projection,
                            const int* viewport) const;
    bool layerReady() const { return m_layerReady; }

private:
    void drawLayer();
    unsigned int m_layerTexture = 0; // GL texture name
    int m_layerTextureSize[2] = {0, 0};
    bool m_layerReady = false;
    int m_layerViewport[4] = {0, 0, 0, 0};
    int m_layerRect[4] = {0, 0, 0, 0};
    float m_layerScale[2] = {0.0f, 0.0f}; // window pixels to layer texture coordinates
};

constexpr int32_t FLARE_PALETTE_SIZE = 12;

// The ring-shaped flare: 1000 self-renewing particles started on a ring around the centre.
// They move when drawn (a fixed step per drawing, as the casters expect), not in update;
// update only keeps the clock. Set-up order used by casters and cutscenes: setPosition
// (centre), setGravity, setAngle, setFactor, setTexture, setRingSize, setPalette, layOut.
// The ring factors, ring size and base speed apply at the next layOut or renewal.
class FlareEffect : public ParticleEffect {
public:
    struct FlareParticle {
        float m_life = 1.0f;
        float m_fade = 0.003f;
        float m_color[3] = {1.0f, 0.5f, 0.25f};
        Vector m_position; // relative to the ring centre
        Vector m_speed;
    };

    FlareEffect();
    FlareEffect(float x, float y, float z);

    // Lays the ring out again with the current orientation.
    void resetAll() override;
    // Starts flare particle i again on the ring (life 1, new fade and speed).
    void resetParticle(int32_t i) override;
    void update(double time, int32_t mode, float extra) override;
    // Draws the particles, then advances them one step.
    void draw() override;
    // Draws the particles without moving them (a caller that steps them by time).
    void drawParticles();

    void setRingSize(float size) { m_ringSize = size; }
    void setRingFactors(float fx, float fy, float fz);
    void setAngle(float degrees) { m_angle = degrees; }     // per-particle turn when drawing
    void setFactor(float halfSize) { m_factor = halfSize; } // half-size of each quad
    void setBaseSpeed(float x, float y, float z) { m_baseSpeed.set(x, y, z); }
    // true: the orange table, false: the blue one.
    void setPalette(bool orange);
    // Lays all 1000 particles out on the ring; vertical false uses ring factors x and y
    // (x with cosine, y with sine), true x and z (x with cosine, z with sine).
    void layOut(bool vertical);
    // Moves every particle one drawing's step and renews the spent ones (drawing calls it).
    void advance();

    const FlareParticle& flareParticle(int32_t i) const { return m_flare[static_cast<size_t>(i)]; }
    const float* paletteEntry(int32_t i) const { return m_palette[i]; }

    float m_slowDown = 2.0f;
    float m_ringSize = 1.0f;
    float m_ringFactor[3] = {1.0f, 1.0f, 1.0f};
    bool m_vertical = false;
    float m_angle = 0.0f;
    float m_factor = 1.0f;
    Vector m_baseSpeed{0.0f, 0.0f, 0.0f};
    float m_palette[FLARE_PALETTE_SIZE][3];
    bool m_orange = true;

private:
    void placeOnRing(int32_t k, FlareParticle& p) const;
    std::vector<FlareParticle> m_flare; // always PARTICLE_COUNT entries
};

// The village fire (shell/gamecontext.cpp); null outside a level.
extern FireEffect* g_fountain;
