// The one game window and its OpenGL context (SDL2). Window events become the few
// flags the game reads: g_active, and g_keys by Windows virtual-key code (only
// Escape is read from it; everything else goes through QRVInput).
#pragma once

#include <cstdint>

union SDL_Event;
struct SDL_Window;

extern bool g_active;
extern bool g_fullscreen;
extern bool g_keys[256];
// g_escapeTapped, set by an Escape press here, is declared with the input (platform/qrvinput.h).

// Posts the quit message with the program's exit code; QuitCode is the code last posted.
void PostQuit(int code);
int QuitCode();

bool CreateGameWindow(const char* title, int width, int height, int bits, bool fullscreen);
void KillGameWindow();
// Whether the window has been destroyed from outside (a window manager that crashed,
// xdotool windowclose); the main loop then ends the game. Tests may set it.
bool WindowLost();
void SetWindowLost(bool lost);
void ResizeScene(int width, int height);
// The window procedure: one event in, its effect on the flags and the game.
void GameWindowProc(const SDL_Event& event);
void* GetInstanceHandle();
SDL_Window* GetWindowHandle();

// The Windows virtual-key code of an SDL keycode, 0 when it has none.
int KeycodeToVirtualKey(int32_t keycode);
// The size last given to ResizeScene (for tests).
void LastSceneSize(int& width, int& height);
