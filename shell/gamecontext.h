// The global game context: the objects and values through which the subsystems find each
// other. Each object's global is declared beside its class (g_hero in objects/player.h,
// g_terrain in world/terrain.h, the game state in platform/gamestate.h) and all are
// defined in gamecontext.cpp. Pointers are null until created; the level release
// (ReleaseLevel) destroys the level's objects in a fixed order and nulls them. What stays
// here belongs to the shell's screens alone.
#pragma once

#include "platform/gamestate.h"

#include <cstdint>

extern int32_t g_startCountdown;
extern float g_titleGlow;
