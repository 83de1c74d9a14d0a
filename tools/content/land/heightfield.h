// The land: a river winding through a wide valley, meadows, gentle hills, a hill top,
// a ford, a village clearing, a boss arena and a rim of high ground. Heights are one
// byte per world unit over 2048 by 2048 (index x + z * 2048).
#pragma once

#include <cstdint>
#include <vector>

namespace land {

constexpr int SIZE = 2048;

struct Landmarks {
    float villageX = 420.0f, villageZ = 560.0f;
    float arenaX = 1650.0f, arenaZ = 1550.0f;
    float hillX = 560.0f, hillZ = 1500.0f;
    float fordZ = 1000.0f;
};

// Where the river runs at depth z (its centre line).
float riverX(float z);
std::vector<uint8_t> buildHeights(const Landmarks& marks);
// Smooth value noise in 0..1, deterministic.
float noise2(float x, float z, uint32_t seed);

} // namespace land
