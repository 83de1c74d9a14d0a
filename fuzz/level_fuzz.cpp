// libFuzzer target: the level reader over arbitrary text, then the data layer's record
// loading on whatever it accepted (grid placement, footprints, water marking). Every real
// the reader hands on must be finite and the world within its bounds.
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
void expectFinite(float x, float z = 0.0f) {
    if (!std::isfinite(x) || !std::isfinite(z))
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    expectFinite(parseLevelReal(text.c_str()));
    LevelFile level;
    try {
        level = readLevelText(text);
    } catch (const LevelFileError&) {
        return 0;
    }
    if (level.hasTerrain && !(level.worldWidth > 0.0f && level.worldWidth <= LEVEL_MAX_WORLD_SIZE &&
                              level.worldDepth > 0.0f && level.worldDepth <= LEVEL_MAX_WORLD_SIZE &&
                              level.worldStart >= 0.0f && level.worldStart <= LEVEL_MAX_WORLD_SIZE))
        std::abort();
    expectFinite(level.playerX, level.playerZ);
    expectFinite(level.bossX, level.bossZ);
    for (const LevelStatic& st : level.statics) {
        expectFinite(st.x, st.z);
        expectFinite(st.headingX, st.headingZ);
    }
    for (const LevelNpc& c : level.npcs) {
        expectFinite(c.x, c.z);
        for (const LevelPoint& p : c.path)
            expectFinite(p.x, p.z);
    }
    for (const LevelEnemy& e : level.enemies) {
        expectFinite(e.x, e.z);
        for (const LevelPoint& p : e.path)
            expectFinite(p.x, p.z);
    }
    QRVDataLayer layer;
    layer.loadRecords(level, [](int x, int z) { return (x * 7 + z * 3) % 120; });
    return 0;
}
