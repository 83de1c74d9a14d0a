// The MS3D reader: layout, the texture-name rules, refusals of broken files, the
// committed fuzz corpus and every model the content generator writes.
#include "ms3dbuilder.h"

#include "models/ms3dmodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
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

bool parse(const std::vector<uint8_t>& bytes, ModelData& data, std::string& error,
           const std::string& prefix = "Data/") {
    return parseMs3d(bytes.data(), bytes.size(), prefix, data, error);
}

std::string parseError(const Ms3dBuilder& b) {
    ModelData data;
    std::string error;
    EXPECT_FALSE(parse(b.bytes(), data, error));
    return error;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

std::vector<std::string> listFiles(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

} // namespace

TEST(Ms3dLayout, ReadsEverySectionOfAValidFile) {
    ModelData data;
    std::string error;
    ASSERT_TRUE(parse(sampleModel().bytes(), data, error)) << error;
    EXPECT_EQ(data.m_vertices.size(), 8u);
    EXPECT_EQ(data.m_triangles.size(), 4u);
    EXPECT_EQ(data.m_meshes.size(), 2u);
    EXPECT_EQ(data.m_materials.size(), 1u);
    EXPECT_EQ(data.m_joints.size(), 2u);
    EXPECT_DOUBLE_EQ(data.m_totalTime, 300 * 1000.0 / 10.0);
    EXPECT_EQ(data.m_vertices[5].m_boneId, 1);
    EXPECT_FLOAT_EQ(data.m_vertices[6].m_position[1], 3.0f);
    EXPECT_EQ(data.m_triangles[3].m_vertexIndices[2], 7);
    EXPECT_EQ(data.m_meshes[1].m_triangleCount, 2);
    EXPECT_EQ(data.m_meshes[1].m_triangleIndices[1], 3);
    EXPECT_FLOAT_EQ(data.m_materials[0].m_diffuse[0], 0.8f);
    const ModelJoint& chest = data.m_joints[1];
    EXPECT_EQ(chest.m_parent, 0) << "the parent name matches ignoring case";
    ASSERT_EQ(chest.m_translationKeyCount, 3);
    EXPECT_FLOAT_EQ(chest.m_translationKeys[2].m_time, 200.0f);
    EXPECT_FLOAT_EQ(chest.m_translationKeys[2].m_parameter[0], 2.0f);
    EXPECT_EQ(chest.m_translationKeys[2].m_jointIndex, 1);
}

TEST(Ms3dLayout, FlipsTextureT) {
    ModelData data;
    std::string error;
    ASSERT_TRUE(parse(sampleModel().bytes(), data, error));
    EXPECT_FLOAT_EQ(data.m_triangles[0].m_t[1], 0.75f);
    EXPECT_FLOAT_EQ(data.m_triangles[0].m_t[2], 0.0f);
}

TEST(Ms3dLayout, VersionThreeAndAboveLoadOlderAreRefused) {
    Ms3dBuilder b = sampleModel();
    ModelData data;
    std::string error;
    b.version = 4;
    EXPECT_TRUE(parse(b.bytes(), data, error));
    b.version = 3;
    EXPECT_TRUE(parse(b.bytes(), data, error));
    b.version = 2;
    EXPECT_EQ(parseError(b), "I know nothing about MS3D v1.2");
}

TEST(Ms3dLayout, WrongIdentifierIsNotAnMs3dFile) {
    Ms3dBuilder b = sampleModel();
    b.identifier = "MS3D000001";
    EXPECT_EQ(parseError(b), "Not an MS3D file.");
    ModelData data;
    std::string error;
    EXPECT_FALSE(parseMs3d(nullptr, 0, "", data, error));
    EXPECT_EQ(error, "Not an MS3D file.");
}

TEST(Ms3dLayout, AJointWithoutKeysLoads) {
    Ms3dBuilder b = sampleModel();
    b.joints[1].rotationKeys.clear();
    b.joints[1].translationKeys.clear();
    ModelData data;
    std::string error;
    ASSERT_TRUE(parse(b.bytes(), data, error)) << error;
    EXPECT_EQ(data.m_joints[1].m_rotationKeyCount, 0);
    EXPECT_TRUE(data.m_joints[1].m_translationKeys.empty());
}

TEST(Ms3dTextureNames, DirectoryPrefix) {
    EXPECT_EQ(ms3dDirectoryPrefix("Data/tarvo_moviestar.ms3d"), "Data/");
    EXPECT_EQ(ms3dDirectoryPrefix("a/b\\model.ms3d"), "a/b/");
    EXPECT_EQ(ms3dDirectoryPrefix("model.ms3d"), "");
    EXPECT_EQ(ms3dDirectoryPrefix("/model.ms3d"), "") << "index 0 is never looked at";
    EXPECT_EQ(ms3dDirectoryPrefix(""), "");
}

TEST(Ms3dTextureNames, DotBackslashNamesAreRelativeToTheModel) {
    EXPECT_EQ(ms3dTextureFile(ms3dDirectoryPrefix("Data/tarvo_moviestar.ms3d"), ".\\skin.bmp"),
              "Data/skin.bmp");
    EXPECT_EQ(ms3dTextureFile(ms3dDirectoryPrefix("model.ms3d"), ".\\skin.bmp"), "skin.bmp");
    EXPECT_EQ(ms3dTextureFile(ms3dDirectoryPrefix("/model.ms3d"), ".\\skin.bmp"), "skin.bmp");
    EXPECT_EQ(ms3dTextureFile("Data/", "Other/skin.bmp"), "Other/skin.bmp");
    EXPECT_EQ(ms3dTextureFile("Data/", "./skin.bmp"), "./skin.bmp");
    EXPECT_EQ(ms3dTextureFile("Data/", ""), "");

    Ms3dBuilder b = sampleModel();
    ModelData data;
    std::string error;
    ASSERT_TRUE(parse(b.bytes(), data, error, "Data/"));
    EXPECT_EQ(data.m_materials[0].m_textureFile, "Data/skin.bmp");
}

TEST(Ms3dTextureNames, UnterminatedNameIsCutAtItsField) {
    Ms3dBuilder b = sampleModel();
    b.materials[0].texture = std::string(200, 'x');
    ModelData data;
    std::string error;
    ASSERT_TRUE(parse(b.bytes(), data, error));
    EXPECT_EQ(data.m_materials[0].m_textureFile, std::string(128, 'x'));
}

TEST(Ms3dRefusals, EveryTruncationIsRefusedWithAMessage) {
    std::vector<uint8_t> whole = sampleModel().bytes();
    for (size_t n = 0; n < whole.size(); ++n) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
        ModelData data;
        std::string error;
        EXPECT_FALSE(parse(cut, data, error)) << "accepted " << n << " of " << whole.size();
        EXPECT_FALSE(error.empty());
    }
    ModelData data;
    std::string error;
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + 20);
    parse(cut, data, error);
    EXPECT_EQ(error, "The MS3D file ends inside its vertex section.");
}

