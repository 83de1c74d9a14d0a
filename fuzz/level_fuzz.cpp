// libFuzzer target: the level reader over arbitrary text, then the data layer's record
// loading on whatever it accepted (grid placement, footprints, water marking).
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    LevelFile level;
    try {
        level = readLevelText(text);
    } catch (const LevelFileError&) {
        return 0;
    }
    QRVDataLayer layer;
    layer.loadRecords(level, [](int x, int z) { return (x * 7 + z * 3) % 120; });
    return 0;
}
