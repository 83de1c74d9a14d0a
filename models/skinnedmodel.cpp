#include "models/skinnedmodel.h"

#include "models/quaternion.h"
#include "models/texture.h"
#include "platform/debugassert.h"
#include "platform/random.h"
#include "platform/timer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

namespace {

bool hasKeys(const ModelJoint& joint) {
    return !joint.m_translationKeys.empty() || !joint.m_rotationKeys.empty();
}

int32_t clampKey(int32_t cursor, size_t count) {
    if (cursor < 0)
        return 0;
    if (size_t(cursor) >= count)
        return int32_t(count) - 1;
    return cursor;
}

// The key index a pose at time t takes from one track, and the track's first key time
// after t as a candidate for the next pose. An empty track gives -1.
int32_t scanTrack(const std::vector<JointKey>& keys, double t, double& next) {
    int32_t n = int32_t(keys.size());
    int32_t result = n - 1;
    for (int32_t i = 0; i < n; ++i) {
        if (double(keys[i].m_time) == t) {
            result = i;
            break;
        }
        if (double(keys[i].m_time) > t) {
            result = i == 0 ? 0 : i - 1;
            break;
        }
    }
    // Every later key time counts, so that no key time of the model is skipped.
    for (const JointKey& key : keys) {
        if (double(key.m_time) > t && double(key.m_time) < next)
            next = key.m_time;
    }
    return result;
}

} // namespace

SkinnedModel::SkinnedModel() {
    m_timer.reset(CreateTimer());
    m_loop = true;
    resetAnimation();
    m_outline = false;
    m_shadowVolumes[0] = CreateShadowBuilder();
    m_shadowVolumes[1] = CreateShadowBuilder();
    // Every model construction restarts the game's random sequence.
    gameSrand(3);
    m_shadowFrame = 0;
    m_shadowPeriod = 2;
    m_hideSkinned = false;
}

SkinnedModel::~SkinnedModel() = default;

void SkinnedModel::adopt(ModelData&& data, bool uploadTextures) {
    m_meshes = std::move(data.m_meshes);
    m_materials = std::move(data.m_materials);
    m_triangles = std::move(data.m_triangles);
    m_vertices = std::move(data.m_vertices);
    m_joints = std::move(data.m_joints);
    m_totalTime = data.m_totalTime;
    m_meshCount = int32_t(m_meshes.size());
    m_materialCount = int32_t(m_materials.size());
    m_triangleCount = int32_t(m_triangles.size());
    m_vertexCount = int32_t(m_vertices.size());
    m_jointCount = std::min<int32_t>(int32_t(m_joints.size()), MAX_MODEL_JOINTS);
    m_joints.resize(m_jointCount);
    m_currentPose = 0;
    m_cornerSlots.clear();
    m_outlineCorners.clear();
    if (uploadTextures)
        loadTextures();
    bindSkeleton();
    resetAnimation();
    buildPoseTable();
    m_loaded = true;
}

void SkinnedModel::loadTextures() {
    for (ModelMaterial& material : m_materials) {
        material.m_texture =
            material.m_textureFile.empty() ? 0 : loadTexture(material.m_textureFile);
    }
}

void SkinnedModel::bindSkeleton() {
    ++m_poseSerial;
    for (int32_t j = 0; j < m_jointCount; ++j) {
        ModelJoint& joint = m_joints[j];
        joint.m_relative.loadIdentity();
        joint.m_relative.setRotationRadians(joint.m_localRotation);
        joint.m_relative.setTranslation(joint.m_localTranslation);
        if (joint.m_parent >= 0 && joint.m_parent < j) {
            joint.m_absolute = m_joints[joint.m_parent].m_absolute;
            joint.m_absolute.postMultiply(joint.m_relative);
        } else {
            joint.m_absolute = joint.m_relative;
        }
    }
    // Skinned vertices and normals move into their joint's space once, here.
    for (ModelVertex& vertex : m_vertices) {
        if (vertex.m_boneId < 0 || vertex.m_boneId >= m_jointCount)
            continue;
        const Matrix& absolute = m_joints[vertex.m_boneId].m_absolute;
        absolute.inverseTranslateVect(vertex.m_position);
        absolute.inverseRotateVect(vertex.m_position);
    }
    for (ModelTriangle& triangle : m_triangles) {
        for (int k = 0; k < 3; ++k) {
            int32_t bone = m_vertices[triangle.m_vertexIndices[k]].m_boneId;
            if (bone >= 0 && bone < m_jointCount)
                m_joints[bone].m_absolute.inverseRotateVect(triangle.m_normals[k]);
        }
    }
}

