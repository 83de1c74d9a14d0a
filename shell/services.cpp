#include "shell/services.h"

#include "models/vector.h"
#include "objects/modelobject.h"
#if __has_include("platform/soundmanager.h")
#include "platform/cutsceneplayer.h"
#include "platform/soundmanager.h"
#define TARVO_SOUND 1
#endif
#if __has_include("world/worldlight.h")
#include "world/worldlight.h"
#define TARVO_LIGHT 1
#endif

void PlaySlot(int32_t slot, int32_t repeats) {
#ifdef TARVO_SOUND
    // Through the manager, which puts a positional sound at the listener.
    if (g_sound)
        g_sound->PlaySlot(slot, repeats);
#else
    (void)slot;
    (void)repeats;
#endif
}

void StopSlot(int32_t slot) {
#ifdef TARVO_SOUND
    if (g_sound)
        if (SoundObject* s = g_sound->sound(slot))
            s->Stop();
#else
    (void)slot;
#endif
}

bool SlotPlaying(int32_t slot) {
#ifdef TARVO_SOUND
    if (g_sound)
        if (SoundObject* s = g_sound->sound(slot))
            return s->IsPlaying();
#else
    (void)slot;
#endif
    return false;
}

void PlayCue(int32_t cue, const Vector& at) {
#ifdef TARVO_SOUND
    if (g_sound)
        g_sound->PlayCue(cue, at);
#else
    (void)cue;
    (void)at;
#endif
}

void PlayVoice(int32_t voice) {
#ifdef TARVO_SOUND
    if (!g_sound)
        return;
    if (voice >= 300)
        g_sound->PlayVirav(voice);
    else if (voice >= 200)
        g_sound->PlayVerozi(voice);
    else
        g_sound->PlayRarozare(voice);
#else
    (void)voice;
#endif
}

void ShutDownSound() {
#ifdef TARVO_SOUND
    if (g_sound)
        g_sound->ShutDown();
#endif
}

void StartSoundManager() {
#ifdef TARVO_SOUND
    if (g_sound) {
        g_sound->ShutDown();
        delete g_sound;
    }
    g_sound = new SoundManager();
    g_sound->Init(nullptr);
    g_sound->SetRolloff(0.001f);
#endif
}

void UpdateSoundListener(const Vector& position, const Vector& front) {
#ifdef TARVO_SOUND
    if (g_sound) {
        g_sound->SetListenerPosition(position.x, position.y, position.z);
        g_sound->SetListenerOrientation(front, Vector(0.0f, 1.0f, 0.0f));
    }
#else
    (void)position;
    (void)front;
#endif
}

void UpdateSound() {
#ifdef TARVO_SOUND
    if (g_sound)
        g_sound->Update();
#endif
}

void StartCutsceneSound() {
#ifdef TARVO_SOUND
    ShutDownCutsceneSound();
    delete g_cutsceneSound;
    g_cutsceneSound = new CutscenePlayer();
    g_cutsceneSound->Init(nullptr);
#endif
}

void PlayCutsceneScene(int32_t scene) {
#ifdef TARVO_SOUND
    if (g_cutsceneSound)
        g_cutsceneSound->PlayScene(scene);
#else
    (void)scene;
#endif
}

void StopCutsceneSlot(int32_t slot) {
#ifdef TARVO_SOUND
    if (g_cutsceneSound)
        if (SoundObject* s = g_cutsceneSound->sound(slot))
            if (s->IsPlaying())
                s->Stop();
#else
    (void)slot;
#endif
}

void StopCutsceneSounds() {
    for (int32_t slot = 1; slot <= 4; ++slot)
        StopCutsceneSlot(slot);
}

void ShutDownCutsceneSound() {
#ifdef TARVO_SOUND
    if (g_cutsceneSound)
        g_cutsceneSound->ShutDown();
#endif
}

void NewWorldLight() {
#ifdef TARVO_LIGHT
    delete g_light;
    g_light = new WorldLight();
#endif
}

void DeleteWorldLight() {
#ifdef TARVO_LIGHT
    delete g_light;
    g_light = nullptr;
#endif
}

void ForgetWorldLightHero() {
#ifdef TARVO_LIGHT
    if (g_light)
        g_light->m_hero = nullptr;
#endif
}

void SetSceneShadow(float x, float y, float z, float range, ModelObject* a, ModelObject* b,
                    ModelObject* c) {
#ifdef TARVO_LIGHT
    if (g_light)
        g_light->setSceneShadow(x, y, z, range, a, b, c);
#else
    (void)x, (void)y, (void)z, (void)range, (void)a, (void)b, (void)c;
#endif
}

void DrawSceneShadows() {
#ifdef TARVO_LIGHT
    if (g_light)
        g_light->drawSceneShadows();
#endif
}

void UpdateWorldLight() {
#ifdef TARVO_LIGHT
    if (g_light)
        g_light->update();
#endif
}

void PlaceFireLight(float x, float y, float z) {
#ifdef TARVO_LIGHT
    if (g_light && !g_light->m_fixed)
        g_light->setFire(1.0f, 0.1f, 0.0f, x, y, z);
#else
    (void)x, (void)y, (void)z;
#endif
}

void DrawWorldShadows() {
#ifdef TARVO_LIGHT
    if (g_light)
        g_light->drawShadows();
#endif
}

void SetOverlayLight(bool on) {
#ifdef TARVO_LIGHT
    if (g_light)
        g_light->setOverlayLight(on);
#else
    (void)on;
#endif
}
