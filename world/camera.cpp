#include "world/camera.h"

#include "level/qrvdatalayer.h"
#include "objects/character.h"
#include "objects/sceneobject.h"
#include "platform/timer.h"
#include "world/collisionworld.h"
#include "world/terrain.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cmath>

namespace {

// The follow eye keeps this far above the land as drawn, over a patch around it, so that
// neither the eye nor its near plane ever reaches into a slope beside it.
constexpr float EYE_CLEARANCE = 4.0f;
constexpr float EYE_PATCH = 1.5f;
// The line of sight from the look-at point out to the eye is checked every SIGHT_STEP
// units; land on it pulls the eye in front of it, but never nearer than NEAREST_EYE.
constexpr float SIGHT_STEP = 1.0f;
constexpr float NEAREST_EYE = 6.0f;
// Scenery on the line of sight (a hut, a house, a trunk) pulls the eye in to this far in front
// of it, so that the near plane stays out of the wall too.
constexpr float SCENERY_MARGIN = 1.5f;
// The nearest the eye comes to the hero's head when scenery leaves no more room (the head
// itself is about 2 across).
constexpr float CLOSEST_EYE = 3.0f;

// A figure within this far of the line of sight (its middle, across the ground) makes the
// eye rise fully over it; the rise fades out to nothing FIGURE_ASIDE_FADE farther aside. A
// figure is about 2 FIGURE_HALF_WIDTH across.
constexpr float FIGURE_HALF_WIDTH = 4.0f;
constexpr float FIGURE_ASIDE_FADE = 6.0f;
// The line of sight clears a figure's top by this much.
constexpr float FIGURE_TOP_MARGIN = 1.5f;

// The land as the terrain draws it: flat triangles between the samples on the grid, each
// cell cut along its diagonal from (x0, z0) to (x0 + step, z0 + step) (the triangle strips
// of Terrain::buildDisplayList). Between the samples this is not the height objects stand
// on (that is the sample under them), but it is what the eye could see into.
float drawnHeight(float x, float z) {
    if (!g_terrain || !std::isfinite(x) || !std::isfinite(z))
        return 0.0f;
    // Beyond the map the land repeats or clamps (see Terrain); keep the indices small.
    const float limit = float(Terrain::MAP_SIZE + Terrain::GRID_STEP);
    x = std::min(std::max(x, -limit), 2.0f * limit);
    z = std::min(std::max(z, -limit), 2.0f * limit);
    const int32_t step = Terrain::GRID_STEP;
    const int32_t x0 = int32_t(std::floor(x / float(step))) * step;
    const int32_t z0 = int32_t(std::floor(z / float(step))) * step;
    const float fx = (x - float(x0)) / float(step), fz = (z - float(z0)) / float(step);
    const float h00 = float(g_terrain->height(x0, z0));
    const float h11 = float(g_terrain->height(x0 + step, z0 + step));
    if (fx >= fz) {
        const float h10 = float(g_terrain->height(x0 + step, z0));
        return h00 + fx * (h10 - h00) + fz * (h11 - h10);
    }
    const float h01 = float(g_terrain->height(x0, z0 + step));
    return h00 + fz * (h01 - h00) + fx * (h11 - h01);
}

// The lowest the eye may be at p: clear of the land under it and around it.
float clearHeight(const Vector& p) {
    float top = drawnHeight(p.x, p.z);
    for (float dx : {-EYE_PATCH, 0.0f, EYE_PATCH})
        for (float dz : {-EYE_PATCH, 0.0f, EYE_PATCH})
            top = std::max(top, drawnHeight(p.x + dx, p.z + dz));
    return top + EYE_CLEARANCE;
}

} // namespace

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
    Vector desiredLook = target;
    desiredLook.y += m_lookHeight;
    // Both the goal and the eased eye are kept clear: the goal so that the ease heads for
    // a good place, the eye because its way there may cross a hill.
    // The pull-in is at once, the way back out eased like any follow: the eye goes in as
    // far as the goal does, but comes out only as the ease takes it.
    // A figure between the eye and the hero would fill the view (in a fight, an enemy at his
    // back): the eye rises to look over it, eased like any follow.
    Vector head = target;
    head.y += m_lookHeight;
    desiredEye.y += riseOverFigures(desiredEye, head);
    keepInView(desiredEye, desiredLook);
    m_position.approach(m_position, desiredEye, m_easeDivisor);
    m_lookAt.approach(m_lookAt, desiredLook, m_easeDivisor);
    // The eased look-at point lags the hero (most at the level's start): the eye must see
    // his head as well as the point it looks at.
    // Each pull may hide the other point again; a few rounds settle it. When they do not
    // (the hero was put far from where the view still looks, a hill between), the view cuts
    // to his head rather than look into the hill.
    for (int32_t round = 0; round < 4; ++round) {
        const bool moved = keepInView(m_position, m_lookAt);
        if (!keepInView(m_position, head) && !moved)
            return true;
    }
    m_lookAt = head;
    keepInView(m_position, m_lookAt);
    return true;
}