void SkinnedModel::resetAnimation() {
    ++m_poseSerial;
    for (ModelJoint& joint : m_joints) {
        joint.m_currentTranslationKey = 0;
        joint.m_currentRotationKey = 0;
        joint.m_final = joint.m_absolute;
    }
    if (m_timer)
        m_timer->Reset();
}

void SkinnedModel::composeFinal(int32_t j, const Matrix& local) {
    ++m_poseSerial;
    ModelJoint& joint = m_joints[j];
    Matrix relative = joint.m_relative;
    relative.postMultiply(local);
    if (joint.m_parent >= 0 && joint.m_parent < j) {
        joint.m_final = m_joints[joint.m_parent].m_final;
        joint.m_final.postMultiply(relative);
    } else {
        joint.m_final = relative;
    }
}

void SkinnedModel::buildPoseTable() {
    double t = 0.0;
    for (int32_t p = 0; p < MAX_MODEL_POSES; ++p) {
        double next = 900000.0;
        for (int32_t j = 0; j < MAX_MODEL_JOINTS; ++j) {
            if (j < m_jointCount) {
                m_poseKeyTable[j][p] = scanTrack(m_joints[j].m_translationKeys, t, next);
                m_poseRotationKeyTable[j][p] = scanTrack(m_joints[j].m_rotationKeys, t, next);
            } else {
                m_poseKeyTable[j][p] = 0;
                m_poseRotationKeyTable[j][p] = 0;
            }
        }
        t = next;
    }
    m_poseCount = 0;
    for (int32_t p = MAX_MODEL_POSES - 1; p >= 1 && m_poseCount == 0; --p) {
        for (int32_t j = 0; j < m_jointCount; ++j) {
            if (m_poseKeyTable[j][p] != m_poseKeyTable[j][p - 1] ||
                m_poseRotationKeyTable[j][p] != m_poseRotationKeyTable[j][p - 1]) {
                m_poseCount = p + 1;
                break;
            }
        }
    }
}

void SkinnedModel::updateAnimation() {
    ++m_poseSerial;
    double time = m_timer->Elapsed();
    if (time > m_totalTime) {
        if (m_loop) {
            resetAnimation();
            time = 0.0;
        } else {
            time = m_totalTime;
        }
    }
    for (int32_t j = 0; j < m_jointCount; ++j) {
        ModelJoint& joint = m_joints[j];
        if (!hasKeys(joint)) {
            joint.m_final = joint.m_absolute;
            ++m_poseSerial;
            continue;
        }
        Matrix local;
        float translation[3] = {0.0f, 0.0f, 0.0f};

        const std::vector<JointKey>& tk = joint.m_translationKeys;
        int32_t tn = int32_t(tk.size());
        if (tn > 0) {
            int32_t& c = joint.m_currentTranslationKey;
            while (c < tn && double(tk[c].m_time) < time)
                ++c;
            if (c <= 0 || c >= tn) {
                const JointKey& key = c <= 0 ? tk[0] : tk[tn - 1];
                std::copy(key.m_parameter, key.m_parameter + 3, translation);
            } else {
                const JointKey& prev = tk[c - 1];
                const JointKey& next = tk[c];
                double f = (time - prev.m_time) / double(next.m_time - prev.m_time);
                for (int i = 0; i < 3; ++i)
                    translation[i] = float(prev.m_parameter[i] +
                                           (next.m_parameter[i] - prev.m_parameter[i]) * f);
            }
        }

        const std::vector<JointKey>& rk = joint.m_rotationKeys;
        int32_t rn = int32_t(rk.size());
        if (rn > 0) {
            int32_t& c = joint.m_currentRotationKey;
            while (c < rn && double(rk[c].m_time) < time)
                ++c;
            if (c <= 0 || c >= rn) {
                JointKey key = c <= 0 ? rk[0] : rk[rn - 1];
                local.setRotationRadians(key.m_parameter);
            } else {
                JointKey prev = rk[c - 1];
                JointKey next = rk[c];
                float f = float((time - prev.m_time) / double(next.m_time - prev.m_time));
                Quaternion q1(prev.m_parameter);
                Quaternion q2(next.m_parameter);
                local.setRotationQuaternion(Quaternion(q1, q2, f));
            }
        }
        local.setTranslation(translation);
        composeFinal(j, local);
    }
}

