// Quaternion: a rotation, used only as a temporary while blending keyframes.
#pragma once

class Quaternion {
public:
    Quaternion() : m_q{0.0f, 0.0f, 0.0f, 1.0f} {}
    // From Euler angles (radians about x, y, z), the convention of Matrix::setRotationRadians.
    explicit Quaternion(const float angles[3]);
    // Spherical interpolation from q1 to q2 along the shorter arc.
    Quaternion(const Quaternion& q1, Quaternion q2, float t);
    Quaternion(float x, float y, float z, float w) : m_q{x, y, z, w} {}

    float operator[](int i) const { return m_q[i & 3]; }
    void inverse() {
        for (float& v : m_q)
            v = -v;
    }

private:
    float m_q[4];
};
