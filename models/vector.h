// Vector: a point or direction with a homogeneous fourth component. Copied by
// value everywhere, so it stays four floats and a vtable pointer. Only the
// full-matrix transform writes w; every other operation keeps it or yields w = 1.
#pragma once

class Matrix;

class Vector {
public:
    float x, y, z, w;

    Vector() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
    Vector(float ax, float ay, float az) : x(ax), y(ay), z(az), w(1.0f) {}
    explicit Vector(const float* v) : x(v[0]), y(v[1]), z(v[2]), w(1.0f) {}
    Vector(const Vector& o) = default;
    Vector& operator=(const Vector& o) = default;
    virtual ~Vector() = default;

    Vector operator+(const Vector& b) const { return Vector(x + b.x, y + b.y, z + b.z); }
    Vector operator-(const Vector& b) const { return Vector(x - b.x, y - b.y, z - b.z); }
    Vector operator*(float s) const { return Vector(x * s, y * s, z * s); }
    // No guard against s = 0: callers never divide by a zero length knowingly.
    Vector operator/(float s) const { return Vector(x / s, y / s, z / s); }

    void set(float ax, float ay, float az) {
        x = ax;
        y = ay;
        z = az;
    }
    void set(const Vector& v) { set(v.x, v.y, v.z); }
    void reset() {
        x = y = z = 0.0f;
        w = 1.0f;
    }
    void getArray(float out[3]) const {
        out[0] = x;
        out[1] = y;
        out[2] = z;
    }
    float operator[](int i) const;
    float& operator[](int i);

    float length() const;
    void normalize();
    bool isZero() const { return x == 0.0f && y == 0.0f && z == 0.0f; }
    float dot(const Vector& b) const { return x * b.x + y * b.y + z * b.z; }
    void cross(const Vector& a, const Vector& b);
    float angleBetween(const Vector& b) const;

    void transform(const Matrix& m);
    void transform3(const Matrix& m);
    void inverseTransform3(const Matrix& m);
    void rotateAxis(float angle, const Vector& axis);
    // Covers 1/divisor of the way from `from` to `to`; snaps onto `to` when closer than 0.7.
    void approach(const Vector& from, const Vector& to, float divisor);
};
