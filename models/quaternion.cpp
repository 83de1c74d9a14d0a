#include "models/quaternion.h"

#include <cmath>

Quaternion::Quaternion(const float angles[3]) {
    double a = angles[2] * 0.5;
    const double sy = std::sin(a), cy = std::cos(a);
    a = angles[1] * 0.5;
    const double sp = std::sin(a), cp = std::cos(a);
    a = angles[0] * 0.5;
    const double sr = std::sin(a), cr = std::cos(a);
    const double crcp = cr * cp, srcp = sr * cp, crsp = cr * sp, srsp = sr * sp;
    m_q[0] = static_cast<float>(srcp * cy - crsp * sy);
    m_q[1] = static_cast<float>(crsp * cy + srcp * sy);
    m_q[2] = static_cast<float>(crcp * sy - srsp * cy);
    m_q[3] = static_cast<float>(crcp * cy + srsp * sy);
}

Quaternion::Quaternion(const Quaternion& q1, Quaternion q2, float t) {
    double a = 0.0, b = 0.0;
    for (int i = 0; i < 4; ++i) {
        a += (q1[i] - q2[i]) * (q1[i] - q2[i]);
        b += (q1[i] + q2[i]) * (q1[i] + q2[i]);
    }
    if (a > b)
        q2.inverse();
    double cosom = 0.0;
    for (int i = 0; i < 4; ++i)
        cosom += static_cast<double>(q1[i]) * q2[i];
    double sclp, sclq;
    if (1.0 + cosom > 1e-8) {
        if (1.0 - cosom > 1e-8) {
            const double omega = std::acos(cosom);
            const double sinom = std::sin(omega);
            sclp = std::sin((1.0 - t) * omega) / sinom;
            sclq = std::sin(t * omega) / sinom;
        } else {
            sclp = 1.0 - t;
            sclq = t;
        }
        for (int i = 0; i < 4; ++i)
            m_q[i] = static_cast<float>(q1[i] * sclp + q2[i] * sclq);
    } else {
        const double pi = 3.141592653589793;
        m_q[0] = -q1[1];
        m_q[1] = q1[0];
        m_q[2] = -q1[3];
        m_q[3] = q1[2];
        sclp = std::sin((1.0 - t) * 0.5 * pi);
        sclq = std::sin(t * 0.5 * pi);
        for (int i = 0; i < 3; ++i)
            m_q[i] = static_cast<float>(q1[i] * sclp + m_q[i] * sclq);
    }
}
