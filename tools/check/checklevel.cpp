#include "checks.h"

#include "level/levelfile.h"

#include <cstdio>

// Parses and validates a level without GL or model files.
int checkLevel(const char* file) {
    try {
        LevelFile level = ReadLevelFile(file);
        size_t flocks = 0;
        bool seen[kMaxFlocks] = {};
        for (const LevelEnemy& e : level.enemies)
            if (e.aiType == LevelAiType::Flock && !seen[e.flockNum]) {
                seen[e.flockNum] = true;
                ++flocks;
            }
        std::printf("static objects: %zu\ncharacters: %zu\nenemies: %zu\nflocks: %zu\n",
                    level.statics.size(), level.npcs.size(), level.enemies.size(), flocks);
        return 0;
    } catch (const LevelFileError& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}
