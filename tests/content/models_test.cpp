// The generated models, read back with a small reader of this test's own: layout, skeletons,
// the poses each game object asks for, the combat joints, closed outward surfaces and limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Vtx {
    float p[3];
    int bone;
};
struct Tri {
    int v[3];
    float n[3][3];
};
struct Key {
    float time;
    float v[3];
};
struct Joint {
    std::string name, parent;
    std::vector<Key> rot, pos;
};
struct Model {
    std::vector<Vtx> vertices;
    std::vector<Tri> triangles;
    std::vector<std::string> textures;
    std::vector<Joint> joints;
    int groupTriangles = 0;
};

class Reader {
public:
    explicit Reader(std::vector<uint8_t> b) : m_b(std::move(b)) {}
    template <class T> T get() {
        T v;
        std::memcpy(&v, take(sizeof(T)), sizeof(T));
        return v;
    }
    std::string name(size_t n) {
        const char* s = reinterpret_cast<const char*>(take(n));
        if (std::memchr(s, 0, n) == nullptr)
            throw std::runtime_error("unterminated name");
        return std::string(s);
    }
    void skip(size_t n) { take(n); }

private:
    const uint8_t* take(size_t n) {
        if (m_o + n > m_b.size())
            throw std::runtime_error("truncated");
        m_o += n;
        return &m_b[m_o - n];
    }
    std::vector<uint8_t> m_b;
    size_t m_o = 0;
};

Model readModel(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing " + path);
    Reader r(std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {}));
    char id[10];
    for (char& c : id)
        c = r.get<char>();
    if (std::string(id, 10) != "MS3D000000")
        throw std::runtime_error("bad identifier");
    if (r.get<int32_t>() != 4)
        throw std::runtime_error("version is not 4");
    Model m;
    const int nv = r.get<uint16_t>();
    for (int i = 0; i < nv; ++i) {
        r.skip(1);
        Vtx v;
        for (float& f : v.p)
            f = r.get<float>();
        v.bone = r.get<int8_t>();
        r.skip(1);
        m.vertices.push_back(v);
    }
    const int nt = r.get<uint16_t>();
    for (int i = 0; i < nt; ++i) {
        r.skip(2);
        Tri t;
        for (int& v : t.v) {
            v = r.get<uint16_t>();
            if (v >= nv)
                throw std::runtime_error("vertex index out of range");
        }
        for (auto& n : t.n)
            for (float& f : n)
                f = r.get<float>();
        r.skip(24 + 2);
        m.triangles.push_back(t);
    }
    const int ng = r.get<uint16_t>();
    std::vector<int> groupMaterials;
    for (int i = 0; i < ng; ++i) {
        r.skip(1);
        r.name(32);
        const int n = r.get<uint16_t>();
        for (int k = 0; k < n; ++k)
            if (r.get<uint16_t>() >= nt)
                throw std::runtime_error("group names a missing triangle");
        m.groupTriangles += n;
        groupMaterials.push_back(r.get<int8_t>());
    }
    const int nm = r.get<uint16_t>();
    for (int i = 0; i < nm; ++i) {
        r.name(32);
        r.skip(16 * 4 + 4 + 4 + 1);
        m.textures.push_back(r.name(128));
        r.name(128);
    }
    for (int g : groupMaterials)
        if (g >= nm)
            throw std::runtime_error("group names a missing material");
    r.skip(12);
    const int nj = r.get<uint16_t>();
    for (int i = 0; i < nj; ++i) {
        r.skip(1);
        Joint j;
        j.name = r.name(32);
        j.parent = r.name(32);
        r.skip(24);
        const int nr = r.get<uint16_t>(), np = r.get<uint16_t>();
        for (int k = 0; k < nr + np; ++k) {
            Key key;
            key.time = r.get<float>();
            for (float& f : key.v)
                f = r.get<float>();
            (k < nr ? j.rot : j.pos).push_back(key);
        }
        m.joints.push_back(j);
    }
    return m;
}

std::string gameDir() {
    return TARVO_GAME_DIR;
}

Model load(const std::string& base) {
    return readModel(gameDir() + "/Data/" + base + ".ms3d");
}

std::set<float> keyTimes(const Model& m) {
    std::set<float> times;
    for (const Joint& j : m.joints)
        for (const auto* keys : {&j.rot, &j.pos})
            for (const Key& k : *keys)
                times.insert(k.time);
    return times;
}

// Every model and the number of poses the game asks of it (0: no joints, drawn as stored).
// clang-format off
const std::vector<std::pair<std::string, int>> kModels = {
    {"tarvo", 27}, {"tarvo_moviestar", 11}, {"enemy", 16}, {"magician", 16}, {"boss", 16},
    {"rarozare", 4}, {"virav", 4}, {"verozi", 4}, {"doduda_moviestar", 3}, {"magic_line", 0},
    {"enemy_line", 0}, {"insect_line", 0}, {"gem1", 0}, {"gem2", 0}, {"gem3", 0}, {"pine", 0},
    {"oak", 0}, {"rock", 0}, {"hut", 0}, {"tree", 0}, {"TitleObject", 0}, {"dodudabg", 0}};
