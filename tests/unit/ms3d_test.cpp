// The MS3D reader: layout, the texture-name rules, refusals of broken files and the
// committed fuzz corpus (the generated models are read in tests/content/models_test.cpp).
#include "ms3dbuilder.h"

#include "models/ms3dmodel.h"
#include "support/bmpwriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Two quads on two joints, one textured material, keys at 0, 100 and 200 ms.
Ms3dBuilder sampleModel() {
    Ms3dBuilder b;
    b.materials.push_back(Ms3dBuilder::plainMaterial(".\\skin.bmp"));
    b.addQuad(0, 0, 0, 1, 0, 0);
    b.addQuad(0, 2, 0, 1, 1, -1);
    b.triangles[0].t[1] = 0.25f;
    b.totalFrames = 300;
    b.fps = 10.0f;
    b.joints.push_back(Ms3dBuilder::keyedJoint("Hips", "", {0, 100, 200}));
    b.joints.push_back(Ms3dBuilder::keyedJoint("Chest", "hips", {0, 100, 200}));
    return b;
}

bool parse(const std::vector<uint8_t>& bytes, ModelData& data, std::string& error) {
    return parseMs3d(bytes.data(), bytes.size(), "Data/", data, error);
}

// Parses a file that must load.
ModelData parsed(const Ms3dBuilder& b) {
    ModelData data;
    std::string error;
    EXPECT_TRUE(parse(b.bytes(), data, error)) << error;
    return data;
}

std::string parseError(const Ms3dBuilder& b) {
    ModelData data;
    std::string error;
    EXPECT_FALSE(parse(b.bytes(), data, error));
    return error;
}

std::vector<std::string> listModels(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.path().extension() == ".ms3d")
            names.push_back(e.path().filename().string());
    return names;
}

} // namespace

TEST(Ms3dLayout, ReadsEverySectionOfAValidFile) {
    ModelData data = parsed(sampleModel());
    ASSERT_EQ(data.m_vertices.size(), 8u);
    ASSERT_EQ(data.m_triangles.size(), 4u);
    ASSERT_EQ(data.m_meshes.size(), 2u);
    ASSERT_EQ(data.m_materials.size(), 1u);
    ASSERT_EQ(data.m_joints.size(), 2u);
    EXPECT_DOUBLE_EQ(data.m_totalTime, 300 * 1000.0 / 10.0);
    EXPECT_EQ(data.m_vertices[5].m_boneId, 1);
    EXPECT_FLOAT_EQ(data.m_vertices[6].m_position[1], 3.0f);
    EXPECT_EQ(data.m_triangles[3].m_vertexIndices[2], 7);
    EXPECT_FLOAT_EQ(data.m_triangles[0].m_t[1], 0.75f) << "texture t is flipped";
    EXPECT_FLOAT_EQ(data.m_triangles[0].m_t[2], 0.0f);
    EXPECT_EQ(data.m_meshes[1].m_triangleCount, 2);
    EXPECT_EQ(data.m_meshes[1].m_triangleIndices[1], 3);
    EXPECT_FLOAT_EQ(data.m_materials[0].m_diffuse[0], 0.8f);
    EXPECT_EQ(data.m_materials[0].m_textureFile, "Data/skin.bmp");
    const ModelJoint& chest = data.m_joints[1];
    EXPECT_EQ(chest.m_parent, 0) << "the parent name matches ignoring case";
    ASSERT_EQ(chest.m_translationKeyCount, 3);
    EXPECT_FLOAT_EQ(chest.m_translationKeys[2].m_time, 200.0f);
    EXPECT_FLOAT_EQ(chest.m_translationKeys[2].m_parameter[0], 2.0f);
    EXPECT_EQ(chest.m_translationKeys[2].m_jointIndex, 1);

    Ms3dBuilder b = sampleModel();
    b.joints[1].rotationKeys.clear();
    b.joints[1].translationKeys.clear();
    b.materials[0].texture = std::string(200, 'x');
    b.version = 3;
    data = parsed(b);
    ASSERT_EQ(data.m_joints.size(), 2u);
    EXPECT_EQ(data.m_joints[1].m_rotationKeyCount, 0) << "a joint without keys loads";
    EXPECT_TRUE(data.m_joints[1].m_translationKeys.empty());
    ASSERT_EQ(data.m_materials.size(), 1u);
    EXPECT_EQ(data.m_materials[0].m_textureFile, std::string(128, 'x'))
        << "an unterminated name is cut at its field";
}