TEST(Ms3dRefusals, IndicesOutsideTheirArrays) {
    Ms3dBuilder b = sampleModel();
    b.triangles[1].vertices[2] = 8;
    EXPECT_EQ(parseError(b), "An MS3D triangle names a vertex that does not exist.");

    b = sampleModel();
    b.groups[0].triangles[0] = 4;
    EXPECT_EQ(parseError(b), "An MS3D group names a triangle that does not exist.");
}

TEST(Ms3dRefusals, UnknownMaterialsAndBonesMeanNone) {
    Ms3dBuilder b = sampleModel();
    b.groups[0].material = int8_t(255); // the file's way of saying none
    b.groups[1].material = 1;           // there is only material 0
    b.vertices[0].bone = 2;             // there are only joints 0 and 1
    b.vertices[1].bone = -7;
    ModelData data;
    std::string error;
    ASSERT_TRUE(parse(b.bytes(), data, error)) << error;
    EXPECT_EQ(data.m_meshes[0].m_materialIndex, -1);
    EXPECT_EQ(data.m_meshes[1].m_materialIndex, -1);
    EXPECT_EQ(data.m_vertices[0].m_boneId, -1);
    EXPECT_EQ(data.m_vertices[1].m_boneId, -1);
    EXPECT_EQ(data.m_vertices[4].m_boneId, 1);
}

