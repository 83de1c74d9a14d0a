#include "platform/soundmanager.h"

#include "models/vector.h"
#include "platform/soundnames.h"
#include "platform/soundobject.h"

#include <AL/al.h>

#include <cmath>

namespace {

const SoundSlot SLOTS[SoundManager::SLOT_COUNT] = {
    {"batHit.wav", true},      {"redGunShot.wav", true},    {"greenGunShot.wav", true},
    {"blueGunShot.wav", true}, {"batSwing.wav", true},      {"badGuyDeath.wav", true},
    {"tarvoHit.wav", true},    {"loudBreathing.wav", true}, {"gunEmpty.wav", true},
    {"grabJewel.wav", true},   {"tradeJewel.wav", true},    {"grabJewel.wav", true},
    {"rooster.wav", true},     {"normal.wav", false},       {"attack.wav", false},
    {"gameOver.wav", true},    {"title.mp3", false},        {"crickets.wav", true},
    {"birds.wav", true},       {"endingVoice.wav", true},   {"dreamMusic.wav", true},
    {"rarozare1.wav", true},   {"rarozare2.wav", true},     {"rarozare3.wav", true},
    {"rarozare4.wav", true},   {"rarozare5.wav", true},     {"verozi1.wav", true},
    {"verozi2.wav", true},     {"verozi3.wav", true},       {"verozi4.wav", true},
    {"verozi5.wav", true},     {"verozi6.wav", true},       {"virav1.wav", true},
    {"virav2.wav", true},      {"virav3.wav", true},        {"virav4.wav", true},
    {"virav5.wav", true},
};
const SoundSlotTable TABLE(SLOTS);

const int32_t LOAD_ORDER[SoundManager::SLOT_COUNT] = {
    1,  2,  3,  4,  5,  6,  7,  9,  10, 11, 8,  12, 13, 19, 16, 14, 15, 17, 22,
    23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 18, 20, 21,
};

// Cue number -> slot; 0 plays nothing (CUE_SILENT has no sound).
const int32_t CUE_SLOTS[] = {
    SLOT_RED_SHOT,  SLOT_GREEN_SHOT,  SLOT_BLUE_SHOT, SLOT_BAT_SWING,
    SLOT_BAT_HIT,   SLOT_ENEMY_DEATH, SLOT_HERO_HIT,  0,
    SLOT_GUN_EMPTY, SLOT_GRAB_GEM,    SLOT_TRADE_GEM, SLOT_CASTING,
    SLOT_ROOSTER,   SLOT_CRICKETS,    SLOT_BIRDS,
};
constexpr int32_t CUE_COUNT = sizeof(CUE_SLOTS) / sizeof(CUE_SLOTS[0]);
static_assert(CUE_COUNT == CUE_LAST + 1, "every cue has a slot");
static_assert(SoundManager::SLOT_COUNT == SLOT_LAST, "every slot has a name");
constexpr int32_t FIRST_POSITIONED_CUE = CUE_CASTING;
constexpr int32_t LAST_HERO_SHOT_CUE = CUE_BLUE_SHOT;

constexpr int32_t BREATH_INTERVAL = 200;
constexpr float BREATH_HEIGHT = 100.0f;
constexpr float BREATH_RANGE = 50.0f;

SoundPlaceHook s_heroHook = nullptr;
SoundPlaceHook s_enemyHook = nullptr;

Vector heroPosition() {
    Vector at;
    if (s_heroHook && s_heroHook(at))
        return at;
    return Vector(0.0f, 0.0f, 0.0f);
}

} // namespace

SoundManager::SoundManager() = default;

SoundManager::~SoundManager() {
    ShutDown();
}

const char* SoundManager::slotFile(int32_t slot) {
    return TABLE.file(slot);
}

bool SoundManager::slotIs3D(int32_t slot) {
    return TABLE.is3D(slot);
}

int32_t SoundManager::cueSlot(int32_t cue) {
    return (cue >= 0 && cue < CUE_COUNT) ? CUE_SLOTS[cue] : 0;
}

bool SoundManager::cueAtHero(int32_t cue) {
    return cue < FIRST_POSITIONED_CUE;
}

int32_t SoundManager::voiceSlot(int32_t voice) {
    if (voice >= 100 && voice <= 104)
        return SLOT_RAROZARE_1 + (voice - 100);
    if (voice >= 200 && voice <= 205)
        return SLOT_VEROZI_1 + (voice - 200);
    if (voice >= 300 && voice <= 304)
        return SLOT_VIRAV_1 + (voice - 300);
    return 0;
}

const int32_t* SoundManager::loadOrder() {
    return LOAD_ORDER;
}

bool SoundManager::Init(void* /*window*/) {
    if (m_haveDevice)
        ShutDown();
    if (!AcquireSoundDevice(m_haveDevice))
        return false;
    for (int32_t slot : LOAD_ORDER) {
        auto* s = new SoundObject();
        if (slot == SLOT_TITLE)
            s->InitStream();
        else
            s->InitSegment();
        s->Load(SLOTS[slot - 1].file, SLOTS[slot - 1].is3D);
        s->SetRolloff(m_rolloff);
        m_sounds[slot - 1] = s;
    }
    return true;
}