TEST(Ms3dTextureNames, DotBackslashNamesAreRelativeToTheModel) {
    const struct {
        const char* model;
        const char* prefix;
    } prefixes[] = {{"Data/tarvo_moviestar.ms3d", "Data/"},
                    {"a/b\\model.ms3d", "a/b/"},
                    {"model.ms3d", ""},
                    {"/model.ms3d", ""}, // index 0 is never looked at
                    {"", ""}};
    for (const auto& p : prefixes)
        EXPECT_EQ(ms3dDirectoryPrefix(p.model), p.prefix) << p.model;
    EXPECT_EQ(ms3dTextureFile("Data/", ".\\skin.bmp"), "Data/skin.bmp");
    EXPECT_EQ(ms3dTextureFile("", ".\\skin.bmp"), "skin.bmp");
    EXPECT_EQ(ms3dTextureFile("Data/", "Other/skin.bmp"), "Other/skin.bmp");
    EXPECT_EQ(ms3dTextureFile("Data/", "./skin.bmp"), "./skin.bmp");
    EXPECT_EQ(ms3dTextureFile("Data/", ""), "");
}

TEST(Ms3dRefusals, EveryTruncationIsRefusedWithAMessage) {
    std::vector<uint8_t> whole = sampleModel().bytes();
    for (size_t n = 0; n < whole.size(); ++n) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
        ModelData data;
        std::string error;
        EXPECT_FALSE(parse(cut, data, error)) << "accepted " << n << " of " << whole.size();
        EXPECT_FALSE(error.empty());
        if (n == 20) {
            EXPECT_EQ(error, "The MS3D file ends inside its vertex section.");
        }
    }
    ModelData data;
    std::string error;
    EXPECT_FALSE(parseMs3d(nullptr, 0, "", data, error));
    EXPECT_EQ(error, "Not an MS3D file.");
}

TEST(Ms3dRefusals, BrokenFieldsNameTheirFault) {
    const struct {
        std::function<void(Ms3dBuilder&)> breakIt;
        const char* error; // empty: any message
    } cases[] = {
        {[](Ms3dBuilder& b) { b.identifier = "MS3D000001"; }, "Not an MS3D file."},
        {[](Ms3dBuilder& b) { b.version = 2; }, "I know nothing about MS3D v1.2"},
        {[](Ms3dBuilder& b) { b.triangles[1].vertices[2] = 8; },
         "An MS3D triangle names a vertex that does not exist."},
        {[](Ms3dBuilder& b) { b.groups[0].triangles[0] = 4; },
         "An MS3D group names a triangle that does not exist."},
        {[](Ms3dBuilder& b) { b.joints[1].parent = "Pelvis"; },
         "Unable to find parent bone in MS3D file"},
        // A parent after its child could not be posed first.
        {[](Ms3dBuilder& b) { b.joints[0].parent = "Chest"; },
         "An MS3D joint's parent bone comes after it in the file."},
        {[](Ms3dBuilder& b) { b.joints[1].parent = "Chest"; }, ""}, // its own parent
        {[](Ms3dBuilder& b) { b.joints[1].rotationKeys[1].seconds = std::nanf(""); },
         "An MS3D joint key has no valid time."},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Ms3dBuilder b = sampleModel();
        cases[i].breakIt(b);
        std::string error = parseError(b);
        if (*cases[i].error)
            EXPECT_EQ(error, cases[i].error) << "case " << i;
        else
            EXPECT_FALSE(error.empty()) << "case " << i;
    }
}

