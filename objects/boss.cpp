#include "objects/boss.h"

#include "ai/aidecision.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/timer.h"
#include "world/camera.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>

#include "platform/gamestate.h"
#include "platform/soundmanager.h"
#define TARVO_HAVE_SOUND 1

namespace {

constexpr int32_t SLOT_NORMAL_MUSIC = 14;
constexpr int32_t SLOT_ATTACK_MUSIC = 15;
constexpr int32_t SLOT_BLUE_SHOT = 4;

void stopSlotIfPlaying(int32_t slot) {
#ifdef TARVO_HAVE_SOUND
    if (!g_sound)
        return;
    SoundObject* sound = g_sound->sound(slot);
    if (sound && sound->IsPlaying())
        sound->Stop();
#else
    (void)slot;
#endif
}

void playSlot(int32_t slot, int32_t repeats) {
#ifdef TARVO_HAVE_SOUND
    if (!g_sound)
        return;
    if (SoundObject* sound = g_sound->sound(slot))
        sound->Play(repeats);
#else
    (void)slot;
    (void)repeats;
#endif
}

// The ground-plane part of a vector (walking and facing ignore height).
Vector flat(const Vector& v) {
    return Vector(v.x, 0.0f, v.z);
}

} // namespace

Boss::Boss() {
    m_active = false;
    m_id = BOSS_ID; // hits report to the boss's own entry
    m_flare = new FlareEffect();
    m_flare->setGravity(0.0f, 10.0f, 0.0f);
    m_flare->setRingSize(1.0f);
    m_flare->setPalette(false);
    m_flare->layOut(true);
    if (!m_effect) {
        m_effect = new SparkEffect();
        m_effect->setOffset(0.0f, CHARACTER_EFFECT_HEIGHT, 0.0f);
    }
    m_effect->setColors(0.0f, 0.0f, 1.0f, 0.1f, 0.55f, 1.0f);
    m_effect->setSizes(12.0f, 5.0f);
    m_model->setOutline(false);
}

Boss::~Boss() {
    delete m_flare;
    m_flare = nullptr;
    // Null afterwards, so a Character destructor that owns the effect finds nothing left.
    delete m_effect;
    m_effect = nullptr;
}

void Boss::loadEffectTextures() {
    if (m_texturesLoaded)
        return;
    m_texturesLoaded = true;
    m_flare->setTexture("Data/Flare.bmp");
    loadEffectTexture();
}

void Boss::draw() {
    if (!m_active)
        return;
    loadEffectTextures();
    if (m_phase >= BOSS_CHARGE) {
        m_model->setHideSkinned(false); // the boss is never the unseen kind
        drawTinted(1.0f, 1.0f, 1.0f, m_charge);
    }
    const double now = effectTimeSeconds();
    // The flare sits in the boss's own frame (its emitter is placed relative to the boss).
    glPushMatrix();
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    m_flare->draw();
    glPopMatrix();
    if (m_effect) {
        m_effect->setPosition(m_position.x, m_position.y, m_position.z); // raised by its offset
        m_effect->draw();
        if (m_dying)
            m_effect->update(now, EFFECT_BOTH, 50.0f);
        else
            m_effect->update(now, EFFECT_MOVE, 0.0f);
    }
    m_flare->update(now, EFFECT_BOTH, 0.0f);
}

void Boss::wake() {
    if (m_active)
        return;
    m_active = true;
    m_timer->Reset();
}

void Boss::update() {
    if (m_paused || !m_active) {
        m_timer->Reset();
        return;
    }
    const bool deathStarted =
        m_currentAnimation == 15 || (m_dying && m_animationQueue->frontId() == 15);
    if (deathStarted && m_phase != BOSS_DEAD) {
        m_phase = BOSS_DEAD;
        stopSlotIfPlaying(SLOT_ATTACK_MUSIC);
        m_glow = 0.0f;
    }
    applyGravity();
    const double dt = m_timer->Elapsed();
    m_timer->Reset();
    switch (m_phase) {
    case BOSS_DESCENT:
        updateDescent();
        break;
    case BOSS_CHARGE:
        updateCharge(dt);
        break;
    case BOSS_DEAD:
        updateDead();
        break;
    default:
        updateFight(dt);
        break;
    }
}

void Boss::pointCameraAtBoss(const Vector* eye) {
    if (!g_camera)
        return;
    g_camera->setFollowing(false);
    if (eye)
        g_camera->setPosition(*eye);
    g_camera->setDirection(m_position - g_camera->getPosition());
}

void Boss::updateDescent() {
    m_model->setOutline(false);
    pointCameraAtBoss(nullptr);
    // A fixed step per frame: the descent looks the same at any frame rate.
    m_position = m_position + m_velocity * (BOSS_DESCENT_STEP_MS / 1000.0f);
    if (m_effect)
        m_effect->update(effectTimeSeconds(), EFFECT_BOTH, 100.0f);
    if (m_velocity.y == 0.0f) { // landed: gravity stopped it on the ground
        m_phase = BOSS_CHARGE;
        stopSlotIfPlaying(SLOT_NORMAL_MUSIC);
        playSlot(SLOT_ATTACK_MUSIC, 30);
        m_animationQueue->clear();
        m_animationQueue->push(0, 500.0);
    }
}

