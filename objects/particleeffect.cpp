#include "objects/particleeffect.h"

#include "platform/random.h"
#include "platform/win32timer.h"
#include "world/shadowvolume.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {

constexpr float PI = 3.14159265358979f;

// (rand - rand) / 32767: a fresh value in [-1, 1] for every use. The two draws are ordered
// explicitly so that sequences do not depend on the compiler's evaluation order.
float signedRandom() {
    int a = gameRand();
    int b = gameRand();
    return static_cast<float>(a - b) / static_cast<float>(GAME_RAND_MAX);
}

float clampTo(float v, float lo, float hi) {
    return std::min(std::max(v, lo), hi);
}

// Orange and blue flare palettes, entries 0 to 11.
void fillPalette(float (*palette)[3], bool orange) {
    const float low = 0.25f;
    for (int i = 0; i < FLARE_PALETTE_SIZE; ++i) {
        float mid = 0.5f;
        if (i == 6 || i == 7)
            mid = 0.65f;
        else if (i == 10 || i == 11)
            mid = 0.55f;
        palette[i][0] = orange ? 1.0f : low;
        palette[i][1] = mid;
        palette[i][2] = orange ? low : 1.0f;
    }
}

} // namespace

void particleQuadCorners(const Vector& offset, float degrees, const Vector& centre, float h,
                         float (&out)[4][3]) {
    const double radians = double(degrees) * 3.14159265358979323846 / 180.0;
    const float c = static_cast<float>(std::cos(radians));
    const float s = static_cast<float>(std::sin(radians));
    const float corner[4][2] = {{h, h}, {-h, h}, {h, -h}, {-h, -h}};
    for (int i = 0; i < 4; ++i) {
        // A turn about +y, as the GL turns by `degrees` about (0, 1, 0).
        const float x = centre.x + corner[i][0];
        const float y = centre.y + corner[i][1];
        const float z = centre.z;
        out[i][0] = offset.x + c * x + s * z;
        out[i][1] = offset.y + y;
        out[i][2] = offset.z - s * x + c * z;
    }
}

double effectTimeSeconds() {
    static std::unique_ptr<Win32Timer> clock = std::make_unique<Win32Timer>();
    return clock->Elapsed() * 0.001;
}

ParticleEffect::ParticleEffect() : m_particles(PARTICLE_COUNT) {
    for (Particle& p : m_particles)
        p.m_owner = this;
}

ParticleEffect::~ParticleEffect() = default;

void ParticleEffect::resetAll() {
    for (Particle& p : m_particles) {
        p.m_age = -1.0f;
        p.m_previousPosition.set(0.0f, 0.0f, 0.0f);
        p.m_position.set(0.0f, 0.0f, 0.0f);
        p.m_velocity.set(0.0f, 0.0f, 0.0f);
    }
    m_liveCount = 0;
    m_carry = 0.0f;
}

void ParticleEffect::resetParticle(int32_t i) {
    if (i < 0 || i >= PARTICLE_COUNT)
        return;
    Particle& p = m_particles[static_cast<size_t>(i)];
    p.m_age = 0.0f;
    p.m_lifetime = clampTo(m_lifetime + signedRandom() * m_lifetimeVariance, 0.01f, 20.0f);

    for (int c = 0; c < 3; ++c) {
        p.m_color[c] = clampTo(m_colorStart[c] + signedRandom() * m_colorVariance[c], 0.0f, 1.0f);
        p.m_colorChange[c] = (m_colorEnd[c] - p.m_color[c]) / p.m_lifetime;
    }
    p.m_alpha = clampTo(m_alphaStart + signedRandom() * m_alphaVariance, 0.0f, 1.0f);
    p.m_color[3] = 1.0f;
    p.m_alphaChange = (m_alphaEnd - p.m_alpha) / p.m_lifetime;
    p.m_size = clampTo(m_sizeStart + signedRandom() * m_sizeVariance, 0.1f, 100.0f);
    p.m_sizeChange = (m_sizeEnd - p.m_size) / p.m_lifetime;

    // Spread along the emitter's last motion: r * (motion / dt) * dt, taken as r * motion so
    // that an emission with no elapsed time does not divide by zero.
    Vector motion = m_emitter - m_previousEmitter;
    for (int axis = 0; axis < 3; ++axis) {
        float v = signedRandom() * motion[axis];
        if (m_scatter[axis])
            v += static_cast<float>(gameRand() % 21 - 10);
        p.m_position[axis] = v;
    }
    int32_t range = m_jitterMax - m_jitterMin + 1;
    for (int axis = 0; axis < 3; ++axis) {
        if (range <= 0 || m_jitterDivisor == 0.0f)
            break;
        float jitter = static_cast<float>(m_jitterMin + gameRand() % range);
        p.m_position[axis] += jitter / m_jitterDivisor;
    }
    p.m_previousPosition = p.m_position;
    m_previousEmitter = m_emitter;

    float yaw = signedRandom() * 3.14f * 2.0f;
    float pitch = signedRandom() * m_spread * PI / 180.0f;
    Vector direction(std::cos(pitch) * m_directionScale.x,
                     std::sin(pitch) * std::cos(yaw) * m_directionScale.y,
                     std::sin(pitch) * std::sin(yaw) * m_directionScale.z);
    float speed = clampTo(m_speed + signedRandom() * m_speedVariance, 0.0f, 300.0f);
    p.m_velocity = direction * speed;
    p.m_spin = gameRand() % 91;
}