TEST(Ms3dRefusals, UnknownMaterialsAndBonesMeanNone) {
    Ms3dBuilder b = sampleModel();
    b.groups[0].material = int8_t(255); // the file's way of saying none
    b.groups[1].material = 1;           // there is only material 0
    b.vertices[0].bone = 2;             // there are only joints 0 and 1
    b.vertices[1].bone = -7;
    ModelData data = parsed(b);
    ASSERT_EQ(data.m_meshes.size(), 2u);
    ASSERT_EQ(data.m_vertices.size(), 8u);
    EXPECT_EQ(data.m_meshes[0].m_materialIndex, -1);
    EXPECT_EQ(data.m_meshes[1].m_materialIndex, -1);
    EXPECT_EQ(data.m_vertices[0].m_boneId, -1);
    EXPECT_EQ(data.m_vertices[1].m_boneId, -1);
    EXPECT_EQ(data.m_vertices[4].m_boneId, 1);
}

TEST(Ms3dRefusals, AtMostThirtyJointsAndThirtyDistinctKeyTimes) {
    Ms3dBuilder b = sampleModel();
    b.joints.clear();
    for (int i = 0; i < 30; ++i)
        b.joints.push_back(Ms3dBuilder::keyedJoint("j" + std::to_string(i), "", {0, 100}));
    parsed(b);
    b.joints.push_back(Ms3dBuilder::keyedJoint("j30", "", {0, 100}));
    EXPECT_EQ(parseError(b), "The MS3D file has 31 joints; at most 30 are supported.");

    b = sampleModel();
    std::vector<float> times;
    for (int i = 0; i < 30; ++i)
        times.push_back(float(i * 50));
    b.joints[0] = Ms3dBuilder::keyedJoint("Hips", "", times);
    parsed(b);
    // One more time on another joint makes 31 poses.
    b.joints[1].translationKeys.push_back({1.525f, {0, 0, 0}});
    EXPECT_NE(parseError(b).find("more than 30 distinct key times"), std::string::npos);
    // A track that does not start at 0 still counts time 0 as a pose.
    b = sampleModel();
    for (float& t : times)
        t += 50;
    b.joints[0] = Ms3dBuilder::keyedJoint("Hips", "", times);
    EXPECT_FALSE(parseError(b).empty());
}

TEST(Ms3dLoading, MissingOrBrokenFilesAreReportedAndLeaveTheModelEmpty) {
    Ms3dModel model;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.loadModel("/nonexistent/Data/none.ms3d"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Couldn't open the model file.\n");
    EXPECT_FALSE(model.isLoaded());

    std::string path = std::string(TARVO_ARTIFACT_DIR) + "/broken_test.ms3d";
    std::filesystem::create_directories(TARVO_ARTIFACT_DIR);
    Ms3dBuilder b = sampleModel();
    b.version = 2;
    WriteBytes(path, b.bytes());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.loadModelFile(path.c_str(), false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "I know nothing about MS3D v1.2\n");
    EXPECT_EQ(model.m_vertexCount, 0);
    EXPECT_EQ(model.m_meshCount, 0);
}

// The committed corpus holds valid, truncated and bit-flipped models; the reader must
// take every one without reading out of bounds (run this under AddressSanitizer) and
// must accept the valid ones.
TEST(Ms3dCorpus, EveryCorpusFileIsReadSafely) {
    std::string dir = std::string(TARVO_SOURCE_DIR) + "/fuzz/corpus/ms3d";
    std::vector<std::string> names = listModels(dir);
    ASSERT_GE(names.size(), 10u) << "corpus missing in " << dir;
    int accepted = 0;
    for (const std::string& name : names) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        ModelData data;
        std::string error;
        bool ok = parse(bytes, data, error);
        if (name.rfind("valid", 0) == 0) {
            EXPECT_TRUE(ok) << name << ": " << error;
        }
        if (name.rfind("truncated", 0) == 0) {
            EXPECT_FALSE(ok) << name;
        }
        if (!ok) {
            EXPECT_FALSE(error.empty()) << name;
            continue;
        }
        ++accepted;
        Ms3dModel model;
        model.adopt(std::move(data), false);
        for (int32_t p = 0; p < model.poseCount(); ++p)
            model.blendToPose(p, 0.0);
        size_t drawn = 0;
        for (const ModelMesh& mesh : model.m_meshes)
            drawn += mesh.m_triangleIndices.size();
        EXPECT_EQ(model.posedTriangles().size(), drawn) << name;
    }
    EXPECT_GT(accepted, 0);
}
