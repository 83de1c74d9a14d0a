// The sky box: five textured faces (no floor) around the whole land, compiled once into a
// display list and drawn with one glCallList per frame.
//
// The box is 3500 units on each side; the level loader centres it on (1000, 0, 1000), so it
// spans x and z from -750 to 2750 and y from -1750 to 1750, inside the far plane of 4500. It is
// drawn with the depth test and lighting as the scene leaves them. Loading the five faces
// builds five mipmapped textures (needs a current context); a missing face stays texture 0 and
// draws in plain white.
#pragma once

#include <GL/gl.h>
#include <string>

class SkyBox {
public:
    SkyBox();
    ~SkyBox();
    SkyBox(const SkyBox&) = delete;
    SkyBox& operator=(const SkyBox&) = delete;

    // Loads each face with loadMipmappedTexture, in the order front, back, left, right, top.
    void loadTextures(const std::string& front, const std::string& back, const std::string& left,
                      const std::string& right, const std::string& top);
    // Compiles the box centred on (cx, cy, cz); replaces an earlier list.
    void buildDisplayList(float cx, float cy, float cz);
    // glCallList and glFlush.
    void draw() const;

    GLuint m_displayList = 0;
    GLuint m_back = 0;
    GLuint m_front = 0;
    GLuint m_top = 0;
    GLuint m_left = 0;
    GLuint m_right = 0;
    float m_width = 3500.0f;
    float m_height = 3500.0f;
    float m_depth = 3500.0f;
};

// The level's sky (shell/gamecontext.cpp); null outside a level.
extern SkyBox* g_skyBox;