void Boss::updateCharge(double dt) {
    m_charge += float(dt) * BOSS_CHARGE_RATE;
    if (m_charge > 1.0f)
        m_charge = 1.0f;
    const Vector eye = m_position + Vector(30.0f, 40.0f, 30.0f);
    pointCameraAtBoss(&eye);
    m_flare->setRingSize(m_charge * 10.0f);
    m_flare->setPosition(-m_charge * 5.0f, 0.0f, 0.0f);
    advanceAnimation();
    if (m_charge >= 1.0f) {
        m_phase = BOSS_FIGHT;
        if (g_camera)
            g_camera->setFollowing(g_camera->getTarget() != nullptr);
        if (g_hero)
            g_hero->setDirection(flat(m_position - g_hero->getPosition()));
        m_flare->setGravity(0.0f, 1.0f, 0.0f);
    }
}

void Boss::updateDead() {
    // Without a HUD there is no fade to wait for.
    if (g_hud)
        g_hud->m_fading = true;
    if (!g_hud || g_hud->m_fadeAlpha >= 1.0f) {
        g_gameState = STATE_CREDITS;
        m_active = false;
    }
}

void Boss::castBolt() {
    m_currentAnimation = 0;
    if (!g_hero)
        return;
    const Vector start(m_position.x, m_position.y + 30.0f, m_position.z);
    const Vector aim =
        g_hero->getPosition() - Vector(m_position.x, m_position.y + 25.0f, m_position.z);
    auto* bolt = new Bolt(start, aim, 400.0f, 1000.0f);
    bolt->m_owner = this;
    bolt->m_damage = 15;
    bolt->m_kind = PROJECTILE_HOSTILE;
    bolt->setColor(0.0f, 0.0f, 1.0f);
    bolt->effect().setColors(0.0f, 0.0f, 1.0f, 0.1f, 0.55f, 1.0f);
    bolt->launch();
    if (!g_projectiles || !g_projectiles->add(bolt)) {
        delete bolt; // twenty in flight already: this one is lost
        return;
    }
    playSlot(SLOT_BLUE_SHOT, 0);
}

void Boss::updateFight(double dt) {
    m_decision = g_dataLayer ? g_dataLayer->bossDecision() : nullptr;
    // Vertical motion, ground and knockback as any character.
    m_velocity.x = 0.0f;
    m_velocity.z = 0.0f;
    if (m_invulnerableMs >= 0.0)
        m_invulnerableMs -= dt;
    m_position.y += float(m_velocity.y * dt / 1000.0);
    m_position.y = std::max(m_position.y, groundHeight(m_position.x, m_position.z));
    m_position = m_position + m_knockback;
    m_knockback.approach(m_knockback, Vector(0.0f, 0.0f, 0.0f), 20.0f);

    if (m_dying) {
        advanceAnimation();
        return;
    }
    if (m_currentAnimation == 6 || m_currentAnimation == 7)
        castBolt();

    // The paint fades; the boss's geometry always shows, whatever the glow.
    for (float& tint : m_tint)
        tint = std::max(0.0f, tint - 0.001f);
    m_glow = std::max({m_tint[0], m_tint[1], m_tint[2]});
    m_model->setOutline(m_glow > 0.8f);

    if (!m_frozen) {
        if (m_decision && m_currentAnimation < 3) {
            switch (m_decision->m_action) {
            case ACTION_ATTACK:
                m_currentAnimation = 5;
                m_animationQueue->clear();
                m_animationQueue->push(5, 400.0);
                m_animationQueue->push(6, 200.0);
                m_animationQueue->push(7, 200.0);
                advanceAnimation();
                return;
            case ACTION_JUMP:
                if (m_position.y <= groundHeight(m_position.x, m_position.z)) {
                    m_velocity.y = 70.0f;
                    m_currentAnimation = 3;
                    m_animationQueue->clear();
                    m_moveDirection = flat(m_decision->m_target - m_position);
                }
                break;
            case ACTION_STAND:
                m_animationQueue->clear();
                advanceAnimation();
                m_currentAnimation = 0;
                return;
            default:
                m_moveDirection = flat(m_decision->m_waypoint - m_position);
                break;
            }
        }
        if (m_decision) {
            Vector toTarget = flat(m_decision->m_target - m_position);
            Vector facing = m_direction + (toTarget - m_direction) / 1000.0f;
            facing.normalize();
            setDirection(facing);
        }
        if (m_currentAnimation <= 4 && !m_moveDirection.isZero()) {
            Vector step = m_moveDirection;
            step.normalize();
            m_position = m_position + step * float(m_speed * dt / 1000.0);
        }
    } else {
        m_frozenMs -= int32_t(dt);
        if (m_frozenMs < 0) {
            m_frozenMs = 5000;
            m_frozen = false;
        }
    }

    AnimationQueue& queue = *m_animationQueue;
    if (queue.isEmpty() && m_currentAnimation < 3) {
        queue.push(1, 300.0);
        queue.push(2, 300.0);
    }
    if (m_velocity.y > 20.0f)
        queue.push(3, 150.0);
    else if (m_velocity.y < -20.0f)
        queue.push(4, 150.0);
    else if (m_velocity.y > -10.0f && m_velocity.y < 10.0f)
        queue.push(queue.backId() == 2 ? 1 : 2, 300.0);
    advanceAnimation();
}
