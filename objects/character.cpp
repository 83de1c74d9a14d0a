#include "objects/character.h"

#include "ai/aidecision.h"
#include "level/qrvdatalayer.h"
#include "objects/gem.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "platform/soundmanager.h"
#include "platform/timer.h"
#include "world/collisionworld.h"
#include "world/terrain.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>

namespace {
Vector flat(const Vector& v) {
    return Vector(v.x, 0.0f, v.z);
}
} // namespace

Character::Character() {
    m_speed = 20.0f;
    setShadowPeriod(1);
    m_effect = std::make_unique<SparkEffect>();
}

Character::~Character() = default;

void Character::loadEffectTexture() {
    m_effectTextureLoaded = true;
    if (m_effect)
        m_effect->setTexture("Data/p3.bmp");
}

int32_t Character::shadowPeriodFor(bool visible, bool castsShadow) {
    if (visible && castsShadow)
        return 1;
    if (visible)
        return 60;
    if (castsShadow)
        return 30;
    return 0;
}

int32_t Character::reactionFor(int32_t attackType) {
    if (attackType == 2)
        return ENEMY_HIT_HEAD;
    if (attackType >= 3 && attackType <= 5)
        return ENEMY_HIT_ARM;
    if (attackType >= 6 && attackType <= 8)
        return ENEMY_HIT_LEG;
    if (attackType >= 9 && attackType <= 11)
        return ENEMY_HIT_SIDE;
    if (attackType >= 12 && attackType <= 14)
        return ENEMY_HIT_GUT;
    return ENEMY_HIT_SHOT; // projectiles and unknown parts
}

float Character::damageFactorFor(int32_t attackType) {
    if (attackType == 2)
        return 1.2f;
    if (attackType >= 3 && attackType <= 14)
        return 0.8f;
    return 1.0f;
}

void Character::paintColour(const float tint[3], float glow, bool dying, float rgba[4]) {
    // Paint in the tint itself at the glow's alpha was a dark, faint film (one green hit:
    // 0.3 green at 0.3 alpha), lost against the grass.
    if (glow > 0.0f) {
        float mixed[3] = {0.0f, 0.0f, 0.0f};
        for (int gun = 0; gun < 3; ++gun)
            for (int c = 0; c < 3; ++c)
                mixed[c] += std::max(tint[gun], 0.0f) * CHARACTER_PAINT_COLOURS[gun][c];
        const float strongest = std::max({mixed[0], mixed[1], mixed[2]});
        for (int c = 0; c < 3; ++c)
            rgba[c] = strongest > 0.0f ? std::clamp(mixed[c] / strongest, 0.0f, 1.0f) : 0.0f;
        rgba[3] = dying ? 1.0f : std::min(1.0f, glow * CHARACTER_PAINT_OPACITY);
    } else {
        const float own = dying ? 1.0f : 0.0f;
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = own;
    }
}

bool Character::geometryShown() const {
    return !m_model->hideSkinned();
}

void Character::playCue(int32_t cue) const {
    PlayCue(cue, m_position);
}

void Character::drawFigure(ModelObject& body, const float* rgba) {
    int32_t period = shadowPeriodFor(body.m_visible, body.m_castsShadow);
    if (!body.m_active || period == 0)
        return;
    body.setShadowPeriod(period);
    Ms3dModel& model = *body.m_model;
    if (!body.m_visible) {
        // Shadow only: the volumes are fed, nothing reaches the screen.
        model.feedShadows();
        return;
    }
    const Vector& at = body.m_position;
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glTranslatef(at.x, at.y, at.z);
    glRotatef(body.m_heading, 0.0f, 1.0f, 0.0f);
    if (rgba) {
        glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_LIGHTING);
    }
    model.drawModel();
    glPopAttrib();
    glPopMatrix();
}

void Character::drawTinted(float red, float green, float blue, float alpha) {
    const float rgba[] = {red, green, blue, alpha};
    drawFigure(*this, rgba);
}