bool ParticleEffect::stepParticle(Particle& p, float dt) {
    if (p.m_age < 0.0f)
        return false;
    p.m_age += dt;
    if (p.m_age >= p.m_lifetime) {
        p.m_age = -1.0f;
        return false;
    }
    p.m_previousPosition = p.m_position;
    p.m_position = p.m_position + p.m_velocity * dt;
    p.m_velocity = p.m_velocity + m_gravity * dt;
    // Positions are relative to the emitter, so the emitter is the origin here.
    if (m_attract)
        p.m_velocity = p.m_velocity + (Vector(0.0f, 0.0f, 0.0f) - p.m_position) * (5.0f * dt);
    for (int c = 0; c < 3; ++c)
        p.m_color[c] += p.m_colorChange[c] * dt;
    p.m_alpha += p.m_alphaChange * dt;
    p.m_size += p.m_sizeChange * dt;
    p.m_color[3] = p.m_alpha;
    return true;
}

void ParticleEffect::update(double time, int32_t mode, float extra) {
    if (!m_clockStarted) {
        m_lastTime = time;
        m_clockStarted = true;
    }
    float dt = static_cast<float>(time - m_lastTime);
    if (!(dt > 0.0f)) // backwards or NaN time counts as none
        dt = 0.0f;

    if (mode == EFFECT_MOVE || mode == EFFECT_BOTH) {
        m_lastTime = time;
        int32_t live = 0;
        for (Particle& p : m_particles)
            if (stepParticle(p, dt))
                ++live;
        m_liveCount = live;
    }
    if (mode != EFFECT_EMIT && mode != EFFECT_BOTH)
        return;

    float wanted = static_cast<float>(m_rate) * dt + m_carry + extra;
    int32_t toEmit = 0;
    if (m_noEmit) {
        m_carry = wanted;
    } else if (wanted > 0.0f) {
        float whole = std::floor(wanted);
        m_carry = wanted - whole;
        toEmit = static_cast<int32_t>(std::min(whole, static_cast<float>(PARTICLE_COUNT)));
    } else {
        m_carry = 0.0f;
    }
    if (toEmit <= 0) {
        m_previousEmitter = m_emitter;
        return;
    }
    m_birthDt = dt;
    int32_t born = 0;
    for (int32_t i = 0; i < PARTICLE_COUNT && born < toEmit; ++i) {
        if (m_particles[static_cast<size_t>(i)].m_age < 0.0f) {
            resetParticle(i);
            ++born;
        }
    }
    m_liveCount += born;
}

float ParticleEffect::reachBelow() const {
    const float speed = std::clamp(m_speed + std::fabs(m_speedVariance), 0.0f, 300.0f) *
                        std::fabs(m_directionScale.y);
    const float life = clampTo(m_lifetime + std::fabs(m_lifetimeVariance), 0.01f, 20.0f);
    const float lift = m_gravity.y;
    // The lowest point of y = -speed t + lift t^2 / 2 within the particle's life.
    const float turn = lift > 0.0f ? speed / lift : life;
    const float t = std::min(turn, life);
    const float drop = std::max(0.0f, speed * t - 0.5f * lift * t * t);
    const float jitter = m_jitterDivisor != 0.0f
                             ? float(std::max(std::abs(m_jitterMin), std::abs(m_jitterMax))) /
                                   std::fabs(m_jitterDivisor)
                             : 0.0f;
    const float half = 0.5f * std::max(m_sizeStart + std::fabs(m_sizeVariance), m_sizeEnd);
    return drop + jitter + half;
}

