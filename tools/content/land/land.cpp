// The land, its pictures and the level file.
#include "common/output.h"
#include "generators.h"
#include "land/heightfield.h"
#include "story.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>

using content::Image;

namespace {

using land::SIZE;

// The village fire: the play state lights it at this spot. Trees keep this far from it, and
// out of this angle (radians) either side of it as seen from the hero's start and from the
// camera, which follows this far behind him.
constexpr float FIRE_X = 340.0f, FIRE_Z = 530.0f;
constexpr float FIRE_CLEARANCE = 150.0f;
constexpr float FIRE_SHADOW_ANGLE = 0.4f;
constexpr float CAMERA_DISTANCE = 40.0f;

struct Rgb {
    float r, g, b;
};
Rgb mix(Rgb a, Rgb b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
uint8_t byte(float v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f));
}
void put(Image& im, int x, int y, Rgb c) {
    im.set(x, y, byte(c.r), byte(c.g), byte(c.b));
}

float heightAt(const std::vector<uint8_t>& h, int x, int z) {
    x = std::clamp(x, 0, SIZE - 1);
    z = std::clamp(z, 0, SIZE - 1);
    return h[static_cast<size_t>(x) + static_cast<size_t>(z) * SIZE];
}

// Noise that repeats every `period` lattice cells, for images that tile.
float periodicNoise(float x, float y, int period, uint32_t seed) {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    auto h = [&](int a, int b) {
        a = ((a % period) + period) % period;
        b = ((b % period) + period) % period;
        return land::noise2(static_cast<float>(a) + 0.5f, static_cast<float>(b) + 0.5f, seed);
    };
    const float fx = x - ix, fy = y - iy;
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float top = h(ix, iy) + (h(ix + 1, iy) - h(ix, iy)) * sx;
    const float bottom = h(ix, iy + 1) + (h(ix + 1, iy + 1) - h(ix, iy + 1)) * sx;
    return top + (bottom - top) * sy;
}

// The heights as the colour map reads them: the byte heights box-filtered twice over 9
// samples. The bytes step by whole units, so slopes and heights read straight from them
// come in steps; colours chosen by them then draw bands along the contours (on the rim's
// steep flanks a moiré of rock and grass stripes).
struct SmoothHeights {
    std::vector<float> v;
    float at(int x, int z) const {
        x = std::clamp(x, 0, SIZE - 1);
        z = std::clamp(z, 0, SIZE - 1);
        return v[static_cast<size_t>(x) + static_cast<size_t>(z) * SIZE];
    }
};

SmoothHeights smoothHeights(const std::vector<uint8_t>& h) {
    constexpr int R = 4;
    std::vector<float> a(h.begin(), h.end()), b(a.size());
    auto pass = [&](const std::vector<float>& from, std::vector<float>& to, bool alongX) {
        for (int z = 0; z < SIZE; ++z)
            for (int x = 0; x < SIZE; ++x) {
                float sum = 0.0f;
                for (int k = -R; k <= R; ++k) {
                    const int sx = alongX ? std::clamp(x + k, 0, SIZE - 1) : x;
                    const int sz = alongX ? z : std::clamp(z + k, 0, SIZE - 1);
                    sum += from[static_cast<size_t>(sx) + static_cast<size_t>(sz) * SIZE];
                }
                to[static_cast<size_t>(x) + static_cast<size_t>(z) * SIZE] = sum / (2 * R + 1);
            }
    };
    for (int round = 0; round < 2; ++round) {
        pass(a, b, true);
        pass(b, a, false);
    }
    return {std::move(a)};
}

// Value noise over a lattice turned off the map's axes, so its cells never line up with
// the texels or the terrain grid.
float turnedNoise(float x, float z, float scale, uint32_t seed) {
    return land::noise2((x * 0.8f + z * 0.6f) / scale, (z * 0.8f - x * 0.6f) / scale, seed);
}

