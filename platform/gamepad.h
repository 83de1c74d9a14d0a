// Gamepad: every connected game controller, read through SDL's game controller
// interface and turned into what the keyboard and mouse would give, so the frame
// commands see one set of keys (DirectInput layout), buttons and mouse motion
// whoever plays:
//
//   left stick   W S A D (and the cursor on the title)   right stick  mouse motion
//   south        by state, see below                     east         Left Shift
//   west         T                                       Start        P
//   right trigger  left button (hold aims, release fires)  Back       Escape
//   right shoulder right button                          d-pad up/down  Up / Down
//   left shoulder, d-pad right: wheel one notch down (next gun); d-pad left: one up
//
// The south button is the one button that plays two keys: it jumps (Space) in play,
// goes on (Enter) in the intro, a conversation, game over and the credits, and clicks
// (left button) on the title. A press keeps the meaning of the state it was made in;
// when the state changes under a held press (the press itself usually changed it),
// the press stops counting until it is let go. So the press that ends a conversation
// does not also jump, and the one that starts the game does not also fire.
//
// Pads come and go with SDL_CONTROLLERDEVICEADDED / REMOVED; a pad pulled out lets go
// of everything it held. Stick motion is turned into mouse counts at a fixed rate per
// second, so turning speed does not depend on the frame rate.
#pragma once

#include <cstdint>

union SDL_Event;
struct _SDL_GameController;

class Gamepad {
public:
    static constexpr int MAX_PADS = 8;
    // Mouse counts per second at full deflection: the right stick turns the hero at
    // 4 radians a second (1600 / 400 per count), a brisk mouse turn; pitch is slower,
    // as its range is small. The left stick crosses the title screen in about a second.
    static constexpr double TURN_RATE = 1600.0;
    static constexpr double PITCH_RATE = 900.0;
    static constexpr double CURSOR_RATE = 700.0;
    // Deflections (0 to 1) below which a stick reads as centred, and beyond which the
    // left stick holds its key.
    static constexpr double DEAD_ZONE = 0.24;
    static constexpr double WALK_THRESHOLD = 0.4;
    // The trigger holds the left button from this pull and lets go below the lower one,
    // so a trigger resting near one point does not fire shot after shot.
    static constexpr double TRIGGER_ON = 0.5;
    static constexpr double TRIGGER_OFF = 0.3;
    // Longest stretch of time one poll turns into motion (a level load is not a turn).
    static constexpr double MAX_STEP = 0.1;

    // What the pads add to one poll.
    struct Output {
        uint8_t keys[256] = {};
        uint8_t buttons[4] = {0, 0, 0, 0};
        int32_t dx = 0, dy = 0, wheel = 0;
    };

    // Starts SDL's game controller interface once; pads already connected then arrive
    // as device-added events. False (with one line on standard error) when it cannot.
    bool start();
    // Takes up the pad events; others are ignored. Returns true when the event was a
    // Back press (Escape is the window's, not the key table's).
    bool feedEvent(const SDL_Event& event);
    // The keys, buttons and motion of all pads for a poll in the given game state,
    // SECONDS after the previous poll. Presses since the previous poll count once.
    Output poll(int32_t gameState, double seconds);
    // Forgets presses and motion not yet polled (the window lost the input).
    void forget();
    // Re-reads the sticks, triggers and buttons of every open pad from SDL.
    void resync();

    int padCount() const;

    // Applied as a raw pad id (no SDL device); for tests and tools.
    void attachRaw(int32_t id);
    void detachRaw(int32_t id);

private:
    struct Pad {
        bool used = false;
        int32_t id = -1;
        _SDL_GameController* controller = nullptr;
        uint32_t held = 0;    // buttons down now, bit per SDL button
        uint32_t pressed = 0; // went down since the last poll
        int16_t axes[6] = {0, 0, 0, 0, 0, 0};
        int32_t southState = -1; // state the held south press belongs to; -1 none
        bool southLive = false;  // that press still counts
        bool trigger = false;
    };
    Pad* find(int32_t id);
    Pad* attach(int32_t id);
    void detach(int32_t id);

    Pad m_pads[MAX_PADS];
    double m_restX = 0.0, m_restY = 0.0; // fractions of a count carried to the next poll
    int32_t m_pendingWheel = 0;
    bool m_started = false;
    bool m_failed = false;
};