TEST(Ms3dRefusals, ParentBones) {
    Ms3dBuilder b = sampleModel();
    b.joints[1].parent = "Pelvis";
    EXPECT_EQ(parseError(b), "Unable to find parent bone in MS3D file");

    b = sampleModel();
    b.joints[0].parent = "Chest"; // a parent after its child could not be posed first
    EXPECT_EQ(parseError(b), "An MS3D joint's parent bone comes after it in the file.");

    b = sampleModel();
    b.joints[1].parent = "Chest";
    EXPECT_FALSE(parseError(b).empty()) << "a joint is not its own parent";
}

TEST(Ms3dRefusals, KeyTimesMustBeNumbers) {
    Ms3dBuilder b = sampleModel();
    b.joints[1].rotationKeys[1].seconds = std::nanf("");
    EXPECT_EQ(parseError(b), "An MS3D joint key has no valid time.");
}

TEST(Ms3dRefusals, AtMostThirtyJoints) {
    Ms3dBuilder b = sampleModel();
    b.joints.clear();
    for (int i = 0; i < 30; ++i)
        b.joints.push_back(Ms3dBuilder::keyedJoint("j" + std::to_string(i), "", {0, 100}));
    ModelData data;
    std::string error;
    EXPECT_TRUE(parse(b.bytes(), data, error)) << error;
    b.joints.push_back(Ms3dBuilder::keyedJoint("j30", "", {0, 100}));
    EXPECT_EQ(parseError(b), "The MS3D file has 31 joints; at most 30 are supported.");
}

TEST(Ms3dRefusals, AtMostThirtyDistinctKeyTimes) {
    Ms3dBuilder b = sampleModel();
    std::vector<float> times;
    for (int i = 0; i < 30; ++i)
        times.push_back(float(i * 50));
    b.joints[0] = Ms3dBuilder::keyedJoint("Hips", "", times);
    ModelData data;
    std::string error;
    EXPECT_TRUE(parse(b.bytes(), data, error)) << error;
    // One more time on another joint makes 31 poses.
    b.joints[1].translationKeys.push_back({1.525f, {0, 0, 0}});
    EXPECT_NE(parseError(b).find("more than 30 distinct key times"), std::string::npos);
    // A track that does not start at 0 still counts time 0 as a pose.
    b = sampleModel();
    times.assign(30, 0.0f);
    for (int i = 0; i < 30; ++i)
        times[i] = float(50 + i * 50);
    b.joints[0] = Ms3dBuilder::keyedJoint("Hips", "", times);
    EXPECT_FALSE(parseError(b).empty());
}

