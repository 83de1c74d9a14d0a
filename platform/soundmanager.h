// SoundManager: the 37 sounds of the title and the level, played by slot, by cue number (a
// positional effect, once) or by voice number (a conversation line, once), plus the listener
// (position, orientation, rolloff) and the per-frame breathing of a nearby enemy. Init loads
// every file, which is the expensive part (tens of milliseconds); all other calls are a few
// OpenAL calls. Without an audio device, or with missing files, every call still works and
// plays nothing. Unknown slots, cues and voices do nothing (sound() returns null).
// What it knows of the world (where the hero stands, where a random enemy is) it asks of two
// hooks that the game installs, so this layer needs nothing above it.
// Main thread only.
//
// Game code plays sounds through the free functions at the end, never through the class.
#pragma once

#include "models/vector.h"
#include "platform/soundnames.h"
#include "platform/soundobject.h"

#include <cstdint>

class SoundManager {
public:
    static constexpr int32_t SLOT_COUNT = 37;

    SoundManager();
    virtual ~SoundManager(); // shuts down

    // Opens the shared audio device and loads all 37 sounds in the fixed load order. Returns
    // false without a device (then every call plays nothing). `window` is not needed.
    bool Init(void* window = nullptr);
    // Stops every sound and frees them; harmless when called again.
    void ShutDown();

    void SetListenerPosition(float x, float y, float z);
    void SetListenerOrientation(const Vector& front, const Vector& top);
    void SetRolloff(float factor);

    // Plays a cue once: at the hero (cues 0 to 10) or at `position` (11 to 14; null counts as
    // the origin). Cue 7 and unknown cues do nothing. A cue that is still sounding goes on
    // (the magician asks for its chime on every frame of a cast), except the hero's shots
    // (cues 0 to 2), which start over: each click is a new shot and is heard.
    void PlayCue(int32_t cue, const Vector* position = nullptr);
    void PlayCue(int32_t cue, const Vector& position);
    // Plays a slot `repeats` times (music, jingles: sounds without a place of their own). A
    // positional slot is placed at the listener first, so it is heard at full strength and
    // centred wherever the listener is; a flat slot just plays.
    void PlaySlot(int32_t slot, int32_t repeats);
    // Voice numbers 100-104, 200-205 and 300-304 (any of the three calls takes any of them),
    // played at the listener; other numbers do nothing.
    void PlayRarozare(int32_t n);
    void PlayVerozi(int32_t n);
    void PlayVirav(int32_t n);

    // Once per play frame: now and then a random enemy close to the hero breathes.
    void Update();

    // The sound of slot 1 to 37, or null (unknown slot, not loaded yet, shut down).
    SoundObject* sound(int32_t slot) const;

    // The fixed tables: the file and 3D flag of a slot, the slot of a cue or voice (0 none),
    // whether a cue plays at the hero, and the load order (SLOT_COUNT entries).
    static const char* slotFile(int32_t slot);
    static bool slotIs3D(int32_t slot);
    static int32_t cueSlot(int32_t cue);
    static bool cueAtHero(int32_t cue);
    static int32_t voiceSlot(int32_t voice);
    static const int32_t* loadOrder();

    int32_t breathCountdown() const { return m_breathCountdown; }
    // Where the listener was last put, and where a positional slot was last placed (origin
    // before either); kept with or without a device.
    const Vector& listenerPosition() const { return m_listener; }
    Vector placedAt(int32_t slot) const;
    float rolloff() const { return m_rolloff; }

private:
    void playVoice(int32_t voice);
    // Moves a positional slot (and the record of its place) to `at`.
    void place(int32_t slot, const Vector& at);

    SoundObject* m_sounds[SLOT_COUNT] = {};
    bool m_haveDevice = false;
    float m_rolloff = 1.0f;
    int32_t m_breathCountdown = 100;
    Vector m_listener;
    Vector m_placed[SLOT_COUNT];
};

// The game's manager: created by the title set-up, null before and after the game.
extern SoundManager* g_sound;

// The world as the sound manager sees it. Each hook fills `at` and returns true, or returns
// false when there is nothing to report. Without a hero the hero counts as the origin;
// without an enemy (or without the enemy hook) nobody breathes. The enemy hook is asked
// once whenever the breathing wait runs out, whether or not the breath is loaded.
using SoundPlaceHook = bool (*)(Vector& at);
void SetSoundHooks(SoundPlaceHook heroPosition, SoundPlaceHook randomEnemyPosition);

// The one way game code plays a sound: every call goes to g_sound and does nothing while
// there is none, so callers need no checks of their own.

// Repeat counts as the game's callers mean them.
constexpr int32_t PLAY_ONCE_COUNT = 1;

// A slot `repeats` times (music, jingles, the boss's shot): sounds without a place of their
// own, so a positional slot is heard at the listener.
void PlaySlot(int32_t slot, int32_t repeats);
void StopSlot(int32_t slot);
bool SlotPlaying(int32_t slot);
// A cue once at `at`; the cues that sound at the hero ignore it.
void PlayCue(int32_t cue, const Vector& at);
// A conversation line (voice number), at the listener.
void PlayVoice(int32_t voice);
// Replaces g_sound by a new manager with the game's rolloff (0.001).
void StartSoundManager();
void ShutDownSound();
// The listener at `position`, facing `front` with y up.
void UpdateSoundListener(const Vector& position, const Vector& front);
// The manager's per-frame step (SoundManager::Update).
void UpdateSound();
