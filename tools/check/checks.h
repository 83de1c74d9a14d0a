// tarvo-check's sub-commands; each prints what it found and returns the exit status.
#pragma once

int checkBmp(const char* file);
// The level's names are looked up in gameDir, the folder the game runs in.
int checkLevel(const char* file, const char* gameDir);
int checkMs3d(const char* file);
