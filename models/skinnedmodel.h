// SkinnedModel: a loaded model with one joint per body part, posed from its joint keys
// and drawn with fixed-function OpenGL. Loading, the skeleton, animation and skinning are
// here (models/skinnedmodel.cpp, no GL); the drawing members, marked below, are defined in
// render/skinnedmodeldraw.cpp. Two ways of posing exist: time-based playback
// of the whole key track (updateAnimation) and pose blending (blendToPose), where the
// model's distinct key times are numbered as poses 0, 1, 2, ... and the model blends
// from its present pose to a requested one over a requested time.
//
// Costs: every draw poses each vertex once on the CPU and sends each mesh as one
// vertex-array draw; the outline (every back face as lines) is one more draw of the whole model
// from the posed vertices. The shadow builders
// are fed only every n-th draw (setShadowPeriod). blendToPose and updateAnimation touch every joint
// once. Limits: at most MAX_MODEL_JOINTS joints and MAX_MODEL_POSES distinct key times; the reader
// refuses larger models. Requests for poses outside the table are refused. Texture upload needs a
// current GL context; parsing does not (see ms3dmodel.h).
#pragma once

#include "models/matrix.h"
#include "models/shadowfeed.h"
#include "models/vector.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Timer;

constexpr int MAX_MODEL_JOINTS = 30;
constexpr int MAX_MODEL_POSES = 30;
// Asks blendToPose only to wait out the duration.
constexpr int32_t POSE_WAIT = -9;

struct ModelVertex {
    int8_t m_boneId = -1; // joint index, -1 = not skinned
    float m_position[3] = {0.0f, 0.0f, 0.0f};
};

struct ModelTriangle {
    float m_normals[3][3] = {};
    float m_s[3] = {};
    float m_t[3] = {}; // 1 - t of the file
    int32_t m_vertexIndices[3] = {};
};

struct ModelMesh {
    int32_t m_materialIndex = -1; // -1 = no material
    int32_t m_triangleCount = 0;
    std::vector<int32_t> m_triangleIndices;
};

struct ModelMaterial {
    float m_ambient[4] = {};
    float m_diffuse[4] = {};
    float m_specular[4] = {};
    float m_emissive[4] = {};
    float m_shininess = 0.0f;
    unsigned int m_texture = 0; // GL texture name, 0 = none
    std::string m_textureFile;
};

struct JointKey {
    int32_t m_jointIndex = 0;
    float m_time = 0.0f; // milliseconds
    float m_parameter[3] = {};
};

struct ModelJoint {
    std::string m_name; // as stored; children name their parent by it
    float m_localRotation[3] = {};
    float m_localTranslation[3] = {};
    Matrix m_absolute;
    Matrix m_relative;
    int32_t m_rotationKeyCount = 0;
    int32_t m_translationKeyCount = 0;
    std::vector<JointKey> m_translationKeys;
    std::vector<JointKey> m_rotationKeys;
    int32_t m_currentTranslationKey = 0;
    int32_t m_currentRotationKey = 0;
    Matrix m_final;
    int32_t m_parent = -1; // index into the joints, -1 = root
};

// Everything a reader produces: the model's geometry, materials and skeleton, with
// every index already checked against its array.
struct ModelData {
    std::vector<ModelMesh> m_meshes;
    std::vector<ModelMaterial> m_materials;
    std::vector<ModelTriangle> m_triangles;
    std::vector<ModelVertex> m_vertices;
    std::vector<ModelJoint> m_joints;
    double m_totalTime = 0.0;
};

// One posed triangle with the joint that moves it (its third corner's bone).
struct PosedTriangle {
    Vector m_corners[3];
    int32_t m_boneId = -1;
};

class SkinnedModel {
public:
    SkinnedModel();
    virtual ~SkinnedModel();
    SkinnedModel(const SkinnedModel&) = delete;
    SkinnedModel& operator=(const SkinnedModel&) = delete;

    // Reads the model file; false after a message on standard error.
    virtual bool loadModel(const char* fileName) = 0;

    // Takes over a reader's data (replacing any earlier model), uploads the textures
    // (when asked; that needs a current GL context), binds the skeleton, resets the
    // animation and builds the pose table.
    void adopt(ModelData&& data, bool uploadTextures = true);
    // Uploads every material's texture again; 0 for an empty name or a failed load.
    void loadTextures();

    void bindSkeleton();
    void resetAnimation();
    void buildPoseTable();
    // Time-based playback: poses every joint for the timer's elapsed time.
    void updateAnimation();
    // Blends toward `pose` over `durationMs`; true once it has been reached (or, for
    // POSE_WAIT, once the duration has run out since the last reset).
    bool blendToPose(int32_t pose, double durationMs);
    // The shadow feed of drawModel alone, for a model that casts a shadow but is not
    // drawn: the posed triangles go to the builders on the frames the shadow period allows.
    // Makes no GL call.
    void feedShadows();

    // Drawing (render/skinnedmodeldraw.cpp; a current GL context).
    // Draws the posed model at the current matrix (outline pass, materials) and feeds
    // the shadow builders on the frames the shadow period allows.
    void drawModel();
    // The same picture sent corner by corner in immediate mode, with every back face in
    // the outline: the way models were first drawn, kept for comparison.
    void drawModelPlain();
    // Makes every drawModel draw the plain way (tests compare the two).
    static bool s_plainDrawing;
    // Both shadow volumes as placed (placeShadowVolumes) at that place.
    void drawShadowVolumes(float x, float y, float z, float heading);