void SoundManager::ShutDown() {
    ReleaseSoundSlots(m_sounds, SLOT_COUNT, m_haveDevice);
}

SoundObject* SoundManager::sound(int32_t slot) const {
    return (slot >= 1 && slot <= SLOT_COUNT) ? m_sounds[slot - 1] : nullptr;
}

void SoundManager::SetListenerPosition(float x, float y, float z) {
    m_listener = Vector(x, y, z);
    if (m_haveDevice)
        alListener3f(AL_POSITION, x, y, z);
}

void SoundManager::SetListenerOrientation(const Vector& front, const Vector& top) {
    if (!m_haveDevice)
        return;
    // Same frame as the world (see SoundObject::SetPosition), so no axis is flipped.
    float orientation[6] = {front.x, front.y, front.z, top.x, top.y, top.z};
    alListenerfv(AL_ORIENTATION, orientation);
}

void SoundManager::SetRolloff(float factor) {
    if (!m_haveDevice || !std::isfinite(factor) || factor < 0.0f)
        return;
    m_rolloff = factor;
    for (SoundObject* s : m_sounds)
        if (s)
            s->SetRolloff(factor);
}

void SoundManager::PlayCue(int32_t cue, const Vector* position) {
    SoundObject* s = sound(cueSlot(cue));
    if (!s)
        return;
    Vector at = cueAtHero(cue) ? heroPosition() : (position ? *position : Vector(0.0f, 0.0f, 0.0f));
    place(cueSlot(cue), at);
    if (cue <= LAST_HERO_SHOT_CUE)
        s->Restart(1);
    else
        s->Play(1);
}

void SoundManager::PlayCue(int32_t cue, const Vector& position) {
    PlayCue(cue, &position);
}

void SoundManager::playVoice(int32_t voice) {
    // Voices carry no position: they sound at the listener.
    PlaySlot(voiceSlot(voice), 1);
}

void SoundManager::PlaySlot(int32_t slot, int32_t repeats) {
    if (slotIs3D(slot))
        place(slot, m_listener);
    if (SoundObject* s = sound(slot))
        s->Play(repeats);
}

void SoundManager::place(int32_t slot, const Vector& at) {
    if (slot < 1 || slot > SLOT_COUNT)
        return;
    m_placed[slot - 1] = at;
    if (SoundObject* s = sound(slot))
        s->SetPosition(at.x, at.y, at.z);
}

Vector SoundManager::placedAt(int32_t slot) const {
    return (slot >= 1 && slot <= SLOT_COUNT) ? m_placed[slot - 1] : Vector();
}

void SoundManager::PlayRarozare(int32_t n) {
    playVoice(n);
}
void SoundManager::PlayVerozi(int32_t n) {
    playVoice(n);
}
void SoundManager::PlayVirav(int32_t n) {
    playVoice(n);
}

void SoundManager::Update() {
    if (--m_breathCountdown > 0)
        return;
    Vector enemy;
    if (s_enemyHook && s_enemyHook(enemy)) {
        if (SoundObject* breath = sound(SLOT_BREATH)) {
            place(SLOT_BREATH, Vector(enemy.x, BREATH_HEIGHT, enemy.z));
            Vector hero = heroPosition();
            float dx = std::trunc(std::fabs(enemy.x - hero.x));
            float dz = std::trunc(std::fabs(enemy.z - hero.z));
            if (dx < BREATH_RANGE && dz < BREATH_RANGE)
                breath->Play(1);
        }
    }
    m_breathCountdown = BREATH_INTERVAL;
}

void SetSoundHooks(SoundPlaceHook heroPosition, SoundPlaceHook randomEnemyPosition) {
    s_heroHook = heroPosition;
    s_enemyHook = randomEnemyPosition;
}

void PlaySlot(int32_t slot, int32_t repeats) {
    if (g_sound)
        g_sound->PlaySlot(slot, repeats);
}

void StopSlot(int32_t slot) {
    if (g_sound)
        if (SoundObject* s = g_sound->sound(slot))
            s->Stop();
}

bool SlotPlaying(int32_t slot) {
    if (g_sound)
        if (SoundObject* s = g_sound->sound(slot))
            return s->IsPlaying();
    return false;
}

void PlayCue(int32_t cue, const Vector& at) {
    if (g_sound)
        g_sound->PlayCue(cue, at);
}

void PlayVoice(int32_t voice) {
    if (g_sound)
        g_sound->PlayVirav(voice); // any of the three takes any voice number
}

void StartSoundManager() {
    if (g_sound) {
        g_sound->ShutDown();
        delete g_sound;
    }
    g_sound = new SoundManager();
    g_sound->Init(nullptr);
    g_sound->SetRolloff(0.001f);
}

void ShutDownSound() {
    if (g_sound)
        g_sound->ShutDown();
}

void UpdateSoundListener(const Vector& position, const Vector& front) {
    if (g_sound) {
        g_sound->SetListenerPosition(position.x, position.y, position.z);
        g_sound->SetListenerOrientation(front, Vector(0.0f, 1.0f, 0.0f));
    }
}

void UpdateSound() {
    if (g_sound)
        g_sound->Update();
}
