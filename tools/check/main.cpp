// tarvo-check: lets content makers test a file with the game's own loaders.
#include "checks.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 3) {
        if (std::strcmp(argv[1], "bmp") == 0)
            return checkBmp(argv[2]);
        if (std::strcmp(argv[1], "level") == 0)
            return checkLevel(argv[2], ".");
        if (std::strcmp(argv[1], "ms3d") == 0)
            return checkMs3d(argv[2]);
    }
    if (argc == 4 && std::strcmp(argv[1], "level") == 0)
        return checkLevel(argv[2], argv[3]);
    std::fprintf(stderr, "usage: tarvo-check bmp|ms3d FILE, or tarvo-check level FILE [GAMEDIR]\n");
    return 2;
}