// clang-format on

// The smallest and largest coordinate on each axis.
struct Bounds {
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
};
Bounds bounds(const Model& m) {
    Bounds b;
    for (const Vtx& v : m.vertices)
        for (int c = 0; c < 3; ++c) {
            b.lo[c] = std::fmin(b.lo[c], v.p[c]);
            b.hi[c] = std::fmax(b.hi[c], v.p[c]);
        }
    return b;
}
float height(const Model& m) {
    const Bounds b = bounds(m);
    return b.hi[1] - b.lo[1];
}

// Connected pieces by shared vertices; every edge must be used once in each direction (a closed,
// consistently wound surface) and each piece must enclose a positive volume (outward winding).
void checkClosedOutward(const std::string& name, const Model& m) {
    std::vector<int> parent(m.vertices.size());
    for (size_t i = 0; i < parent.size(); ++i)
        parent[i] = static_cast<int>(i);
    auto find = [&](int x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    };
    std::map<std::pair<int, int>, int> edges;
    for (const Tri& t : m.triangles)
        for (int k = 0; k < 3; ++k) {
            const int a = t.v[k], b = t.v[(k + 1) % 3];
            ++edges[{a, b}];
            parent[find(a)] = find(b);
        }
    int open = 0;
    for (const auto& [e, count] : edges)
        if (count != 1 || edges.count({e.second, e.first}) == 0 ||
            edges.at({e.second, e.first}) != 1)
            ++open;
    EXPECT_EQ(open, 0) << name << ": edges not shared by exactly two opposite triangles";
    auto cross = [](const float* u, const float* v, float* out) {
        out[0] = u[1] * v[2] - u[2] * v[1];
        out[1] = u[2] * v[0] - u[0] * v[2];
        out[2] = u[0] * v[1] - u[1] * v[0];
    };
    auto dot = [](const float* u, const float* v) {
        return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    };
    std::map<int, double> volume;
    std::map<int, std::set<int>> bones;
    int badNormals = 0;
    for (const Tri& t : m.triangles) {
        const float* a = m.vertices[t.v[0]].p;
        const float* b = m.vertices[t.v[1]].p;
        const float* c = m.vertices[t.v[2]].p;
        float bc[3], fn[3];
        cross(b, c, bc);
        volume[find(t.v[0])] += dot(a, bc) / 6.0;
        const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        cross(e1, e2, fn);
        for (int k = 0; k < 3; ++k) {
            badNormals += dot(fn, t.n[k]) <= 0;
            EXPECT_NEAR(std::sqrt(dot(t.n[k], t.n[k])), 1.0f, 1e-3f) << name;
            bones[find(t.v[0])].insert(m.vertices[t.v[k]].bone);
        }
    }
    EXPECT_EQ(badNormals, 0) << name << ": corner normals facing into the surface";
    for (const auto& [piece, v] : volume)
        EXPECT_GT(v, 0.0) << name << ": a piece is wound inside out";
    for (const auto& [piece, b] : bones)
        EXPECT_EQ(b.size(), 1u) << name << ": a piece is skinned to several joints";
}

class GeneratedModels : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(gameDir() + "/Data/tarvo.ms3d"))
            GTEST_SKIP() << "content not generated in " << gameDir();
    }
};

TEST_F(GeneratedModels, EveryModelReadsWithinLimitsWithAClosedSurfaceAndAnExactPoseTable) {
    for (const auto& [base, poses] : kModels) {
        SCOPED_TRACE(base);
        const Model m = load(base);
        EXPECT_GT(m.triangles.size(), 0u);
        EXPECT_LE(m.vertices.size(), 2000u);
        EXPECT_LE(m.joints.size(), 30u);
        EXPECT_LE(keyTimes(m).size(), 30u);
        EXPECT_EQ(m.groupTriangles, static_cast<int>(m.triangles.size()));
        for (const Vtx& v : m.vertices)
            EXPECT_LT(v.bone, static_cast<int>(m.joints.size()));
        checkClosedOutward(base, m);
        if (poses == 0) {
            EXPECT_TRUE(m.joints.empty());
            continue;
        }
        std::set<std::string> seen;
        for (const Joint& j : m.joints) {
            // Parents come first (the reader binds in file order); names are unique.
            if (!j.parent.empty()) {
                EXPECT_TRUE(seen.count(j.parent)) << j.name << " -> " << j.parent;
            }
            EXPECT_TRUE(seen.insert(j.name).second) << j.name;
            // Every joint carries exactly the model's pose times: the pose table is exact.
            ASSERT_EQ(j.rot.size(), size_t(poses)) << j.name;
            ASSERT_EQ(j.pos.size(), size_t(poses)) << j.name;
            for (int k = 0; k < poses; ++k) {
                EXPECT_EQ(j.rot[k].time, j.pos[k].time);
                if (k > 0) {
                    EXPECT_GT(j.rot[k].time, j.rot[k - 1].time);
                }
            }
        }
        EXPECT_EQ(m.joints.front().parent, "");
        const std::set<float> times = keyTimes(m);
        EXPECT_EQ(static_cast<int>(times.size()), poses);
        EXPECT_EQ(*times.begin(), 0.0f);
        // Adjacent poses must move something, or the pose table would merge them visually.
        for (int p = 1; p < poses; ++p) {
            float change = 0;
            for (const Joint& j : m.joints)
                for (int c = 0; c < 3; ++c)
                    change += std::fabs(j.rot[p].v[c] - j.rot[p - 1].v[c]) +
                              std::fabs(j.pos[p].v[c] - j.pos[p - 1].v[c]);
            EXPECT_GT(change, 0.05f) << "pose " << p;
        }
    }
}

