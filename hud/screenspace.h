// ScreenSpace: while one lives, drawing happens in the 800 by 600 screen space with the origin
// at the top left and y downwards (orthographic, near 0, far 1) under an identity model-view,
// as the HUD's extras and the conversation box draw. Its end gives both matrices back and
// leaves GL_MODELVIEW current.
//
// Costs: two matrix pushes and two pops. Not guaranteed: no other GL state is touched.
#pragma once

class ScreenSpace {
public:
    ScreenSpace();
    ~ScreenSpace();
    ScreenSpace(const ScreenSpace&) = delete;
    ScreenSpace& operator=(const ScreenSpace&) = delete;
};
