// Builds MilkShape 3D files in memory for the model and object tests: exactly the
// byte layout the reader walks, with every field settable.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct Ms3dBuilder {
    struct Vertex {
        float position[3];
        int8_t bone;
    };
    struct Triangle {
        uint16_t vertices[3];
        float normals[3][3];
        float s[3];
        float t[3];
    };
    struct Group {
        std::vector<uint16_t> triangles;
        int8_t material;
    };
    struct Material {
        float ambient[4];
        float diffuse[4];
        float specular[4];
        float emissive[4];
        float shininess;
        std::string texture;
    };
    struct Key {
        float seconds;
        float parameter[3];
    };
    struct Joint {
        std::string name;
        std::string parent;
        float rotation[3];
        float translation[3];
        std::vector<Key> rotationKeys;
        std::vector<Key> translationKeys;
    };

    std::string identifier = "MS3D000000";
    int32_t version = 4;
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
    std::vector<Group> groups;
    std::vector<Material> materials;
    float fps = 1000.0f; // so that a frame is a millisecond
    int32_t totalFrames = 0;
    std::vector<Joint> joints;

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out;
        auto raw = [&](const void* p, size_t n) {
            const uint8_t* b = static_cast<const uint8_t*>(p);
            out.insert(out.end(), b, b + n);
        };
        auto u8 = [&](uint8_t v) { out.push_back(v); };
        auto u16 = [&](uint16_t v) {
            u8(uint8_t(v & 0xFF));
            u8(uint8_t(v >> 8));
        };
        auto i32 = [&](int32_t v) {
            uint32_t u;
            std::memcpy(&u, &v, 4);
            for (int i = 0; i < 4; ++i)
                u8(uint8_t(u >> (8 * i)));
        };
        auto f32 = [&](float v) {
            int32_t i;
            std::memcpy(&i, &v, 4);
            i32(i);
        };
        auto f32s = [&](const float* v, size_t n) {
            for (size_t i = 0; i < n; ++i)
                f32(v[i]);
        };
        auto keys = [&](const std::vector<Key>& list) {
            for (const Key& k : list) {
                f32(k.seconds);
                f32s(k.parameter, 3);
            }
        };
        auto name = [&](const std::string& s, size_t field) {
            std::string padded = s.substr(0, field);
            padded.resize(field, '\0');
            raw(padded.data(), field);
        };
        raw(identifier.data(), identifier.size() < 10 ? identifier.size() : 10);
        i32(version);
        u16(uint16_t(vertices.size()));
        for (const Vertex& v : vertices) {
            u8(0);
            f32s(v.position, 3);
            u8(uint8_t(v.bone));
            u8(1);
        }
        u16(uint16_t(triangles.size()));
        for (const Triangle& t : triangles) {
            u16(0);
            for (uint16_t v : t.vertices)
                u16(v);
            f32s(&t.normals[0][0], 9);
            f32s(t.s, 3);
            f32s(t.t, 3);
            u8(1);
            u8(0);
        }
        u16(uint16_t(groups.size()));
        for (const Group& g : groups) {
            u8(0);
            name("group", 32);
            u16(uint16_t(g.triangles.size()));
            for (uint16_t t : g.triangles)
                u16(t);
            u8(uint8_t(g.material));
        }
        u16(uint16_t(materials.size()));
        for (const Material& m : materials) {
            name("material", 32);
            for (const float* colour : {m.ambient, m.diffuse, m.specular, m.emissive})
                f32s(colour, 4);
            f32(m.shininess);
            f32(1.0f);
            u8(0);
            name(m.texture, 128);
            name("", 128);
        }
        f32(fps);
        f32(0.0f);
        i32(totalFrames);
        u16(uint16_t(joints.size()));
        for (const Joint& j : joints) {
            u8(0);
            name(j.name, 32);
            name(j.parent, 32);
            f32s(j.rotation, 3);
            f32s(j.translation, 3);
            u16(uint16_t(j.rotationKeys.size()));
            u16(uint16_t(j.translationKeys.size()));
            keys(j.rotationKeys);
            keys(j.translationKeys);
        }
        return out;
    }

    // A unit quad (two triangles) in one group, all four corners on `bone`.
    void addQuad(float x, float y, float z, float size, int8_t bone, int8_t material) {
        uint16_t base = uint16_t(vertices.size());
        vertices.push_back({{x, y, z}, bone});
        vertices.push_back({{x + size, y, z}, bone});
        vertices.push_back({{x + size, y + size, z}, bone});
        vertices.push_back({{x, y + size, z}, bone});
        uint16_t t0 = uint16_t(triangles.size());
        Triangle a{{base, uint16_t(base + 1), uint16_t(base + 2)},
                   {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}},
                   {0, 1, 1},
                   {0, 0, 1}};
        Triangle b{{base, uint16_t(base + 2), uint16_t(base + 3)},
                   {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}},
                   {0, 1, 0},
                   {0, 1, 1}};
        triangles.push_back(a);
        triangles.push_back(b);
        groups.push_back({{t0, uint16_t(t0 + 1)}, material});
    }

    // A cube of half-size s around (cx, cy, cz), all on `bone`, in one group, faces
    // wound counter-clockwise seen from outside; texture corners 0 to 1 on each face.
    void addBox(float cx, float cy, float cz, float s, int8_t bone, int8_t material) {
        static const float faces[6][4][3] = {{{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
                                             {{1, -1, -1}, {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}},
                                             {{1, -1, 1}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}},
                                             {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
                                             {{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},
                                             {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}};
        static const float normals[6][3] = {{0, 0, 1},  {0, 0, -1}, {1, 0, 0},
                                            {-1, 0, 0}, {0, 1, 0},  {0, -1, 0}};
        static const float su[4] = {0, 1, 1, 0};
        static const float tv[4] = {0, 0, 1, 1};
        Group group{{}, material};
        for (int f = 0; f < 6; ++f) {
            uint16_t base = uint16_t(vertices.size());
            for (int c = 0; c < 4; ++c)
                vertices.push_back(
                    {{cx + faces[f][c][0] * s, cy + faces[f][c][1] * s, cz + faces[f][c][2] * s},
                     bone});
            const int corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& tri : corners) {
                Triangle t{};
                for (int k = 0; k < 3; ++k) {
                    t.vertices[k] = uint16_t(base + tri[k]);
                    for (int i = 0; i < 3; ++i)
                        t.normals[k][i] = normals[f][i];
                    t.s[k] = su[tri[k]];
                    t.t[k] = tv[tri[k]];
                }
                group.triangles.push_back(uint16_t(triangles.size()));
                triangles.push_back(t);
            }
        }
        groups.push_back(group);
    }

    static Material plainMaterial(const std::string& texture) {
        return {{0.2f, 0.2f, 0.2f, 1},
                {0.8f, 0.8f, 0.8f, 1},
                {0, 0, 0, 1},
                {0, 0, 0, 1},
                0.0f,
                texture};
    }

    // A joint keyed at the given milliseconds, translation x = index of the key and no
    // rotation, so that a pose can be read back from the joint's m_final.
    static Joint keyedJoint(const std::string& name, const std::string& parent,
                            const std::vector<float>& millis) {
        Joint j{name, parent, {0, 0, 0}, {0, 0, 0}, {}, {}};
        for (size_t i = 0; i < millis.size(); ++i) {
            j.rotationKeys.push_back({millis[i] / 1000.0f, {0, 0, 0}});
            j.translationKeys.push_back({millis[i] / 1000.0f, {float(i), 0, 0}});
        }
        return j;
    }
};
