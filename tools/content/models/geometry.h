// Small vector and rotation types for building models, and the conversion of a rotation into
// the Euler angles that the model format stores (x, then y, then z, applied as Rz * Ry * Rx).
// Everything here is plain float arithmetic; nothing is cached.
#pragma once

#include <cmath>

namespace content::models {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    Vec3() = default;
    Vec3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Vec3 operator-() const { return {-x, -y, -z}; }
    Vec3& operator+=(const Vec3& o) { return *this = *this + o; }
};

inline float dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(const Vec3& a) {
    return std::sqrt(dot(a, a));
}
inline Vec3 normalize(const Vec3& a) {
    const float l = length(a);
    return l > 1e-12f ? a * (1.0f / l) : Vec3(0, 1, 0);
}

// A 3 by 3 rotation, m[row][col].
struct Mat3 {
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    static Mat3 rotX(float a);
    static Mat3 rotY(float a);
    static Mat3 rotZ(float a);
    // The model format's convention: Rz(a.z) * Ry(a.y) * Rx(a.x).
    static Mat3 fromEuler(const Vec3& a);
    // A limb-friendly convention used by the pose tables: yaw * roll * swing, that is
    // Ry(a.y) * Rx(a.x) * Rz(a.z), so a swing about z happens in the limb's own plane.
    static Mat3 fromPose(const Vec3& a);
    Mat3 operator*(const Mat3& o) const;
    Vec3 operator*(const Vec3& v) const;
    Mat3 transposed() const;
    // Inverse of fromEuler.
    Vec3 toEuler() const;
};

// A rigid placement: p' = rotation * p + origin.
struct Xf {
    Mat3 rotation;
    Vec3 origin;
    Vec3 apply(const Vec3& p) const { return rotation * p + origin; }
};

} // namespace content::models
