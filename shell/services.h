// Thin calls into the sound manager for game code that only needs to start, stop or ask
// about a sound. Each call does nothing when there is no manager, so callers need no checks
// of their own.
#pragma once

#include <cstdint>

class Vector;

// Sound manager slots, cues and voices (all ignored when there is no sound).
void PlaySlot(int32_t slot, int32_t repeats);
void StopSlot(int32_t slot);
bool SlotPlaying(int32_t slot);
void PlayCue(int32_t cue, const Vector& at);
void PlayVoice(int32_t voice);
void ShutDownSound();
// Replaces g_sound by a new manager (title set-up): rolloff 0.001.
void StartSoundManager();
void UpdateSoundListener(const Vector& position, const Vector& front);
void UpdateSound();

// The cutscene player: starts it (replacing any earlier one), plays and stops scenes.
void StartCutsceneSound();
void PlayCutsceneScene(int32_t scene);
void StopCutsceneSlot(int32_t slot);
void StopCutsceneSounds();
void ShutDownCutsceneSound();

// Repeat counts as the game's callers mean them.
constexpr int32_t PLAY_ONCE_COUNT = 1;
