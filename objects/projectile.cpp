#include "objects/projectile.h"

#include "objects/particleeffect.h"
#include "platform/timer.h"
#include "world/terrain.h"

Projectile::Projectile(const char* trailTexture)
    : m_timer(CreateTimer()), m_effect(std::make_unique<SparkEffect>()) {
    m_timer->Pause(); // stopped until launch
    m_effect->setTexture(trailTexture);
}

Projectile::Projectile(const char* trailTexture, const Vector& position, const Vector& direction,
                       float speed, float lifetimeMs)
    : Projectile(trailTexture) {
    m_position = position;
    m_previousPosition = position;
    m_direction = direction;
    m_direction.normalize();
    m_speed = speed;
    m_lifetimeMs = lifetimeMs;
    m_effect->setPosition(position.x, position.y, position.z);
    m_effect->m_previousEmitter = m_effect->m_emitter;
}

Projectile::~Projectile() = default;

void Projectile::launch() {
    m_flying = true;
    m_lastStepPending = false;
    m_timer->Reset();
    if (!m_timerRunning) {
        m_timer->Resume();
        m_timerRunning = true;
    }
}

void Projectile::stop() {
    m_flying = false;
    if (m_timerRunning) {
        m_timer->Pause();
        m_timerRunning = false;
    }
}

void Projectile::setColor(float r, float g, float b) {
    m_color[0] = r;
    m_color[1] = g;
    m_color[2] = b;
}

void Projectile::update() {
    if (!m_flying)
        return;
    double dt = m_timer->Elapsed();
    if (dt < 0.0)
        dt = 0.0;
    m_previousPosition = m_position;
    m_position = m_position + m_direction * static_cast<float>(m_speed * dt * 0.001);
    m_lifetimeMs -= static_cast<float>(dt);
    m_timer->Reset();

    // The trail runs on the shot's own flight clock: only differences matter to an effect.
    m_trailClock += dt * 0.001;
    m_effect->update(m_trailClock, EFFECT_BOTH, 50.0f);
    m_effect->setPosition(m_position.x, m_position.y, m_position.z);

    if (m_lifetimeMs < 0.0f || heightAt(m_position.x, m_position.z) > m_position.y) {
        stop();
        m_lastStepPending = true; // it flew this step: what it crossed is still hit
    }
}

void Projectile::draw() {
    m_effect->draw();
}

HeroShot::HeroShot() : Projectile("Data/p3.bmp") {}

HeroShot::HeroShot(const Vector& position, const Vector& direction, float speed, float lifetimeMs)
    : Projectile("Data/p3.bmp", position, direction, speed, lifetimeMs) {}

Bolt::Bolt() : Projectile("Data/p2.bmp") {
    setUpTrail();
}

Bolt::Bolt(const Vector& position, const Vector& direction, float speed, float lifetimeMs)
    : Projectile("Data/p2.bmp", position, direction, speed, lifetimeMs) {
    setUpTrail();
}

void Bolt::setUpTrail() {
    m_effect->setColors(m_color[0], m_color[1], m_color[2], 1.0f, 0.55f, 0.1f);
    m_effect->setSizes(6.0f, 3.0f);
    m_effect->setSpeed(4.0f);
    m_effect->setGravity(0.0f, 50.0f, 0.0f);
}
