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

// Frame times of a replay (--frame-times): each replayed frame's wall time is noted, and the
// summary gives the median, the 99th percentile and the worst frames of play after the
// level's first second, with what each worst frame did that the others did not.
extern bool g_replayFrameTimes;
void NoteReplayedFrame(int64_t frame, int64_t clockNs, double ms, double gameWorkMs, int seeds,
                       int events);
void PrintReplayFrameTimes();