TEST_F(GeneratedModels, TexturesExistAsPowerOfTwoBmpsIncludingFolderRelativeNames) {
    int dotNames = 0, plainNames = 0;
    for (const auto& entry : kModels) {
        SCOPED_TRACE(entry.first);
        const Model m = load(entry.first);
        ASSERT_FALSE(m.textures.empty());
        for (std::string t : m.textures) {
            const bool dot = t.rfind(".\\", 0) == 0;
            dotNames += dot;
            plainNames += !dot;
            if (dot)
                t = "Data/" + t.substr(2);
            std::ifstream in(gameDir() + "/" + t, std::ios::binary);
            ASSERT_TRUE(in) << t;
            std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
            ASSERT_GE(b.size(), 54u);
            EXPECT_EQ(b[0], 'B');
            int32_t w, h;
            std::memcpy(&w, &b[18], 4);
            std::memcpy(&h, &b[22], 4);
            EXPECT_GT(w, 0);
            EXPECT_EQ(w & (w - 1), 0) << t;
            EXPECT_EQ(h & (h - 1), 0) << t;
        }
    }
    EXPECT_GT(dotNames, 0);
    EXPECT_GT(plainNames, 0);
}

int trianglesOnJoint(const Model& m, int joint) {
    int n = 0;
    for (const Tri& t : m.triangles)
        n += m.vertices[t.v[2]].bone == joint;
    return n;
}

TEST_F(GeneratedModels, CombatJointsCarryGeometry) {
    const Model hero = load("tarvo");
    ASSERT_GT(hero.joints.size(), 8u);
    EXPECT_EQ(hero.joints[8].name, "bat");
    EXPECT_GT(trianglesOnJoint(hero, 8), 20);
    EXPECT_EQ(hero.joints[2].name, "head");
    for (const char* base : {"enemy", "magician", "boss"}) {
        SCOPED_TRACE(base);
        const Model m = load(base);
        ASSERT_GT(m.joints.size(), 8u);
        const std::pair<int, const char*> named[] = {
            {2, "head"}, {4, "hand_r"}, {5, "hand_l"}, {7, "foot_r"}, {8, "foot_l"}};
        for (const auto& [j, name] : named)
            EXPECT_EQ(m.joints[j].name, name);
        for (int j : {4, 5, 7, 8})
            EXPECT_GT(trianglesOnJoint(m, j), 10) << "joint " << j;
        // Every part that can be hit must exist as a joint with geometry.
        for (size_t j = 0; j < m.joints.size(); ++j)
            EXPECT_GT(trianglesOnJoint(m, static_cast<int>(j)), 0) << "joint " << j;
    }
}

TEST_F(GeneratedModels, SizesFitTheGamesDistances) {
    const float hero = height(load("tarvo"));
    EXPECT_GT(hero, 11.0f);
    EXPECT_LT(hero, 13.5f);
    const float enemy = height(load("enemy"));
    EXPECT_GT(enemy, 10.0f);
    EXPECT_LT(enemy, 15.0f);
    const float boss = height(load("boss"));
    EXPECT_GE(boss, 2.0f * enemy);
    EXPECT_LE(boss, 3.0f * enemy);
    for (const char* gem : {"gem1", "gem2", "gem3"}) {
        const float h = height(load(gem));
        EXPECT_GT(h, 1.0f) << gem;
        EXPECT_LT(h, 4.0f) << gem; // up to 2.8 times that for the richest gem
    }
    // Scenery footprints, with the origin at the base centre.
    const std::pair<const char*, float> footprints[] = {
        {"pine", 8.0f}, {"oak", 14.0f}, {"rock", 10.0f}, {"hut", 30.0f}};
    for (const auto& [base, size] : footprints) {
        const Bounds b = bounds(load(base));
        EXPECT_NEAR(b.hi[0] - b.lo[0], size, size * 0.25f) << base;
        EXPECT_NEAR(b.hi[0] + b.lo[0], 0.0f, size * 0.2f) << base;
        EXPECT_LE(b.lo[1], 0.0f) << base;
        EXPECT_GT(b.lo[1], -3.0f) << base;
    }
}

} // namespace