bool Camera::keepInView(Vector& eye, Vector& look) {
    const Vector before = eye;
    // Rounding aside: an eye already pulled in, pulled again, lands where it was.
    const auto moved = [&] { return (eye - before).length() > 1e-3f; };
    // A hero looking up would put the eye below his feet, under the land; the land seen
    // from below is not drawn (only the sky and the characters would show).
    look.y = std::max(look.y, drawnHeight(look.x, look.z) + EYE_CLEARANCE);
    eye.y = std::max(eye.y, clearHeight(eye));
    // A hill between the hero and the eye would hide him, or the eye would look through
    // it: bring the eye in to the last clear point of the line of sight.
    const Vector span = eye - look;
    const float length = span.length();
    if (!(length > NEAREST_EYE))
        return moved();
    const int32_t checks = int32_t(std::ceil(length / SIGHT_STEP));
    for (int32_t i = 1; i <= checks; ++i) {
        const Vector p = look + span * (float(i) / float(checks));
        if (p.y >= drawnHeight(p.x, p.z) + EYE_CLEARANCE)
            continue;
        const float clear = std::max(float(i - 1) / float(checks), NEAREST_EYE / length);
        eye = look + span * clear;
        eye.y = std::max(eye.y, clearHeight(eye));
        break;
    }
    // Scenery between them: the eye comes in to just in front of it.
    if (!g_collisionWorld)
        return moved();
    const Vector sight = eye - look;
    const float reach = sight.length();
    if (!(reach > NEAREST_EYE))
        return moved();
    const float free = g_collisionWorld->sceneryReach(look, eye);
    if (free >= reach)
        return moved();
    // With his back to a hut there is no room behind him: the eye rises over him instead,
    // higher the nearer the wall, rather than stand in the roof.
    // Under the eaves even that has no room: then nearer behind him, though never in him.
    const Vector along = sight / reach;
    for (float nearest : {NEAREST_EYE, CLOSEST_EYE})
        for (float rise : {0.0f, 0.5f, 1.0f, 2.0f, 4.0f}) {
            Vector way = along + Vector(0.0f, rise, 0.0f);
            way.normalize();
            const float room =
                rise == 0.0f ? free : g_collisionWorld->sceneryReach(look, look + way * reach);
            if (room - SCENERY_MARGIN < nearest)
                continue;
            eye = look + way * std::min(room - SCENERY_MARGIN, reach);
            eye.y = std::max(eye.y, clearHeight(eye));
            return moved();
        }
    eye = look + along * NEAREST_EYE;
    eye.y = std::max(eye.y, clearHeight(eye));
    return moved();
}

float Camera::riseOverFigure(const Vector& eye, const Vector& head, const Vector& feet, float top) {
    Vector back = eye - head;
    back.y = 0.0f;
    const float reach = back.length();
    if (!(reach > 1e-3f) || !std::isfinite(reach))
        return 0.0f;
    back = back / reach;
    const float dx = feet.x - head.x, dz = feet.z - head.z;
    const float along = dx * back.x + dz * back.z;
    const float aside = std::fabs(dx * back.z - dz * back.x);
    // Nearer the eye than its own half width behind it, a figure is out of the view.
    if (!(along > 0.0f) || along > reach + FIGURE_HALF_WIDTH ||
        aside >= FIGURE_HALF_WIDTH + FIGURE_ASIDE_FADE)
        return 0.0f;
    // The eye's height for the line from it to the head to pass the figure's top + margin.
    const float clearAt = std::min(along, reach);
    const float needed = head.y + (top + FIGURE_TOP_MARGIN - head.y) * reach / clearAt;
    float rise = std::min(std::max(needed - eye.y, 0.0f), FIGURE_RISE_MOST);
    if (aside > FIGURE_HALF_WIDTH)
        rise *= 1.0f - (aside - FIGURE_HALF_WIDTH) / FIGURE_ASIDE_FADE;
    if (along > reach)
        rise *= 1.0f - (along - reach) / FIGURE_HALF_WIDTH;
    return rise;
}

float Camera::riseOverFigures(const Vector& eye, const Vector& head) const {
    if (!g_collisionWorld)
        return 0.0f;
    float rise = 0.0f;
    for (int32_t i = 0; i < g_collisionWorld->movingCount(); ++i) {
        const ModelObject* figure = g_collisionWorld->movingEntry(i).m_object;
        if (!figure || !figure->m_active || figure == m_target || figure->m_id == BOSS_ID)
            continue;
        // An unpainted enemy shows only its shadow: nothing to look over.
        const auto* character = dynamic_cast<const Character*>(figure);
        if (character && character->m_model && !character->geometryShown())
            continue;
        const float top = figure->m_position.y + figure->m_sphereOffset.y + figure->m_sphereRadius;
        rise = std::max(rise, riseOverFigure(eye, head, figure->m_position, top));
    }
    return rise;
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