Rgb groundColour(const SmoothHeights& h, int x, int z) {
    const float y = h.at(x, z);
    const float slope =
        std::hypot(h.at(x + 4, z) - h.at(x - 4, z), h.at(x, z + 4) - h.at(x, z - 4)) / 8.0f;
    const float n = 0.65f * turnedNoise(x, z, 23.0f, 77u) + 0.35f * turnedNoise(x, z, 9.0f, 79u);
    const float forest = land::noise2(x / 180.0f, z / 180.0f, 78u);
    // Under the water (83 to 97 with the tide) the ground is a dark bed: the water plane adds
    // its light over it, and over pale sand that sum was a white strip instead of a river.
    Rgb deep{26, 50, 58}, bed{66, 84, 70}, sand{164, 148, 104}, grass{88, 140, 58},
        lush{110, 160, 64}, dark{48, 92, 40}, rock{120, 112, 104}, peak{224, 224, 218};
    Rgb c;
    if (y < 83)
        c = mix(deep, bed, (y - 60) / 23.0f);
    else if (y < 90)
        c = mix(bed, sand, (y - 83) / 7.0f);
    else
        c = mix(sand, mix(grass, lush, n), (y - 90) / 6.0f);
    if (y >= 90)
        c = mix(c, dark, (forest - 0.55f) * 4.0f * std::clamp((y - 90) / 6.0f, 0.0f, 1.0f));
    c = mix(c, rock, (slope - 1.1f) * 1.5f);
    c = mix(c, peak, (y - 200.0f) / 30.0f);
    const float shade = 0.9f + 0.2f * n;
    return {c.r * shade, c.g * shade, c.b * shade};
}

// A place on dry, gentle ground near (x, z), searched outwards in a spiral.
void dryPlace(const std::vector<uint8_t>& h, float& x, float& z) {
    for (int r = 0; r < 400; r += 8)
        for (int a = 0; a < 16; ++a) {
            const float px = x + r * std::cos(a * 0.3927f), pz = z + r * std::sin(a * 0.3927f);
            const int ix = static_cast<int>(px), iz = static_cast<int>(pz);
            bool ok = ix > 200 && iz > 200 && ix < SIZE - 200 && iz < SIZE - 200;
            for (int dz = -12; ok && dz <= 12; dz += 6)
                for (int dx = -12; ok && dx <= 12; dx += 6)
                    ok = heightAt(h, ix + dx, iz + dz) > 86.0f;
            if (ok && std::fabs(heightAt(h, ix + 8, iz) - heightAt(h, ix - 8, iz)) < 12.0f) {
                x = std::round(px);
                z = std::round(pz);
                return;
            }
        }
}

void writeTerrainImages(const std::string& root, const std::vector<uint8_t>& h) {
    content::progress("terrain colour and detail maps");
    const SmoothHeights smooth = smoothHeights(h);
    Image colour(1024, 1024);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            put(colour, x, y, groundColour(smooth, x * 2, y * 2));
    content::writeBmp(root + "/Data/terrain_colour.bmp", colour);

    Image detail(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            float v = 0.0f, amp = 0.5f;
            for (int o = 0, p = 8; o < 4; ++o, p *= 2, amp *= 0.5f)
                v += amp * periodicNoise(x / 256.0f * p, y / 256.0f * p, p, 40u + o);
            const float g = 96.0f + 110.0f * v;
            detail.set(x, y, byte(g), byte(g), byte(g));
        }
    content::writeBmp(root + "/Data/terrain_detail.bmp", detail);

    Image map(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            Rgb c = groundColour(smooth, x * 8, y * 8);
            const float v = heightAt(h, x * 8, y * 8);
            if (v <= 75.0f)
                c = {60, 110, 170};
            // Parchment tone, so it reads as a drawn map.
            c = mix(c, Rgb{214, 196, 150}, 0.35f);
            if (static_cast<int>(v) % 24 == 0)
                c = mix(c, Rgb{90, 70, 40}, 0.5f);
            if (x < 3 || y < 3 || x > 252 || y > 252)
                c = {80, 56, 30};
            put(map, x, y, c);
        }
    content::writeBmp(root + "/Data/virav_map.bmp", map);
}

