#include "shell/window.h"

#include "models/texture.h"
#include "platform/messagebox.h"
#include "platform/qrvinput.h"
#include "shell/levelstartup.h"
#include "shell/mainloop.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstring>
#include <string>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#define TARVO_X11 1
#endif

bool g_active = true;
bool g_fullscreen = true;
bool g_keys[256] = {};
bool g_escapeTapped = false;

namespace {
SDL_Window* g_hWnd = nullptr;
SDL_GLContext g_hRC = nullptr;
int s_lastWidth = 0, s_lastHeight = 0;
// Set once the window has been destroyed under the game (DestroyNotify, or an X error
// naming it); the main loop ends on it.
bool s_windowLost = false;
int s_quitCode = 0;

#ifdef TARVO_X11
Display* s_xDisplay = nullptr;
::Window s_xWindow = 0;
XIOErrorHandler s_previousIOHandler = nullptr;

// Xlib calls this with the display locked, so it must not call Xlib itself. (SDL's own
// handler does: it restores the desktop mode through XRandR from here, and when the
// window has been destroyed under a fullscreen game the first swap's error deadlocks the
// game inside that call.) An error about our window means the window is gone; any other
// is reported and the game goes on instead of exiting.
int onXError(Display*, XErrorEvent* error) {
    if (s_xWindow != 0 && error->resourceid == s_xWindow) {
        s_windowLost = true;
        return 0;
    }
    std::fprintf(stderr, "X error %d (request %d.%d) on resource 0x%lx ignored\n",
                 int(error->error_code), int(error->request_code), int(error->minor_code),
                 static_cast<unsigned long>(error->resourceid));
    return 0;
}

// The display connection is gone (the X server ended or the link broke). Xlib ends the
// process when this returns, so the game ends here, cleanly.
int onXIOError(Display*) {
    std::fputs("The connection to the display was lost; the game ends.\n", stderr);
    EndWithoutDisplay();
}

void watchXWindow() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(g_hWnd, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    s_xDisplay = info.info.x11.display;
    s_xWindow = info.info.x11.window;
    XSetErrorHandler(onXError);
    s_previousIOHandler = XSetIOErrorHandler(onXIOError);
    // DestroyNotify comes only through the window-system events.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

// Before SDL closes the display: errors of requests on the lost window must reach our
// handler, not Xlib's default one, which would end the game with status 1.
void unwatchXWindow() {
    if (!s_xDisplay)
        return;
    XSync(s_xDisplay, False);
    XSetIOErrorHandler(s_previousIOHandler);
    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    s_xDisplay = nullptr;
    s_xWindow = 0;
}
#endif

// What the game looked for when it found no display to open its window on, as one line.
std::string noDisplayLine() {
    const char* x = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    std::string line = "tarvo: no display to open the window on: ";
    line += x && *x ? "the X display " + std::string(x) + " does not answer"
                    : std::string("no X display (DISPLAY is not set)");
    line += wayland && *wayland
                ? ", the Wayland display " + std::string(wayland) + " does not answer"
                : std::string(", no Wayland display (WAYLAND_DISPLAY is not set)");
    return line;
}

// Unless a driver is asked for by name, SDL tries only the displays a player can see: X, a
// Wayland compositor where one can be reached (without a socket to try, libwayland would only
// add a complaint of its own), and the console's screen.
void chooseDisplays() {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (asked && *asked)
        return;
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
    const bool compositor = (wayland && *wayland) || (runtime && *runtime);
    SDL_SetHint(SDL_HINT_VIDEODRIVER, compositor ? "x11,wayland,kmsdrm" : "x11,kmsdrm");
}

// SDL falls back to drivers that draw into memory only when no real display answers; a
// player would see nothing and the game would run on unseen. They serve only when asked
// for by name (tests and tools set SDL_VIDEODRIVER).
bool playerCanSee() {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (asked && *asked)
        return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

void errorBox(const char* text) {
    ShowMessageBox(text, "ERROR", MessageBoxButtons::Ok, MessageBoxIcon::Exclamation);
}

// Fullscreen needs the display to offer exactly the asked mode: SDL would quietly
// take the nearest one instead.
bool findExactMode(int width, int height, SDL_DisplayMode& mode) {
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) == 0 && m.w == width && m.h == height) {
            mode = m;
            return true;
        }
    }
    return false;
}
} // namespace

int KeycodeToVirtualKey(int32_t k) {
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return 0x70 + (k - SDLK_F1);
    switch (k) {
    case SDLK_ESCAPE:
        return 27;
    case SDLK_RETURN:
        return 13;
    case SDLK_SPACE:
        return 32;
    case SDLK_TAB:
        return 9;
    case SDLK_BACKSPACE:
        return 8;
    case SDLK_LEFT:
        return 0x25;
    case SDLK_UP:
        return 0x26;
    case SDLK_RIGHT:
        return 0x27;
    case SDLK_DOWN:
        return 0x28;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 0x10;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return 0x11;
    case SDLK_LALT:
    case SDLK_RALT:
        return 0x12;
    case SDLK_PAUSE:
        return 0x13;
    case SDLK_CAPSLOCK:
        return 0x14;
    case SDLK_PAGEUP:
        return 0x21;
    case SDLK_PAGEDOWN:
        return 0x22;
    case SDLK_END:
        return 0x23;
    case SDLK_HOME:
        return 0x24;
    case SDLK_INSERT:
        return 0x2D;
    case SDLK_DELETE:
        return 0x2E;
    default:
        return 0;
    }
}

