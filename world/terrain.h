// The landscape: one 2048 by 2048 height field of bytes, drawn from a display list with a
// colour map stretched once over it and a detail map repeated 16 times.
//
// World x and z are sample indices and the height in world units is the byte value, so the land
// covers x and z from 0 to 2048 and heights 0 to 255. `height` and `heightAt` are constant-time
// array reads, cheap enough for every object and the camera to call many times a frame; there
// is no interpolation, heights are steps one unit wide. Coordinates of 2048 or more wrap to the
// opposite edge, negative ones clamp to the edge at 0.
//
// Beyond its border the land goes on as mountains that rise higher than any eye the game places
// and reach past the sky box's walls, so that no view shows the land's edge (they are only drawn,
// nothing stands on them: walkers keep to the land, see keepOnLand).
//
// `load` reads 4 MB and builds two mipmapped textures; `buildDisplayList` compiles 129 strips of
// 258 vertices and the mountains' 7 rings of 514 quads once. Both need a current GL context; per
// frame `draw` is one glCallList. A missing or short height file is reported on standard error and
// leaves the rest of the land flat at 0; missing textures leave the land untextured. On a driver
// without multitexture the terrain is drawn with the colour map alone.
#pragma once

#include <GL/gl.h>
#include <cstdint>
#include <string>
#include <vector>

class Terrain {
public:
    static constexpr int32_t MAP_SIZE = 2048;
    static constexpr int32_t GRID_STEP = 16;
    static constexpr int32_t DETAIL_REPEAT = 16;
    static constexpr size_t HEIGHT_BYTES = size_t(MAP_SIZE) * MAP_SIZE;

    Terrain();
    ~Terrain();
    Terrain(const Terrain&) = delete;
    Terrain& operator=(const Terrain&) = delete;

    // Entry points, then the colour and detail maps (mipmapped), then the heights.
    void load(const std::string& heightFile, const std::string& colorMap,
              const std::string& detailMap);
    // Reads the heights alone (no GL): up to 4,194,304 bytes; returns how many were read.
    size_t loadHeights(const std::string& heightFile);
    // Compiles the terrain into m_displayList; replaces an earlier list.
    void buildDisplayList();
    // One glCallList and a glFlush.
    void draw() const;

    // The sample at (x, z), 0 to 255, with the wrap and clamp described above.
    int32_t height(int32_t x, int32_t z) const;
    // Overwrites a sample (for tools and tests); the display list is not rebuilt.
    void setHeight(int32_t x, int32_t z, uint8_t value);

    // A point of the mountains drawn round the land: where it is and its colour map texel.
    struct ApronPoint {
        float x, y, z, u, v;
    };
    // The mountains' rings, innermost (the land's border, at its own heights) first; each
    // ring walks round the land the same way and ends where it began.
    std::vector<std::vector<ApronPoint>> apron() const;

    GLuint m_colorTexture = 0;
    GLuint m_detailTexture = 0;
    std::vector<uint8_t> m_heights; // sample (x, z) at x + z * 2048
    GLuint m_displayList = 0;
};

// The process-wide height query: `height` of g_terrain at x and z truncated toward zero;
// 0 when there is no terrain.
float heightAt(float x, float z);
// Where a shadow volume cast at (x, z) may end: just under the lowest ground (heightAt)
// within 128 units, or no floor at all (-infinity) without a terrain.
float ShadowFloorAt(float x, float z);
// Where the end of one shadow ray at (x, z) lies under the drawn land: a little under the
// lowest corner of the land's grid cell there; -infinity off the land or without a terrain.
float ShadowGroundAt(float x, float z);

// Walkers keep this far inside the land's border, off the mountains drawn beyond it.
constexpr float LAND_WALK_MARGIN = 24.0f;
// Moves (x, z) the least way back onto the walkable land, each axis held within
// LAND_WALK_MARGIN of the border: a walker pressing on the border stops there and slides along
// it. Without a terrain there is no border and nothing moves; a non-finite coordinate is
// left alone.
void keepOnLand(float& x, float& z);

// The level's landscape (shell/gamecontext.cpp); null outside a level.
extern Terrain* g_terrain;