// The sky's colour in the direction of the cube point o + ds * s + dt * t. Points on a
// shared edge are computed from whole-number corners, so both faces get the same value.
Rgb skyColour(const float o[3], const float ds[3], const float dt[3], float s, float t) {
    float d[3];
    for (int i = 0; i < 3; ++i)
        d[i] = o[i] + ds[i] * s + dt[i] * t;
    // Snap the coordinates that lie on the cube's edges, which rounding could move apart.
    for (float& v : d)
        if (std::fabs(std::fabs(v) - 1.0f) < 1e-5f)
            v = v < 0 ? -1.0f : 1.0f;
    const float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const float up = d[1] / len;
    Rgb sky = mix(Rgb{200, 222, 240}, Rgb{70, 130, 205}, (up + 0.1f) * 1.4f);
    float c = 0.0f, amp = 0.5f, fr = 2.5f;
    for (int o2 = 0; o2 < 4; ++o2, amp *= 0.5f, fr *= 2.0f)
        c += amp * (land::noise2(d[0] / len * fr + 10.0f,
                                 d[2] / len * fr + d[1] / len * fr * 0.7f + 10.0f, 60u + o2));
    const float cloud =
        std::clamp((c - 0.45f) * 3.0f, 0.0f, 1.0f) * std::clamp(up * 3.0f + 0.6f, 0.0f, 1.0f);
    return mix(sky, Rgb{250, 250, 252}, cloud);
}

// The water plane's picture, stretched once over the whole land (2 units a texel): deep
// blue with lighter patches and thin bright crests of ripples. The plane adds half of it to
// the dark river bed under it, so the river reads as water lit from above.
void writeWater(const std::string& root) {
    constexpr int kWater = 1024;
    constexpr float kUnits = 2048.0f / kWater;
    Image water(kWater, kWater);
    auto ridge = [](float v) { return 1.0f - std::fabs(2.0f * v - 1.0f); };
    for (int y = 0; y < kWater; ++y)
        for (int x = 0; x < kWater; ++x) {
            const float wx = (x + 0.5f) * kUnits, wz = (y + 0.5f) * kUnits;
            const float broad = land::noise2(wx / 140.0f, wz / 140.0f, 90u);
            const float crest = std::pow(ridge(turnedNoise(wx, wz, 17.0f, 91u)), 6.0f) * 0.7f +
                                std::pow(ridge(turnedNoise(wz, wx, 9.0f, 92u)), 8.0f) * 0.5f;
            const Rgb base = mix(Rgb{14, 46, 84}, Rgb{44, 100, 142}, broad);
            put(water, x, y, mix(base, Rgb{160, 206, 228}, crest));
        }
    content::writeBmp(root + "/data/water_photo.bmp", water);
}

void writeSky(const std::string& root) {
    content::progress("sky box");
    // Each face is one side of the game's sky cube, laid out exactly as the sky box maps
    // its texture: the corner at texture (0, 0), the direction of s and the direction of t
    // (t runs up the image, the file's rows run down). The edge texels sit exactly on the
    // cube's edges, so two faces that meet hold the same colours along their shared border
    // and the clamped edge texels meet without a line; the clouds come from one field over
    // the direction, the same on every face.
    struct Face {
        const char* name;
        float o[3], ds[3], dt[3];
    };
    const Face faces[5] = {{"back", {-1, -1, -1}, {2, 0, 0}, {0, 2, 0}},
                           {"top", {1, 1, 1}, {-2, 0, 0}, {0, 0, -2}},
                           {"front", {1, -1, 1}, {-2, 0, 0}, {0, 2, 0}},
                           {"right", {1, -1, -1}, {0, 0, 2}, {0, 2, 0}},
                           {"left", {-1, -1, 1}, {0, 0, -2}, {0, 2, 0}}};
    constexpr int kSky = 256;
    for (const Face& f : faces) {
        Image im(kSky, kSky);
        for (int y = 0; y < kSky; ++y)
            for (int x = 0; x < kSky; ++x) {
                const float s = static_cast<float>(x) / (kSky - 1);
                const float t = static_cast<float>(kSky - 1 - y) / (kSky - 1);
                put(im, x, y, skyColour(f.o, f.ds, f.dt, s, t));
            }
        content::writeBmp(root + "/Data/sky_" + f.name + ".bmp", im);
    }
    writeWater(root);
}

