#include "models/props.h"

#include "models/mesh.h"

#include <cmath>
#include <string>

namespace content::models {

namespace {

constexpr float kPi = 3.14159265f;

Xf at(const Vec3& origin) {
    Xf x;
    x.origin = origin;
    return x;
}

Xf atRot(const Vec3& origin, const Mat3& r) {
    Xf x;
    x.origin = origin;
    x.rotation = r;
    return x;
}

void begin(BuiltModel& m, MeshBuilder& mb, const std::string& base, bool dotName,
           const Ms3dMaterial& look) {
    m.textureFile = "Data/" + base + "_tex.bmp";
    const std::string stored = dotName ? ".\\" + base + "_tex.bmp" : m.textureFile;
    Ms3dMaterial mat = look;
    mat.name = dotName ? stored : base;
    mat.texture = stored;
    mb.addMaterial(mat, base);
}

std::vector<Vec3> ring(int n, float r, float y, float phase = 0.0f) {
    std::vector<Vec3> out;
    for (int i = 0; i < n; ++i) {
        const float a = phase + 2 * kPi * i / n;
        out.push_back({r * std::cos(a), y, r * std::sin(a)});
    }
    return out;
}

// Faces of a polyhedron made of stacked rings (optional single apex points at both ends).
void stackedFaces(int n, int rings, bool top, bool bottom, std::vector<std::vector<int>>& faces) {
    // Points: ring 0 .. ring rings-1 (n each), then top apex, then bottom apex.
    for (int r = 0; r + 1 < rings; ++r)
        for (int i = 0; i < n; ++i)
            faces.push_back(
                {r * n + i, r * n + (i + 1) % n, (r + 1) * n + (i + 1) % n, (r + 1) * n + i});
    const int topIdx = rings * n, bottomIdx = rings * n + (top ? 1 : 0);
    if (top) {
        for (int i = 0; i < n; ++i)
            faces.push_back({(rings - 1) * n + i, (rings - 1) * n + (i + 1) % n, topIdx});
    } else {
        std::vector<int> cap;
        for (int i = 0; i < n; ++i)
            cap.push_back((rings - 1) * n + i);
        faces.push_back(cap);
    }
    if (bottom) {
        for (int i = 0; i < n; ++i)
            faces.push_back({i, (i + 1) % n, bottomIdx});
    } else {
        std::vector<int> cap;
        for (int i = 0; i < n; ++i)
            cap.push_back(i);
        faces.push_back(cap);
    }
}

float hashNoise(const Vec3& d, uint32_t seed) {
    // Smooth enough bumps for rocks: a few low-frequency waves.
    return 1.0f + 0.09f * std::sin(d.x * 5.1f + seed) * std::cos(d.z * 4.3f + seed * 0.7f) +
           0.06f * std::sin(d.y * 7.7f + d.x * 3.1f + seed * 1.3f);
}

} // namespace

BuiltModel buildGem(int cut) {
    BuiltModel m;
    Atlas atlas(64);
    const PixelRect r = atlas.alloc(64, 64);
    // Pale facets with glints: the game tints gems with their colour.
    atlas.fill(r, Rgb(225, 225, 235), 0.25f, 110 + cut, 0.3f);
    atlas.disc(r, 0.3f, 0.3f, 0.12f, Rgb(255, 255, 255));
    atlas.disc(r, 0.7f, 0.65f, 0.07f, Rgb(255, 255, 255));
    const UvRect uv = atlas.uv(r);
    MeshBuilder mb(m.file);
    Ms3dMaterial look;
    look.specular[0] = look.specular[1] = look.specular[2] = 0.9f;
    look.shininess = 80.0f;
    begin(m, mb, "gem" + std::to_string(cut), true, look);
    std::vector<Vec3> pts;
    std::vector<std::vector<int>> faces;
    if (cut == 1) { // brilliant: table, crown, girdle, pavilion point
        pts = ring(8, 0.75f, 2.9f, kPi / 8);
        const auto girdle = ring(8, 1.3f, 2.3f);
        pts.insert(pts.begin(), girdle.begin(), girdle.end());
        pts.push_back({0, 0.6f, 0});
        // rings: 0 girdle, 1 table; no top apex, a bottom point.
        stackedFaces(8, 2, false, true, faces);
    } else if (cut == 2) { // long hexagonal crystal, pointed at both ends
        pts = ring(6, 0.8f, 1.5f);
        const auto upper = ring(6, 0.8f, 2.8f);
        pts.insert(pts.end(), upper.begin(), upper.end());
        pts.push_back({0, 4.0f, 0});
        pts.push_back({0, 0.5f, 0});
        stackedFaces(6, 2, true, true, faces);
    } else { // step cut: an octagonal slab with bevelled top and bottom
        pts = ring(8, 0.8f, 0.9f, kPi / 8);
        for (const auto& ringPts : {ring(8, 1.35f, 1.5f, kPi / 8), ring(8, 1.35f, 2.4f, kPi / 8),
                                    ring(8, 0.85f, 3.0f, kPi / 8)})
            pts.insert(pts.end(), ringPts.begin(), ringPts.end());
        stackedFaces(8, 4, false, false, faces);
    }
    mb.polyhedron(Xf(), pts, faces, uv, -1);
    m.texture = atlas.image();
    return m;
}

BuiltModel buildPine() {
    BuiltModel m;
    Atlas atlas(128);
    const PixelRect bark = atlas.alloc(32, 64);
    atlas.wood(bark, Rgb(110, 70, 40), 120);
    const PixelRect needles = atlas.alloc(64, 64);
    atlas.foliage(needles, Rgb(40, 105, 55), 121);
    MeshBuilder mb(m.file);
    begin(m, mb, "pine", false, Ms3dMaterial());
    mb.frustum(at({0, -0.5f, 0}), 0.9f, 0.55f, 6.5f, 8, atlas.uv(bark), -1);
    const float base[3] = {3.5f, 8.0f, 11.8f}, radius[3] = {4.0f, 3.2f, 2.3f},
                height[3] = {7.0f, 6.0f, 5.5f};
    for (int i = 0; i < 3; ++i)
        mb.frustum(at({0, base[i], 0}), radius[i], 0.0f, height[i], 10, atlas.uv(needles), -1);
    m.texture = atlas.image();
    return m;
}

BuiltModel buildOak() {
    BuiltModel m;
    Atlas atlas(128);
    const PixelRect bark = atlas.alloc(32, 64);
    atlas.wood(bark, Rgb(100, 75, 50), 130);
    const PixelRect leaves = atlas.alloc(64, 64);
    atlas.foliage(leaves, Rgb(70, 130, 50), 131);
    MeshBuilder mb(m.file);
    begin(m, mb, "oak", true, Ms3dMaterial());
    mb.frustum(at({0, -0.5f, 0}), 1.4f, 0.9f, 9.0f, 8, atlas.uv(bark), -1);
    mb.segment({0, 6.0f, 0}, {2.8f, 10.0f, 1.0f}, 0.6f, 0.35f, 6, atlas.uv(bark), -1);
    mb.segment({0, 7.0f, 0}, {-2.5f, 10.5f, -1.5f}, 0.6f, 0.35f, 6, atlas.uv(bark), -1);
    const Vec3 blobs[5] = {{0, 12.5f, 0},
                           {3.0f, 10.8f, 1.2f},
                           {-2.8f, 11.0f, -1.5f},
                           {0.8f, 11.0f, -3.0f},
                           {-1.0f, 10.8f, 3.0f}};
    const float size[5] = {4.6f, 3.8f, 3.8f, 3.6f, 3.6f};
    for (int i = 0; i < 5; ++i)
        mb.ellipsoid(at(blobs[i]), {size[i], size[i] * 0.8f, size[i]}, 10, 6, atlas.uv(leaves), -1);
    m.texture = atlas.image();
    return m;
}

BuiltModel buildRock() {
    BuiltModel m;
    Atlas atlas(128);
    const PixelRect stone = atlas.alloc(128, 64);
    atlas.stone(stone, Rgb(135, 130, 125), 140);
    const PixelRect moss = atlas.alloc(64, 32);
    atlas.stone(moss, Rgb(100, 125, 80), 141);
    MeshBuilder mb(m.file);
    begin(m, mb, "rock", false, Ms3dMaterial());
    mb.ellipsoid(at({0, 1.2f, 0}), {4.6f, 3.6f, 4.0f}, 12, 8, atlas.uv(stone), -1,
                 [](const Vec3& d) { return hashNoise(d, 3); });
    mb.ellipsoid(atRot({3.2f, 0.6f, 2.6f}, Mat3::rotY(0.7f)), {1.8f, 1.4f, 1.5f}, 8, 5,
                 atlas.uv(moss), -1, [](const Vec3& d) { return hashNoise(d, 9); });
    m.texture = atlas.image();
    return m;
}

BuiltModel buildHut() {
    BuiltModel m;
    Atlas atlas(256);
    const PixelRect wall = atlas.alloc(128, 64);
    atlas.fill(wall, Rgb(225, 205, 160), 0.3f, 150, 0.15f);
    // Timber framing: dark posts at the corners and a beam along the top.
    for (float u : {0.0f, 0.25f, 0.5f, 0.75f}) {
        PixelRect post{wall.x + static_cast<int>(u * wall.w), wall.y, 6, wall.h};
        atlas.fill(post, Rgb(95, 60, 35), 0.3f, 151);
    }
    atlas.band(wall, 0.0f, 0.1f, Rgb(95, 60, 35));
    const PixelRect thatch = atlas.alloc(128, 64);
    atlas.stripes(thatch, Rgb(200, 165, 80), Rgb(170, 135, 60), 2, true, 152);
    const PixelRect door = atlas.alloc(32, 64);
    atlas.wood(door, Rgb(130, 80, 45), 153);
    atlas.disc(door, 0.75f, 0.55f, 0.08f, Rgb(220, 200, 90));
    const PixelRect window = atlas.alloc(32, 32);
    atlas.fill(window, Rgb(250, 220, 120), 0.2f, 154);
    atlas.band(window, 0.45f, 0.55f, Rgb(95, 60, 35));
    PixelRect mullion{window.x + 14, window.y, 4, window.h};
    atlas.fill(mullion, Rgb(95, 60, 35), 0.1f, 155);
    const PixelRect stone = atlas.alloc(64, 64);
    atlas.stone(stone, Rgb(140, 135, 130), 156);
    MeshBuilder mb(m.file);
    begin(m, mb, "hut", true, Ms3dMaterial());
    mb.box(at({0, 0.25f, 0}), {13.0f, 0.75f, 10.0f}, atlas.uv(stone), -1);
    mb.box(at({0, 5.5f, 0}), {12.0f, 5.0f, 9.0f}, atlas.uv(wall), -1);
    // Roof: a closed triangular prism with eaves overhanging on every side.
    const std::vector<Vec3> roof = {{-15.0f, 10.0f, -12.0f}, {15.0f, 10.0f, -12.0f},
                                    {15.0f, 10.0f, 12.0f},   {-15.0f, 10.0f, 12.0f},
                                    {-15.0f, 18.0f, 0.0f},   {15.0f, 18.0f, 0.0f}};
    mb.polyhedron(Xf(), roof, {{0, 1, 2, 3}, {0, 1, 5, 4}, {3, 2, 5, 4}, {0, 3, 4}, {1, 2, 5}},
                  atlas.uv(thatch), -1);
    mb.box(at({-6.0f, 16.0f, 5.5f}), {1.2f, 3.5f, 1.2f}, atlas.uv(stone), -1);
    // Door and windows on the front (+x) and the sides.
    mb.box(at({12.2f, 4.2f, 0}), {0.35f, 3.7f, 2.0f}, atlas.uv(door), -1);
    for (float z : {-5.5f, 5.5f})
        mb.box(at({12.15f, 6.2f, z}), {0.3f, 1.4f, 1.6f}, atlas.uv(window), -1);
    for (float x : {-6.0f, 3.0f})
        for (float side : {-1.0f, 1.0f})
            mb.box(at({x, 6.2f, side * 9.15f}), {1.6f, 1.4f, 0.3f}, atlas.uv(window), -1);
    m.texture = atlas.image();
    return m;
}

BuiltModel buildDreamTree() {
    BuiltModel m;
    Atlas atlas(128);
    const PixelRect bark = atlas.alloc(32, 64);
    atlas.wood(bark, Rgb(95, 70, 60), 160);
    const PixelRect bloom = atlas.alloc(64, 64);
    atlas.foliage(bloom, Rgb(190, 120, 190), 161);
    const PixelRect leaves = atlas.alloc(32, 64);
    atlas.foliage(leaves, Rgb(80, 140, 90), 162);
    MeshBuilder mb(m.file);
    begin(m, mb, "tree", false, Ms3dMaterial());
    mb.frustum(at({0, -0.5f, 0}), 2.0f, 1.2f, 12.0f, 10, atlas.uv(bark), -1);
    const Vec3 tips[4] = {
        {6.0f, 17.0f, 2.0f}, {-5.5f, 16.0f, -2.5f}, {1.5f, 19.0f, -5.0f}, {-1.0f, 18.0f, 5.5f}};
    for (const Vec3& t : tips)
        mb.segment({0, 9.0f, 0}, t, 0.9f, 0.4f, 6, atlas.uv(bark), -1);
    const Vec3 blobs[6] = {{0, 21.0f, 0},        {6.5f, 18.5f, 2.0f},  {-6.0f, 17.5f, -2.5f},
                           {1.5f, 19.5f, -5.5f}, {-1.0f, 19.0f, 6.0f}, {0, 24.5f, 0}};
    const float size[6] = {6.0f, 4.5f, 4.5f, 4.2f, 4.2f, 3.5f};
    for (int i = 0; i < 6; ++i)
        mb.ellipsoid(at(blobs[i]), {size[i], size[i] * 0.75f, size[i]}, 10, 6,
                     atlas.uv(i % 2 ? leaves : bloom), -1);
    m.texture = atlas.image();
    return m;
}

BuiltModel buildTitle() {
    BuiltModel m;
    Atlas atlas(128);
    const PixelRect gold = atlas.alloc(64, 64);
    atlas.fill(gold, Rgb(240, 190, 70), 0.2f, 170, 0.5f);
    atlas.band(gold, 0.0f, 0.12f, Rgb(255, 240, 170));
    const PixelRect gem = atlas.alloc(32, 32);
    atlas.fill(gem, Rgb(80, 200, 255), 0.3f, 171);
    const PixelRect bat = atlas.alloc(64, 32);
    atlas.wood(bat, Rgb(170, 110, 55), 172);
    MeshBuilder mb(m.file);
    Ms3dMaterial look;
    look.specular[0] = look.specular[1] = look.specular[2] = 0.8f;
    look.shininess = 40.0f;
    look.ambient[0] = look.ambient[1] = look.ambient[2] = 0.3f;
    begin(m, mb, "TitleObject", true, look);
    // The game faces the title along +z; its reading direction is then the model's -z, up is
    // +y and the letters' faces look along +x. Centred on screen from where the game puts it.
    const float scale = 1.3f, depth = 1.6f;
    const Vec3 origin(0, 15.0f, -10.0f + 15.5f * scale);
    auto toModel = [&](float a, float b) { return origin + Vec3(0, b * scale, -a * scale); };
    struct Stroke {
        float a0, b0, a1, b1;
    };
    const std::vector<std::vector<Stroke>> letters = {
        {{0, 7, 5, 7}, {2.5f, 7, 2.5f, 0}},                           // T
        {{0, 0, 2.5f, 7}, {2.5f, 7, 5, 0}, {1.1f, 2.6f, 3.9f, 2.6f}}, // A
        {{0, 0, 0, 7},
         {0, 7, 4, 7},
         {4.6f, 6.4f, 4.6f, 4.2f},
         {0, 3.6f, 4, 3.6f},
         {2.2f, 3.6f, 4.8f, 0}},                                                          // R
        {{0, 7, 2.5f, 0}, {2.5f, 0, 5, 7}},                                               // V
        {{0, 0.6f, 0, 6.4f}, {5, 0.6f, 5, 6.4f}, {0.6f, 7, 4.4f, 7}, {0.6f, 0, 4.4f, 0}}, // O
    };
    const float stroke = 1.2f;
    for (size_t i = 0; i < letters.size(); ++i) {
        const float offset = i * 6.5f;
        for (const Stroke& s : letters[i]) {
            const Vec3 a = toModel(s.a0 + offset, s.b0), b = toModel(s.a1 + offset, s.b1);
            const Vec3 d = b - a;
            const float len = length(d);
            // Box along the stroke: its local y is the stroke, x the depth.
            const Vec3 y = normalize(d), x(1, 0, 0), z = cross(x, y);
            Mat3 r;
            r.m[0][0] = x.x;
            r.m[1][0] = x.y;
            r.m[2][0] = x.z;
            r.m[0][1] = y.x;
            r.m[1][1] = y.y;
            r.m[2][1] = y.z;
            r.m[0][2] = z.x;
            r.m[1][2] = z.y;
            r.m[2][2] = z.z;
            mb.box(atRot((a + b) * 0.5f, r),
                   {depth, len * 0.5f + stroke * scale * 0.5f, stroke * scale * 0.5f},
                   atlas.uv(gold), -1);
        }
    }
    // The emblem beneath: a bat laid along the line with a gem at either end.
    const Vec3 left = toModel(-1.5f, -1.8f), right = toModel(32.5f, -1.8f);
    mb.segment(left, right, 0.5f, 0.9f, 8, atlas.uv(bat), -1);
    for (const Vec3& c : {left + Vec3(0, 0, 1.2f), right - Vec3(0, 0, 1.2f)}) {
        std::vector<Vec3> pts = {{1.5f, 0, 0},  {-1.5f, 0, 0}, {0, 2.0f, 0},
                                 {0, -2.0f, 0}, {0, 0, 1.5f},  {0, 0, -1.5f}};
        mb.polyhedron(at(c), pts,
                      {{0, 2, 4},
                       {0, 4, 3},
                       {0, 3, 5},
                       {0, 5, 2},
                       {1, 4, 2},
                       {1, 3, 4},
                       {1, 5, 3},
                       {1, 2, 5}},
                      atlas.uv(gem), -1);
    }
    m.texture = atlas.image();
    return m;
}

BuiltModel buildBackdrop() {
    BuiltModel m;
    Atlas atlas(256);
    const PixelRect rock = atlas.alloc(128, 128);
    atlas.stone(rock, Rgb(70, 60, 100), 180);
    atlas.band(rock, 0.82f, 1.0f, Rgb(210, 210, 235)); // snow at the peaks
    const PixelRect wall = atlas.alloc(64, 64);
    atlas.stone(wall, Rgb(50, 40, 60), 181);
    for (int i = 0; i < 4; ++i)
        atlas.disc(wall, 0.2f + i * 0.2f, 0.4f, 0.05f, Rgb(255, 200, 60));
    const PixelRect roof = atlas.alloc(64, 64);
    atlas.fill(roof, Rgb(120, 20, 40), 0.3f, 182);
    const PixelRect moon = atlas.alloc(64, 64);
    atlas.fill(moon, Rgb(240, 235, 200), 0.3f, 183, 0.0f);
    atlas.disc(moon, 0.35f, 0.4f, 0.1f, Rgb(210, 205, 175));
    MeshBuilder mb(m.file);
    begin(m, mb, "dodudabg", false, Ms3dMaterial());
    // Mountains across the view, lower ones in front.
    struct Peak {
        float x, z, r, h;
    };
    const Peak peaks[] = {{-30, -4, 26, 62}, {0, -6, 30, 80},  {35, -5, 24, 58}, {70, -6, 30, 76},
                          {105, -4, 26, 64}, {-15, 2, 18, 40}, {20, 3, 20, 44},  {88, 2, 18, 42},
                          {125, -2, 22, 55}, {-45, 1, 16, 38}};
    for (const Peak& p : peaks)
        mb.frustum(at({p.x, -45.0f, p.z}), p.r, 0.0f, p.h, 9, atlas.uv(rock), -1, 0.3f);
    // Doduda's castle on a crag in the middle.
    const float cx = 52.0f, cy = 2.0f, cz = 6.0f;
    mb.frustum(at({cx, -45.0f, cz}), 14.0f, 6.0f, 47.0f, 8, atlas.uv(rock), -1, 0.5f);
    mb.box(at({cx, cy + 6.0f, cz}), {10.0f, 6.0f, 2.5f}, atlas.uv(wall), -1);
    for (int i = 0; i < 3; ++i) {
        const float tx = cx - 10.0f + i * 10.0f, th = i == 1 ? 24.0f : 16.0f;
        mb.frustum(at({tx, cy, cz}), 2.4f, 2.2f, th, 8, atlas.uv(wall), -1);
        mb.frustum(at({tx, cy + th, cz}), 3.2f, 0.0f, 7.0f, 8, atlas.uv(roof), -1);
    }
    mb.ellipsoid(at({-5.0f, 52.0f, -8.0f}), {7.0f, 7.0f, 1.5f}, 12, 6, atlas.uv(moon), -1);
    m.texture = atlas.image();
    return m;
}

} // namespace content::models
