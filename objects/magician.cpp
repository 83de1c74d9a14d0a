#include "objects/magician.h"

#include "level/qrvdatalayer.h"
#include "objects/particleeffect.h"
#include "objects/player.h"
#include "objects/projectile.h"
#include "objects/projectilelist.h"
#include "platform/soundnames.h"

Magician::Magician() {
    m_flare = std::make_unique<FlareEffect>();
    m_flare->setRingSize(5.0f);
    m_flare->setPalette(true);
    m_flare->layOut(false);
}

Magician::~Magician() = default;

void Magician::loadEffectTexture() {
    Character::loadEffectTexture();
    if (m_flare)
        m_flare->setTexture("Data/Flare.bmp");
}

void Magician::draw() {
    Character::draw();
    if (!m_active || !m_visible)
        return;
    if (m_currentAnimation >= ENEMY_ATTACK_WIND_UP && m_currentAnimation <= ENEMY_ATTACK_FINISH) {
        if (m_flare)
            m_flare->draw();
        playCue(CUE_CASTING);
    }
}

void Magician::startAttack() {
    m_currentAnimation = ENEMY_ATTACK_WIND_UP;
    m_animationQueue->clear();
    m_animationQueue->push(ENEMY_ATTACK_WIND_UP, 500.0);
    m_animationQueue->push(ENEMY_ATTACK_STRIKE, 500.0);
    m_animationQueue->push(ENEMY_ATTACK_FINISH, 100.0);
    if (m_flare) {
        m_flare->setPosition(m_position.x, m_position.y + 25.0f, m_position.z);
        m_flare->setAngle(m_heading);
    }
}

bool Magician::castBolt() {
    if (!g_projectiles)
        return false;
    Vector hero;
    if (g_hero)
        hero = g_hero->m_position;
    else if (g_dataLayer)
        hero = Vector(g_dataLayer->m_player.x, 0.0f, g_dataLayer->m_player.z);
    Vector from(m_position.x, m_position.y + 30.0f, m_position.z);
    Vector aim = hero - Vector(m_position.x, m_position.y + 25.0f, m_position.z);
    auto* bolt = new Bolt(from, aim, MAGICIAN_BOLT_SPEED, MAGICIAN_BOLT_LIFETIME_MS);
    bolt->m_owner = this;
    bolt->m_damage = MAGICIAN_BOLT_DAMAGE;
    bolt->m_kind = PROJECTILE_HOSTILE;
    bolt->launch();
    if (!g_projectiles->add(bolt)) {
        delete bolt; // a full list takes nothing; the bolt must not leak
        return false;
    }
    ++m_boltsCast;
    return true;
}

void Magician::update() {
    Character::update();
    if (!m_active || m_paused || m_dying)
        return;
    if (m_currentAnimation == ENEMY_ATTACK_FINISH) {
        m_currentAnimation = ENEMY_IDLE;
        castBolt();
    }
}
