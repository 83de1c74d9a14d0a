#include "checks.h"

#include <cstdio>

int checkMs3d(const char*) {
    std::fprintf(stderr, "tarvo-check: ms3d files cannot be checked yet\n");
    return 1;
}
