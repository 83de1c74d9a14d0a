// The main loop and the game-state machine. One round takes one window event, or,
// with none waiting, checks Escape, runs the current state's frame handler, swaps
// and runs the frame commands. Frame handlers and the swap are replaceable so that
// tests can run rounds without a window.
#pragma once

using FrameHandler = void (*)();

bool InitScene();

// SIGTERM and SIGINT only set a flag that the next round reads and ends the loop on (a
// second signal before that ends the process the default way).
void InstallStopSignals();
bool StopRequested();
void ClearStopRequest();
// The end of every game, however the loop ended: sound off, level, scenes and title released.
void ShutDownGame();
// The display connection is gone: shuts the sound down and ends the process with status 0.
[[noreturn]] void EndWithoutDisplay();

// One round of the loop; false once the quit message has been taken, a stop signal has
// come or the window has gone.
bool RunOneRound();
// The replay of a demo was stopped by the Escape key.
bool ReplayStoppedByEscape();
// Escape in play or a conversation first shows LEAVE_PROMPT and holds the world still; a
// second Escape press within LEAVE_ASK_MS leaves for the title, any other key or button
// press or the time running out goes on. Game over leaves at the first Escape. While it
// asks, nothing is drawn and the frame commands only read the input.
constexpr const char* LEAVE_PROMPT = "Press Escape again to leave";
constexpr unsigned LEAVE_ASK_MS = 3000; // on g_playClockMs
bool AskingToLeave();
int RunMainLoop();
int GameMain();

// The frame handler of each state 0 to 7 (null: nothing drawn) and the buffer swap.
extern FrameHandler g_frameHandlers[8];
extern FrameHandler g_swapBuffers;
extern FrameHandler g_frameCommands;
// Set up the title screen after Escape (replaced by the title screen's own set-up).
extern FrameHandler g_titleSetup;
// The play frame's own clock in milliseconds (the fire light's bob, the fountain's flames);
// SDL's ticks, or a test's clock that draws a chosen moment.
extern unsigned (*g_playClockMs)();

// A black frame (kept for tests that need a frame handler without a scene).
void ClearedFrame();
// The play frame: collision, camera and light, terrain and sky, AI, hero, every object,
// the boss, projectiles, gems, the fountain, shadows, water, HUD, sound.
void PlayFrame();
// The play state's pick-up after its frame (collectGems); the HUD is told what was picked
// up, for its "+N gems" notice.
void PickUpGems();