void Character::draw() {
    if (!m_active || shadowPeriodFor(m_visible, m_castsShadow) == 0)
        return;
    if (!m_effectTextureLoaded)
        loadEffectTexture();
    float rgba[4];
    paintColour(m_tint, m_glow, m_dying, rgba);
    if (m_shown && m_glow <= 0.0f && !m_dying)
        drawFigure(*this, nullptr); // lit in its own colours
    else
        drawTinted(rgba[0], rgba[1], rgba[2], rgba[3]);
    if (!m_visible || !m_effect)
        return; // shadow-only drawing puts nothing else on screen
    m_effect->setPosition(m_position.x, m_position.y + CHARACTER_EFFECT_HEIGHT, m_position.z);
    m_effect->draw();
    if (m_dying)
        m_effect->update(effectTimeSeconds(), EFFECT_BOTH, 50.0f);
    else
        m_effect->update(effectTimeSeconds(), EFFECT_MOVE, 0.0f);
}

double Character::moveAndFall(ModelObject& body, double& invulnerableMs) {
    if (body.m_paused || !body.m_active) {
        body.m_timer->Reset();
        return -1.0;
    }
    body.applyGravity();
    double dt = body.m_timer->Elapsed();
    if (invulnerableMs >= 0.0)
        invulnerableMs -= dt;
    body.m_timer->Reset();
    Vector& position = body.m_position;
    body.m_velocity.x = 0.0f;
    body.m_velocity.z = 0.0f;
    position.y += float(body.m_velocity.y * dt / 1000.0);
    position.y = std::max(position.y, groundHeight(position.x, position.z));
    pushKnockedBack(body, dt);
    return dt;
}

void Character::pushKnockedBack(ModelObject& body, double dt) {
    // Asked every frame, so that the world leaves its share of the decay to the figure.
    const bool worldShare = g_collisionWorld && g_collisionWorld->spendsKnockback(body);
    if (body.m_knockback.isZero())
        return;
    double rate = knockbackDecayRate(KNOCKBACK_OWN_DIVISOR);
    if (worldShare)
        rate += knockbackDecayRate(KNOCKBACK_DECAY_DIVISOR);
    // The world's test comes before the figures' updates and took its tenth first: a free
    // figure moved by nine tenths of the knockback it began the frame with.
    const double share = worldShare ? 1.0 - 1.0 / KNOCKBACK_DECAY_DIVISOR : 1.0;
    Vector push(0.0f, 0.0f, 0.0f);
    spendKnockback(body.m_knockback, dt, rate, [&](const KnockbackPiece& p) {
        push = push + p.push * float(p.frames * share);
    });
    walkAgainstWalls(body, push);
}

void Character::refreshDecision() {
    if (!g_dataLayer || m_id < 0)
        return; // objects outside the level (cutscene actors, tests) are handed theirs
    if (m_id == BOSS_ID) {
        m_decision = g_dataLayer->bossDecision();
        return;
    }
    auto it = g_dataLayer->m_enemyTable.find(m_id);
    if (it != g_dataLayer->m_enemyTable.end() && it->second)
        m_decision = &it->second->decision;
    else
        m_decision = nullptr; // the record is gone with its decision
}

void Character::fadePaint() {
    if (m_glow <= 0.0f) {
        m_model->setHideSkinned(!m_shown);
        m_tint[0] = m_tint[1] = m_tint[2] = 0.0f;
    } else {
        for (float& t : m_tint)
            t = std::max(0.0f, t - CHARACTER_PAINT_FADE);
    }
    m_glow = std::max({m_tint[0], m_tint[1], m_tint[2]});
    m_model->setOutline(m_glow > 0.8f);
}

void Character::startAttack() {
    m_currentAnimation = ENEMY_ATTACK_WIND_UP;
    m_animationQueue->clear();
    m_animationQueue->push(ENEMY_ATTACK_WIND_UP, 300.0);
    m_animationQueue->push(ENEMY_ATTACK_STRIKE, 150.0);
    m_animationQueue->push(ENEMY_ATTACK_FINISH, 100.0);
}

bool Character::hitReactionQueued() const {
    const int32_t front = m_animationQueue->frontId();
    return front >= ENEMY_HIT_SHOT && front <= ENEMY_LYING;
}

