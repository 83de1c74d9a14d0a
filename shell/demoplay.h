// Recording and replaying demos from the game's side: the checkpoint of the state that
// matters, the hash of the content a demo belongs to, and the checks a demo must pass
// before it is replayed.
#pragma once

#include "platform/demofile.h"

#include <string>

// The game's version as written into demos and printed by --version.
extern const char* const GAME_VERSION;

// Hero, creatures, villagers, boss and the gems on the ground, hashed; a few values plain.
void TakeGameCheckpoint(DemoCheckpoint& checkpoint);

// A hash of the content that decides play (the level, the models, the land's heights), read
// from the working directory.
uint64_t GameContentHash();

// Both open the demo (and check it, for a replay) before the window exists; false with one
// line in `error`.
bool StartDemoRecording(const std::string& path, std::string& error);
bool StartDemoReplay(const std::string& path, std::string& error);
// The checks a replay makes of a demo read whole: its version and content.
bool CheckDemoForReplay(const Demo& demo, uint64_t contentHash, std::string& error);
