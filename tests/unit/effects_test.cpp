// Particle effects, projectiles and the list of flying projectiles.
#include "objects/particleeffect.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/random.h"
#include "platform/win32timer.h"
#include "shell/gamecontext.h"
#include "support/bmpwriter.h"
#include "support/contextguard.h"
#include "support/glcontext.h"
#include "world/collisionworld.h"
#include "world/terrain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

int countAlive(const ParticleEffect& e) {
    int n = 0;
    for (int i = 0; i < PARTICLE_COUNT; ++i)
        if (e.particle(i).m_age >= 0.0f)
            ++n;
    return n;
}

bool inRange(float v, float lo, float hi) {
    return v >= lo && v <= hi;
}

// Particles flying straight along +x from the emitter itself.
void aimStraight(SparkEffect& e, float speed, float lifetime) {
    e.m_spread = 0.0f;
    e.m_jitterMin = e.m_jitterMax = 0;
    e.setSpeed(speed);
    e.setLifetime(lifetime);
}

// The timers' clock, stepped by hand.
struct FakeClock {
    int64_t m_ns = 1000000000;
    FakeClock() {
        Win32Timer::SetTickSourceForTests([this] { return m_ns; });
    }
    ~FakeClock() { Win32Timer::SetTickSourceForTests({}); }
    void advanceMs(double ms) { m_ns += static_cast<int64_t>(ms * 1e6); }
};

// A projectile that reports its destruction.
class CountedShot : public HeroShot {
public:
    CountedShot(int* deaths, const Vector& pos = Vector(0, 100, 0))
        : HeroShot(pos, Vector(1, 0, 0), 100.0f, 1000.0f), m_deaths(deaths) {}
    ~CountedShot() override { ++*m_deaths; }
    int* m_deaths;
};

} // namespace

