// tarvo-content: writes the game's whole working directory.
#include "generators.h"
#include "common/output.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvo-content OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string root = argv[1];
    try {
        std::filesystem::create_directories(root);
        generateLand(root);
        generateModels(root);
        generateSounds(root);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvo-content: %s\n", e.what());
        return 1;
    }
    return 0;
}
