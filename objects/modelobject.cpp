#include "objects/modelobject.h"

#include "level/qrvdatalayer.h"
#include "platform/messagebox.h"
#include "platform/timer.h"
#include "world/terrain.h"

#include <GL/gl.h>

ModelObject::ModelObject() {
    m_model = std::make_unique<Ms3dModel>();
    m_timer.reset(CreateTimer());
    m_animationQueue = std::make_unique<AnimationQueue>(7);
}

ModelObject::~ModelObject() = default;

void ModelObject::draw() {
    if (!m_active)
        return;
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glTranslatef(m_position.x, m_position.y, m_position.z);
    glRotatef(m_heading, 0.0f, 1.0f, 0.0f);
    m_model->drawModel();
    glPopAttrib();
    glPopMatrix();
}

void ModelObject::update() {}

void ModelObject::updateShadowCasters() {
    if (m_castsShadow)
        m_model->placeShadowVolumes(m_position.x, m_position.y, m_position.z, m_heading,
                                    ShadowFloorAt);
}

void ModelObject::drawShadowCasters() {
    if (m_castsShadow)
        m_model->drawShadowVolumes(m_position.x, m_position.y, m_position.z, m_heading);
}

void ModelObject::setShadowLight(float lightX, float lightY, float lightZ, float range,
                                 bool inRange, int32_t index) {
    if (index == 0 || index == 1)
        m_model->setShadowLight(-lightX, -lightY, -lightZ, range, inRange, index);
}

void ModelObject::onHit(int32_t, int32_t, int32_t, const Vector&) {}

bool ModelObject::loadModel(const char* path) {
    if (m_model->loadModel(path))
        return true;
    // The same text whatever the file: the reader has already said what went wrong.
    ShowMessageBox("Couldn't load the model data\\model.ms3d", "Error", MessageBoxButtons::Ok,
                   MessageBoxIcon::Error);
    return false;
}

void ModelObject::reloadTextures() {
    m_model->loadTextures();
}

void ModelObject::setShadowPeriod(int32_t n) {
    m_model->setShadowPeriod(n);
}

float ModelObject::groundHeight(float x, float z) {
    if (g_dataLayer && g_dataLayer->isWater(x, z))
        return WATER_LEVEL;
    return heightAt(x, z);
}

bool ModelObject::underWater(float x, float z) {
    if (g_dataLayer && g_dataLayer->isWater(x, z))
        return true;
    return g_terrain && heightAt(x, z) < SHORE_LEVEL;
}

void ModelObject::applyGravity() {
    float ground = groundHeight(m_position.x, m_position.z);
    if (m_position.y < ground) {
        if (m_velocity.y < 0.0f)
            m_velocity.y = 0.0f;
    } else {
        m_velocity.y -= float(m_timer->Elapsed() / 1000.0 * GRAVITY);
    }
}

void ModelObject::advanceAnimation() {
    int32_t result = m_animationQueue->advance(*m_model);
    if (result > -1)
        m_currentAnimation = result;
}
