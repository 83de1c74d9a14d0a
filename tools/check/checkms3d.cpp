// tarvo-check ms3d FILE: reads the model with the game's own reader (no textures are
// uploaded) and prints its counts, its animation length and its pose count, or the
// reader's message.
#include "checks.h"

#include "models/ms3dmodel.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int checkMs3d(const char* file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: Couldn't open the model file.\n", file);
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    ModelData data;
    std::string error;
    if (!parseMs3d(bytes.data(), bytes.size(), ms3dDirectoryPrefix(file), data, error)) {
        std::fprintf(stderr, "%s: %s\n", file, error.c_str());
        return 1;
    }
    Ms3dModel model;
    model.adopt(std::move(data), false);
    std::printf("%s: %d vertices, %d triangles, %d groups, %d materials, %d joints, "
                "%.1f ms of animation, %d poses\n",
                file, model.m_vertexCount, model.m_triangleCount, model.m_meshCount,
                model.m_materialCount, model.m_jointCount, model.m_totalTime, model.poseCount());
    for (const ModelMaterial& material : model.m_materials) {
        if (!material.m_textureFile.empty())
            std::printf("  texture %s\n", material.m_textureFile.c_str());
    }
    return 0;
}
