// tarvo-check's sub-commands; each prints what it found and returns the exit status.
#pragma once

int checkBmp(const char* file);
int checkLevel(const char* file);
int checkMs3d(const char* file);