void ParticleEffect::setPosition(float x, float y, float z) {
    m_emitter.set(x, y, z);
}

void ParticleEffect::setOffset(float x, float y, float z) {
    m_offset.set(x, y, z);
}

void ParticleEffect::setSizes(float start, float end) {
    m_sizeStart = start;
    m_sizeEnd = end;
}

void ParticleEffect::setAlphas(float start, float end) {
    m_alphaStart = start;
    m_alphaEnd = end;
}

void ParticleEffect::setColors(float r1, float g1, float b1, float r2, float g2, float b2) {
    m_colorStart[0] = r1;
    m_colorStart[1] = g1;
    m_colorStart[2] = b1;
    m_colorEnd[0] = r2;
    m_colorEnd[1] = g2;
    m_colorEnd[2] = b2;
}

void ParticleEffect::setSpeed(float speed) {
    m_speed = speed;
}

void ParticleEffect::setLifetime(float seconds) {
    m_lifetime = seconds;
}

void ParticleEffect::setGravity(float x, float y, float z) {
    m_gravity.set(x, y, z);
}

void ParticleEffect::setRate(int32_t perSecond) {
    m_rate = perSecond;
}

void ParticleEffect::setFlag(int32_t which, bool value) {
    if (which == EFFECT_FLAG_ATTRACT)
        m_attract = value;
    else if (which == EFFECT_FLAG_NO_EMIT)
        m_noEmit = value;
}

FireEffect::FireEffect() {
    m_rate = 100;
    setSizes(8.0f, 6.0f);
    setAlphas(1.0f, 0.0f);
    setSpeed(5.0f);
    setLifetime(2.0f);
    setColors(1.0f, 0.0f, 0.0f, 1.0f, 0.55f, 0.1f);
}

EffectOnScreen FireEffect::onScreen(const float* modelView, const float* projection,
                                    const int* viewport) const {
    EffectOnScreen result;
    float boxMin[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                       std::numeric_limits<float>::max()};
    float boxMax[3] = {-boxMin[0], -boxMin[1], -boxMin[2]};
    // Pixels per unit of size at unit distance, along the narrower axis.
    const float pixelsPerUnit = std::min(std::fabs(projection[0]) * float(viewport[2]),
                                         std::fabs(projection[5]) * float(viewport[3])) *
                                0.5f;
    const double viewportArea = double(viewport[2]) * double(viewport[3]);
    const Vector origin = m_emitter + m_offset;
    result.m_smallestRadius = std::numeric_limits<float>::infinity();
    bool any = false;
    for (const Particle& p : m_particles) {
        if (p.m_age < 0.0f)
            continue;
        any = true;
        // Turned about y, a quad of half-size h stays within h of its centre on each axis.
        const float h = p.m_size * 0.5f;
        const Vector c = origin + p.m_position;
        for (int a = 0; a < 3; ++a) {
            boxMin[a] = std::min(boxMin[a], c[a] - h);
            boxMax[a] = std::max(boxMax[a], c[a] + h);
        }
        const float depth =
            -(modelView[2] * c.x + modelView[6] * c.y + modelView[10] * c.z + modelView[14]);
        if (depth > h) {
            // The smallest size from the quad's far side, the coverage from its near side
            // (kept just off the eye's plane).
            result.m_smallestRadius =
                std::min(result.m_smallestRadius, h * pixelsPerUnit / (depth + h));
            const double side = 2.0 * double(h * pixelsPerUnit / (depth - h * 0.999f));
            result.m_coverage += std::min(side * side, viewportArea);
        } else if (depth > -h) {
            // A quad reaching the eye's plane is large wherever it is seen.
            result.m_coverage += viewportArea;
        }
    }
    if (!any)
        return result;
    int rect[4];
    switch (projectBox(boxMin, boxMax, modelView, projection, viewport, rect)) {
    case BoxOnScreen::Hidden:
        return result;
    case BoxOnScreen::Rect:
        std::copy(rect, rect + 4, result.m_rect);
        break;
    case BoxOnScreen::Unbounded:
        result.m_rect[0] = viewport[0];
        result.m_rect[1] = viewport[1];
        result.m_rect[2] = viewport[0] + viewport[2];
        result.m_rect[3] = viewport[1] + viewport[3];
        break;
    }
    result.m_visible = true;
    return result;
}

