#include "models/matrix.h"

#include "models/quaternion.h"

#include <cmath>
#include <cstring>

Matrix::Matrix(float a00, float a01, float a02, float a03, float a10, float a11, float a12,
               float a13, float a20, float a21, float a22, float a23, float a30, float a31,
               float a32, float a33) {
    const float rows[16] = {a00, a01, a02, a03, a10, a11, a12, a13,
                            a20, a21, a22, a23, a30, a31, a32, a33};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[c * 4 + r] = rows[r * 4 + c];
}

void Matrix::loadIdentity() {
    std::memset(m, 0, sizeof(m));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void Matrix::set(const float* src) {
    std::memcpy(m, src, sizeof(m));
}

void Matrix::postMultiply(const Matrix& bm) {
    const float* a = m;
    const float* b = bm.m;
    float r[16];
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            r[c * 4 + row] =
                a[row] * b[c * 4] + a[4 + row] * b[c * 4 + 1] + a[8 + row] * b[c * 4 + 2];
    for (int row = 0; row < 3; ++row)
        r[12 + row] = a[row] * b[12] + a[4 + row] * b[13] + a[8 + row] * b[14] + a[12 + row];
    r[3] = r[7] = r[11] = 0.0f;
    r[15] = 1.0f;
    std::memcpy(m, r, sizeof(r));
}

void Matrix::setTranslation(const float t[3]) {
    m[12] = t[0];
    m[13] = t[1];
    m[14] = t[2];
}

void Matrix::setRotationRadians(const float angles[3]) {
    const double cr = std::cos(angles[0]), sr = std::sin(angles[0]);
    const double cp = std::cos(angles[1]), sp = std::sin(angles[1]);
    const double cy = std::cos(angles[2]), sy = std::sin(angles[2]);
    m[0] = static_cast<float>(cp * cy);
    m[1] = static_cast<float>(cp * sy);
    m[2] = static_cast<float>(-sp);
    const double srsp = sr * sp, crsp = cr * sp;
    m[4] = static_cast<float>(srsp * cy - cr * sy);
    m[5] = static_cast<float>(srsp * sy + cr * cy);
    m[6] = static_cast<float>(sr * cp);
    m[8] = static_cast<float>(crsp * cy + sr * sy);
    m[9] = static_cast<float>(crsp * sy - sr * cy);
    m[10] = static_cast<float>(cr * cp);
}

void Matrix::setRotationQuaternion(const Quaternion& q) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    m[0] = 1.0f - 2.0f * y * y - 2.0f * z * z;
    m[1] = 2.0f * x * y + 2.0f * w * z;
    m[2] = 2.0f * x * z - 2.0f * w * y;
    m[4] = 2.0f * x * y - 2.0f * w * z;
    m[5] = 1.0f - 2.0f * x * x - 2.0f * z * z;
    m[6] = 2.0f * y * z + 2.0f * w * x;
    m[8] = 2.0f * x * z + 2.0f * w * y;
    m[9] = 2.0f * y * z - 2.0f * w * x;
    m[10] = 1.0f - 2.0f * x * x - 2.0f * y * y;
}

void Matrix::inverseTranslateVect(float p[3]) const {
    p[0] -= m[12];
    p[1] -= m[13];
    p[2] -= m[14];
}

void Matrix::inverseRotateVect(float p[3]) const {
    const float x = p[0] * m[0] + p[1] * m[1] + p[2] * m[2];
    const float y = p[0] * m[4] + p[1] * m[5] + p[2] * m[6];
    const float z = p[0] * m[8] + p[1] * m[9] + p[2] * m[10];
    p[0] = x;
    p[1] = y;
    p[2] = z;
}

Matrix Matrix::getInverseYawTransform() const {
    Matrix r;
    r(0, 0) = m[0];
    r(0, 2) = m[2];
    r(2, 0) = m[8];
    r(2, 2) = m[10];
    r(1, 1) = 1.0f;
    Matrix t;
    const float neg[3] = {-m[12], -m[13], -m[14]};
    t.setTranslation(neg);
    r.postMultiply(t);
    return r;
}