TEST(ParticleBirth, ExtraParticlesFillSlotsInOrderUpToTheThousand) {
    SparkEffect e;
    e.update(1.0, EFFECT_EMIT, 8.0f);
    e.update(1.0, EFFECT_EMIT, 8.0f);
    EXPECT_EQ(countAlive(e), 16);
    EXPECT_EQ(e.liveCount(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_GE(e.particle(i).m_age, 0.0f) << i;
    EXPECT_LT(e.particle(16).m_age, 0.0f);

    e.update(1.0, EFFECT_BOTH, 5000.0f);
    EXPECT_EQ(countAlive(e), PARTICLE_COUNT);
    e.update(1.0, EFFECT_BOTH, 10.0f); // no slot left: nothing changes, nothing breaks
    EXPECT_EQ(e.liveCount(), PARTICLE_COUNT);
    e.resetAll();
    EXPECT_EQ(countAlive(e), 0);
    EXPECT_EQ(e.liveCount(), 0);
}

TEST(ParticleBirth, LifetimeSpeedAndDirectionStayWithinTheirRanges) {
    SparkEffect shortLived, longLived, fast;
    shortLived.setLifetime(0.001f);
    longLived.setLifetime(50.0f);
    fast.setSpeed(1000.0f);
    for (SparkEffect* e : {&shortLived, &longLived, &fast})
        e->update(0.0, EFFECT_EMIT, 1.0f);
    EXPECT_FLOAT_EQ(shortLived.particle(0).m_lifetime, 0.01f);
    EXPECT_FLOAT_EQ(longLived.particle(0).m_lifetime, 20.0f);
    EXPECT_NEAR(fast.particle(0).m_velocity.length(), 300.0f, 1e-2f);

    gameSrand(7);
    SparkEffect varied;
    varied.setLifetime(1.0f);
    varied.m_lifetimeVariance = 0.5f;
    varied.update(0.0, EFFECT_EMIT, 500.0f);
    float lo = 10.0f, hi = 0.0f;
    for (int i = 0; i < 500; ++i) {
        lo = std::min(lo, varied.particle(i).m_lifetime);
        hi = std::max(hi, varied.particle(i).m_lifetime);
    }
    EXPECT_GE(lo, 0.5f);
    EXPECT_LE(hi, 1.5f);
    EXPECT_LT(lo, 0.7f); // the variance is really used, both ways
    EXPECT_GT(hi, 1.3f);

    gameSrand(11);
    SparkEffect straight;
    aimStraight(straight, 20.0f, 1.0f);
    straight.update(0.0, EFFECT_EMIT, 20.0f);
    for (int i = 0; i < 20; ++i) {
        const Vector& v = straight.particle(i).m_velocity;
        EXPECT_FLOAT_EQ(v.x, 20.0f);
        EXPECT_NEAR(v.y, 0.0f, 1e-5f);
        EXPECT_NEAR(v.z, 0.0f, 1e-5f);
    }
    SparkEffect cone;
    cone.m_spread = 30.0f;
    cone.setSpeed(10.0f);
    cone.update(0.0, EFFECT_EMIT, 300.0f);
    const float cosLimit = std::cos(30.0f * 3.14159265f / 180.0f);
    for (int i = 0; i < 300; ++i) {
        const Vector& v = cone.particle(i).m_velocity;
        EXPECT_NEAR(v.length(), 10.0f, 1e-3f);
        EXPECT_GE(v.x / 10.0f, cosLimit - 1e-4f) << i;
    }
}

TEST(ParticleBirth, ColourSizeAndPlaceAreClampedAndHeadForTheirEnds) {
    gameSrand(3);
    SparkEffect e;
    e.setColors(0.5f, 0.5f, 0.5f, 1.0f, 0.0f, 0.25f);
    for (float& v : e.m_colorVariance)
        v = 2.0f;
    e.m_alphaVariance = 3.0f;
    e.setSizes(0.2f, 4.0f);
    e.m_sizeVariance = 5.0f;
    e.setLifetime(2.0f);
    e.update(0.0, EFFECT_EMIT, 200.0f);
    for (int i = 0; i < 200; ++i) {
        const Particle& p = e.particle(i);
        for (int c = 0; c < 3; ++c) {
            EXPECT_PRED3(inRange, p.m_color[c], 0.0f, 1.0f);
            EXPECT_NEAR(p.m_colorChange[c], (e.m_colorEnd[c] - p.m_color[c]) / 2.0f, 1e-6f);
        }
        EXPECT_FLOAT_EQ(p.m_color[3], 1.0f);
        EXPECT_PRED3(inRange, p.m_alpha, 0.0f, 1.0f);
        EXPECT_PRED3(inRange, p.m_size, 0.1f, 100.0f);
        EXPECT_PRED3(inRange, float(p.m_spin), 0.0f, 90.0f);
    }

    // A still emitter places its particles within the jitter around itself.
    gameSrand(5);
    SparkEffect still;
    still.setPosition(100.0f, 50.0f, 20.0f);
    still.update(0.0, EFFECT_EMIT, 1.0f); // the first birth spreads along the move from the origin
    still.update(0.0, EFFECT_EMIT, 100.0f);
    for (int i = 1; i < 101; ++i)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_PRED3(inRange, still.particle(i).m_position[axis], -0.5f, 0.5f);
}

TEST(ParticleUpdate, FractionsAreCarriedAndStoppedEmissionKeepsThem) {
    SparkEffect e;
    e.setRate(10);
    e.setLifetime(20.0f);
    e.update(0.0, EFFECT_BOTH, 0.0f);  // starts the clock
    e.update(0.25, EFFECT_BOTH, 0.0f); // 2.5 wanted
    EXPECT_EQ(e.liveCount(), 2);
    EXPECT_NEAR(e.m_carry, 0.5f, 1e-5f);
    e.update(0.5, EFFECT_BOTH, 0.0f); // 2.5 + 0.5
    EXPECT_EQ(e.liveCount(), 5);
    EXPECT_NEAR(e.m_carry, 0.0f, 1e-5f);

    SparkEffect stopped;
    stopped.setRate(10);
    stopped.setFlag(EFFECT_FLAG_NO_EMIT, true);
    stopped.update(0.0, EFFECT_BOTH, 0.0f);
    stopped.update(1.0, EFFECT_BOTH, 3.0f);
    EXPECT_NEAR(stopped.m_carry, 13.0f, 1e-4f);
    stopped.update(2.0, EFFECT_BOTH, 0.0f);
    EXPECT_NEAR(stopped.m_carry, 23.0f, 1e-4f);
    EXPECT_EQ(countAlive(stopped), 0);
    stopped.setFlag(EFFECT_FLAG_NO_EMIT, false);
    stopped.update(2.0, EFFECT_BOTH, 0.0f); // the kept amount comes out at once
    EXPECT_EQ(countAlive(stopped), 23);
}

TEST(ParticleUpdate, StepAppliesVelocityGravityRatesAttractionAndDeath) {
    SparkEffect e;
    aimStraight(e, 10.0f, 1.0f);
    e.setGravity(0.0f, -4.0f, 0.0f);
    e.setSizes(2.0f, 1.0f);
    e.update(0.0, EFFECT_MOVE, 50.0f); // moving mode emits nothing
    EXPECT_EQ(countAlive(e), 0);
    e.update(0.0, EFFECT_EMIT, 1.0f);
    e.update(0.5, EFFECT_EMIT, 0.0f); // emitting mode moves nothing
    EXPECT_EQ(e.particle(0).m_age, 0.0f);
    EXPECT_FLOAT_EQ(e.particle(0).m_position.x, 0.0f);
    e.update(0.5, EFFECT_MOVE, 0.0f);
    const Particle& p = e.particle(0);
    EXPECT_FLOAT_EQ(p.m_age, 0.5f);
    EXPECT_NEAR(p.m_position.x, 5.0f, 1e-4f);
    EXPECT_NEAR(p.m_velocity.y, -2.0f, 1e-4f);
    EXPECT_NEAR(p.m_size, 1.5f, 1e-4f);
    EXPECT_NEAR(p.m_alpha, 0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(p.m_color[3], p.m_alpha);
    e.update(1.0, EFFECT_MOVE, 0.0f); // age reaches the lifetime
    EXPECT_LT(p.m_age, 0.0f);
    EXPECT_EQ(e.liveCount(), 0);
    // Time running backwards moves nothing.
    e.update(2.0, EFFECT_EMIT, 1.0f);
    e.update(0.5, EFFECT_MOVE, 0.0f); // the clock stands at 1.0
    EXPECT_EQ(e.particle(0).m_age, 0.0f);

    SparkEffect pulled;
    aimStraight(pulled, 10.0f, 20.0f);
    pulled.setGravity(0.0f, 0.0f, 0.0f);
    pulled.setFlag(EFFECT_FLAG_ATTRACT, true);
    pulled.update(0.0, EFFECT_EMIT, 1.0f);
    for (int i = 1; i <= 100; ++i)
        pulled.update(i * 0.02, EFFECT_MOVE, 0.0f);
    EXPECT_LT(pulled.particle(0).m_velocity.x, 10.0f); // pulled back towards the emitter
    EXPECT_LT(pulled.particle(0).m_position.x, 10.0f * 2.0f);
}

TEST(EffectVariants, FlareRingLayoutAndRenewal) {
    FlareEffect flare;
    flare.setRingSize(5.0f);
    flare.setPalette(false);
    flare.layOut(false);
    for (int k : {0, 90, 359, 999}) {
        const auto& p = flare.flareParticle(k);
        EXPECT_NEAR(std::hypot(p.m_position.x, p.m_position.y), 5.0f, 1e-3f) << k;
        EXPECT_FLOAT_EQ(p.m_position.z, 0.0f);
        EXPECT_FLOAT_EQ(p.m_life, 1.0f);
        EXPECT_PRED3(inRange, p.m_fade, 0.003f, 0.103f);
    }
    EXPECT_NEAR(flare.flareParticle(90).m_position.y, 5.0f, 1e-3f);
    // The last particles take the last palette entry, not one past the table.
    EXPECT_FLOAT_EQ(flare.flareParticle(999).m_color[1], flare.paletteEntry(11)[1]);

    flare.layOut(true);
    EXPECT_FLOAT_EQ(flare.flareParticle(90).m_position.y, 0.0f);
    EXPECT_NEAR(flare.flareParticle(90).m_position.z, 5.0f, 1e-3f);

    // Every particle's life runs out within 1 / 0.003 drawings and starts again on the ring.
    for (int i = 0; i < 400; ++i)
        flare.advance();
    for (int k = 0; k < PARTICLE_COUNT; ++k) {
        EXPECT_GT(flare.flareParticle(k).m_life, 0.0f);
        EXPECT_LE(flare.flareParticle(k).m_life, 1.0f);
    }
}

TEST(ProjectileFlight, MovesOnlyWhileFlyingSpendsItsLifetimeAndStopsAtTheGround) {
    ContextGuard context;
    FakeClock clock;
    Bolt bolt(Vector(10, 100, 10), Vector(0, 0, 2), 300.0f, 1500.0f);
    EXPECT_FLOAT_EQ(bolt.m_direction.z, 1.0f); // normalised
    clock.advanceMs(100);
    bolt.update();
    EXPECT_FLOAT_EQ(bolt.m_position.z, 10.0f); // not launched yet

    bolt.launch();
    clock.advanceMs(100);
    bolt.update();
    EXPECT_NEAR(bolt.m_position.z, 40.0f, 1e-3f);
    EXPECT_NEAR(bolt.m_previousPosition.z, 10.0f, 1e-3f);
    EXPECT_NEAR(bolt.m_lifetimeMs, 1400.0f, 1e-3f);
    EXPECT_FLOAT_EQ(bolt.effect().getPosition().z, bolt.m_position.z);
    EXPECT_GT(bolt.effect().liveCount(), 0); // the trail emits 50 a step

    clock.advanceMs(1401);
    bolt.update();
    EXPECT_FALSE(bolt.isFlying());
    Vector stoppedAt = bolt.m_position;
    clock.advanceMs(100);
    bolt.update();
    EXPECT_FLOAT_EQ(bolt.m_position.z, stoppedAt.z);
    bolt.stop(); // stopping twice is harmless

    // A shot fired downhill stops where the ground rises.
    Terrain terrain;
    for (int x = 0; x < 200; ++x)
        for (int z = 0; z < 20; ++z)
            terrain.setHeight(x, z, x < 50 ? 100 : (x >= 120 && x < 125) ? 90 : 10); // a ridge
    g_terrain = &terrain;
    HeroShot shot(Vector(60, 50, 10), Vector(1, -0.1f, 0), 100.0f, 10000.0f);
    shot.launch();
    for (int steps = 0; shot.isFlying() && steps < 1000; ++steps) {
        clock.advanceMs(20);
        shot.update();
    }
    EXPECT_FALSE(shot.isFlying());
    EXPECT_GE(shot.m_position.x, 120.0f);
    EXPECT_LT(shot.m_position.x, 125.0f);
}

TEST(ProjectileListTest, HoldsTwentyAndRefusesTheRestWithoutTakingThem) {
    int deaths = 0;
    {
        ProjectileList list;
        for (int i = 0; i < PROJECTILE_LIST_CAPACITY; ++i)
            EXPECT_TRUE(list.add(new CountedShot(&deaths)));
        EXPECT_EQ(list.count(), 20);
        auto refused = std::make_unique<CountedShot>(&deaths);
        EXPECT_FALSE(list.add(refused.get()));
        EXPECT_EQ(list.count(), 20);
        EXPECT_FALSE(list.add(nullptr));
        refused.reset(); // the caller still owns it
        EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 21); // the list's destructor deletes all it holds
}

TEST(ProjectileListTest, UpdateRemovesStoppedShotsKeepsTheLinksAndTheCollisionWorld) {
    FakeClock clock;
    ContextGuard context;
    CollisionWorld world;
    g_collisionWorld = &world;
    int deaths = 0;
    {
        ProjectileList list;
        CountedShot* shots[4];
        for (auto& s : shots) {
            s = new CountedShot(&deaths);
            s->launch();
            ASSERT_TRUE(list.add(s));
        }
        EXPECT_EQ(world.projectileCount(), 4);
        shots[1]->stop();
        shots[3]->stop();
        clock.advanceMs(10);
        list.update();
        EXPECT_EQ(deaths, 2);
        ASSERT_EQ(list.count(), 2);
        EXPECT_EQ(list.head()->m_projectile.get(), shots[0]);
        EXPECT_EQ(list.tail()->m_projectile.get(), shots[2]);
        EXPECT_EQ(list.head()->m_next, list.tail());
        EXPECT_EQ(list.tail()->m_previous, list.head());
        EXPECT_EQ(list.tail()->m_next, nullptr);
        EXPECT_GT(shots[0]->m_position.x, 0.0f); // the survivors were updated
        const float flown = shots[0]->m_position.x;
        clock.advanceMs(10);
        list.draw();
        EXPECT_EQ(shots[0]->m_position.x, flown) << "drawing moves no shot";
        ASSERT_EQ(world.projectileCount(), 2);
        EXPECT_EQ(world.m_projectiles[0], shots[0]);
        EXPECT_EQ(world.m_projectiles[1], shots[2]);
        shots[0]->stop();
        list.update();
        EXPECT_EQ(list.head(), list.tail());
        shots[2]->stop();
        list.update();
        EXPECT_EQ(list.count(), 0);
        EXPECT_EQ(list.head(), nullptr);
        EXPECT_EQ(list.tail(), nullptr);
        EXPECT_EQ(deaths, 4);
        EXPECT_TRUE(list.add(new CountedShot(&deaths))); // space frees up again
    }
    EXPECT_EQ(world.projectileCount(), 0); // nothing dangles after the list is gone
}

TEST(EffectDrawing, SparksAndFlareLightThePictureAndTrailTexturesAreShared) {
    TestGLContext gl;
    ASSERT_TRUE(gl.ok()) << gl.error();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-40, 40, -30, 30, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    SparkEffect spark;
    spark.setPosition(-20.0f, 0.0f, 0.0f);
    spark.setSizes(6.0f, 6.0f);
    spark.setColors(0, 0, 1, 0, 0, 1);
    spark.setSpeed(0.0f);
    spark.update(0.0, EFFECT_EMIT, 20.0f);
    spark.draw();

    FlareEffect flare(20.0f, 0.0f, 0.0f);
    flare.setRingSize(5.0f);
    flare.setFactor(1.0f);
    flare.layOut(false);
    flare.draw();

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 0.0f); // the emitter translation was undone
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    std::vector<uint8_t> px = gl.readPixels();
    gl.saveArtifact("effects_sparks_and_flare");
    auto at = [&](int x, int y) { return &px[(size_t(y) * 800 + x) * 3]; };
    EXPECT_GT(at(200, 300)[2], 100); // the blue spark
    EXPECT_LT(at(200, 300)[0], 20);
    int orange = 0;
    for (int y = 200; y < 400; ++y)
        for (int x = 500; x < 700; ++x)
            if (at(x, y)[0] > 60 && at(x, y)[0] >= at(x, y)[2])
                ++orange;
    EXPECT_GT(orange, 100);

    // Trail textures: one upload shared by every shot; a broken file complains once.
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("tarvo_effects_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    WriteBytes((dir / "trail.bmp").string(), Bmp24(4, 4, [](int, int) { return 0xFFFFFFu; }));
    std::ofstream(dir / "broken.bmp", std::ios::binary) << "BM not really";

    ContextGuard context;
    SparkEffect a, b, c;
    a.setTexture((dir / "trail.bmp").string());
    b.setTexture((dir / "trail.bmp").string());
    EXPECT_NE(a.m_texture, 0u);
    EXPECT_EQ(a.m_texture, b.m_texture);
    for (const char* bad : {"broken.bmp", "broken.bmp", "missing.bmp"}) {
        c.setTexture((dir / bad).string());
        EXPECT_EQ(c.m_texture, 0u) << bad;
        EXPECT_EQ(context.m_boxes.size(), 1u) << bad;
    }
    fs::remove_all(dir);
}

TEST(EffectDrawing, ATrailTextureAskedForBeforeAnyContextLoadsOnceThereIsOne) {
    // A shot made while no GL context is current (a test, a scene set up early) gets no
    // texture; that must not count as a broken file for the shots made later.
    namespace fs = std::filesystem;
    const fs::path file =
        fs::temp_directory_path() / ("tarvo_early_trail_" + std::to_string(::getpid()) + ".bmp");
    fs::copy_file(fs::path(TARVO_GAME_DIR) / "Data/p3.bmp", file,
                  fs::copy_options::overwrite_existing);
    {
        ContextGuard context;
        SparkEffect early;
        early.setTexture(file.string());
        EXPECT_EQ(early.m_texture, 0u);
    }
    TestGLContext gl;
    ASSERT_TRUE(gl.ok()) << gl.error();
    SparkEffect later;
    later.setTexture(file.string());
    EXPECT_NE(later.m_texture, 0u);
    EXPECT_TRUE(glIsTexture(later.m_texture));
    fs::remove(file);
}

namespace {

// Pixels whose channels differ by more than `tolerance`.
int differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance) {
    int n = 0;
    for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(a[i + c]) - int(b[i + c])) > tolerance) {
                ++n;
                break;
            }
    return n;
}

// A fire two seconds into burning, as the level's fountain burns, at the origin.
void burnFire(FireEffect& fire) {
    gameSrand(11);
    fire.setTexture("Data/p2.bmp");
    fire.setPosition(0.0f, 0.0f, 0.0f);
    for (int frame = 0; frame <= 60; ++frame)
        fire.update(frame / 30.0, EFFECT_BOTH, 5.0f);
    ASSERT_GT(fire.liveCount(), 100);
}

// Looks at the fire from `distance` along +z, under the game's own perspective.
void lookAtFire(float distance) {
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.55, 0.55, -0.41, 0.41, 1.0, 4500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, -6.0f, -distance);
}

} // namespace