void LastSceneSize(int& width, int& height) {
    width = s_lastWidth;
    height = s_lastHeight;
}

void ResizeScene(int width, int height) {
    if (height == 0)
        height = 1;
    s_lastWidth = width;
    s_lastHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 4500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool CreateGameWindow(const char* title, int width, int height, int bits, bool fullscreen) {
    g_fullscreen = fullscreen;
    chooseDisplays();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        // With no display there is nowhere to show a box either: one line says what was
        // looked for, and the game ends instead of waiting on nothing.
        const char* asked = SDL_getenv("SDL_VIDEODRIVER");
        if (asked && *asked)
            std::fprintf(stderr, "%s (SDL_VIDEODRIVER=%s: %s)\n", noDisplayLine().c_str(), asked,
                         SDL_GetError());
        else
            std::fprintf(stderr, "%s\n", noDisplayLine().c_str());
        return false;
    }
    if (!playerCanSee()) {
        std::fprintf(stderr, "%s\n", noDisplayLine().c_str());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    SDL_DisplayMode mode{};
    if (g_fullscreen && !findExactMode(width, height, mode)) {
        MessageBoxAnswer a = ShowMessageBox(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed "
            "Mode Instead?",
            "Vaxa GL", MessageBoxButtons::YesNo, MessageBoxIcon::Exclamation);
        if (a == MessageBoxAnswer::Yes) {
            g_fullscreen = false;
        } else {
            ShowMessageBox("Program Will Now Close.", "ERROR", MessageBoxButtons::Ok,
                           MessageBoxIcon::Error);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return false;
        }
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BUFFER_SIZE, bits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Uint32 flags = SDL_WINDOW_OPENGL;
    if (g_fullscreen)
        flags |= SDL_WINDOW_FULLSCREEN;
    g_hWnd = SDL_CreateWindow(title, 0, 0, width, height, flags);
    if (!g_hWnd) {
        KillGameWindow();
        errorBox("Window Creation Error.");
        return false;
    }
    if (g_fullscreen) {
        SDL_SetWindowDisplayMode(g_hWnd, &mode);
        SDL_ShowCursor(SDL_DISABLE);
    }
    g_hRC = SDL_GL_CreateContext(g_hWnd);
    ForgetLoadedTextures(); // the old context's names mean nothing in this one
    if (!g_hRC) {
        KillGameWindow();
        errorBox("Can't Create A GL Rendering Context.");
        return false;
    }
    if (SDL_GL_MakeCurrent(g_hWnd, g_hRC) != 0) {
        KillGameWindow();
        errorBox("Can't Activate The GL Rendering Context.");
        return false;
    }
    int stencil = 0;
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil);
    if (stencil < 1) {
        KillGameWindow();
        errorBox("Can't Find A Suitable PixelFormat.");
        return false;
    }
    s_windowLost = false;
#ifdef TARVO_X11
    watchXWindow();
#endif
    SDL_ShowWindow(g_hWnd);
    SDL_RaiseWindow(g_hWnd);
    ResizeScene(width, height);
    if (!InitScene()) {
        KillGameWindow();
        errorBox("Initialization Failed.");
        return false;
    }
    return true;
}

void KillGameWindow() {
    if (g_hRC) {
        SDL_GL_MakeCurrent(g_hWnd, nullptr);
        SDL_GL_DeleteContext(g_hRC);
        g_hRC = nullptr;
    }
    if (g_hWnd) {
        SDL_DestroyWindow(g_hWnd);
        g_hWnd = nullptr;
    }
#ifdef TARVO_X11
    unwatchXWindow();
#endif
    if (g_fullscreen)
        SDL_ShowCursor(SDL_ENABLE);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool WindowLost() {
    return s_windowLost;
}

void SetWindowLost(bool lost) {
    s_windowLost = lost;
}

void GameWindowProc(const SDL_Event& e) {
    g_input.FeedEvent(e);
    switch (e.type) {
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
            g_active = true;
            g_input.Init();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
            g_active = false;
            g_input.Release();
            break;
        case SDL_WINDOWEVENT_CLOSE:
            CloseGame();
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            ResizeScene(e.window.data1, e.window.data2);
            break;
        default:
            break;
        }
        break;
#ifdef TARVO_X11
    case SDL_SYSWMEVENT:
        if (e.syswm.msg && e.syswm.msg->subsystem == SDL_SYSWM_X11) {
            const XEvent& x = e.syswm.msg->msg.x11.event;
            if (x.type == DestroyNotify && s_xWindow != 0 && x.xdestroywindow.window == s_xWindow)
                s_windowLost = true;
        }
        break;
#endif
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int vk = KeycodeToVirtualKey(e.key.keysym.sym);
        if (vk > 0 && vk < 256)
            g_keys[vk] = e.type == SDL_KEYDOWN;
        // A press and release drained in the same round would otherwise never be seen.
        if (vk == 27 && e.type == SDL_KEYDOWN)
            g_escapeTapped = true;
        break;
    }
    default:
        break;
    }
}

void* GetInstanceHandle() {
    return nullptr;
}
SDL_Window* GetWindowHandle() {
    return g_hWnd;
}

void PostQuit(int code) {
    s_quitCode = code;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

int QuitCode() {
    return s_quitCode;
}