bool FireEffect::layerPays(const EffectOnScreen& screen, const int* viewport) {
    // Clearing and copying the quarter cost about as much as filling it once; laying the
    // layer over its rectangle as much as one flame that size.
    const double quarter = double(viewport[2]) * double(viewport[3]) / 4.0;
    const double rect =
        double(screen.m_rect[2] - screen.m_rect[0]) * double(screen.m_rect[3] - screen.m_rect[1]);
    return screen.m_coverage / 4.0 + quarter + rect < 0.75 * screen.m_coverage;
}

FlareEffect::FlareEffect() : FlareEffect(0.0f, 0.0f, 0.0f) {}

FlareEffect::FlareEffect(float x, float y, float z) : m_flare(PARTICLE_COUNT) {
    m_emitter.set(x, y, z);
    m_previousEmitter.set(x, y, z);
    m_gravity.set(0.0f, 2.0f, 0.0f);
    fillPalette(m_palette, true);
    layOut(false);
}

void FlareEffect::setRingFactors(float fx, float fy, float fz) {
    m_ringFactor[0] = fx;
    m_ringFactor[1] = fy;
    m_ringFactor[2] = fz;
}

void FlareEffect::setPalette(bool orange) {
    m_orange = orange;
    fillPalette(m_palette, orange);
}

void FlareEffect::placeOnRing(int32_t k, FlareParticle& p) const {
    float a = static_cast<float>(k % 360);
    float toRad = a * 2.0f * PI / 360.0f;
    float c = std::cos(toRad * m_ringFactor[0]) * m_ringSize;
    if (m_vertical)
        p.m_position.set(c, 0.0f, std::sin(toRad * m_ringFactor[2]) * m_ringSize);
    else
        p.m_position.set(c, std::sin(toRad * m_ringFactor[1]) * m_ringSize, 0.0f);
    // (k + 1) / 83 reaches 12 for the last five particles; the table ends at 11.
    const float* color = m_palette[std::min((k + 1) / 83, FLARE_PALETTE_SIZE - 1)];
    std::copy(color, color + 3, p.m_color);
    p.m_life = 1.0f;
    p.m_fade = static_cast<float>(gameRand() % 100) / 1000.0f + 0.003f;
}

void FlareEffect::layOut(bool vertical) {
    m_vertical = vertical;
    for (int32_t k = 0; k < PARTICLE_COUNT; ++k) {
        FlareParticle& p = m_flare[static_cast<size_t>(k)];
        placeOnRing(k, p);
        float sx = static_cast<float>(gameRand() % 50 - 26);
        float sy = static_cast<float>(gameRand() % 50 - 25);
        float sz = static_cast<float>(gameRand() % 50 - 25);
        p.m_speed = Vector(sx, sy, sz) + m_baseSpeed;
    }
}

void FlareEffect::resetAll() {
    layOut(m_vertical);
}

void FlareEffect::resetParticle(int32_t i) {
    if (i < 0 || i >= PARTICLE_COUNT)
        return;
    FlareParticle& p = m_flare[static_cast<size_t>(i)];
    placeOnRing(i, p);
    float sx = static_cast<float>(gameRand() % 50 - 32);
    float sy = static_cast<float>(gameRand() % 50 - 30);
    float sz = static_cast<float>(gameRand() % 50 - 30);
    p.m_speed = Vector(sx, sy, sz) + m_baseSpeed;
}

void FlareEffect::update(double time, int32_t /*mode*/, float /*extra*/) {
    // The flare moves as it is drawn; here only the clock is kept.
    m_lastTime = time;
    m_clockStarted = true;
}

void FlareEffect::advance() {
    for (int32_t k = 0; k < PARTICLE_COUNT; ++k) {
        FlareParticle& p = m_flare[static_cast<size_t>(k)];
        p.m_position = p.m_position + p.m_speed / (m_slowDown * 1000.0f);
        p.m_speed = p.m_speed + m_gravity;
        p.m_life -= p.m_fade;
        if (p.m_life <= 0.0f)
            resetParticle(k);
    }
}
