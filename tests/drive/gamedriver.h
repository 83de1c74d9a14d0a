// GameDriver: runs the real game loop (window, states, frame handlers, frame commands)
// and lets a program play it through the input layer: key, button, wheel and motion
// events go into SDL's queue exactly as a player's would, and the window procedure
// hands them to QRVInput. The driver only reads the game's objects to decide what to
// press; it never changes them. It also grabs screenshots of the drawn frame.
//
// Each round of the loop that draws a frame calls the step function once, after the
// frame commands have read the input; events pushed there reach the next frame.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class GameDriver {
public:
    // Returns false to end the run.
    using Step = std::function<bool(GameDriver&)>;

    explicit GameDriver(std::string artifactDir);

    // Creates the window (with the game's handling of SIGTERM and SIGINT), runs the loop
    // until the step ends it, the game quits or the time limit passes, then closes the game
    // and releases all of it, as the game's entry does. Returns the game's exit code, or 124 after
    // the limit.
    int run(const Step& step, double limitSeconds);

    // Input through SDL's event queue. Keys by SDL scancode; buttons 1 left, 3 right.
    void key(int scancode, bool down);
    void button(int sdlButton, bool down);
    void wheel(int notches);
    void motion(int dx, int dy);
    // The window manager's close request (WM_DELETE_WINDOW), as a click on the title bar's
    // close button sends it.
    void requestClose();
    // The window destroyed from outside (a crashed window manager, xdotool windowclose).
    void destroyWindow();
    // Releases every key and button this driver holds down.
    void releaseAll();

    // Saves the next drawn frame as NAME.bmp in the artifact folder.
    void screenshot(const std::string& name);
    // Seconds since run started; frames drawn so far.
    double seconds() const;
    int64_t frames() const { return m_frames; }
    const std::string& artifactDir() const { return m_artifactDir; }

    // Called by the loop's hooks; not for drivers.
    void afterFrameCommands();
    void beforeSwap();

private:
    std::string m_artifactDir;
    std::string m_pendingShot;
    std::vector<uint8_t> m_shot; // bottom-up BGR rows, as saved
    int m_shotWidth = 0, m_shotHeight = 0;
    const Step* m_step = nullptr;
    bool m_stop = false;
    int64_t m_frames = 0;
    uint64_t m_startTicks = 0;
    bool m_keysDown[512] = {};
    bool m_buttonsDown[8] = {};
};

class SceneObject;

// What a player sees of the level, read from the game's objects: enemies still alive,
// and the character of the given name (null when there is no level).
int LivingEnemies();
SceneObject* NpcNamed(const char* name);

// Reads the colour buffer (the viewport) as bottom-up BGR rows padded to 4 bytes, and
// writes such pixels as a 24-bit BMP.
std::vector<uint8_t> ReadFrame(int& width, int& height);
bool SaveFrameBmp(const std::string& path, const std::vector<uint8_t>& pixels, int width,
                  int height);