    // Every vertex posed once, into the arrays drawModel sends.
    void poseVertices();

    bool setOutline(bool outline);
    void setHideSkinned(bool hide) { m_hideSkinned = hide; }
    void setShadowPeriod(int32_t n);
    void setLoop(bool loop) { m_loop = loop; }
    void setShadowLight(float x, float y, float z, float w, bool enabled, int32_t index);
    // Places both shadow volumes with the object (position and heading); FLOOR_AT (null:
    // none) is where they end under the land. No GL call.
    void placeShadowVolumes(float x, float y, float z, float heading,
                            ShadowFloorFn floorAt = nullptr);

    // Every triangle of every mesh posed as drawn (model space), with its third
    // corner's bone id; unskinned corners as stored.
    std::vector<PosedTriangle> posedTriangles() const;
    // Feeds the posed triangles into a collision shape and finishes it. Any shape
    // with addTriangle(Vector, Vector, Vector, int32_t) and finish() serves.
    template <class Shape> void buildCollisionShape(Shape& shape) const {
        for (const PosedTriangle& t : posedTriangles())
            shape.addTriangle(t.m_corners[0], t.m_corners[1], t.m_corners[2], t.m_boneId);
        shape.finish();
    }

    // The posed model-space position of a vertex (the stored one when unskinned).
    Vector posedVertex(int32_t vertexIndex) const;
    int32_t poseKey(int32_t joint, int32_t pose) const { return m_poseKeyTable[joint][pose]; }
    bool isLoaded() const { return m_loaded; }
    int32_t currentPose() const { return m_currentPose; }
    int32_t poseCount() const { return m_poseCount; }
    double totalTime() const { return m_totalTime; }
    int32_t shadowFrame() const { return m_shadowFrame; }
    int32_t shadowPeriod() const { return m_shadowPeriod; }
    bool outline() const { return m_outline; }
    bool hideSkinned() const { return m_hideSkinned; }
    Timer& timer() { return *m_timer; }
    ShadowBuilder& shadowVolume(int32_t index) { return *m_shadowVolumes[index]; }

    int32_t m_meshCount = 0;
    std::vector<ModelMesh> m_meshes;
    int32_t m_materialCount = 0;
    std::vector<ModelMaterial> m_materials;
    int32_t m_triangleCount = 0;
    std::vector<ModelTriangle> m_triangles;
    int32_t m_vertexCount = 0;
    std::vector<ModelVertex> m_vertices;
    int32_t m_jointCount = 0;
    std::vector<ModelJoint> m_joints;
    double m_totalTime = 0.0;

protected:
    // Poses joint j from its parent's m_final and a local key transform.
    void composeFinal(int32_t j, const Matrix& local);
    // Sends one corner in immediate mode (render/skinnedmodeldraw.cpp).
    void emitCorner(const ModelTriangle& triangle, int corner, bool withMaterial,
                    float recorded[3]) const;

    // The corners of every mesh, posed, as arrays for one draw per mesh.
    void fillCornerArrays();
    // Once per model: corners with the same vertex, normal and texture coordinates share
    // one slot of the arrays, so the GL lights each of them once, not once per triangle.
    void buildCornerSlots();

    // Per frame: every vertex posed once, then copied to the corners that use it.
    std::vector<float> m_posedPositions;
    std::vector<float> m_cornerPositions;
    std::vector<float> m_cornerNormals;
    std::vector<float> m_cornerTexCoords;
    // Per corner, in mesh order, its slot in the arrays above; per slot, the model vertex and
    // the unposed normal it carries.
    std::vector<uint32_t> m_cornerSlots;
    // Per mesh, its first and last slot: a mesh's slots lie together, so that each draw
    // sends and lights only its own.
    std::vector<std::array<uint32_t, 2>> m_meshSlots;
    std::vector<int32_t> m_slotVertices;
    std::vector<float> m_slotNormals;
    // Counts every change of a joint's posed transform; the arrays were filled at
    // m_arraysSerial.
    uint64_t m_poseSerial = 0;
    uint64_t m_arraysSerial = ~uint64_t(0);
    // Once per model: the vertex indices of every drawn triangle, for the outline's draw.
    std::vector<int32_t> m_outlineCorners;

    int32_t m_currentPose = 0;
    int32_t m_poseCount = 0;
    std::unique_ptr<Timer> m_timer;
    bool m_loop = true;
    double m_blendTime = 0.0;
    // Key index per joint and pose: translation keys, and rotation keys kept apart so
    // that joints whose two tracks have different times still pose correctly.
    int32_t m_poseKeyTable[MAX_MODEL_JOINTS][MAX_MODEL_POSES] = {};
    int32_t m_poseRotationKeyTable[MAX_MODEL_JOINTS][MAX_MODEL_POSES] = {};
    bool m_outline = false;
    std::unique_ptr<ShadowBuilder> m_shadowVolumes[2];
    int32_t m_shadowFrame = 0;
    int32_t m_shadowPeriod = 2;
    bool m_hideSkinned = false;
    bool m_loaded = false;
};