Image glow(int size, Rgb inner, Rgb outer, float sharp) {
    Image im(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float a = std::pow(std::clamp(1.0f - d, 0.0f, 1.0f), sharp);
            Rgb c = mix(outer, inner, a);
            put(im, x, y, {c.r * a, c.g * a, c.b * a});
        }
    return im;
}

// An element drawn with a mask: the image black outside, the mask white outside.
void writeMasked(const std::string& root, const char* image, const char* mask, int w, int hgt,
                 const std::function<bool(int, int)>& inside,
                 const std::function<Rgb(int, int)>& colour) {
    Image im(w, hgt), mk(w, hgt);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x) {
            const bool in = inside(x, y);
            put(mk, x, y, in ? Rgb{0, 0, 0} : Rgb{255, 255, 255});
            put(im, x, y, in ? colour(x, y) : Rgb{0, 0, 0});
        }
    content::writeBmp(root + "/" + image, im);
    if (mask)
        content::writeBmp(root + "/" + mask, mk);
}

void writeHud(const std::string& root) {
    content::progress("HUD images, particles and the paper box");
    content::writeBmp(root + "/Data/p2.bmp", glow(64, {255, 230, 160}, {255, 90, 10}, 1.6f));
    content::writeBmp(root + "/Data/p3.bmp", glow(64, {200, 230, 255}, {60, 90, 255}, 1.6f));
    content::writeBmp(root + "/Data/flare.bmp", glow(64, {255, 255, 255}, {255, 200, 120}, 2.2f));
    content::writeBmp(root + "/Data/Flare.bmp", glow(64, {255, 255, 240}, {200, 160, 255}, 2.5f));

    auto disc = [](int x, int y) {
        const float dx = x - 63.5f, dy = y - 63.5f;
        return dx * dx + dy * dy < 60.0f * 60.0f;
    };
    const Rgb guns[3] = {{60, 220, 80}, {230, 60, 50}, {70, 120, 240}};
    const char* names[3] = {"Data/green_palette.bmp", "Data/red_palette.bmp",
                            "Data/blue_palette.bmp"};
    for (int g = 0; g < 3; ++g)
        writeMasked(root, names[g], g == 0 ? "Data/paletteMask.bmp" : nullptr, 128, 128, disc,
                    [&](int x, int y) {
                        const float d = std::hypot(x - 63.5f, y - 63.5f);
                        Rgb rim{150, 130, 90};
                        return d > 52.0f ? rim : mix(Rgb{20, 20, 24}, guns[g], 1.0f - d / 70.0f);
                    });
    writeMasked(
        root, "Data/crossHair.bmp", "Data/CrossHairMask.bmp", 512, 512,
        [](int x, int y) {
            const int dx = std::abs(x - 256), dy = std::abs(y - 256);
            const float r = std::hypot(static_cast<float>(dx), static_cast<float>(dy));
            return (dx <= 1 && dy > 6 && dy < 30) || (dy <= 1 && dx > 6 && dx < 30) ||
                   std::fabs(r - 20.0f) < 1.2f;
        },
        [](int, int) {
            return Rgb{255, 240, 200};
        });
    // The life bar: a wooden frame around the fill (screen x 40 to 59 of 0 to 100,
    // y 483 to 570 of 450 to 600), left open where the red fill shows.
    writeMasked(
        root, "Data/lifeBar.bmp", "Data/lifeBarMask.bmp", 128, 256,
        [](int x, int y) {
            const float sx = x / 128.0f * 100.0f, sy = 450.0f + y / 256.0f * 150.0f;
            const bool frame = sx > 32 && sx < 67 && sy > 475 && sy < 578;
            const bool hole = sx >= 40 && sx <= 59 && sy >= 483 && sy <= 570;
            return frame && !hole;
        },
        [](int x, int y) {
            return mix(Rgb{110, 70, 36}, Rgb{170, 120, 70}, land::noise2(x / 5.0f, y / 20.0f, 5u));
        });
    writeMasked(
        root, "Data/gem.bmp", "Data/gemMask.bmp", 128, 128,
        [](int x, int y) { return std::abs(x - 64) * 0.8f + std::abs(y - 64) < 56.0f; },
        [](int x, int y) {
            const float l = 0.5f + 0.5f * ((x < 64) != (y < 64) ? 1.0f : 0.3f);
            return Rgb{60.0f * l, 230.0f * l, 140.0f * l};
        });
    // The paper box: 700 by 300 on screen; the mask keeps ragged, burnt edges.
    writeMasked(
        root, "Data/oldPaper.bmp", "Data/oldPaperMask.bmp", 1024, 512,
        [](int x, int y) {
            const float edge = std::min(std::min(x, 1023 - x), std::min(y, 511 - y) * 2) + 0.0f;
            return edge > 14.0f + 18.0f * land::noise2(x / 21.0f, y / 21.0f, 17u);
        },
        [](int x, int y) {
            const float n = land::noise2(x / 40.0f, y / 40.0f, 18u) * 0.6f +
                            land::noise2(x / 6.0f, y / 6.0f, 19u) * 0.4f;
            const float edge = std::min(std::min(x, 1023 - x), std::min(y, 511 - y) * 2);
            Rgb paper = mix(Rgb{196, 170, 120}, Rgb{236, 220, 180}, n);
            return mix(Rgb{120, 84, 44}, paper, edge / 60.0f);
        });
}

