#include "world/terrain.h"

#include "models/texture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <utility>

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

namespace {

// The mountains around the land: rings at these distances beyond its border, rising by these
// heights above the border's own (times 1 to 1.5 along the way, for crests and passes). The
// sky box's walls stand about 700 beyond the border: the last ring reaches past them, and its
// crests (460 and up) stand higher than the hero's eye on the highest ground, so every view
// out of the land ends on a slope under the sky, never on the land's cut edge; they stay low
// enough that the sky still shows above them from the valley.
constexpr int32_t APRON_RINGS = 8;
constexpr float APRON_OUT[APRON_RINGS] = {0, 40, 120, 240, 400, 560, 720, 820};
constexpr float APRON_RISE[APRON_RINGS] = {0, 25, 70, 130, 180, 210, 230, 235};

float apronHash(int32_t i, int32_t ring) {
    uint32_t h = uint32_t(i) * 374761393u + uint32_t(ring) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xFFFF) / 65535.0f;
}

// Smooth noise in 0..1 along the border (i counts samples), different per ring.
float apronNoise(float i, int32_t ring) {
    const int32_t i0 = int32_t(std::floor(i));
    float f = i - float(i0);
    f = f * f * (3.0f - 2.0f * f);
    return apronHash(i0, ring) + (apronHash(i0 + 1, ring) - apronHash(i0, ring)) * f;
}

} // namespace

std::vector<std::vector<Terrain::ApronPoint>> Terrain::apron() const {
    // The border as the strips draw it (x from 0 to MAP_SIZE + GRID_STEP, z from 0 to
    // MAP_SIZE) walked round at GRID_STEP; ring r is the same walk with the border pushed out
    // by APRON_OUT[r], each side straight out and the corners diagonally, so that every ring
    // has the same number of points. The colours of the border are stretched outwards.
    const int32_t x1 = MAP_SIZE + GRID_STEP, z1 = MAP_SIZE;
    std::vector<std::pair<int32_t, int32_t>> border;
    for (int32_t x = 0; x < x1; x += GRID_STEP)
        border.emplace_back(x, 0);
    for (int32_t z = 0; z < z1; z += GRID_STEP)
        border.emplace_back(x1, z);
    for (int32_t x = x1; x > 0; x -= GRID_STEP)
        border.emplace_back(x, z1);
    for (int32_t z = z1; z > 0; z -= GRID_STEP)
        border.emplace_back(0, z);
    border.push_back(border.front()); // closed
    std::vector<std::vector<ApronPoint>> rings(APRON_RINGS);
    for (int32_t r = 0; r < APRON_RINGS; ++r)
        for (size_t i = 0; i < border.size(); ++i) {
            const auto [bx, bz] = border[i];
            const float d = APRON_OUT[r];
            const float px = bx == 0 ? -d : (bx == x1 ? float(x1) + d : float(bx));
            const float pz = bz == 0 ? -d : (bz == z1 ? float(z1) + d : float(bz));
            const size_t wrapped = i % (border.size() - 1);
            const float crest = 1.0f + 0.5f * apronNoise(float(wrapped) / 6.0f, r);
            rings[size_t(r)].push_back({px, float(height(bx, bz)) + APRON_RISE[r] * crest, pz,
                                        float(bx / 2048.0), float(-bz / 2048.0)});
        }
    return rings;
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

    // The mountains round the land, as triangles turned to face up (the culling keeps those).
    const auto rings = apron();
    auto apronVertex = [&](const ApronPoint& p, int32_t ring) {
        // Lower slopes in the shade of the crests, the crests in full light.
        const float light = 0.7f + 0.3f * float(ring) / float(APRON_RINGS - 1);
        glColor4f(light, light, light, 1.0f);
        if (multi) {
            g_glMultiTexCoord2fARB(GL_TEXTURE0_ARB, p.u, p.v);
            g_glMultiTexCoord2fARB(GL_TEXTURE1_ARB, p.x / 2048.0f, -p.z / 2048.0f);
        } else {
            glTexCoord2f(p.u, p.v);
        }
        glVertex3f(p.x, p.y, p.z);
    };
    auto triangle = [&](const ApronPoint* t[3], const int32_t ring[3]) {
        const float ax = t[1]->x - t[0]->x, az = t[1]->z - t[0]->z;
        const float bx = t[2]->x - t[0]->x, bz = t[2]->z - t[0]->z;
        const bool up = az * bx - ax * bz > 0.0f; // the y of (t1 - t0) x (t2 - t0)
        apronVertex(*t[0], ring[0]);
        apronVertex(*t[up ? 1 : 2], ring[up ? 1 : 2]);
        apronVertex(*t[up ? 2 : 1], ring[up ? 2 : 1]);
    };
    glBegin(GL_TRIANGLES);
    for (size_t r = 0; r + 1 < rings.size(); ++r)
        for (size_t i = 0; i + 1 < rings[r].size(); ++i) {
            const int32_t in = int32_t(r), out = int32_t(r + 1);
            const ApronPoint* first[3] = {&rings[r][i], &rings[r][i + 1], &rings[r + 1][i]};
            const int32_t firstRings[3] = {in, in, out};
            triangle(first, firstRings);
            const ApronPoint* second[3] = {&rings[r][i + 1], &rings[r + 1][i + 1],
                                           &rings[r + 1][i]};
            const int32_t secondRings[3] = {in, out, out};
            triangle(second, secondRings);
        }
    glEnd();
    glColor4f(1, 1, 1, 1);

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

void keepOnLand(float& x, float& z) {
    if (!g_terrain)
        return;
    constexpr float LOW = LAND_WALK_MARGIN, HIGH = float(Terrain::MAP_SIZE) - LAND_WALK_MARGIN;
    if (std::isfinite(x))
        x = std::clamp(x, LOW, HIGH);
    if (std::isfinite(z))
        z = std::clamp(z, LOW, HIGH);
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
