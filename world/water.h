// The water: one translucent, additively blended plane over the whole land whose level rises
// and falls like a tide, 0.1 units per drawn frame between 83 and 97.
//
// The tide is counted in frames, not time, so it runs faster at higher frame rates: the play
// frame steps it once before drawing the plane. The drawn plane is independent of the data
// layer's water cells (ground at 75 or lower). Drawing needs a current context; the tide step
// makes no GL call.
#pragma once

#include <GL/gl.h>
#include <string>

class Water {
public:
    // Loads the texture (mipmapped) from textureFile; an empty name loads nothing.
    explicit Water(const std::string& textureFile = "data/water_photo.bmp");
    ~Water();
    Water(const Water&) = delete;
    Water& operator=(const Water&) = delete;

    // Moves the level one step and turns at the ends of the swing.
    void step();
    // The plane at the present level; moves nothing.
    void draw() const;

    GLuint m_texture = 0;
    bool m_falling = true;
    bool m_rising = false;
    float m_level = 90.0f;
};

// The level's water (shell/gamecontext.cpp); null outside a level.
extern Water* g_water;
