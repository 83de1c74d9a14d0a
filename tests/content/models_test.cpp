// The generated models, read back with the game's own reader: layout, skeletons, the poses
// each game object asks for, the combat joints, closed outward surfaces and limits.
#include "models/ms3dmodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kGameDir = TARVO_GAME_DIR;
// Where the game's reader puts a material's folder-relative (".\\name") texture: in the model's
// own folder, which no name stored as it is starts with.
const std::string kDataDir = kGameDir + "/Data/";

// The model as the game reads it, from the file of a MilkShape 3D version 4 writer.
ModelData load(const std::string& base) {
    ModelData m;
    const std::string path = kDataDir + base + ".ms3d";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "missing " << path;
        return m;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    int32_t version = 0;
    if (bytes.size() >= 14)
        std::memcpy(&version, &bytes[10], 4);
    EXPECT_EQ(version, 4) << path;
    std::string error;
    if (!parseMs3d(bytes.data(), bytes.size(), kDataDir, m, error)) {
        ADD_FAILURE() << path << ": " << error;
        return ModelData();
    }
    return m;
}

std::set<float> keyTimes(const ModelData& m) {
    std::set<float> times;
    for (const ModelJoint& j : m.m_joints)
        for (const auto* keys : {&j.m_rotationKeys, &j.m_translationKeys})
            for (const JointKey& k : *keys)
                times.insert(k.m_time);
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
Bounds bounds(const ModelData& m) {
    Bounds b;
    for (const ModelVertex& v : m.m_vertices)
        for (int c = 0; c < 3; ++c) {
            b.lo[c] = std::fmin(b.lo[c], v.m_position[c]);
            b.hi[c] = std::fmax(b.hi[c], v.m_position[c]);
        }
    return b;
}
float height(const ModelData& m) {
    const Bounds b = bounds(m);
    return b.hi[1] - b.lo[1];
}

// Connected pieces by shared vertices; every edge must be used once in each direction (a closed,
// consistently wound surface) and each piece must enclose a positive volume (outward winding).
void checkClosedOutward(const std::string& name, const ModelData& m) {
    std::vector<int> parent(m.m_vertices.size());
    for (size_t i = 0; i < parent.size(); ++i)
        parent[i] = static_cast<int>(i);
    auto find = [&](int x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    };
    std::map<std::pair<int, int>, int> edges;
    for (const ModelTriangle& t : m.m_triangles)
        for (int k = 0; k < 3; ++k) {
            const int a = t.m_vertexIndices[k], b = t.m_vertexIndices[(k + 1) % 3];
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
    for (const ModelTriangle& t : m.m_triangles) {
        const int* v = t.m_vertexIndices;
        const float* a = m.m_vertices[v[0]].m_position;
        const float* b = m.m_vertices[v[1]].m_position;
        const float* c = m.m_vertices[v[2]].m_position;
        float bc[3], fn[3];
        cross(b, c, bc);
        volume[find(v[0])] += dot(a, bc) / 6.0;
        const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        cross(e1, e2, fn);
        for (int k = 0; k < 3; ++k) {
            badNormals += dot(fn, t.m_normals[k]) <= 0;
            EXPECT_NEAR(std::sqrt(dot(t.m_normals[k], t.m_normals[k])), 1.0f, 1e-3f) << name;
            bones[find(v[0])].insert(m.m_vertices[v[k]].m_boneId);
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
        if (!std::filesystem::exists(kGameDir + "/Data/tarvo.ms3d"))
            GTEST_SKIP() << "content not generated in " << kGameDir;
    }
};

TEST_F(GeneratedModels, EveryModelReadsWithinLimitsWithAClosedSurfaceAndAnExactPoseTable) {
    for (const auto& [base, poses] : kModels) {
        SCOPED_TRACE(base);
        const ModelData m = load(base);
        EXPECT_GT(m.m_triangles.size(), 0u);
        EXPECT_LE(m.m_vertices.size(), 2000u);
        EXPECT_LE(m.m_joints.size(), 30u);
        EXPECT_LE(keyTimes(m).size(), 30u);
        int groupTriangles = 0;
        for (const ModelMesh& mesh : m.m_meshes) {
            groupTriangles += mesh.m_triangleCount;
            // The reader takes a material index outside the table for "none".
            EXPECT_GE(mesh.m_materialIndex, 0) << "a group without its material";
        }
        EXPECT_EQ(groupTriangles, static_cast<int>(m.m_triangles.size()));
        // The reader takes a bone id outside the skeleton for "none": in a model with joints
        // every vertex must be on one.
        if (!m.m_joints.empty()) {
            for (const ModelVertex& v : m.m_vertices)
                EXPECT_GE(v.m_boneId, 0);
        }
        checkClosedOutward(base, m);
        if (poses == 0) {
            EXPECT_TRUE(m.m_joints.empty());
            continue;
        }
        std::set<std::string> seen;
        for (size_t index = 0; index < m.m_joints.size(); ++index) {
            const ModelJoint& j = m.m_joints[index];
            // Parents come first (the game binds in file order); names are unique.
            EXPECT_LT(j.m_parent, static_cast<int>(index)) << j.m_name;
            if (index > 0) {
                EXPECT_GE(j.m_parent, 0) << j.m_name << " is a second root";
            }
            EXPECT_TRUE(seen.insert(j.m_name).second) << j.m_name;
            // Every joint carries exactly the model's pose times: the pose table is exact.
            const std::vector<JointKey>& rot = j.m_rotationKeys;
            const std::vector<JointKey>& pos = j.m_translationKeys;
            ASSERT_EQ(rot.size(), size_t(poses)) << j.m_name;
            ASSERT_EQ(pos.size(), size_t(poses)) << j.m_name;
            for (int k = 0; k < poses; ++k) {
                EXPECT_EQ(rot[k].m_time, pos[k].m_time);
                if (k > 0) {
                    EXPECT_GT(rot[k].m_time, rot[k - 1].m_time);
                }
            }
        }
        EXPECT_EQ(m.m_joints.front().m_parent, -1);
        const std::set<float> times = keyTimes(m);
        EXPECT_EQ(static_cast<int>(times.size()), poses);
        EXPECT_EQ(*times.begin(), 0.0f);
        // Adjacent poses must move something, or the pose table would merge them visually.
        for (int p = 1; p < poses; ++p) {
            float change = 0;
            for (const ModelJoint& j : m.m_joints)
                for (int c = 0; c < 3; ++c)
                    change += std::fabs(j.m_rotationKeys[p].m_parameter[c] -
                                        j.m_rotationKeys[p - 1].m_parameter[c]) +
                              std::fabs(j.m_translationKeys[p].m_parameter[c] -
                                        j.m_translationKeys[p - 1].m_parameter[c]);
            EXPECT_GT(change, 0.05f) << "pose " << p;
        }
    }
}

TEST_F(GeneratedModels, TexturesExistAsPowerOfTwoBmpsIncludingFolderRelativeNames) {
    int dotNames = 0, plainNames = 0;
    for (const auto& entry : kModels) {
        SCOPED_TRACE(entry.first);
        const ModelData m = load(entry.first);
        ASSERT_FALSE(m.m_materials.empty());
        for (const ModelMaterial& material : m.m_materials) {
            const std::string& t = material.m_textureFile;
            const bool dot = t.rfind(kDataDir, 0) == 0;
            dotNames += dot;
            plainNames += !dot;
            std::ifstream in(dot ? t : kGameDir + "/" + t, std::ios::binary);
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

int trianglesOnJoint(const ModelData& m, int joint) {
    int n = 0;
    for (const ModelTriangle& t : m.m_triangles)
        n += m.m_vertices[t.m_vertexIndices[2]].m_boneId == joint;
    return n;
}

TEST_F(GeneratedModels, CombatJointsCarryGeometry) {
    const ModelData hero = load("tarvo");
    ASSERT_GT(hero.m_joints.size(), 8u);
    EXPECT_EQ(hero.m_joints[8].m_name, "bat");
    EXPECT_GT(trianglesOnJoint(hero, 8), 20);
    EXPECT_EQ(hero.m_joints[2].m_name, "head");
    for (const char* base : {"enemy", "magician", "boss"}) {
        SCOPED_TRACE(base);
        const ModelData m = load(base);
        ASSERT_GT(m.m_joints.size(), 8u);
        const std::pair<int, const char*> named[] = {
            {2, "head"}, {4, "hand_r"}, {5, "hand_l"}, {7, "foot_r"}, {8, "foot_l"}};
        for (const auto& [j, name] : named)
            EXPECT_EQ(m.m_joints[j].m_name, name);
        for (int j : {4, 5, 7, 8})
            EXPECT_GT(trianglesOnJoint(m, j), 10) << "joint " << j;
        // Every part that can be hit must exist as a joint with geometry.
        for (size_t j = 0; j < m.m_joints.size(); ++j)
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
