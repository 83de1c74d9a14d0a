// The game's one process-wide random generator: the classic linear congruential
// generator with values 0 to 32767, so that sequences match on every platform.
#pragma once

constexpr int GAME_RAND_MAX = 32767;

void gameSrand(unsigned int seed);
int gameRand();
// The generator's state, which a demo keeps so that its replay draws the same numbers.
unsigned int gameRandState();
