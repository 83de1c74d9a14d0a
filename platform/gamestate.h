// The game state: what each frame runs. The shell's frame machine runs it; below the
// shell, the input maps the pads' buttons by it and the hero's fall and the boss's end
// change it, so it sits at the bottom where every layer may read it.
#pragma once

#include <cstdint>

enum GameStateValue : int32_t {
    STATE_TITLE = 0,
    STATE_PLAY = 1,
    STATE_NONE = 2,
    STATE_INTRO1 = 3,
    STATE_INTRO2 = 4,
    STATE_CONVERSATION = 5,
    STATE_GAME_OVER = 6,
    STATE_CREDITS = 7,
};
using GameState = int32_t;

// Defined with the game context (shell/gamecontext.cpp).
extern GameState g_gameState;
