#include "tests/drive/gamedriver.h"

#include "platform/demo.h"
#include "shell/demoplay.h"

#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/sceneobject.h"
#include "platform/qrvinput.h"
#include "shell/levelstartup.h"
#include "shell/mainloop.h"
#include "shell/window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <GL/gl.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {
GameDriver* s_driver = nullptr;
FrameHandler s_realCommands = nullptr;
FrameHandler s_realSwap = nullptr;

void drivenCommands() {
    if (s_realCommands)
        s_realCommands();
    if (s_driver)
        s_driver->afterFrameCommands();
}

void drivenSwap() {
    if (s_driver)
        s_driver->beforeSwap();
    if (s_realSwap)
        s_realSwap();
}

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
} // namespace

std::vector<uint8_t> ReadFrame(int& w, int& h) {
    GLint viewport[4] = {0, 0, 800, 600};
    glGetIntegerv(GL_VIEWPORT, viewport);
    w = viewport[2] > 0 ? viewport[2] : 800;
    h = viewport[3] > 0 ? viewport[3] : 600;
    const int row = (w * 3 + 3) & ~3;
    std::vector<uint8_t> pixels(size_t(row) * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    // BMP rows run bottom-up, as GL's do; BGR is the file's order.
    glReadPixels(0, 0, w, h, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

bool SaveFrameBmp(const std::string& path, const std::vector<uint8_t>& pixels, int w, int h) {
    if (w <= 0 || h <= 0 || pixels.size() < size_t((w * 3 + 3) & ~3) * h)
        return false;
    std::vector<uint8_t> header;
    header.push_back('B');
    header.push_back('M');
    put32(header, uint32_t(54 + pixels.size()));
    put32(header, 0);
    put32(header, 54);
    put32(header, 40);
    put32(header, uint32_t(w));
    put32(header, uint32_t(h));
    put16(header, 1);
    put16(header, 24);
    put32(header, 0);
    put32(header, uint32_t(pixels.size()));
    put32(header, 2835);
    put32(header, 2835);
    put32(header, 0);
    put32(header, 0);
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f)
        return false;
    return std::fwrite(header.data(), 1, header.size(), f.get()) == header.size() &&
           std::fwrite(pixels.data(), 1, pixels.size(), f.get()) == pixels.size();
}

GameDriver::GameDriver(std::string artifactDir) : m_artifactDir(std::move(artifactDir)) {}

double GameDriver::seconds() const {
    return (SDL_GetTicks64() - m_startTicks) * 0.001;
}

void GameDriver::screenshot(const std::string& name) {
    m_pendingShot = name;
}

void GameDriver::afterFrameCommands() {
    ++m_frames;
    if (m_step && !(*m_step)(*this))
        m_stop = true;
}

void GameDriver::beforeSwap() {
    if (m_pendingShot.empty())
        return;
    const std::string path = m_artifactDir + "/" + m_pendingShot + ".bmp";
    m_shot = ReadFrame(m_shotWidth, m_shotHeight);
    if (!SaveFrameBmp(path, m_shot, m_shotWidth, m_shotHeight))
        std::fprintf(stderr, "driver: could not write %s\n", path.c_str());
    m_pendingShot.clear();
}

void GameDriver::key(int scancode, bool down) {
    if (scancode <= 0 || scancode >= 512 || m_keysDown[scancode] == down)
        return;
    m_keysDown[scancode] = down;
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = SDL_Scancode(scancode);
    e.key.keysym.sym = SDL_GetKeyFromScancode(SDL_Scancode(scancode));
    SDL_PushEvent(&e);
}

void GameDriver::button(int sdlButton, bool down) {
    if (sdlButton <= 0 || sdlButton >= 8 || m_buttonsDown[sdlButton] == down)
        return;
    m_buttonsDown[sdlButton] = down;
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = uint8_t(sdlButton);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
}

void GameDriver::wheel(int notches) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = notches;
    SDL_PushEvent(&e);
}

void GameDriver::motion(int dx, int dy) {
    if (dx == 0 && dy == 0)
        return;
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    SDL_PushEvent(&e);
}

namespace {
// The game window's X identifier, 0 when it has none.
unsigned long x11Window() {
    SDL_Window* window = GetWindowHandle();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}
} // namespace

// Both go through a connection of their own, as another X client's would.
void GameDriver::requestClose() {
    const unsigned long w = x11Window();
    Display* d = w ? XOpenDisplay(nullptr) : nullptr;
    if (!d)
        return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XCloseDisplay(d);
}

void GameDriver::destroyWindow() {
    const unsigned long w = x11Window();
    Display* d = w ? XOpenDisplay(nullptr) : nullptr;
    if (!d)
        return;
    XDestroyWindow(d, w);
    XCloseDisplay(d);
}

int LivingEnemies() {
    int n = 0;
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
        if (g_objectTable[i] && g_dataLayer && g_dataLayer->kindOf(i) == KIND_ENEMY)
            ++n;
    return n;
}

SceneObject* NpcNamed(const char* name) {
    for (int i = 0; i < OBJECT_TABLE_SIZE; ++i)
        if (g_objectTable[i] && g_dataLayer && g_dataLayer->kindOf(i) == KIND_NPC &&
            g_dataLayer->npcName(i) == name)
            return g_objectTable[i];
    return nullptr;
}

void GameDriver::releaseAll() {
    for (int k = 0; k < 512; ++k)
        key(k, false);
    for (int b = 0; b < 8; ++b)
        button(b, false);
}

int GameDriver::run(const Step& step, double limitSeconds) {
    std::error_code ignored;
    std::filesystem::create_directories(m_artifactDir, ignored);
    // As the game's own entry does.
    InstallStopSignals();
    // TARVO_DEMO=FILE records the driven play as `tarvo --record FILE` would.
    const char* demo = std::getenv("TARVO_DEMO");
    std::string demoError;
    if (demo && *demo && !StartDemoRecording(demo, demoError))
        std::fprintf(stderr, "%s\n", demoError.c_str());
    if (!CreateGameWindow("Project Tarvo", 800, 600, 32, g_fullscreen))
        return 1;
    g_input.Init();
    g_demo.startLoop();
    // No window manager hands out focus under Xvfb; the game is the only window.
    g_active = true;
    s_driver = this;
    m_step = &step;
    s_realCommands = g_frameCommands;
    s_realSwap = g_swapBuffers;
    g_frameCommands = drivenCommands;
    g_swapBuffers = drivenSwap;
    m_startTicks = SDL_GetTicks64();
    int code = 0;
    bool timedOut = false;
    for (;;) {
        if (!RunOneRound()) {
            code = QuitCode();
            break;
        }
        if (m_stop)
            break;
        if (seconds() > limitSeconds) {
            timedOut = true;
            break;
        }
    }
    // The recording ends with the driven play: what follows is the driver's own closing.
    g_demo.finish(false);
    g_frameCommands = s_realCommands;
    g_swapBuffers = s_realSwap;
    m_step = nullptr;
    s_driver = nullptr;
    if (m_stop || timedOut) {
        CloseGame();
        while (RunOneRound()) {
        }
    }
    ShutDownGame();
    KillGameWindow();
    return timedOut ? 124 : code;
}
