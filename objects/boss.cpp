#include "objects/boss.h"

#include "ai/aidecision.h"
#include "hud/hud.h"
#include "level/qrvdatalayer.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/gamestate.h"
#include "platform/soundmanager.h"
#include "platform/timer.h"
#include "world/camera.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>

namespace {

// The ground-plane part of a vector (walking and facing ignore height).
Vector flat(const Vector& v) {
    return Vector(v.x, 0.0f, v.z);
}

} // namespace

Boss::Boss() {
    m_active = false;
    m_id = BOSS_ID; // hits report to the boss's own entry
    m_flare = std::make_unique<FlareEffect>();
    m_flare->setGravity(0.0f, 10.0f, 0.0f);
    m_flare->setRingSize(1.0f);
    m_flare->setPalette(false);
    m_flare->layOut(true);
    m_effect->setColors(0.0f, 0.0f, 1.0f, 0.1f, 0.55f, 1.0f);
    m_effect->setSizes(12.0f, 5.0f);
    m_model->setOutline(false);
}

Boss::~Boss() = default;

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
        m_effect->setPosition(m_position.x, m_position.y, m_position.z);
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
    // Only a dying boss: a red hit queues the same two poses as a knock-down it gets up from.
    const bool deathStarted = m_dying && (m_currentAnimation == BOSS_POSE_LYING ||
                                          m_animationQueue->frontId() == BOSS_POSE_LYING);
    if (deathStarted && m_phase != BOSS_DEAD) {
        m_phase = BOSS_DEAD;
        StopSlot(SLOT_ATTACK_MUSIC);
        m_glow = 0.0f;
    }
    applyGravity();
    const double dt = m_timer->Elapsed();
    m_timer->Reset();
    switch (m_phase) {
    case BOSS_DESCENT:
        updateDescent(dt);
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

const Vector& Boss::watchBearing() {
    if (!m_watchBearing.isZero())
        return m_watchBearing;
    Vector toHero = g_hero ? flat(g_hero->getPosition() - m_position) : Vector();
    const float preferred = toHero.isZero() ? 0.0f : std::atan2(toHero.z, toHero.x);
    // A bearing is open when no scenery stands within its reach of the line from the boss
    // out to the summoned hero's place (the arena's standing stones ring it).
    auto open = [&](const Vector& way) {
        for (int32_t i = 0; i < OBJECT_TABLE_SIZE && g_dataLayer; ++i) {
            const SceneObject* o = g_objectTable[i];
            if (!o || g_dataLayer->kindOf(i) != KIND_STATIC)
                continue;
            const Vector v = flat(o->getPosition() - m_position);
            const float along = v.dot(way);
            const float across = std::fabs(v.x * way.z - v.z * way.x);
            if (along > 0.0f && along < BOSS_WATCH_DISTANCE + 20.0f && across < 25.0f)
                return false;
        }
        return true;
    };
    constexpr float STEP = 3.14159265f / 16.0f;
    for (int32_t k = 0; k <= 16; ++k)
        for (float sign : {1.0f, -1.0f}) {
            const float a = preferred + sign * float(k) * STEP;
            const Vector way(std::cos(a), 0.0f, std::sin(a));
            if (open(way))
                return m_watchBearing = way;
        }
    // Scenery all round: watch from the hero's side anyway.
    return m_watchBearing = Vector(std::cos(preferred), 0.0f, std::sin(preferred));
}

Vector Boss::descentEye() const {
    const Vector& way = m_watchBearing;
    Vector eye(m_position.x + way.x * BOSS_WATCH_DISTANCE, m_position.y - BOSS_WATCH_BELOW,
               m_position.z + way.z * BOSS_WATCH_DISTANCE);
    eye.y = std::max(eye.y, groundHeight(eye.x, eye.z) + BOSS_WATCH_ABOVE_GROUND);
    return eye;
}

void Boss::summonHero() {
    if (!g_hero || flat(g_hero->getPosition() - m_position).length() <= BOSS_SUMMON_REACH)
        return;
    const Vector& way = watchBearing();
    Vector spot(m_position.x + way.x * BOSS_SUMMON_DISTANCE, 0.0f,
                m_position.z + way.z * BOSS_SUMMON_DISTANCE);
    spot.y = groundHeight(spot.x, spot.z);
    g_hero->setPosition(spot);
    g_hero->m_velocity = Vector();
    if (g_dataLayer)
        g_dataLayer->movePlayer(spot.x, spot.z);
}

void Boss::updateDescent(double dt) {
    m_model->setOutline(false);
    // The camera leaves the hero and flies to watch the boss come down over the arena: the
    // hero may be anywhere, as far as the land's far corner.
    watchBearing();
    if (g_camera) {
        Vector eye = g_camera->getPosition();
        // Eased by the clock, not by the frame: on a slow machine a frame's share left the
        // eye half way across the land a second into the descent.
        const float share = 1.0f - std::exp(-float(dt) / BOSS_WATCH_EASE_MS);
        eye = eye + (descentEye() - eye) * share;
        // On its way the eye passes over the hills, never through them.
        eye.y = std::max(eye.y, groundHeight(eye.x, eye.z) + 10.0f);
        g_camera->setFollowing(false);
        g_camera->setPosition(eye);
        // Aimed below the boss, so that it comes down through the upper part of the view.
        const Vector aim = m_position - Vector(0.0f, 0.3f * flat(m_position - eye).length(), 0.0f);
        g_camera->setDirection(aim - eye);
    }
    // A fixed step per frame: the descent looks the same at any frame rate.
    m_position = m_position + m_velocity * (BOSS_DESCENT_STEP_MS / 1000.0f);
    if (m_effect)
        m_effect->update(effectTimeSeconds(), EFFECT_BOTH, 100.0f);
    // Landed: gravity stopped it on the ground. Not a still boss in the air: in the frame it
    // wakes its clock has not run yet (a demo's clock stands still within a frame), and taken
    // for a landing that started the charge and the fight a thousand units up.
    if (m_velocity.y == 0.0f && m_position.y <= groundHeight(m_position.x, m_position.z)) {
        m_phase = BOSS_CHARGE;
        StopSlot(SLOT_NORMAL_MUSIC);
        PlaySlot(SLOT_ATTACK_MUSIC, 30);
        // Struck down in the air, it dies on the ground: its death poses stay queued.
        if (!m_dying) {
            m_animationQueue->clear();
            m_animationQueue->push(BOSS_POSE_IDLE, 500.0);
        }
    }
}

void Boss::updateCharge(double dt) {
    m_charge += float(dt) * BOSS_CHARGE_RATE;
    if (m_charge > 1.0f)
        m_charge = 1.0f;
    if (g_camera) {
        // The whole figure in view, not only its feet.
        const Vector eye = m_position + Vector(30.0f, 40.0f, 30.0f);
        g_camera->setFollowing(false);
        g_camera->setPosition(eye);
        g_camera->setDirection(m_position + Vector(0.0f, 12.0f, 0.0f) - eye);
    }
    m_flare->setRingSize(m_charge * 10.0f);
    m_flare->setPosition(-m_charge * 5.0f, 0.0f, 0.0f);
    advanceAnimation();
    if (m_charge >= 1.0f) {
        m_phase = BOSS_FIGHT;
        summonHero();
        // A unit facing: the follow camera stands the facing times its distance behind him,
        // and the whole way to the boss as a facing put it thousands of units away.
        Vector facing = g_hero ? flat(m_position - g_hero->getPosition()) : Vector();
        if (!facing.isZero()) {
            facing.normalize();
            g_hero->setDirection(facing);
        }
        if (g_camera && g_hero && g_camera->getTarget() == g_hero) {
            // A cut to behind the hero: eased from the charge's view the follow swung over
            // the land for a second, and its look-at point still lay where the hero was before.
            Camera& camera = *g_camera;
            const Vector hero = g_hero->getPosition();
            Vector eye = hero - g_hero->getDirection() * camera.m_distance;
            eye.y += camera.m_eyeHeight;
            camera.setPosition(eye);
            camera.m_lookAt = hero + Vector(0.0f, camera.m_lookHeight, 0.0f);
        }
        if (g_camera)
            g_camera->setFollowing(g_camera->getTarget() != nullptr);
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
    m_currentAnimation = BOSS_POSE_IDLE;
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
    PlaySlot(SLOT_BLUE_SHOT, 0);
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
    pushKnockedBack(*this, dt);

    if (m_dying) {
        advanceAnimation();
        return;
    }
    if (m_currentAnimation == BOSS_POSE_ARMS_HIGH || m_currentAnimation == BOSS_POSE_THRUST)
        castBolt();

    // The paint fades; the boss's geometry always shows, whatever the glow.
    for (float& tint : m_tint)
        tint = std::max(0.0f, tint - 0.001f);
    m_glow = std::max({m_tint[0], m_tint[1], m_tint[2]});
    m_model->setOutline(m_glow > 0.8f);

    if (!m_frozen) {
        if (m_decision && m_currentAnimation < BOSS_POSE_JUMP && !hitReactionQueued()) {
            switch (m_decision->m_action) {
            case ACTION_ATTACK:
                m_currentAnimation = BOSS_POSE_RAISE;
                m_animationQueue->clear();
                m_animationQueue->push(BOSS_POSE_RAISE, 400.0);
                m_animationQueue->push(BOSS_POSE_ARMS_HIGH, 200.0);
                m_animationQueue->push(BOSS_POSE_THRUST, 200.0);
                advanceAnimation();
                return;
            case ACTION_JUMP:
                if (m_position.y <= groundHeight(m_position.x, m_position.z)) {
                    m_velocity.y = 70.0f;
                    m_currentAnimation = BOSS_POSE_JUMP;
                    m_animationQueue->clear();
                    m_moveDirection = flat(m_decision->m_target - m_position);
                    m_walkingToPoint = false;
                }
                break;
            case ACTION_STAND:
                m_animationQueue->clear();
                advanceAnimation();
                m_currentAnimation = BOSS_POSE_IDLE;
                return;
            default:
                m_walkPoint = m_decision->m_waypoint;
                m_walkingToPoint = true;
                break;
            }
        }
        if (m_decision) {
            Vector toTarget = flat(m_decision->m_target - m_position);
            Vector facing = m_direction + (toTarget - m_direction) / 1000.0f;
            facing.normalize();
            setDirection(facing);
        }
        if (m_currentAnimation <= BOSS_POSE_FALL)
            walkAlong(dt);
    } else {
        m_frozenMs -= int32_t(dt);
        if (m_frozenMs < 0) {
            m_frozenMs = 5000;
            m_frozen = false;
        }
    }

    queueWalkPoses(true);
    advanceAnimation();
}
