#include "checks.h"

#include "level/levelfile.h"

#include <cstdio>

int checkLevel(const char* file) {
    try {
        LevelFile level = readLevelFile(file);
        std::printf("static objects: %zu\ncharacters: %zu\nenemies: %zu\nflocks: %d\n",
                    level.statics.size(), level.npcs.size(), level.enemies.size(),
                    level.flockCount());
        return 0;
    } catch (const LevelFileError& e) {
        std::printf("%s", e.what());
        return 1;
    }
}
