#include "models/vector.h"

#include "models/matrix.h"

#include <cmath>

float Vector::operator[](int i) const {
    switch (i) {
    case 0:
        return x;
    case 1:
        return y;
    case 2:
        return z;
    default:
        return w;
    }
}

float& Vector::operator[](int i) {
    switch (i) {
    case 0:
        return x;
    case 1:
        return y;
    case 2:
        return z;
    default:
        return w;
    }
}

float Vector::length() const {
    return std::sqrt(x * x + y * y + z * z);
}

void Vector::normalize() {
    float len = length();
    if (len > 0.0f) {
        x /= len;
        y /= len;
        z /= len;
    }
}

void Vector::cross(const Vector& a, const Vector& b) {
    float cx = a.y * b.z - a.z * b.y;
    float cy = a.z * b.x - a.x * b.z;
    float cz = a.x * b.y - a.y * b.x;
    x = cx;
    y = cy;
    z = cz;
}

float Vector::angleBetween(const Vector& b) const {
    return std::acos(dot(b) / (length() * b.length()));
}

void Vector::transform(const Matrix& mat) {
    const float* m = mat.getMatrix();
    float nx = x * m[0] + y * m[4] + z * m[8] + m[12];
    float ny = x * m[1] + y * m[5] + z * m[9] + m[13];
    float nz = x * m[2] + y * m[6] + z * m[10] + m[14];
    float nw = x * m[3] + y * m[7] + z * m[11] + m[15];
    x = nx;
    y = ny;
    z = nz;
    w = nw;
}

void Vector::transform3(const Matrix& mat) {
    const float* m = mat.getMatrix();
    float nx = x * m[0] + y * m[4] + z * m[8];
    float ny = x * m[1] + y * m[5] + z * m[9];
    float nz = x * m[2] + y * m[6] + z * m[10];
    x = nx;
    y = ny;
    z = nz;
}

void Vector::inverseTransform3(const Matrix& mat) {
    const float* m = mat.getMatrix();
    float nx = x * m[0] + y * m[1] + z * m[2];
    float ny = x * m[4] + y * m[5] + z * m[6];
    float nz = x * m[8] + y * m[9] + z * m[10];
    x = nx;
    y = ny;
    z = nz;
}

void Vector::rotateAxis(float angle, const Vector& axis) {
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    const float ax = axis.x, ay = axis.y, az = axis.z;
    float nx = (t * ax * ax + c) * x + (t * ax * ay - az * s) * y + (t * ax * az + ay * s) * z;
    float ny = (t * ax * ay + az * s) * x + (t * ay * ay + c) * y + (t * ay * az - ax * s) * z;
    float nz = (t * ax * az - ay * s) * x + (t * ay * az + ax * s) * y + (t * az * az + c) * z;
    x = nx;
    y = ny;
    z = nz;
}

void Vector::approach(const Vector& from, const Vector& to, float divisor) {
    Vector d = to - from;
    if (d.length() < 0.7f) {
        set(to);
        return;
    }
    Vector r = from + d / divisor;
    x = r.x;
    y = r.y;
    z = r.z;
    w = 1.0f;
}
