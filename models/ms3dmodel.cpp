#include "models/ms3dmodel.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <vector>

namespace {

constexpr size_t VERTEX_SIZE = 15;
constexpr size_t TRIANGLE_SIZE = 70;
constexpr size_t MATERIAL_SIZE = 361;
constexpr size_t ANIMATION_HEADER_SIZE = 12;
constexpr size_t JOINT_HEADER_SIZE = 93;
constexpr size_t KEY_SIZE = 16;
constexpr size_t NAME_SIZE = 32;
constexpr size_t TEXTURE_NAME_SIZE = 128;
// Far above what 16-bit counts can describe; guards against reading a device or a folder.
constexpr std::streamoff MAX_FILE_SIZE = 256 * 1024 * 1024;

// Little-endian reads from a buffer that refuse to go past its end. Every accessor
// takes an absolute offset so that a record's fields read as in the file layout.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t position() const { return m_position; }
    // Whether n more bytes lie inside the buffer from the current position.
    bool has(size_t n) const { return n <= m_size - m_position; }
    // The start of the next n bytes, consumed; only after has(n).
    const uint8_t* take(size_t n) {
        const uint8_t* p = m_data + m_position;
        m_position += n;
        return p;
    }

    static uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
    static int32_t i32(const uint8_t* p) {
        uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                     (uint32_t(p[3]) << 24);
        int32_t r;
        std::memcpy(&r, &v, sizeof r);
        return r;
    }
    static float f32(const uint8_t* p) {
        uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                     (uint32_t(p[3]) << 24);
        float r;
        std::memcpy(&r, &v, sizeof r);
        return r;
    }
    static void floats(const uint8_t* p, float* out, int n) {
        for (int i = 0; i < n; ++i)
            out[i] = f32(p + 4 * i);
    }
    // A zero-terminated name in a fixed field; an unterminated field is taken whole.
    static std::string name(const uint8_t* p, size_t field) {
        const char* s = reinterpret_cast<const char*>(p);
        size_t n = 0;
        while (n < field && s[n] != '\0')
            ++n;
        return std::string(s, n);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

std::string truncated(const char* section) {
    return std::string("The MS3D file ends inside its ") + section + " section.";
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// A uint16 count followed by count records of `recordSize` bytes must fit.
bool readCount(ByteReader& in, size_t recordSize, uint16_t& count) {
    if (!in.has(2))
        return false;
    count = ByteReader::u16(in.take(2));
    return in.has(size_t(count) * recordSize);
}

} // namespace

std::string ms3dDirectoryPrefix(const char* fileName) {
    if (!fileName)
        return std::string();
    size_t length = std::strlen(fileName);
    // Backwards from the last character; index 0 is never looked at.
    for (size_t k = length; k-- > 1;) {
        if (fileName[k] == '/' || fileName[k] == '\\')
            return std::string(fileName, k) + '/';
    }
    return std::string();
}

std::string ms3dTextureFile(const std::string& prefix, const char* storedName) {
    if (!storedName)
        return std::string();
    if (storedName[0] == '.' && storedName[1] == '\\')
        return prefix + (storedName + 2);
    return std::string(storedName);
}

bool parseMs3d(const uint8_t* data, size_t size, const std::string& directoryPrefix, ModelData& out,
               std::string& error) {
    out = ModelData();
    if (!data)
        size = 0;
    ByteReader in(data, size);

    // Header.
    if (!in.has(10) || std::memcmp(data, "MS3D000000", 10) != 0) {
        error = "Not an MS3D file.";
        return false;
    }
    in.take(10);
    if (!in.has(4)) {
        error = truncated("header");
        return false;
    }
    if (ByteReader::i32(in.take(4)) < 3) {
        error = "I know nothing about MS3D v1.2";
        return false;
    }

    // Vertices.
    uint16_t vertexCount = 0;
    if (!readCount(in, VERTEX_SIZE, vertexCount)) {
        error = truncated("vertex");
        return false;
    }
    out.m_vertices.resize(vertexCount);
    for (ModelVertex& v : out.m_vertices) {
        const uint8_t* r = in.take(VERTEX_SIZE);
        ByteReader::floats(r + 1, v.m_position, 3);
        v.m_boneId = static_cast<int8_t>(r[13]);
    }

    // Triangles.
    uint16_t triangleCount = 0;
    if (!readCount(in, TRIANGLE_SIZE, triangleCount)) {
        error = truncated("triangle");
        return false;
    }
    out.m_triangles.resize(triangleCount);
    for (ModelTriangle& t : out.m_triangles) {
        const uint8_t* r = in.take(TRIANGLE_SIZE);
        for (int k = 0; k < 3; ++k) {
            t.m_vertexIndices[k] = ByteReader::u16(r + 2 + 2 * k);
            if (t.m_vertexIndices[k] >= vertexCount) {
                error = "An MS3D triangle names a vertex that does not exist.";
                return false;
            }
            ByteReader::floats(r + 8 + 12 * k, t.m_normals[k], 3);
            t.m_s[k] = ByteReader::f32(r + 44 + 4 * k);
            t.m_t[k] = 1.0f - ByteReader::f32(r + 56 + 4 * k);
        }
    }

    // Groups: variable-length records.
    uint16_t groupCount = 0;
    if (!in.has(2)) {
        error = truncated("group");
        return false;
    }
    groupCount = ByteReader::u16(in.take(2));
    out.m_meshes.reserve(groupCount);
    for (uint16_t g = 0; g < groupCount; ++g) {
        if (!in.has(1 + NAME_SIZE + 2)) {
            error = truncated("group");
            return false;
        }
        const uint8_t* r = in.take(1 + NAME_SIZE + 2);
        uint16_t n = ByteReader::u16(r + 1 + NAME_SIZE);
        if (!in.has(size_t(n) * 2 + 1)) {
            error = truncated("group");
            return false;
        }
        ModelMesh mesh;
        mesh.m_triangleCount = n;
        mesh.m_triangleIndices.resize(n);
        const uint8_t* indices = in.take(size_t(n) * 2);
        for (uint16_t i = 0; i < n; ++i) {
            mesh.m_triangleIndices[i] = ByteReader::u16(indices + 2 * i);
            if (mesh.m_triangleIndices[i] >= triangleCount) {
                error = "An MS3D group names a triangle that does not exist.";
                return false;
            }
        }
        mesh.m_materialIndex = static_cast<int8_t>(*in.take(1));
        out.m_meshes.push_back(std::move(mesh));
    }

    // Materials.
    uint16_t materialCount = 0;
    if (!readCount(in, MATERIAL_SIZE, materialCount)) {
        error = truncated("material");
        return false;
    }
    out.m_materials.resize(materialCount);
    for (ModelMaterial& m : out.m_materials) {
        const uint8_t* r = in.take(MATERIAL_SIZE);
        ByteReader::floats(r + 32, m.m_ambient, 4);
        ByteReader::floats(r + 48, m.m_diffuse, 4);
        ByteReader::floats(r + 64, m.m_specular, 4);
        ByteReader::floats(r + 80, m.m_emissive, 4);
        m.m_shininess = ByteReader::f32(r + 96);
        std::string stored = ByteReader::name(r + 105, TEXTURE_NAME_SIZE);
        m.m_textureFile = ms3dTextureFile(directoryPrefix, stored.c_str());
    }
    // A material index the file does not have draws like no material at all.
    for (ModelMesh& mesh : out.m_meshes) {
        if (mesh.m_materialIndex < 0 || mesh.m_materialIndex >= materialCount)
            mesh.m_materialIndex = -1;
    }

    // Animation header.
    if (!in.has(ANIMATION_HEADER_SIZE)) {
        error = truncated("animation");
        return false;
    }
    const uint8_t* anim = in.take(ANIMATION_HEADER_SIZE);
    float fps = ByteReader::f32(anim);
    int32_t totalFrames = ByteReader::i32(anim + 8);
    // A broken frame rate would make the length infinite or NaN: treat as still.
    if (fps > 0.0f && fps < 1e30f)
        out.m_totalTime = double(totalFrames) * 1000.0 / double(fps);
    else
        out.m_totalTime = 0.0;

    // Joints, first pass: every record must fit, and their names are noted.
    uint16_t jointCount = 0;
    if (!in.has(2)) {
        error = truncated("joint");
        return false;
    }
    jointCount = ByteReader::u16(in.take(2));
    if (jointCount > MAX_MODEL_JOINTS) {
        error = "The MS3D file has " + std::to_string(jointCount) + " joints; at most " +
                std::to_string(MAX_MODEL_JOINTS) + " are supported.";
        return false;
    }
    std::vector<const uint8_t*> records(jointCount);
    std::vector<std::string> names(jointCount);
    for (uint16_t j = 0; j < jointCount; ++j) {
        if (!in.has(JOINT_HEADER_SIZE)) {
            error = truncated("joint");
            return false;
        }
        records[j] = in.take(JOINT_HEADER_SIZE);
        size_t keys = size_t(ByteReader::u16(records[j] + 89)) + ByteReader::u16(records[j] + 91);
        if (!in.has(keys * KEY_SIZE)) {
            error = truncated("joint");
            return false;
        }
        in.take(keys * KEY_SIZE);
        names[j] = ByteReader::name(records[j] + 1, NAME_SIZE);
    }

    // Second pass: parents, local transforms and keys.
    out.m_joints.resize(jointCount);
    std::set<float> keyTimes{0.0f}; // pose 0 always stands at time 0
    for (uint16_t j = 0; j < jointCount; ++j) {
        const uint8_t* r = records[j];
        ModelJoint& joint = out.m_joints[j];
        joint.m_name = names[j];
        std::string parentName = ByteReader::name(r + 33, NAME_SIZE);
        joint.m_parent = -1;
        if (!parentName.empty()) {
            for (uint16_t k = 0; k < jointCount; ++k) {
                if (equalIgnoringCase(names[k], parentName)) {
                    joint.m_parent = k;
                    break;
                }
            }
            if (joint.m_parent < 0) {
                error = "Unable to find parent bone in MS3D file";
                return false;
            }
            // Binding and posing walk the joints in file order, so a parent must
            // come first; a later (or the same) joint would be used before it is set.
            if (joint.m_parent >= j) {
                error = "An MS3D joint's parent bone comes after it in the file.";
                return false;
            }
        }
        ByteReader::floats(r + 65, joint.m_localRotation, 3);
        ByteReader::floats(r + 77, joint.m_localTranslation, 3);
        joint.m_rotationKeyCount = ByteReader::u16(r + 89);
        joint.m_translationKeyCount = ByteReader::u16(r + 91);
        joint.m_rotationKeys.resize(joint.m_rotationKeyCount);
        joint.m_translationKeys.resize(joint.m_translationKeyCount);
        const uint8_t* key = r + JOINT_HEADER_SIZE;
        bool timesValid = true;
        auto readKeys = [&](std::vector<JointKey>& keys) {
            for (JointKey& k : keys) {
                k.m_jointIndex = j;
                k.m_time = ByteReader::f32(key) * 1000.0f;
                ByteReader::floats(key + 4, k.m_parameter, 3);
                if (std::isfinite(k.m_time))
                    keyTimes.insert(k.m_time);
                else
                    timesValid = false;
                key += KEY_SIZE;
            }
        };
        readKeys(joint.m_rotationKeys);
        readKeys(joint.m_translationKeys);
        // Poses are ordered by key time; a time that is no number cannot be ordered.
        if (!timesValid) {
            error = "An MS3D joint key has no valid time.";
            return false;
        }
        if (keyTimes.size() > size_t(MAX_MODEL_POSES)) {
            error = "The MS3D file has more than " + std::to_string(MAX_MODEL_POSES) +
                    " distinct key times; at most " + std::to_string(MAX_MODEL_POSES) +
                    " poses are supported.";
            return false;
        }
    }

    // A bone the skeleton does not have leaves its vertex unskinned.
    for (ModelVertex& v : out.m_vertices) {
        if (v.m_boneId < 0 || v.m_boneId >= jointCount)
            v.m_boneId = -1;
    }
    return true;
}

bool Ms3dModel::loadModel(const char* fileName) {
    return loadModelFile(fileName, true);
}

bool Ms3dModel::loadModelFile(const char* fileName, bool uploadTextures) {
    std::vector<uint8_t> buffer;
    {
        std::ifstream file(fileName ? fileName : "", std::ios::binary);
        if (!file) {
            std::cerr << "Couldn't open the model file." << std::endl;
            return false;
        }
        file.seekg(0, std::ios::end);
        std::streamoff size = file.tellg();
        file.seekg(0, std::ios::beg);
        if (size < 0) {
            std::cerr << "Couldn't open the model file." << std::endl;
            return false;
        }
        if (size > MAX_FILE_SIZE) {
            std::cerr << "The MS3D file is too large." << std::endl;
            return false;
        }
        buffer.resize(size_t(size));
        if (size > 0 && !file.read(reinterpret_cast<char*>(buffer.data()), size)) {
            std::cerr << "Couldn't open the model file." << std::endl;
            return false;
        }
    }
    ModelData data;
    std::string error;
    if (!parseMs3d(buffer.data(), buffer.size(), ms3dDirectoryPrefix(fileName), data, error)) {
        std::cerr << error << std::endl;
        return false;
    }
    adopt(std::move(data), uploadTextures);
    return true;
}