bool Character::actOnDecision(double dt) {
    if (!m_frozen) {
        if (m_currentAnimation < ENEMY_JUMP && m_decision && !hitReactionQueued()) {
            switch (m_decision->m_action) {
            case ACTION_ATTACK:
                startAttack();
                advanceAnimation();
                return false;
            case ACTION_JUMP:
                if (m_position.y <= groundHeight(m_position.x, m_position.z)) {
                    m_velocity.y = 70.0f;
                    m_currentAnimation = ENEMY_JUMP;
                    m_animationQueue->clear();
                    m_moveDirection = m_decision->m_target - m_position;
                    m_walkingToPoint = false;
                }
                break;
            case ACTION_STAND:
                m_animationQueue->clear();
                advanceAnimation();
                m_currentAnimation = ENEMY_IDLE;
                return false;
            default:
                m_walkPoint = m_decision->m_waypoint;
                m_walkingToPoint = true;
                break;
            }
        }
        if (m_decision) {
            // The facing turns slowly towards the target.
            Vector toTarget = flat(m_decision->m_target - m_position);
            Vector facing = m_direction + (toTarget - m_direction) / 1000.0f;
            if (!flat(facing).isZero()) {
                facing.normalize();
                setDirection(facing);
            }
        }
        if (m_currentAnimation <= ENEMY_FALL)
            walkAlong(dt);
    } else {
        m_frozenMs -= static_cast<int32_t>(dt);
        if (m_frozenMs < 0) {
            m_frozenMs = CHARACTER_FROZEN_MS;
            m_frozen = false;
        }
    }

    queueWalkPoses(false);
    advanceAnimation();
    return true;
}

void Character::walkAlong(double dt) {
    // Heading for the point even on the frames that read no decision (the jump and fall
    // poses): a direction kept from an earlier frame would carry the walker past it.
    if (m_walkingToPoint)
        m_moveDirection = m_walkPoint - m_position;
    // Walking keeps to the ground plane; gravity and the ground clamp own y.
    Vector step = flat(m_moveDirection);
    if (step.isZero())
        return;
    float stride = float(m_speed * dt / 1000.0);
    // A walk ends on its point: a stride past it would turn the walker back next frame, and
    // it would pace to and fro across the point for as long as it stays there.
    const float left = step.length();
    if (m_walkingToPoint && stride > left)
        stride = left;
    step.normalize();
    const Vector from = m_position;
    m_position = m_position + step * stride;
    keepOnLand(m_position.x, m_position.z);
    if (m_id != BOSS_ID)
        keepOutOfWater(from);
}

void Character::keepOutOfWater(const Vector& from) {
    // Water is drawn over everything below it: a creature wading there is a dark shape
    // under the waves that strikes unseen. Creatures stop on the shore and slide along it;
    // one already in the water (pushed there by a blow) may walk out.
    if (underWater(from.x, from.z) || !underWater(m_position.x, m_position.z))
        return;
    if (!underWater(m_position.x, from.z))
        m_position.z = from.z;
    else if (!underWater(from.x, m_position.z))
        m_position.x = from.x;
    else {
        m_position.x = from.x;
        m_position.z = from.z;
    }
}

void Character::queueWalkPoses(bool alsoWhileBusy) {
    const bool walking = m_currentAnimation < ENEMY_JUMP;
    if (!walking && !alsoWhileBusy)
        return;
    AnimationQueue& q = *m_animationQueue;
    if (walking && q.isEmpty()) {
        q.push(ENEMY_WALK_RIGHT, 300.0);
        q.push(ENEMY_WALK_LEFT, 300.0);
    }
    if (m_velocity.y > 20.0f)
        q.push(ENEMY_JUMP, 150.0);
    else if (m_velocity.y < -20.0f)
        q.push(ENEMY_FALL, 150.0);
    else if (m_velocity.y > -10.0f && m_velocity.y < 10.0f)
        q.push(q.backId() == ENEMY_WALK_LEFT ? ENEMY_WALK_RIGHT : ENEMY_WALK_LEFT,
               300.0); // refused when full
}

void Character::dropOwnGem() {
    // One gem per death, once the body lies still, so that the hero sees it appear rather
    // than take it in the blow's instant. It lies on the ground, out of his reach.
    if (m_gemsDropped != 0)
        return;
    Vector at = g_hero ? gemRestingPlace(m_position, g_hero->getPosition()) : m_position;
    at.y = groundHeight(at.x, at.z);
    if (dropGem(at))
        m_gemsDropped = 1;
}