std::string xmlText(const std::string& s) {
    std::string o;
    for (char c : s) {
        if (c == '&')
            o += "&amp;";
        else if (c == '<')
            o += "&lt;";
        else if (c == '"')
            o += "&quot;";
        else
            o += c;
    }
    return o;
}

void writeLevel(const std::string& root, const std::vector<uint8_t>& h, const land::Landmarks& m) {
    content::progress("level file");
    std::ostringstream x;
    auto pos = [&](float px, float pz) {
        dryPlace(h, px, pz);
        x << "<starting-position x=\"" << px << "\" z=\"" << pz << "\"/>";
        return std::pair<float, float>(px, pz);
    };
    x << "<?xml version=\"1.0\"?>\n";
    x << "<terrain name=\"Flatland River\" heightmap=\"Data/flatland.raw\" "
         "texture=\"Data/terrain_colour.bmp\" detail=\"Data/terrain_detail.bmp\" glStart=\"0\" "
         "glWidth=\"2048\" glDepth=\"2048\">\n";
    x << " <skybox front=\"Data/sky_front.bmp\" back=\"Data/sky_back.bmp\" "
         "left=\"Data/sky_left.bmp\" "
         "right=\"Data/sky_right.bmp\" top=\"Data/sky_top.bmp\"/>\n";
    x << " <player model=\"Data/tarvo.ms3d\" life=\"100\">";
    // West of the villagers: the hero starts facing +x, so they stand straight ahead.
    pos(m.villageX - 90, m.villageZ - 5);
    x << "</player>\n";
    x << " <boss active=\"0\" model=\"Data/boss.ms3d\" life=\"400\">";
    pos(m.arenaX, m.arenaZ);
    x << "</boss>\n <static-objects>\n";
    struct Prop {
        const char* model;
        float x, z;
        int w, d;
    };
    std::vector<Prop> props = {
        {"Data/hut.ms3d", m.villageX - 90, m.villageZ - 70, 30, 24},
        {"Data/hut.ms3d", m.villageX + 90, m.villageZ - 80, 30, 24},
        {"Data/hut.ms3d", m.villageX - 60, m.villageZ + 110, 30, 24},
        {"Data/rock.ms3d", m.arenaX - 130, m.arenaZ, 10, 10},
        {"Data/rock.ms3d", m.arenaX + 130, m.arenaZ, 10, 10},
        {"Data/rock.ms3d", m.arenaX, m.arenaZ - 130, 10, 10},
        {"Data/rock.ms3d", m.arenaX, m.arenaZ + 130, 10, 10},
        {"Data/rock.ms3d", m.hillX, m.hillZ, 10, 10},
    };
    // The trees ring the village's southern side. None may stand in the village fire or
    // behind it as seen from the hero's start and from the camera there (behind him, as he
    // starts facing +x): the flames add their light over whatever lies behind them, and a
    // tree there looked as if it stood burning in the fire.
    const std::pair<float, float> views[2] = {{m.villageX - 90, m.villageZ - 5},
                                              {m.villageX - 90 - CAMERA_DISTANCE, m.villageZ - 5}};
    auto clearOfFire = [&](float tx, float tz) {
        if (std::hypot(tx - FIRE_X, tz - FIRE_Z) < FIRE_CLEARANCE)
            return false;
        for (const auto& [vx, vz] : views) {
            float off =
                std::fabs(std::atan2(tz - vz, tx - vx) - std::atan2(FIRE_Z - vz, FIRE_X - vx));
            off = std::min(off, 6.2831853f - off);
            if (off < FIRE_SHADOW_ANGLE &&
                std::hypot(tx - vx, tz - vz) > std::hypot(FIRE_X - vx, FIRE_Z - vz))
                return false;
        }
        return true;
    };
    for (int i = 0; i < 14; ++i) {
        // A tree in the way moves the shortest way round its ring that clears it.
        const float a = i * 2.39996f;
        const float r = 260.0f + 30.0f * (i % 5);
        auto ring = [&](float turn) {
            return std::pair<float, float>(m.villageX + r * std::cos(a + turn),
                                           m.villageZ + 200.0f + r * std::sin(a + turn));
        };
        auto [tx, tz] = ring(0.0f);
        for (int step = 1; step <= 32 && !clearOfFire(tx, tz); ++step) {
            for (float turn : {0.1f * step, -0.1f * step}) {
                const auto [px, pz] = ring(turn);
                if (clearOfFire(px, pz)) {
                    tx = px;
                    tz = pz;
                    break;
                }
            }
        }
        props.push_back(
            {i % 2 ? "Data/pine.ms3d" : "Data/oak.ms3d", tx, tz, i % 2 ? 8 : 14, i % 2 ? 8 : 14});
    }
    for (Prop& p : props) {
        x << "  <object model=\"" << p.model << "\">";
        pos(p.x, p.z);
        x << "<size width=\"" << p.w << "\" depth=\"" << p.d
          << "\"/><heading x=\"1\" z=\"0\"/></object>\n";
    }
    x << " </static-objects>\n <npcs>\n";
    // The villagers stand apart (58 to 107) on short, slow rounds (radius 12), so the talk
    // key finds one at a time and none wanders off; seen from the start they stand side by
    // side ahead (Rarozare in the middle, Verozi to the right, Virav to the left), not
    // one behind the other.
    const float spots[3][2] = {{-40.0f, 0.0f}, {10.0f, 30.0f}, {60.0f, -25.0f}};
    for (int i = 0; i < 3; ++i) {
        const story::Villager& v = story::VILLAGERS[i];
        const float vx = m.villageX + spots[i][0], vz = m.villageZ + spots[i][1];
        x << "  <npc model=\"" << v.model << "\" name=\"" << v.name
          << "\" speed=\"6\" active=\"1\">";
        auto at = pos(vx, vz);
        x << "<normal-chat text=\"" << xmlText(v.normalChat) << "\"/><scared-chat text=\""
          << xmlText(v.scaredChat) << "\"/>\n   <menu title=\"" << xmlText(v.menuTitle)
          << "\" negative-reply=\"" << xmlText(v.negativeReply) << "\">";
        for (int k = 0; k < v.itemCount; ++k)
            x << "<item id=\"" << v.items[k].id << "\" text=\"" << xmlText(v.items[k].text)
              << "\" reply=\"" << xmlText(v.items[k].reply) << "\"/>";
        x << "</menu>\n   <path num=\"3\">";
        for (int k = 0; k < 3; ++k) {
            float px = at.first + 12.0f * std::cos(k * 2.1f + i),
                  pz = at.second + 12.0f * std::sin(k * 2.1f + i);
            dryPlace(h, px, pz);
            x << "<point x=\"" << px << "\" z=\"" << pz << "\"/>";
        }
        x << "</path></npc>\n";
    }
    x << " </npcs>\n <enemies>\n";
    // Where the creatures wait decides how a newcomer's first minutes go. Only the flocks
    // hunt the hero from anywhere (and the chance-driven ones drift toward him), so they
    // start in the far south-east and walk slowly; a new player meets the lone patrols first,
    // which stay at their posts until the hero comes near. The two nearest patrol just out
    // of reach of the village, where a newcomer walking out finds them one at a time.
    //
    // The chance-driven creatures run from the hero once their life is 70 or less: they start
    // above that, so that they come at him until he has struck them, a magician once, a brute
    // twice (a bat blow on a limb takes 16).
    int n = 0;
    auto enemy = [&](const char* ai, const char* extra, bool magician, bool visible, float ex,
                     float ez, float patrol, int speed, int life = 0, int attackOdds = 0,
                     int blowDamage = 0) {
        const bool chance = std::string(ai) == "probability";
        if (life == 0)
            life = chance ? (magician ? 80 : 100) : (magician ? 40 : 60);
        x << "  <enemy name=\"" << (magician ? "magician" : "brute") << ++n
          << "\" active=\"1\" visible=\"" << (visible ? 1 : 0) << "\" model=\""
          << (magician ? "Data/magician.ms3d" : "Data/enemy.ms3d") << "\" speed=\"" << speed
          << "\" life=\"" << life << "\" aiType=\"" << ai << "\" " << extra;
        if (attackOdds > 0)
            x << " attackOdds=\"" << attackOdds << "\"";
        if (blowDamage > 0) // the creatures a newcomer meets first: gentler
            x << " blowDamage=\"" << blowDamage << "\"";
        // Seen from the start: the creatures a newcomer meets first, and the magicians, whose
        // fire from an unseen caster killed newcomers who never learned what hit them.
        if (blowDamage > 0 || magician)
            x << " shown=\"true\"";
        x << " enemyType=\"" << (magician ? "magician" : "melee") << "\">";
        auto at = pos(ex, ez);
        if (patrol > 0.0f) {
            x << "<path num=\"4\">";
            for (int k = 0; k < 4; ++k) {
                float px = at.first + patrol * std::cos(k * 1.5708f),
                      pz = at.second + patrol * std::sin(k * 1.5708f);
                dryPlace(h, px, pz);
                x << "<point x=\"" << px << "\" z=\"" << pz << "\"/>";
            }
            x << "</path>";
        }
        x << "</enemy>\n";
    };
    // The flocks hunt the hero from wherever they are, so they start deep in the land's
    // far south-east, beyond the river, and walk slowly: from there the first reaches the
    // ford after four and a half minutes or more and the village's edge after seven, not
    // while a newcomer is still learning to see unpainted creatures (a flock's magician
    // opens fire from well beyond the view).
    const int brute = 24, mage = 18, flockPace = 3;
    const float rx = land::riverX(m.fordZ);
    // The first three are lone brutes that a newcomer can see from the start and beat: one
    // burst of the green gun (five shots of 5) or two bat blows fell one (25 life), they
    // strike seldom (about every 15 seconds within reach, where the others strike three times
    // a second) and a blow takes 5, not 10, so that a hero who stands beside one for a minute
    // keeps more than half his life. They keep to short rounds on the village's
    // side of the river. The first walks on the open rise straight ahead of the hero's
    // start, clear of the huts and trees between, a few seconds' walk past the village's
    // edge: seen at once by a newcomer who walks out the way he faces, yet too far off to
    // notice a hero in the village. The second walks farther out, the third by the ford's
    // near bank. Nothing waits just beyond the ford: a creature that follows the hero into
    // the water loses its shadow under the surface and strikes unseen.
    const int firstLife = 25, firstOdds = 900, firstBlow = 5;
    enemy("waypoint", "", false, true, m.villageX + 290, m.villageZ - 80, 30, brute, firstLife,
          firstOdds, firstBlow);
    enemy("waypoint", "", false, true, m.villageX + 360, m.villageZ - 200, 40, brute, firstLife,
          firstOdds, firstBlow);
    enemy("waypoint", "", false, true, rx - 200, m.fordZ - 80, 60, brute, firstLife, firstOdds,
          firstBlow);
    // The band just across the river (up to 400 beyond it) holds only the same gentle, seen
    // brutes, a little tougher: the newcomers who waded the river died there of creatures
    // they never saw and of fire from off screen.
    const int bandLife = 40;
    auto across = [](float beyond, float z) { return land::riverX(z) + beyond; };
    enemy("waypoint", "", false, true, across(300, 700), 700, 90, brute, bandLife, firstOdds,
          firstBlow);
    enemy("waypoint", "", false, true, across(300, 880), 880, 50, brute, bandLife, firstOdds,
          firstBlow);
    enemy("waypoint", "", false, true, across(330, 1250), 1250, 60, brute, bandLife, firstOdds,
          firstBlow);
    // Magicians, the unseen and the tougher creatures wait at least 700 beyond the river,
    // round the boss's arena in the far south-east. The last of them (the one the short hunt
    // leaves) waits north of the arena on open ground, so that the fight with the boss that
    // follows is seen from the meadow, not from the rim.
    enemy("probability", "", false, true, 1760, 1300, 0, brute);
    enemy("probability", "", true, false, 1780, 1690, 0, mage);
    enemy("probability", "", false, true, 1800, 1450, 0, brute);
    enemy("probability", "", true, true, 1620, 1330, 0, mage);
    // The flocks are the creatures a wandering newcomer meets first beyond the river, a group
    // striking together: unseen and at full strength they emptied a newcomer's life in ten
    // seconds with nothing on screen. They are seen from the start, and a blow takes 4.
    const int flockBlow = 4;
    enemy("flock", "role=\"leader\" flocknum=\"0\"", false, true, 1800, 1200, 0, flockPace, 0, 0,
          flockBlow);
    for (int k = 0; k < 3; ++k)
        enemy("flock", "role=\"follower\" flocknum=\"0\"", k == 2, true, 1760, 1160 + 40 * k, 0,
              flockPace, 0, 0, flockBlow);
    enemy("flock", "role=\"leader\" flocknum=\"1\"", true, true, 1780, 1640, 0, flockPace, 0, 0,
          flockBlow);
    for (int k = 0; k < 2; ++k)
        enemy("flock", "role=\"follower\" flocknum=\"1\"", false, k == 1, 1740 - 40 * k, 1630, 0,
              flockPace, 0, 0, flockBlow);
    enemy("waypoint", "", false, false, 1640, 1480, 35, brute);
    enemy("waypoint", "", true, true, 1790, 1120, 50, mage);
    enemy("waypoint", "", true, true, 1700, 1250, 60, mage);
    x << " </enemies>\n</terrain>\n";
    content::writeText(root + "/data/flatlandriver.xml", x.str());
}

} // namespace

void generateLand(const std::string& root) {
    content::beginStage("land", 5);
    content::progress("height map");
    const land::Landmarks marks;
    const std::vector<uint8_t> heights = land::buildHeights(marks);
    content::writeFile(root + "/Data/flatland.raw", heights);
    writeTerrainImages(root, heights);
    writeSky(root);
    writeHud(root);
    writeLevel(root, heights, marks);
}