bool SkinnedModel::blendToPose(int32_t pose, double durationMs) {
    double elapsed = m_timer->Elapsed();
    if (pose == m_currentPose) {
        m_timer->Reset();
        m_blendTime = 0.0;
        return true;
    }
    if (elapsed >= durationMs)
        elapsed = durationMs;
    if (pose == POSE_WAIT) {
        if (elapsed < durationMs)
            return false;
        m_timer->Reset();
        return true;
    }
    if (pose < 0 || pose >= MAX_MODEL_POSES) {
        // Refused: nothing moves, and the caller's queue is not held up.
        QRV_ASSERT(pose >= 0 && pose < MAX_MODEL_POSES);
        m_blendTime = 0.0;
        return true;
    }
    double f = durationMs > 0.0 ? elapsed / durationMs : 1.0;

    for (int32_t j = 0; j < m_jointCount; ++j) {
        ModelJoint& joint = m_joints[j];
        if (!hasKeys(joint)) {
            joint.m_final = joint.m_absolute;
            ++m_poseSerial;
            continue;
        }
        Matrix local;
        float translation[3] = {0.0f, 0.0f, 0.0f};
        int32_t translationTarget = m_poseKeyTable[j][pose];
        int32_t rotationTarget = m_poseRotationKeyTable[j][pose];

        // From the key the joint stands on toward the pose's key. A joint already on
        // its target key simply holds it.
        const std::vector<JointKey>& tk = joint.m_translationKeys;
        if (!tk.empty()) {
            const JointKey& from = tk[clampKey(joint.m_currentTranslationKey, tk.size())];
            if (translationTarget >= 0 && size_t(translationTarget) < tk.size()) {
                const JointKey& to = tk[translationTarget];
                for (int i = 0; i < 3; ++i)
                    translation[i] =
                        float(from.m_parameter[i] + (to.m_parameter[i] - from.m_parameter[i]) * f);
            } else {
                std::copy(tk.back().m_parameter, tk.back().m_parameter + 3, translation);
                joint.m_currentTranslationKey = int32_t(tk.size()) - 1;
            }
        }
        const std::vector<JointKey>& rk = joint.m_rotationKeys;
        if (!rk.empty()) {
            JointKey from = rk[clampKey(joint.m_currentRotationKey, rk.size())];
            if (rotationTarget >= 0 && size_t(rotationTarget) < rk.size()) {
                JointKey to = rk[rotationTarget];
                Quaternion q1(from.m_parameter);
                Quaternion q2(to.m_parameter);
                local.setRotationQuaternion(Quaternion(q1, q2, float(f)));
            } else {
                JointKey last = rk.back();
                local.setRotationRadians(last.m_parameter);
                joint.m_currentRotationKey = int32_t(rk.size()) - 1;
            }
        }
        local.setTranslation(translation);
        composeFinal(j, local);
        if (f == 1.0) {
            if (!tk.empty())
                joint.m_currentTranslationKey = clampKey(translationTarget, tk.size());
            if (!rk.empty())
                joint.m_currentRotationKey = clampKey(rotationTarget, rk.size());
        }
    }

    m_blendTime = 0.0;
    if (f == 1.0) {
        m_timer->Reset();
        m_currentPose = pose;
        return true;
    }
    return false;
}

Vector SkinnedModel::posedVertex(int32_t vertexIndex) const {
    const ModelVertex& vertex = m_vertices[vertexIndex];
    Vector position(vertex.m_position);
    if (vertex.m_boneId >= 0 && vertex.m_boneId < m_jointCount) {
        position.transform(m_joints[vertex.m_boneId].m_final);
        position[3] = 1.0f;
    }
    return position;
}

void SkinnedModel::poseVertices() {
    m_posedPositions.resize(size_t(m_vertexCount) * 3);
    for (int32_t v = 0; v < m_vertexCount; ++v) {
        const ModelVertex& vertex = m_vertices[size_t(v)];
        float* out = &m_posedPositions[size_t(v) * 3];
        if (vertex.m_boneId < 0 || vertex.m_boneId >= m_jointCount) {
            std::copy(vertex.m_position, vertex.m_position + 3, out);
            continue;
        }
        Vector position(vertex.m_position);
        position.transform(m_joints[vertex.m_boneId].m_final);
        position.getArray(out);
    }
}

