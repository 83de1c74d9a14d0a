// tarvo-content: writes the game's whole working directory, or with --icon the desktop icon,
// or with --voices only the spoken lines (quick to check that they come out the same).
#include "common/output.h"
#include "generators.h"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <locale>
#include <unistd.h>

int main(int argc, char** argv) {
    // The numbers in the level file and the music's notes are written and read the C way,
    // whatever the locale of the person building.
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
    try {
        if (argc == 3 && std::strcmp(argv[1], "--icon") == 0) {
            generateIcon(argv[2], 128);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "--voices") == 0) {
            std::filesystem::create_directories(argv[2]);
            generateVoices(argv[2]);
            return 0;
        }
        if (argc != 2 || argv[1][0] == '-') {
            std::fprintf(stderr, "usage: tarvo-content OUTPUT_DIRECTORY\n"
                                 "       tarvo-content --icon FILE.png\n"
                                 "       tarvo-content --voices OUTPUT_DIRECTORY\n");
            return 2;
        }
        const std::string root = argv[1];
        const auto start = std::chrono::steady_clock::now();
        std::filesystem::create_directories(root);
        generateLand(root);
        generateModels(root);
        content::beginStage("sounds", 0);
        generateSounds(root);
        if (isatty(STDERR_FILENO)) {
            const double s =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::fprintf(stderr, "tarvo-content: wrote %lld files, %.1f MB, in %.1f s\n",
                         static_cast<long long>(content::filesWritten()),
                         content::bytesWritten() / 1048576.0, s);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvo-content: %s\n", e.what());
        return 1;
    }
    return 0;
}