TEST(EffectDrawing, AParticlesQuadTurnsAboutUpAsGlRotatefTurnsItThenMoves) {
    float c[4][3];
    particleQuadCorners(Vector(1, 2, 3), 90.0f, Vector(0, 0, 0), 2.0f, c);
    // (+2, +2, 0) turned a quarter is (0, 2, -2); (-2, -2, 0) is (0, -2, 2).
    const float want[2][3] = {{1, 4, 1}, {1, 0, 5}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(c[0][k], want[0][k], 1e-5f);
        EXPECT_NEAR(c[3][k], want[1][k], 1e-5f);
    }
    // The centre turns with the quad: (0.5, 0.5, 4) -> (-0.5, 0.5, -4).
    particleQuadCorners(Vector(0, 0, 0), 180.0f, Vector(1, 0, 4), 0.5f, c);
    EXPECT_NEAR(c[1][0], -0.5f, 1e-5f);
    EXPECT_NEAR(c[1][2], -4.0f, 1e-5f);
}

// A newcomer saw the village fire float: its flames reached below the emitter, which stood
// on the ground, and are drawn over the land. Raised by its reach below, the lowest flame
// sits on the ground and none goes under it.
TEST(EffectRules, AFireRaisedByItsReachBelowStandsOnTheGround) {
    FireEffect fire;
    gameSrand(7);
    const float ground = 112.0f;
    fire.setPosition(340.0f, ground + fire.reachBelow(), 530.0f);
    float lowest = 1e9f;
    for (int frame = 0; frame <= 240; ++frame) {
        fire.update(frame / 60.0, EFFECT_BOTH, 5.0f);
        for (int32_t i = 0; i < PARTICLE_COUNT; ++i) {
            const Particle& p = fire.particle(i);
            if (p.m_age >= 0.0f)
                lowest = std::min(lowest, fire.getPosition().y + p.m_position.y - 0.5f * p.m_size);
        }
    }
    EXPECT_GE(lowest, ground) << "a flame under the land";
    EXPECT_LT(lowest, ground + 1.0f) << "the flames float above the land";
}

