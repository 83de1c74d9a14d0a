#include "platform/random.h"

namespace {
unsigned int s_state = 1;
}

void gameSrand(unsigned int seed) { s_state = seed; }

int gameRand() {
    s_state = s_state * 214013u + 2531011u;
    return static_cast<int>((s_state >> 16) & 0x7FFF);
}

unsigned int gameRandState() { return s_state; }
