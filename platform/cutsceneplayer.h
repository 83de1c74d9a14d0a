// CutscenePlayer: the four recordings of the intro and ending scenes (two voices played flat,
// two music tracks placed in space), played by scene number. Init opens the shared audio
// device and loads the four files (the expensive part); PlayScene is a few OpenAL calls.
// Without a device or with missing files every call works and plays nothing; unknown scenes
// and slots do nothing. Main thread only. Game code uses the free functions at the end.
#pragma once

#include "platform/soundnames.h"
#include "platform/soundobject.h"

#include <cstdint>

class CutscenePlayer {
public:
    static constexpr int32_t SLOT_COUNT = 4;

    CutscenePlayer();
    virtual ~CutscenePlayer(); // shuts down

    bool Init(void* window = nullptr);
    // Stops and frees the four sounds; harmless when called again.
    void ShutDown();
    // 400: the Doduda voice and music once each; 401: the dream voice once and the dream
    // music 7 times. Other numbers do nothing.
    void PlayScene(int32_t scene);

    // The sound of slot 1 to 4, or null.
    SoundObject* sound(int32_t slot) const;

    static const char* slotFile(int32_t slot);
    static bool slotIs3D(int32_t slot);

private:
    SoundObject* m_sounds[SLOT_COUNT] = {};
    bool m_haveDevice = false;
};

// The scenes' player: created by the scene start-up, null before.
extern CutscenePlayer* g_cutsceneSound;

// The scenes' sounds, each doing nothing while there is no player.
// Replaces g_cutsceneSound by a new, initialised player.
void StartCutsceneSound();
void PlayCutsceneScene(int32_t scene);
// Stops a slot if it plays; StopCutsceneSounds all four.
void StopCutsceneSlot(int32_t slot);
void StopCutsceneSounds();
void ShutDownCutsceneSound();
