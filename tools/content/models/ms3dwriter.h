// MilkShape 3D (version 4) model records and their byte encoding, as the game's model reader
// walks them: header, vertices, triangles, groups, materials, animation header, joints with
// their rotation keys first and translation keys second. Encoding is cheap (one pass, one
// buffer). It checks the format's hard limits (16-bit counts, 32-byte names) and throws on
// overflow; it does not check that the mesh is closed or that the joints' parents precede
// them: the builders guarantee that.
#pragma once

#include "models/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace content::models {

struct Ms3dVertex {
    Vec3 position;
    int8_t bone = -1; // -1 = not skinned
};

struct Ms3dTriangle {
    uint16_t vertex[3] = {0, 0, 0};
    Vec3 normal[3];
    float s[3] = {0, 0, 0};
    float t[3] = {0, 0, 0}; // measured from the image's top row
    uint8_t group = 0;
};

struct Ms3dGroup {
    std::string name;
    std::vector<uint16_t> triangles;
    int8_t material = -1;
};

struct Ms3dMaterial {
    std::string name;
    float ambient[4] = {0.4f, 0.4f, 0.4f, 1.0f};
    float diffuse[4] = {0.85f, 0.85f, 0.85f, 1.0f};
    float specular[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    float emissive[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 12.0f;
    std::string texture; // as stored; ".\\" names are relative to the model's folder
};

struct Ms3dKey {
    float time = 0; // seconds
    Vec3 value;
};

struct Ms3dJoint {
    std::string name;
    std::string parent; // empty = root
    Vec3 rotation;      // Euler radians
    Vec3 translation;
    std::vector<Ms3dKey> rotationKeys;
    std::vector<Ms3dKey> translationKeys;
};

struct Ms3dFile {
    std::vector<Ms3dVertex> vertices;
    std::vector<Ms3dTriangle> triangles;
    std::vector<Ms3dGroup> groups;
    std::vector<Ms3dMaterial> materials;
    float fps = 8.0f;
    int32_t totalFrames = 1;
    std::vector<Ms3dJoint> joints;

    // Multiplies every position, joint offset and translation key by s (rotations stay).
    void scale(float s);
    // The file's bytes; throws std::runtime_error when a count or name does not fit.
    std::vector<uint8_t> encode() const;
};

} // namespace content::models
