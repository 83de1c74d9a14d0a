#include "objects/magician.h"

Magician::Magician() = default;

Magician::~Magician() = default;

void Magician::draw() {
    Character::draw();
}

void Magician::update() {
    Character::update();
}
