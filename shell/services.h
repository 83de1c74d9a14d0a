// Thin calls into the sound manager and the world light for game code that only needs to
// start, stop or ask about a sound, or to hand the light its shadow casters. Each call does
// nothing when the service is absent (no sound device, no light yet), so callers need no
// checks of their own.
#pragma once

#include <cstdint>

class Vector;
class ModelObject;

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

// The world light: a new one into g_light, the shadow casters of a scene (title, intro,
// credits: up to three), their shadow pass, and the play frame's steps.
void NewWorldLight();
void DeleteWorldLight();
// The level is going: the light lets go of the hero it remembers.
void ForgetWorldLightHero();
void SetSceneShadow(float x, float y, float z, float range, ModelObject* a,
                    ModelObject* b = nullptr, ModelObject* c = nullptr);
void DrawSceneShadows();
void UpdateWorldLight();
void PlaceFireLight(float x, float y, float z);
void DrawWorldShadows();
void SetOverlayLight(bool on);