TEST(Ms3dLoading, MissingFileIsReportedOnStandardError) {
    Ms3dModel model;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.loadModel("/nonexistent/Data/none.ms3d"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Couldn't open the model file.\n");
    EXPECT_FALSE(model.isLoaded());
}

TEST(Ms3dLoading, BrokenFileLeavesTheModelEmpty) {
    std::string path = std::string(TARVO_ARTIFACT_DIR) + "/broken_test.ms3d";
    std::filesystem::create_directories(TARVO_ARTIFACT_DIR);
    Ms3dBuilder b = sampleModel();
    b.version = 2;
    std::vector<uint8_t> bytes = b.bytes();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    Ms3dModel model;
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
    std::vector<std::string> names = listFiles(dir, ".ms3d");
    ASSERT_GE(names.size(), 10u) << "corpus missing in " << dir;
    int accepted = 0;
    for (const std::string& name : names) {
        std::vector<uint8_t> bytes = readFile(dir + "/" + name);
        ModelData data;
        std::string error;
        bool ok = parse(bytes, data, error);
        if (name.rfind("valid", 0) == 0) {
            EXPECT_TRUE(ok) << name << ": " << error;
        }
        if (name.rfind("truncated", 0) == 0) {
            EXPECT_FALSE(ok) << name;
        }
        if (ok) {
            ++accepted;
            Ms3dModel model;
            model.adopt(std::move(data), false);
            for (int32_t p = 0; p < model.poseCount(); ++p)
                model.blendToPose(p, 0.0);
            size_t drawn = 0;
            for (const ModelMesh& mesh : model.m_meshes)
                drawn += mesh.m_triangleIndices.size();
            EXPECT_EQ(model.posedTriangles().size(), drawn) << name;
        } else {
            EXPECT_FALSE(error.empty()) << name;
        }
    }
    EXPECT_GT(accepted, 0);
}

// Writes the corpus when TARVO_WRITE_MS3D_CORPUS names a folder (a maintenance step,
// not part of a normal run).
TEST(Ms3dCorpus, WriteCorpusOnRequest) {
    const char* dir = std::getenv("TARVO_WRITE_MS3D_CORPUS");
    if (!dir)
        GTEST_SKIP() << "set TARVO_WRITE_MS3D_CORPUS to write the corpus";
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(std::string(dir) + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    std::vector<uint8_t> sample = sampleModel().bytes();
    write("valid_sample.ms3d", sample);
    Ms3dBuilder still;
    still.addQuad(0, 0, 0, 2, -1, -1);
    write("valid_static.ms3d", still.bytes());
    Ms3dBuilder chain = sampleModel();
    chain.joints.push_back(Ms3dBuilder::keyedJoint("Hand", "CHEST", {0, 50, 100, 150, 200}));
    chain.addQuad(1, 1, 1, 1, 2, 0);
    write("valid_chain.ms3d", chain.bytes());
    Ms3dBuilder bare;
    write("valid_empty.ms3d", bare.bytes());
    // Cut at the end of each section and in the middle of records.
    for (size_t n :
         {size_t(5), size_t(12), size_t(15), size_t(60), size_t(130), size_t(300), size_t(420),
          size_t(700), size_t(900), sample.size() - 20, sample.size() - 1}) {
        if (n < sample.size())
            write("truncated_" + std::to_string(n) + ".ms3d",
                  std::vector<uint8_t>(sample.begin(), sample.begin() + n));
    }
    // Bit flips at fixed places (counts, indices, key counts), reproducible.
    std::vector<uint8_t> chainBytes = chain.bytes();
    unsigned state = 12345;
    for (int i = 0; i < 24; ++i) {
        std::vector<uint8_t> flipped = chainBytes;
        state = state * 1103515245u + 12345u;
        size_t at = (state >> 8) % flipped.size();
        flipped[at] ^= uint8_t(1u << ((state >> 4) % 8));
        write("flipped_" + std::to_string(i) + ".ms3d", flipped);
    }
    std::vector<uint8_t> counts = sample;
    counts[14] = 0xFF; // vertex count 0x..FF
    counts[15] = 0xFF;
    write("flipped_vertexcount.ms3d", counts);
}

// Every model the content generator writes loads with the reader.
TEST(Ms3dGeneratedModels, EveryGeneratedModelLoads) {
    std::string dir = std::string(TARVO_GAME_DIR) + "/Data";
    std::vector<std::string> names = listFiles(dir, ".ms3d");
    if (names.empty())
        GTEST_SKIP() << "no generated models in " << dir;
    for (const std::string& name : names) {
        std::string path = dir + "/" + name;
        Ms3dModel model;
        EXPECT_TRUE(model.loadModelFile(path.c_str(), false)) << name;
        EXPECT_GT(model.m_triangleCount, 0) << name;
        for (const ModelMaterial& material : model.m_materials) {
            if (material.m_textureFile.empty())
                continue;
            // The reader prefixes the model's own directory, which is absolute here.
            std::string texture = material.m_textureFile[0] == '/'
                                      ? material.m_textureFile
                                      : std::string(TARVO_GAME_DIR) + "/" + material.m_textureFile;
            EXPECT_TRUE(std::ifstream(texture).good())
                << name << " names a missing texture " << material.m_textureFile;
        }
    }
}

// The poses the game asks of its animated models exist.
TEST(Ms3dGeneratedModels, AnimatedModelsHaveTheirPoses) {
    struct Expect {
        const char* file;
        int32_t poses;
    };
    int checked = 0;
    for (Expect e : {Expect{"Data/tarvo.ms3d", 27}, Expect{"Data/enemy.ms3d", 16},
                     Expect{"Data/boss.ms3d", 16}}) {
        std::string path = std::string(TARVO_GAME_DIR) + "/" + e.file;
        if (!std::ifstream(path).good())
            continue;
        Ms3dModel model;
        ASSERT_TRUE(model.loadModelFile(path.c_str(), false)) << e.file;
        EXPECT_GE(model.poseCount(), e.poses) << e.file;
        EXPECT_GE(model.m_jointCount, 9) << e.file;
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "no generated models";
}
