#include "models/geometry.h"

namespace content::models {

Mat3 Mat3::rotX(float a) {
    Mat3 r;
    const float c = std::cos(a), s = std::sin(a);
    r.m[1][1] = c;
    r.m[1][2] = -s;
    r.m[2][1] = s;
    r.m[2][2] = c;
    return r;
}

Mat3 Mat3::rotY(float a) {
    Mat3 r;
    const float c = std::cos(a), s = std::sin(a);
    r.m[0][0] = c;
    r.m[0][2] = s;
    r.m[2][0] = -s;
    r.m[2][2] = c;
    return r;
}

Mat3 Mat3::rotZ(float a) {
    Mat3 r;
    const float c = std::cos(a), s = std::sin(a);
    r.m[0][0] = c;
    r.m[0][1] = -s;
    r.m[1][0] = s;
    r.m[1][1] = c;
    return r;
}

Mat3 Mat3::fromEuler(const Vec3& a) {
    return rotZ(a.z) * rotY(a.y) * rotX(a.x);
}
Mat3 Mat3::fromPose(const Vec3& a) {
    return rotY(a.y) * rotX(a.x) * rotZ(a.z);
}

Mat3 Mat3::operator*(const Mat3& o) const {
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
    return r;
}

Vec3 Mat3::operator*(const Vec3& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
            m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

Mat3 Mat3::transposed() const {
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[j][i];
    return r;
}

Vec3 Mat3::toEuler() const {
    // R = Rz * Ry * Rx: m[2][0] = -sin(y), m[2][1] = cos(y) sin(x), m[1][0] = cos(y) sin(z).
    float sy = -m[2][0];
    sy = sy > 1.0f ? 1.0f : (sy < -1.0f ? -1.0f : sy);
    const float y = std::asin(sy);
    if (std::fabs(sy) < 0.99999f)
        return {std::atan2(m[2][1], m[2][2]), y, std::atan2(m[1][0], m[0][0])};
    // Gimbal lock: put the whole remaining turn into x.
    return {std::atan2(-m[1][2], m[1][1]), y, 0.0f};
}

} // namespace content::models
