#include "platform/cutsceneplayer.h"

#include "platform/soundobject.h"

namespace {

const SoundSlot SLOTS[CutscenePlayer::SLOT_COUNT] = {
    {"dreamVoice.wav", false},
    {"dreamMusic.wav", true},
    {"dodudaVoice.wav", false},
    {"dodudaMusic.wav", true},
};
const SoundSlotTable TABLE(SLOTS);

constexpr int32_t SCENE_DODUDA = 400;
constexpr int32_t SCENE_DREAM = 401;
constexpr int32_t DREAM_MUSIC_REPEATS = 7;

} // namespace

CutscenePlayer::CutscenePlayer() = default;

CutscenePlayer::~CutscenePlayer() {
    ShutDown();
}

bool CutscenePlayer::Init(void* /*window*/) {
    if (m_haveDevice)
        ShutDown();
    if (!AcquireSoundDevice(m_haveDevice))
        return false;
    for (int32_t i = 0; i < SLOT_COUNT; ++i) {
        auto* s = new SoundObject();
        s->InitSegment();
        s->Load(TABLE.file(i + 1), TABLE.is3D(i + 1));
        m_sounds[i] = s;
    }
    return true;
}

void CutscenePlayer::ShutDown() {
    ReleaseSoundSlots(m_sounds, SLOT_COUNT, m_haveDevice);
}

SoundObject* CutscenePlayer::sound(int32_t slot) const {
    return TABLE.has(slot) ? m_sounds[slot - 1] : nullptr;
}

const char* CutscenePlayer::slotFile(int32_t slot) {
    return TABLE.file(slot);
}

bool CutscenePlayer::slotIs3D(int32_t slot) {
    return TABLE.is3D(slot);
}

void CutscenePlayer::PlayScene(int32_t scene) {
    auto play = [this](int32_t slot, int32_t repeats) {
        if (SoundObject* s = sound(slot))
            s->Play(repeats);
    };
    if (scene == SCENE_DODUDA) {
        play(CUTSCENE_SLOT_DODUDA_VOICE, 1);
        play(CUTSCENE_SLOT_DODUDA_MUSIC, 1);
    } else if (scene == SCENE_DREAM) {
        play(CUTSCENE_SLOT_DREAM_VOICE, 1);
        play(CUTSCENE_SLOT_DREAM_MUSIC, DREAM_MUSIC_REPEATS);
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