void Character::update() {
    double dt = moveAndFall(*this, m_invulnerableMs);
    if (dt < 0.0)
        return;
    if (m_keyframeAnimated)
        m_model->updateAnimation();
    if (m_dying) {
        if (m_currentAnimation == ENEMY_LYING) {
            m_active = false;
            if (m_effect)
                m_effect->setFlag(EFFECT_FLAG_NO_EMIT, true);
            dropOwnGem();
        }
        advanceAnimation();
        return;
    }
    fadePaint();
    refreshDecision();
    actOnDecision(dt);
}

bool Character::reportDamage(int32_t amount) {
    if (!g_dataLayer)
        return false;
    if (m_id == BOSS_ID)
        return g_dataLayer->damageBoss(amount);
    if (g_dataLayer->m_enemyTable.find(m_id) == g_dataLayer->m_enemyTable.end())
        return false; // no record: nothing left to lose
    return g_dataLayer->damage(m_id, amount);
}

void Character::onHit(int32_t attackType, int32_t weaponKind, int32_t damage,
                      const Vector& direction) {
    if (m_currentAnimation >= ENEMY_HIT_SHOT && !m_frozen)
        return;
    if (m_dying || !m_active || m_invulnerableMs > 0.0)
        return;

    AnimationQueue& q = *m_animationQueue;
    q.clear();
    q.push(reactionFor(attackType), 300.0);
    int32_t scaled = static_cast<int32_t>(static_cast<float>(damage) * damageFactorFor(attackType));
    m_dying = reportDamage(scaled);
    m_knockback = direction * 2.0f;

    const double now = effectTimeSeconds();
    if (weaponKind > WEAPON_BAT) {
        m_model->setHideSkinned(false);
        if (m_effect)
            m_effect->setSizes(2.0f, 6.0f);
        if (weaponKind == WEAPON_RED) {
            m_tint[0] = std::min(m_tint[0] + 0.3f, CHARACTER_TINT_CAP);
            if (m_effect)
                m_effect->setColors(1.0f, 0.5f, 0.5f, 1.0f, 0.0f, 0.0f);
            q.push(ENEMY_KNEEL, 150.0);
            q.push(ENEMY_LYING, 150.0);
            q.push(ANIMATION_HOLD, 1000.0);
        } else if (weaponKind == WEAPON_BLUE) {
            m_tint[2] = std::min(m_tint[2] + 0.4f, CHARACTER_TINT_CAP);
            if (m_effect)
                m_effect->setColors(1.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f);
            q.push(ANIMATION_HOLD, 5000.0);
            m_frozen = true;
        } else {
            m_tint[1] = std::min(m_tint[1] + 0.3f, CHARACTER_TINT_CAP);
            if (m_effect)
                m_effect->setColors(1.0f, 0.5f, 0.5f, 0.0f, 1.0f, 0.0f);
        }
        if (m_effect)
            m_effect->update(now, EFFECT_EMIT, 500.0f);
        m_glow = std::max({m_tint[0], m_tint[1], m_tint[2]});
    } else {
        if (m_effect) {
            m_effect->setColors(1.0f, 1.0f, 0.5f, 1.0f, 1.0f, 0.0f);
            m_effect->setSizes(6.0f, 12.0f);
            m_effect->update(now, EFFECT_EMIT, 10.0f);
        }
        playCue(CUE_BAT_HIT);
    }

    if (m_dying) {
        // The body shows as it falls, painted or not: a death only the burst shows reads as
        // a creature vanishing.
        m_model->setHideSkinned(false);
        q.clear();
        q.push(ENEMY_KNEEL, 1000.0);
        q.push(ENEMY_LYING, 1000.0);
        q.push(ANIMATION_HOLD, 1000.0);
        if (m_effect) {
            m_effect->resetAll();
            m_effect->setColors(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f);
            m_effect->setSizes(6.0f, 12.0f);
            m_effect->setSpeed(20.0f);
            m_effect->setLifetime(1.0f);
            m_effect->setGravity(0.0f, -15.0f, 0.0f);
            m_effect->update(now, EFFECT_BOTH, 200.0f);
        }
        playCue(CUE_ENEMY_DEATH);
    }
    m_invulnerableMs = CHARACTER_INVULNERABLE_MS;
}
