// Static scenery (rocks, buildings, trees): a model object that stands on the ground, never
// moves by itself and casts shadows.
//
// It is always drawn, whatever the view test says; the view and shadow-range flags only choose
// how often its shadow volumes are rebuilt (every 20th to every 200th frame), which is what
// keeps a field of scenery cheap. `update` is one terrain query: an object below the ground is
// lifted onto it, one above the ground stays where it is (there is no gravity for scenery).
#pragma once

#include "objects/modelobject.h"

class StaticObject : public ModelObject {
public:
    StaticObject();
    ~StaticObject() override;

    // Chooses the shadow period from the flags, then draws the model at its place.
    void draw() override;
    // Keeps the object on the ground.
    void update() override;

    // The shadow period that the flags ask for: 200 neither, 100 visible only, 40 casting
    // only, 20 both.
    static int32_t shadowPeriodFor(bool visible, bool castsShadow);
};
