#include "models/ms3dwriter.h"

#include <cstring>
#include <stdexcept>

namespace content::models {

namespace {

class Bytes {
public:
    void u8(uint8_t v) { m_data.push_back(v); }
    void u16(uint32_t v) {
        if (v > 0xFFFF)
            throw std::runtime_error("ms3d: count above 65535");
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void i32(int32_t v) {
        const uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            u8((u >> (8 * i)) & 0xFF);
    }
    void f32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        i32(static_cast<int32_t>(u));
    }
    void vec(const Vec3& v) {
        f32(v.x);
        f32(v.y);
        f32(v.z);
    }
    // A zero-padded fixed field that always keeps a terminator.
    void name(const std::string& s, size_t size) {
        if (s.size() >= size)
            throw std::runtime_error("ms3d: name too long: " + s);
        for (size_t i = 0; i < size; ++i)
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    std::vector<uint8_t> take() { return std::move(m_data); }

private:
    std::vector<uint8_t> m_data;
};

} // namespace

void Ms3dFile::scale(float s) {
    for (auto& v : vertices)
        v.position = v.position * s;
    for (auto& j : joints) {
        j.translation = j.translation * s;
        for (auto& k : j.translationKeys)
            k.value = k.value * s;
    }
}

std::vector<uint8_t> Ms3dFile::encode() const {
    Bytes b;
    const char* id = "MS3D000000";
    for (int i = 0; i < 10; ++i)
        b.u8(static_cast<uint8_t>(id[i]));
    b.i32(4);

    b.u16(static_cast<uint32_t>(vertices.size()));
    for (const auto& v : vertices) {
        b.u8(0);
        b.vec(v.position);
        b.u8(static_cast<uint8_t>(v.bone));
        b.u8(0);
    }

    b.u16(static_cast<uint32_t>(triangles.size()));
    for (const auto& t : triangles) {
        b.u16(0);
        for (int k = 0; k < 3; ++k) {
            if (t.vertex[k] >= vertices.size())
                throw std::runtime_error("ms3d: triangle names a missing vertex");
            b.u16(t.vertex[k]);
        }
        for (int k = 0; k < 3; ++k)
            b.vec(t.normal[k]);
        for (int k = 0; k < 3; ++k)
            b.f32(t.s[k]);
        for (int k = 0; k < 3; ++k)
            b.f32(t.t[k]);
        b.u8(1);
        b.u8(t.group);
    }

    b.u16(static_cast<uint32_t>(groups.size()));
    for (const auto& g : groups) {
        b.u8(0);
        b.name(g.name, 32);
        b.u16(static_cast<uint32_t>(g.triangles.size()));
        for (uint16_t i : g.triangles)
            b.u16(i);
        b.u8(static_cast<uint8_t>(g.material));
    }

    b.u16(static_cast<uint32_t>(materials.size()));
    for (const auto& m : materials) {
        b.name(m.name, 32);
        for (float f : m.ambient)
            b.f32(f);
        for (float f : m.diffuse)
            b.f32(f);
        for (float f : m.specular)
            b.f32(f);
        for (float f : m.emissive)
            b.f32(f);
        b.f32(m.shininess);
        b.f32(1.0f); // transparency: opaque
        b.u8(0);
        b.name(m.texture, 128);
        b.name("", 128);
    }

    b.f32(fps);
    b.f32(0.0f);
    b.i32(totalFrames);

    b.u16(static_cast<uint32_t>(joints.size()));
    for (const auto& j : joints) {
        b.u8(0);
        b.name(j.name, 32);
        b.name(j.parent, 32);
        b.vec(j.rotation);
        b.vec(j.translation);
        b.u16(static_cast<uint32_t>(j.rotationKeys.size()));
        b.u16(static_cast<uint32_t>(j.translationKeys.size()));
        for (const auto& k : j.rotationKeys) {
            b.f32(k.time);
            b.vec(k.value);
        }
        for (const auto& k : j.translationKeys) {
            b.f32(k.time);
            b.vec(k.value);
        }
    }
    return b.take();
}

} // namespace content::models
