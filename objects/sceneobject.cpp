#include "objects/sceneobject.h"

#include <algorithm>
#include <cmath>

SceneObject::SceneObject() : m_position(0.0f, 0.0f, 0.0f), m_direction(1.0f, 0.0f, 0.0f) {}

SceneObject::~SceneObject() = default;

float SceneObject::headingFor(const Vector& direction) {
    float dx = direction.x;
    float dz = direction.z;
    float horizontal = std::sqrt(dx * dx + dz * dz);
    if (!(horizontal > 0.0f))
        return 0.0f;
    // Clamped so that rounding just past +-1 cannot turn the angle into NaN.
    double c = std::clamp(double(dx) / double(horizontal), -1.0, 1.0);
    float degrees = float(std::acos(c) * 180.0 / 3.141592653589793);
    // (1, 0, 0) x (dx, dy, dz) has y = -dz: negative means the facing turns toward +z.
    return dz > 0.0f ? -degrees : degrees;
}

void SceneObject::setDirection(const Vector& direction) {
    m_direction.set(direction);
    // A facing straight up or down has no heading of its own: keep the last one.
    if (direction.x != 0.0f || direction.z != 0.0f)
        m_heading = headingFor(direction);
}
