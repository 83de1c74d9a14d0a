#include "platform/cutsceneplayer.h"

#include "platform/soundobject.h"

#include <AL/al.h>

namespace {

struct CutsceneSlot {
    const char* file;
    bool is3D;
};

const CutsceneSlot SLOTS[CutscenePlayer::SLOT_COUNT] = {
    {"dreamVoice.wav", false},
    {"dreamMusic.wav", true},
    {"dodudaVoice.wav", false},
    {"dodudaMusic.wav", true},
};

constexpr int32_t SCENE_DODUDA = 400;
constexpr int32_t SCENE_DREAM = 401;
constexpr int32_t DREAM_MUSIC_REPEATS = 7;

} // namespace

CutscenePlayer::CutscenePlayer() = default;

CutscenePlayer::~CutscenePlayer() {
    ShutDown();
}

const char* CutscenePlayer::slotFile(int32_t slot) {
    return (slot >= 1 && slot <= SLOT_COUNT) ? SLOTS[slot - 1].file : nullptr;
}

bool CutscenePlayer::slotIs3D(int32_t slot) {
    return slot >= 1 && slot <= SLOT_COUNT && SLOTS[slot - 1].is3D;
}

bool CutscenePlayer::Init(void* /*window*/) {
    if (m_haveDevice)
        ShutDown();
    if (!SoundDevice::Acquire())
        return false;
    m_haveDevice = true;
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    for (int32_t i = 0; i < SLOT_COUNT; ++i) {
        auto* s = new SoundObject();
        s->InitSegment();
        s->Load(SLOTS[i].file, SLOTS[i].is3D);
        m_sounds[i] = s;
    }
    return true;
}

void CutscenePlayer::ShutDown() {
    ReleaseSoundSlots(m_sounds, SLOT_COUNT, m_haveDevice);
}

SoundObject* CutscenePlayer::sound(int32_t slot) const {
    return (slot >= 1 && slot <= SLOT_COUNT) ? m_sounds[slot - 1] : nullptr;
}

void CutscenePlayer::PlayScene(int32_t scene) {
    auto play = [this](int32_t slot, int32_t repeats) {
        if (SoundObject* s = sound(slot))
            s->Play(repeats);
    };
    if (scene == SCENE_DODUDA) {
        play(3, 1);
        play(4, 1);
    } else if (scene == SCENE_DREAM) {
        play(1, 1);
        play(2, DREAM_MUSIC_REPEATS);
    }
}

void StartCutsceneSound() {
    ShutDownCutsceneSound();
    delete g_cutsceneSound;
    g_cutsceneSound = new CutscenePlayer();
    g_cutsceneSound->Init(nullptr);
}

void PlayCutsceneScene(int32_t scene) {
    if (g_cutsceneSound)
        g_cutsceneSound->PlayScene(scene);
}

void StopCutsceneSlot(int32_t slot) {
    if (g_cutsceneSound)
        if (SoundObject* s = g_cutsceneSound->sound(slot))
            if (s->IsPlaying())
                s->Stop();
}

void StopCutsceneSounds() {
    for (int32_t slot = 1; slot <= CutscenePlayer::SLOT_COUNT; ++slot)
        StopCutsceneSlot(slot);
}

void ShutDownCutsceneSound() {
    if (g_cutsceneSound)
        g_cutsceneSound->ShutDown();
}