void SkinnedModel::buildCornerSlots() {
    m_cornerSlots.clear();
    m_slotVertices.clear();
    m_slotNormals.clear();
    m_cornerTexCoords.clear();
    m_meshSlots.clear();
    // Equal bits, not equal values: a slot stands for exactly what its corners sent.
    using Key = std::array<uint32_t, 6>;
    auto bits = [](float f) {
        uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    };
    for (const ModelMesh& mesh : m_meshes) {
        std::map<Key, uint32_t> slots;
        const uint32_t first = uint32_t(m_slotVertices.size());
        for (int32_t index : mesh.m_triangleIndices) {
            const ModelTriangle& triangle = m_triangles[size_t(index)];
            for (int k = 0; k < 3; ++k) {
                const float* n = triangle.m_normals[k];
                const Key key = {uint32_t(triangle.m_vertexIndices[k]),
                                 bits(n[0]),
                                 bits(n[1]),
                                 bits(n[2]),
                                 bits(triangle.m_s[k]),
                                 bits(triangle.m_t[k])};
                auto [it, added] = slots.emplace(key, uint32_t(m_slotVertices.size()));
                if (added) {
                    m_slotVertices.push_back(triangle.m_vertexIndices[k]);
                    m_slotNormals.insert(m_slotNormals.end(), n, n + 3);
                    m_cornerTexCoords.push_back(triangle.m_s[k]);
                    m_cornerTexCoords.push_back(triangle.m_t[k]);
                }
                m_cornerSlots.push_back(it->second);
            }
        }
        const uint32_t end = uint32_t(m_slotVertices.size());
        m_meshSlots.push_back({first, end > first ? end - 1 : first});
    }
}

void SkinnedModel::fillCornerArrays() {
    const size_t slots = m_slotVertices.size();
    m_cornerPositions.resize(slots * 3);
    m_cornerNormals.resize(slots * 3);
    for (size_t slot = 0; slot < slots; ++slot) {
        const int32_t v = m_slotVertices[slot];
        const ModelVertex& vertex = m_vertices[size_t(v)];
        std::copy(&m_posedPositions[size_t(v) * 3], &m_posedPositions[size_t(v) * 3] + 3,
                  &m_cornerPositions[slot * 3]);
        const float* unposed = &m_slotNormals[slot * 3];
        float* normal = &m_cornerNormals[slot * 3];
        if (vertex.m_boneId < 0 || vertex.m_boneId >= m_jointCount) {
            std::copy(unposed, unposed + 3, normal);
        } else {
            Vector n(unposed);
            n.transform3(m_joints[vertex.m_boneId].m_final);
            n.normalize();
            n.getArray(normal);
        }
    }
}

bool SkinnedModel::setOutline(bool outline) {
    bool previous = m_outline;
    m_outline = outline;
    return previous;
}

void SkinnedModel::setShadowPeriod(int32_t n) {
    QRV_ASSERT(n >= 1);
    m_shadowPeriod = n >= 1 ? n : 1;
    m_shadowFrame %= m_shadowPeriod;
}

void SkinnedModel::setShadowLight(float x, float y, float z, float w, bool enabled, int32_t index) {
    if (index == 0 || index == 1)
        m_shadowVolumes[index]->setLight(x, y, z, w, enabled);
}

void SkinnedModel::feedShadows() {
    for (auto& volume : m_shadowVolumes)
        volume->beginFrame(m_triangleCount);
    if (m_shadowFrame == 0) {
        for (auto& volume : m_shadowVolumes)
            volume->clear();
        for (const ModelMesh& mesh : m_meshes) {
            for (int32_t index : mesh.m_triangleIndices) {
                const ModelTriangle& triangle = m_triangles[index];
                ShadowTriangle record;
                for (int k = 0; k < 3; ++k) {
                    posedVertex(triangle.m_vertexIndices[k]).getArray(record.m_corners[k]);
                    record.m_vertexIndices[k] = triangle.m_vertexIndices[k];
                }
                for (auto& volume : m_shadowVolumes)
                    volume->addTriangle(record);
            }
        }
        for (auto& volume : m_shadowVolumes)
            volume->finish();
    }
    m_shadowFrame = (m_shadowFrame + 1) % m_shadowPeriod;
}

void SkinnedModel::placeShadowVolumes(float x, float y, float z, float heading,
                                      ShadowFloorFn floorAt) {
    for (auto& volume : m_shadowVolumes) {
        volume->setFloor(floorAt);
        volume->place(x, y, z, heading);
    }
}

std::vector<PosedTriangle> SkinnedModel::posedTriangles() const {
    std::vector<PosedTriangle> result;
    for (const ModelMesh& mesh : m_meshes) {
        for (int32_t index : mesh.m_triangleIndices) {
            const ModelTriangle& triangle = m_triangles[index];
            PosedTriangle posed;
            for (int k = 0; k < 3; ++k)
                posed.m_corners[k] = posedVertex(triangle.m_vertexIndices[k]);
            posed.m_boneId = m_vertices[triangle.m_vertexIndices[2]].m_boneId;
            result.push_back(posed);
        }
    }
    return result;
}
