#include "world/terrain.h"

#include "models/texture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>

Terrain::Terrain() : m_heights(HEIGHT_BYTES, 0) {}

Terrain::~Terrain() = default;

void Terrain::load(const std::string& heightFile, const std::string& colorMap,
                   const std::string& detailMap) {
    loadMultitextureEntryPoints();
    loadMipmappedTexture(&m_colorTexture, colorMap);
    loadMipmappedTexture(&m_detailTexture, detailMap);
    loadHeights(heightFile);
}

size_t Terrain::loadHeights(const std::string& heightFile) {
    std::ifstream f(heightFile, std::ios::binary);
    if (!f.is_open()) {
        std::fprintf(stderr, "Terrain: cannot open the height file \"%s\"; the land is flat.\n",
                     heightFile.c_str());
        return 0;
    }
    f.read(reinterpret_cast<char*>(m_heights.data()), std::streamsize(HEIGHT_BYTES));
    size_t got = size_t(f.gcount());
    if (got < HEIGHT_BYTES)
        std::fprintf(stderr,
                     "Terrain: the height file \"%s\" holds %zu of %zu bytes; the rest of the "
                     "land is flat.\n",
                     heightFile.c_str(), got, HEIGHT_BYTES);
    return got;
}

int32_t Terrain::height(int32_t x, int32_t z) const {
    int32_t xr = x % MAP_SIZE;
    int32_t zr = z % MAP_SIZE;
    if (xr < 0)
        xr = 0;
    if (zr < 0)
        zr = 0;
    return m_heights[size_t(xr) + size_t(zr) * MAP_SIZE];
}

void Terrain::setHeight(int32_t x, int32_t z, uint8_t value) {
    if (x < 0 || z < 0 || x >= MAP_SIZE || z >= MAP_SIZE)
        return;
    m_heights[size_t(x) + size_t(z) * MAP_SIZE] = value;
}

void Terrain::buildDisplayList() {
    if (m_displayList != 0)
        glDeleteLists(m_displayList, 1);
    const bool multi = multitextureAvailable();
    const bool combine = textureCombineAvailable();

    m_displayList = glGenLists(1);
    glNewList(m_displayList, GL_COMPILE);
    glPushMatrix();

    if (multi)
        g_glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glBindTexture(GL_TEXTURE_2D, m_colorTexture);

    if (multi) {
        g_glActiveTextureARB(GL_TEXTURE1_ARB);
        glEnable(GL_TEXTURE_2D);
        if (combine) {
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
            glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 2);
        } else {
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        }
        glBindTexture(GL_TEXTURE_2D, m_detailTexture);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glScalef(float(DETAIL_REPEAT), float(DETAIL_REPEAT), 1.0f);
        glMatrixMode(GL_MODELVIEW);
    }

    glColor4f(1, 1, 1, 1);
    auto vertex = [&](int32_t x, int32_t z) {
        const float u = float(x / 2048.0);
        const float v = float(-z / 2048.0);
        if (multi) {
            g_glMultiTexCoord2fARB(GL_TEXTURE0_ARB, u, v);
            g_glMultiTexCoord2fARB(GL_TEXTURE1_ARB, u, v);
        } else {
            glTexCoord2f(u, v);
        }
        glVertex3i(x, height(x, z), z);
    };

    glBegin(GL_TRIANGLE_STRIP);
    bool up = true;
    for (int32_t x = 0; x <= MAP_SIZE; x += GRID_STEP) {
        if (up) {
            for (int32_t z = 0; z <= MAP_SIZE; z += GRID_STEP) {
                vertex(x + GRID_STEP, z);
                vertex(x, z);
            }
        } else {
            for (int32_t z = MAP_SIZE; z >= 0; z -= GRID_STEP) {
                vertex(x, z);
                vertex(x + GRID_STEP, z);
            }
        }
        up = !up;
    }
    glEnd();

    if (multi) {
        glDisable(GL_TEXTURE_2D);
        g_glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    glEndList();
}

void Terrain::draw() const {
    glCallList(m_displayList);
    glFlush();
}

float heightAt(float x, float z) {
    if (!g_terrain)
        return 0.0f;
    // Float to int conversion of a value outside int32 is undefined; clamp first.
    auto toInt = [](float f) -> int32_t {
        if (!(f == f))
            return 0;
        if (f >= 2147483520.0f)
            return INT32_MAX;
        if (f <= -2147483648.0f)
            return INT32_MIN;
        return int32_t(f);
    };
    return float(g_terrain->height(toInt(x), toInt(z)));
}

float ShadowFloorAt(float x, float z) {
    // How far around a caster the ground is searched for its lowest point, how finely,
    // and how far below that point a volume ends.
    constexpr float FLOOR_RADIUS = 128.0f;
    constexpr float FLOOR_STEP = 32.0f;
    constexpr float FLOOR_MARGIN = 10.0f;
    if (!g_terrain)
        return -std::numeric_limits<float>::infinity();
    float lowest = std::numeric_limits<float>::infinity();
    for (float dz = -FLOOR_RADIUS; dz <= FLOOR_RADIUS; dz += FLOOR_STEP)
        for (float dx = -FLOOR_RADIUS; dx <= FLOOR_RADIUS; dx += FLOOR_STEP)
            lowest = std::min(lowest, heightAt(x + dx, z + dz));
    return lowest - FLOOR_MARGIN;
}

float ShadowGroundAt(float x, float z) {
    // How far under the drawn land a volume ends: room for the land between two ends.
    constexpr float GROUND_MARGIN = 4.0f;
    constexpr float SIZE = float(Terrain::MAP_SIZE);
    if (!g_terrain || !(x >= 0.0f && x <= SIZE && z >= 0.0f && z <= SIZE))
        return -std::numeric_limits<float>::infinity();
    // The land is drawn as triangles between the grid's samples: over a cell it lies
    // nowhere below the lowest of the cell's four corners.
    const int32_t step = Terrain::GRID_STEP;
    const int32_t x0 = std::min(int32_t(x) / step * step, Terrain::MAP_SIZE - step);
    const int32_t z0 = std::min(int32_t(z) / step * step, Terrain::MAP_SIZE - step);
    const int32_t lowest = std::min(
        std::min(g_terrain->height(x0, z0), g_terrain->height(x0 + step, z0)),
        std::min(g_terrain->height(x0, z0 + step), g_terrain->height(x0 + step, z0 + step)));
    return float(lowest) - GROUND_MARGIN;
}
