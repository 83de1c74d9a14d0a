// tarvo-check: lets content makers test a file with the game's own loaders.
#include "checks.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 3) {
        if (std::strcmp(argv[1], "bmp") == 0)
            return checkBmp(argv[2]);
        if (std::strcmp(argv[1], "level") == 0)
            return checkLevel(argv[2]);
        if (std::strcmp(argv[1], "ms3d") == 0)
            return checkMs3d(argv[2]);
    }
    std::fprintf(stderr, "usage: tarvo-check bmp|level|ms3d FILE\n");
    return 2;
}
