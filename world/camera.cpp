#include "world/camera.h"

#include "objects/sceneobject.h"
#include "platform/timer.h"

#include <GL/gl.h>
#include <GL/glu.h>

Camera::Camera()
    : m_position(1000.0f, 1000.0f, 1000.0f), m_direction(0.0f, -1.0f, -1.0f),
      m_lookAt(0.0f, 0.0f, 0.0f) {
    m_timer.reset(CreateTimer());
}

Camera::~Camera() = default;

void Camera::setTarget(SceneObject* target) {
    m_target = target;
    m_following = target != nullptr;
}

bool Camera::step() {
    if (!m_following) {
        m_timer->Reset();
        return true;
    }
    if (!m_target)
        return false;
    m_timer->Reset(); // the follow is per frame; the elapsed time is not used
    Vector target = m_target->getPosition();
    Vector desiredEye = target - m_target->getDirection() * m_distance;
    desiredEye.y += m_eyeHeight;
    m_position.approach(m_position, desiredEye, m_easeDivisor);
    Vector desiredLook = target;
    desiredLook.y += m_lookHeight;
    m_lookAt.approach(m_lookAt, desiredLook, m_easeDivisor);
    return true;
}

void Camera::apply() {
    if (!step())
        return;
    if (m_following) {
        gluLookAt(m_position.x, m_position.y, m_position.z, m_lookAt.x, m_lookAt.y, m_lookAt.z, 0.0,
                  1.0, 0.0);
    } else {
        Vector centre = m_position + m_direction;
        gluLookAt(m_position.x, m_position.y, m_position.z, centre.x, centre.y, centre.z, 0.0, 1.0,
                  0.0);
    }
}

float Camera::freeStep() {
    float s = float(m_timer->Elapsed() / m_easeDivisor);
    m_timer->Reset();
    return s;
}

Vector Camera::sideVector() const {
    Vector side;
    side.cross(Vector(m_direction.x, 0.0f, m_direction.z), Vector(0.0f, 1.0f, 0.0f));
    side.normalize();
    return side;
}

void Camera::strafeLeft() {
    if (m_following)
        return;
    m_position = m_position - sideVector() * freeStep();
}

void Camera::strafeRight() {
    if (m_following)
        return;
    m_position = m_position + sideVector() * freeStep();
}

void Camera::moveForward() {
    if (m_following)
        return;
    m_position = m_position + m_direction * freeStep();
}

void Camera::moveBackward() {
    if (m_following)
        return;
    m_position = m_position - m_direction * freeStep();
}

void Camera::turn(float pitch, float yaw) {
    if (m_following)
        return;
    if (pitch == 0.0f && yaw == 0.0f)
        return;
    Vector side;
    side.cross(m_direction, Vector(0.0f, 1.0f, 0.0f));
    m_direction.rotateAxis(yaw, Vector(0.0f, 1.0f, 0.0f));
    m_direction.normalize();
    if ((m_direction.y > 0.8f && pitch > 0.0f) || (m_direction.y < -0.8f && pitch < 0.0f))
        return;
    m_direction.rotateAxis(pitch, side);
}