TEST(EffectDrawing, AFireOfLargeFlamesSummedAtHalfResolutionLooksLikeItsFullDrawing) {
    TestGLContext gl;
    ASSERT_TRUE(gl.ok()) << gl.error();
    const std::string oldDir = std::filesystem::current_path().string();
    std::filesystem::current_path(TARVO_GAME_DIR);
    FireEffect fire;
    burnFire(fire);
    std::filesystem::current_path(oldDir);

    // Far away the flames are a few pixels across: drawn as they are, every one.
    lookAtFire(300.0f);
    fire.prepareLayer();
    EXPECT_FALSE(fire.layerReady());

    // Up close: the same picture, summed at half the resolution and scaled back up. The
    // layer's corner of the back buffer is what the frame's clear wipes, so clear after.
    lookAtFire(18.0f);
    glClearColor(0.1f, 0.3f, 0.1f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fire.draw();
    const std::vector<uint8_t> full = gl.readPixels();
    gl.saveArtifact("fire_full");
    fire.prepareLayer();
    ASSERT_TRUE(fire.layerReady());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fire.draw();
    EXPECT_FALSE(fire.layerReady()) << "a layer serves one drawing";
    const std::vector<uint8_t> layered = gl.readPixels();
    gl.saveArtifact("fire_layered");
    int lit = 0;
    for (size_t i = 0; i < full.size(); i += 3)
        if (full[i] > 100)
            ++lit;
    EXPECT_GT(lit, 800 * 600 / 10) << "the flames should cover much of the screen";
    EXPECT_LT(differingPixels(full, layered, 8), 800 * 600 / 200);
    EXPECT_LT(differingPixels(full, layered, 24), 800 * 600 / 2000);
}

TEST(EffectDrawing, AFiresScreenAreaCoversItsFlamesOrTheWholeViewWhenOneReachesTheEye) {
    FireEffect fire;
    const int viewport[4] = {0, 0, 800, 600};
    // The game's perspective (columns), the eye at the origin looking down -z.
    const float projection[16] = {1.8f, 0, 0, 0, 0, 2.4f, 0, 0, 0, 0, -1.0f, -1, 0, 0, -2.0f, 0};
    float modelView[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_FALSE(fire.onScreen(modelView, projection, viewport).m_visible) << "no live flame";

    gameSrand(3);
    fire.setPosition(0.0f, 0.0f, -50.0f);
    fire.update(0.0, EFFECT_EMIT, 40.0f);
    ASSERT_EQ(fire.liveCount(), 40);
    EffectOnScreen seen = fire.onScreen(modelView, projection, viewport);
    ASSERT_TRUE(seen.m_visible);
    // Every flame's quad lies inside the rectangle.
    for (int i = 0; i < PARTICLE_COUNT; ++i) {
        const Particle& p = fire.particle(i);
        if (p.m_age < 0.0f)
            continue;
        float corners[4][3];
        particleQuadCorners(p.m_position, float(p.m_spin), Vector(0, 0, 0), p.m_size * 0.5f,
                            corners);
        for (const float* c : corners) {
            const float z = c[2] - 50.0f;
            const float x = 400.0f + 400.0f * 1.8f * c[0] / -z;
            const float y = 300.0f + 300.0f * 2.4f * c[1] / -z;
            EXPECT_GE(x, float(seen.m_rect[0]));
            EXPECT_LE(x, float(seen.m_rect[2]));
            EXPECT_GE(y, float(seen.m_rect[1]));
            EXPECT_LE(y, float(seen.m_rect[3]));
        }
    }
    // Sizes start at 8: a radius of 4 units some 50 to 70 units away, at 720 pixels per
    // unit at unit distance, is 40 to 60 pixels.
    EXPECT_GT(seen.m_smallestRadius, 40.0f);
    EXPECT_LT(seen.m_smallestRadius, 60.0f);

    // A flame at the eye: the whole viewport, and no finite smallest size from it.
    fire.setPosition(0.0f, 0.0f, 0.0f);
    fire.update(0.0, EFFECT_EMIT, 1.0f);
    seen = fire.onScreen(modelView, projection, viewport);
    ASSERT_TRUE(seen.m_visible);
    EXPECT_EQ(seen.m_rect[0], 0);
    EXPECT_EQ(seen.m_rect[1], 0);
    EXPECT_EQ(seen.m_rect[2], 800);
    EXPECT_EQ(seen.m_rect[3], 600);

    // The layer pays only where the flames cover the screen many times over.
    EffectOnScreen few;
    few.m_visible = true;
    few.m_coverage = 300000.0;
    few.m_rect[2] = 400;
    few.m_rect[3] = 300;
    EXPECT_FALSE(FireEffect::layerPays(few, viewport));
    EffectOnScreen many = few;
    many.m_coverage = 2000000.0;
    EXPECT_TRUE(FireEffect::layerPays(many, viewport));
    many.m_rect[2] = 800;
    many.m_rect[3] = 600;
    many.m_coverage = 1000000.0;
    EXPECT_FALSE(FireEffect::layerPays(many, viewport)) << "laid over the whole screen";

    // Behind the eye altogether: nothing on the screen.
    FireEffect behind;
    behind.setPosition(0.0f, 0.0f, 100.0f);
    behind.update(0.0, EFFECT_EMIT, 10.0f);
    EXPECT_FALSE(behind.onScreen(modelView, projection, viewport).m_visible);
}
