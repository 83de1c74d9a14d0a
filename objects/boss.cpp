#include "objects/boss.h"

Boss::Boss() {
    m_active = false;
}

Boss::~Boss() = default;

void Boss::draw() {
    if (m_phase >= BOSS_CHARGE)
        drawTinted(1.0f, 1.0f, 1.0f, m_charge);
}

void Boss::update() {
    Character::update();
}
