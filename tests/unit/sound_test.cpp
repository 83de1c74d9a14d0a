// Sound through OpenAL Soft's wave writer: the mix goes to a WAV file that the tests read back
// after the device closes. Every sound file is written here, so the tests need no content.
#include "platform/cutsceneplayer.h"
#include "platform/soundmanager.h"
#include "platform/soundobject.h"

#include "level/qrvdatalayer.h"
#include "models/vector.h"
#include "objects/boss.h"
#include "objects/player.h"
#include "objects/projectilelist.h"
#include "objects/npc.h"
#include "platform/gamestate.h"
#include "platform/messagebox.h"
#include "platform/qrvinput.h"
#include "shell/framecommands.h"
#include "shell/gamecontext.h"
#include "shell/screens.h"
#include "support/contextguard.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// OpenAL reads its configuration once, so it is pointed at the wave writer before any test.
struct WaveOutput {
    fs::path dir;
    fs::path wav;
    WaveOutput() {
        char pattern[] = "/tmp/tarvo-sound-XXXXXX";
        if (!mkdtemp(pattern))
            return;
        dir = pattern;
        wav = dir / "mix.wav";
        std::ofstream(dir / "alsoft.conf") << "drivers=wave\n[wave]\nfile=" << wav.string() << "\n";
        setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
        fs::create_directories(dir / "Sounds");
        fs::current_path(dir);
    }
    ~WaveOutput() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};
WaveOutput g_wave;

void writeTone(const std::string& name, double seconds,
               int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, int channels = 1) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open((g_wave.dir / "Sounds" / name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    size_t frames = static_cast<size_t>(seconds * info.samplerate);
    std::vector<float> pcm(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] =
                0.5f * static_cast<float>(std::sin(i * 2.0 * M_PI * 440.0 / 44100.0));
    sf_writef_float(f, pcm.data(), static_cast<sf_count_t>(frames));
    sf_close(f);
}

// Peak amplitude of the mix written so far (the device must be closed).
float mixPeak() {
    SF_INFO info{};
    SNDFILE* f = sf_open(g_wave.wav.c_str(), SFM_READ, &info);
    if (!f)
        return -1.0f;
    std::vector<float> pcm(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_float(f, pcm.data(), info.frames);
    sf_close(f);
    float peak = 0.0f;
    for (float v : pcm)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

void waitMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void expectAt(const Vector& got, const Vector& want, const char* what) {
    EXPECT_FLOAT_EQ(got.x, want.x) << what;
    EXPECT_FLOAT_EQ(got.y, want.y) << what;
    EXPECT_FLOAT_EQ(got.z, want.z) << what;
}

bool anyPlaying(const SoundManager& m) {
    for (int slot = 1; slot <= SoundManager::SLOT_COUNT; ++slot)
        if (m.sound(slot) && m.sound(slot)->IsPlaying())
            return true;
    return false;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(g_wave.dir.empty());
        fs::remove_all(g_wave.dir / "Sounds");
        fs::create_directories(g_wave.dir / "Sounds");
        SoundDevice::SetDeviceName("");
    }
    void writeAllSlots() {
        for (int slot = 1; slot <= SoundManager::SLOT_COUNT; ++slot)
            if (slot != SLOT_TITLE)
                writeTone(SoundManager::slotFile(slot), 0.1);
        for (int slot = 1; slot <= CutscenePlayer::SLOT_COUNT; ++slot)
            writeTone(CutscenePlayer::slotFile(slot), 0.1);
    }
};

} // namespace

TEST(SoundTables, SlotsCuesAndVoices) {
    std::vector<int> seen(SoundManager::SLOT_COUNT + 1, 0);
    for (int i = 0; i < SoundManager::SLOT_COUNT; ++i)
        ++seen.at(SoundManager::loadOrder()[i]);
    for (int slot = 1; slot <= SoundManager::SLOT_COUNT; ++slot)
        EXPECT_EQ(seen[slot], 1) << "slot " << slot;
    EXPECT_EQ(SoundManager::slotFile(0), nullptr);
    EXPECT_EQ(SoundManager::slotFile(38), nullptr);
    // Cues and voice numbers outside the tables lead to no slot (the answers' voices are
    // checked through the conversations below).
    for (int cue : {15, -1})
        EXPECT_EQ(SoundManager::cueSlot(cue), 0) << "cue " << cue;
    for (int v : {0, 99, 105, 106, 199, 206, 299, 305, -100})
        EXPECT_EQ(SoundManager::voiceSlot(v), 0) << v;

    EXPECT_EQ(CutscenePlayer::slotFile(0), nullptr);
    EXPECT_EQ(CutscenePlayer::slotFile(5), nullptr);
}

// Waits until `s` has played past `seconds` (false if it never does within a second).
bool playedPast(const SoundObject& s, double seconds) {
    for (int i = 0; i < 100 && s.PlayedSeconds() <= seconds; ++i)
        waitMs(10);
    return s.PlayedSeconds() > seconds;
}

TEST_F(SoundTest, ASoundAskedForWhileItPlaysGoesOnAndOnlyTheHerosShotsStartOver) {
    writeTone("grabJewel.wav", 0.8); // the magician's casting chime (cue 11, slot 12)
    writeTone("redGunShot.wav", 0.9);
    SoundManager m;
    ASSERT_TRUE(m.Init());
    g_sound = &m;
    const Vector magician(10.0f, 0.0f, 10.0f);
    SoundObject* chime = m.sound(SoundManager::cueSlot(CUE_CASTING));
    PlayCue(CUE_CASTING, magician);
    ASSERT_TRUE(playedPast(*chime, 0.2));
    // Asked for again on every drawn frame of the cast: the chime plays on through.
    for (int frame = 0; frame < 5; ++frame) {
        const double before = chime->PlayedSeconds();
        PlayCue(CUE_CASTING, magician);
        EXPECT_GE(chime->PlayedSeconds(), before) << "frame " << frame;
        waitMs(5);
    }
    EXPECT_GT(chime->PlayedSeconds(), 0.2);

    // Each click of a quick row of shots is a new shot, heard from its start.
    SoundObject* shot = m.sound(SoundManager::cueSlot(CUE_RED_SHOT));
    PlayCue(CUE_RED_SHOT, magician);
    ASSERT_TRUE(playedPast(*shot, 0.2));
    PlayCue(CUE_RED_SHOT, magician);
    EXPECT_TRUE(shot->IsPlaying());
    EXPECT_LT(shot->PlayedSeconds(), 0.2);
    g_sound = nullptr;
}

TEST_F(SoundTest, StreamedTitleTunePlaysThroughAndEnds) {
    // 1.5 s is several times the stream's queue, so it only lasts if refilling works.
    writeTone("title.mp3", 1.5, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2);
    SoundManager m;
    ASSERT_TRUE(m.Init());
    SoundObject* title = m.sound(SLOT_TITLE);
    ASSERT_NE(title, nullptr);
    ASSERT_TRUE(title->isLoaded());
    EXPECT_EQ(title->kind(), SoundObject::KIND_STREAM);
    ASSERT_TRUE(title->Play(1));
    auto start = std::chrono::steady_clock::now();
    while (title->IsPlaying() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        waitMs(20);
    double played = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(title->IsPlaying());
    EXPECT_GT(played, 1.2);
    // Once more from the start, then stopped early.
    ASSERT_TRUE(title->Play(1));
    EXPECT_TRUE(title->IsPlaying());
    title->Stop();
    EXPECT_FALSE(title->IsPlaying());
    m.ShutDown();
    EXPECT_GT(mixPeak(), 0.05f);
}

TEST_F(SoundTest, RepeatCountsPlayBackToBack) {
    writeAllSlots();
    CutscenePlayer c;
    ASSERT_TRUE(c.Init(nullptr));
    c.PlayScene(401); // voice once, music seven times (0.7 s)
    EXPECT_TRUE(c.sound(1)->IsPlaying());
    EXPECT_TRUE(c.sound(2)->IsPlaying());
    EXPECT_FALSE(c.sound(3)->IsPlaying());
    waitMs(350);
    EXPECT_FALSE(c.sound(1)->IsPlaying());
    EXPECT_TRUE(c.sound(2)->IsPlaying());
    c.PlayScene(402);
    EXPECT_FALSE(c.sound(3)->IsPlaying());
    c.PlayScene(400);
    EXPECT_TRUE(c.sound(3)->IsPlaying());
    EXPECT_TRUE(c.sound(4)->IsPlaying());
    EXPECT_EQ(c.sound(0), nullptr);
    EXPECT_EQ(c.sound(5), nullptr);
    c.ShutDown();
    c.ShutDown();
    EXPECT_EQ(c.sound(1), nullptr);
    c.PlayScene(401);
}

TEST_F(SoundTest, MissingAndBrokenFilesLeaveASilentWorkingManager) {
    std::ofstream(g_wave.dir / "Sounds" / "redGunShot.wav") << "RIFF not really a wave file";
    std::ofstream(g_wave.dir / "Sounds" / "title.mp3") << "garbage";
    SoundManager m;
    ASSERT_TRUE(m.Init());
    for (int slot = 1; slot <= SoundManager::SLOT_COUNT; ++slot) {
        ASSERT_NE(m.sound(slot), nullptr);
        EXPECT_FALSE(m.sound(slot)->isLoaded());
        EXPECT_FALSE(m.sound(slot)->Play(1));
    }
    m.PlayCue(CUE_RED_SHOT);
    m.PlayRarozare(100);
    for (int i = 0; i < 250; ++i)
        m.Update();
    EXPECT_FALSE(anyPlaying(m));
    m.ShutDown();
    m.ShutDown();
    EXPECT_EQ(m.sound(1), nullptr);
    m.PlayCue(CUE_RED_SHOT);
    m.Update();
    EXPECT_LT(mixPeak(), 0.001f);
}

TEST_F(SoundTest, NoDeviceOrNoManagerMeansSilenceWithoutFaults) {
    writeAllSlots();
    SoundDevice::SetDeviceName("no such audio device");
    SoundManager m;
    EXPECT_FALSE(m.Init());
    EXPECT_EQ(m.sound(2), nullptr);
    m.SetRolloff(0.001f);
    m.SetListenerPosition(1.0f, 2.0f, 3.0f);
    m.SetListenerOrientation(Vector(1.0f, 0.0f, 0.0f), Vector(0.0f, 1.0f, 0.0f));
    m.PlayCue(CUE_RED_SHOT);
    m.PlayVirav(300);
    m.Update();
    CutscenePlayer c;
    EXPECT_FALSE(c.Init());
    c.PlayScene(401);
    EXPECT_EQ(c.sound(1), nullptr);
    m.ShutDown();
    m.ShutDown();
    c.ShutDown();
    SoundDevice::SetDeviceName("");
    EXPECT_FALSE(SoundDevice::IsOpen());

    // The game's own calls with no manager at all.
    ASSERT_EQ(g_sound, nullptr);
    PlaySlot(SLOT_GAME_OVER, PLAY_ONCE_COUNT);
    StopSlot(SLOT_GAME_OVER);
    EXPECT_FALSE(SlotPlaying(16));
    PlayCue(CUE_RED_SHOT, Vector(1.0f, 2.0f, 3.0f));
    PlayVoice(100);
    UpdateSoundListener(Vector(1.0f, 2.0f, 3.0f), Vector(0.0f, 0.0f, -1.0f));
    UpdateSound();
    ShutDownSound();
    ASSERT_EQ(g_cutsceneSound, nullptr);
    PlayCutsceneScene(400);
    StopCutsceneSounds();
    ShutDownCutsceneSound();
}

TEST_F(SoundTest, ManagerAndCutscenePlayerShareTheDevice) {
    writeAllSlots();
    auto* m = new SoundManager();
    CutscenePlayer c;
    ASSERT_TRUE(m->Init());
    ASSERT_TRUE(c.Init());
    m->ShutDown();
    EXPECT_TRUE(SoundDevice::IsOpen()); // the cutscene player still holds it
    c.PlayScene(400);
    EXPECT_TRUE(c.sound(3)->IsPlaying());
    delete m; // destruction after ShutDown is harmless
    c.ShutDown();
    EXPECT_FALSE(SoundDevice::IsOpen());
}

TEST_F(SoundTest, TheBreathingWaitRestartsAndOnlyANearbyEnemyBreathes) {
    writeAllSlots();
    InstallSoundHooks(); // as the title set-up does: the game's hero and data layer
    SoundManager m;
    ASSERT_TRUE(m.Init());
    m.SetRolloff(-1.0f);
    EXPECT_FLOAT_EQ(m.rolloff(), 1.0f);
    EXPECT_EQ(m.breathCountdown(), 100);
    for (int i = 0; i < 100; ++i)
        m.Update(); // no data layer: nobody breathes, the wait starts again
    EXPECT_EQ(m.breathCountdown(), 200);
    EXPECT_FALSE(m.sound(SLOT_BREATH)->IsPlaying());

    QRVDataLayer layer;
    auto enemy = std::make_unique<EnemyData>();
    enemy->id = 1;
    enemy->x = 49.9f; // truncated to 49: close enough (no hero counts as the origin)
    enemy->z = -20.0f;
    EnemyData* record = enemy.get();
    layer.addEnemy(std::move(enemy));
    g_dataLayer = &layer;
    for (int i = 0; i < 200; ++i)
        m.Update();
    EXPECT_TRUE(m.sound(SLOT_BREATH)->IsPlaying());
    m.sound(SLOT_BREATH)->Stop();
    record->x = 50.0f;
    for (int i = 0; i < 200; ++i)
        m.Update();
    EXPECT_EQ(m.breathCountdown(), 200);
    EXPECT_FALSE(m.sound(SLOT_BREATH)->IsPlaying());
    g_dataLayer = nullptr;
    SetSoundHooks(nullptr, nullptr);
}

TEST_F(SoundTest, SoundsWithoutAPlaceOfTheirOwnPlayAtTheListener) {
    // Gun empty, game over, the ending voice and the dream music, as the game plays them.
    const int slots[] = {9, 16, 20, 21};
    const Vector listener(1500.0f, 12.0f, 900.0f);
    SoundDevice::SetDeviceName("no such audio device");
    {
        SoundManager m; // the bookkeeping works without a device
        EXPECT_FALSE(m.Init());
        g_sound = &m;
        m.SetListenerPosition(listener.x, listener.y, listener.z);
        for (int slot : slots) {
            PlaySlot(slot, PLAY_ONCE_COUNT);
            expectAt(m.placedAt(slot), listener, std::to_string(slot).c_str());
        }
        m.PlayVirav(300);
        EXPECT_FLOAT_EQ(m.placedAt(33).x, listener.x) << "voices too, even with no hero";

        // The boss's bolt, cast in its swing, has no place of its own either.
        SetMessageBoxResponder([](const std::string&, const std::string&, MessageBoxButtons) {
            return MessageBoxAnswer::Ok; // the models are not here
        });
        Player hero;
        g_hero = &hero;
        Boss boss;
        ProjectileList flying;
        g_projectiles = &flying;
        boss.m_active = true;
        boss.m_phase = BOSS_FIGHT;
        boss.m_charge = 1.0f;
        boss.m_currentAnimation = 6; // the casting swing: a bolt leaves this frame
        boss.update();
        EXPECT_EQ(boss.m_currentAnimation, 0) << "the bolt was cast";
        expectAt(m.placedAt(4), listener, "the boss's shot");
        g_projectiles = nullptr;
        g_hero = nullptr;
        g_sound = nullptr;
        SetMessageBoxResponder(nullptr);
    }
    SoundDevice::SetDeviceName("");

    // Heard: far from the origin with the default rolloff, a sound left at the origin would
    // be a thousandth as loud.
    writeTone("gameOver.wav", 0.3);
    SoundManager m;
    ASSERT_TRUE(m.Init());
    g_sound = &m;
    m.SetListenerPosition(listener.x, listener.y, listener.z);
    m.SetListenerOrientation(Vector(0.0f, 0.0f, -1.0f), Vector(0.0f, 1.0f, 0.0f));
    PlaySlot(SLOT_GAME_OVER, PLAY_ONCE_COUNT);
    ASSERT_TRUE(m.sound(16)->IsPlaying());
    for (int i = 0; i < 100 && m.sound(16)->IsPlaying(); ++i)
        waitMs(20);
    g_sound = nullptr;
    m.ShutDown();
    EXPECT_GT(mixPeak(), 0.05f);
}

namespace {
// What the test's hooks report, and how often the enemy hook was asked.
Vector s_hookHero, s_hookEnemy;
bool s_hookHasHero = false, s_hookHasEnemy = false;
int s_enemyAsked = 0;

bool testHero(Vector& at) {
    if (s_hookHasHero)
        at = s_hookHero;
    return s_hookHasHero;
}
bool testEnemy(Vector& at) {
    ++s_enemyAsked;
    if (s_hookHasEnemy)
        at = s_hookEnemy;
    return s_hookHasEnemy;
}
} // namespace

TEST_F(SoundTest, TheHeroAndTheBreathingEnemyAreWhereTheHooksSay) {
    writeAllSlots();
    SoundManager m;
    ASSERT_TRUE(m.Init());
    const int heroSlot = SoundManager::cueSlot(CUE_RED_SHOT);
    const Vector origin(0.0f, 0.0f, 0.0f), elsewhere(5.0f, 6.0f, 7.0f);

    // No hooks: the hero counts as the origin and nobody breathes, without a fault.
    SetSoundHooks(nullptr, nullptr);
    m.PlayCue(CUE_RED_SHOT, elsewhere);
    expectAt(m.placedAt(heroSlot), origin, "a hero cue without a hero hook");
    for (int i = 0; i < 100; ++i)
        m.Update();
    EXPECT_EQ(m.breathCountdown(), 200);
    EXPECT_FALSE(m.sound(SLOT_BREATH)->IsPlaying());

    s_hookHero = Vector(1000.0f, 3.0f, 1000.0f);
    s_hookEnemy = Vector(1040.0f, 7.0f, 960.0f); // 40 away on both axes: heard
    s_hookHasHero = s_hookHasEnemy = true;
    s_enemyAsked = 0;
    SetSoundHooks(testHero, testEnemy);
    m.PlayCue(CUE_RED_SHOT, elsewhere);
    expectAt(m.placedAt(heroSlot), s_hookHero, "a hero cue");
    m.PlayCue(CUE_ROOSTER, elsewhere);
    expectAt(m.placedAt(SoundManager::cueSlot(CUE_ROOSTER)), elsewhere, "a cue with its own place");
    for (int i = 0; i < 199; ++i)
        m.Update();
    EXPECT_EQ(s_enemyAsked, 0) << "asked only when the wait runs out";
    m.Update();
    EXPECT_EQ(s_enemyAsked, 1);
    expectAt(m.placedAt(SLOT_BREATH), Vector(1040.0f, 100.0f, 960.0f), "the breath");
    EXPECT_TRUE(m.sound(SLOT_BREATH)->IsPlaying());
    m.sound(SLOT_BREATH)->Stop();

    // A hero hook with no hero: the origin again, so an enemy near it breathes.
    s_hookHasHero = false;
    s_hookEnemy = Vector(30.0f, 0.0f, -30.0f);
    for (int i = 0; i < 200; ++i)
        m.Update();
    EXPECT_TRUE(m.sound(SLOT_BREATH)->IsPlaying());
    m.sound(SLOT_BREATH)->Stop();
    s_hookHasEnemy = false;
    for (int i = 0; i < 200; ++i)
        m.Update();
    EXPECT_EQ(s_enemyAsked, 3);
    EXPECT_FALSE(m.sound(SLOT_BREATH)->IsPlaying());
    m.ShutDown();

    // Without a device the enemy is still asked once per wait: the game's random numbers
    // are drawn the same with or without sound.
    SoundDevice::SetDeviceName("no such audio device");
    SoundManager silent;
    EXPECT_FALSE(silent.Init());
    s_hookHasEnemy = true;
    s_enemyAsked = 0;
    for (int i = 0; i < 100; ++i)
        silent.Update();
    EXPECT_EQ(s_enemyAsked, 1);
    SetSoundHooks(nullptr, nullptr);
}

namespace {
constexpr uint8_t KEY_T = 0x14, KEY_ENTER = 0x1C, KEY_DOWN = 0xD0;

// One frame with `key` held, then one with it let go (the latches open again).
void press(uint8_t key) {
    g_keyState[key] = 0x80;
    FrameCommands();
    g_keyState[key] = 0;
    FrameCommands();
}

// The villagers' voice numbers that are sounding now.
std::vector<int32_t> voicesSpeaking() {
    std::vector<int32_t> out;
    for (int32_t first : {100, 200, 300})
        for (int32_t v = first; SoundManager::voiceSlot(v) != 0; ++v)
            if (SlotPlaying(SoundManager::voiceSlot(v)))
                out.push_back(v);
    return out;
}
using Voices = std::vector<int32_t>;
} // namespace

TEST_F(SoundTest, EachAnswerPlaysItsVoiceAndNoVoiceOutlastsItsConversation) {
    writeAllSlots();
    for (int32_t slot = 22; slot <= 37; ++slot)
        writeTone(SoundManager::slotFile(slot), 3.0); // longer than a conversation here
    ContextGuard context;
    SoundManager m;
    ASSERT_TRUE(m.Init());
    g_sound = &m;
    QRVDataLayer layer;
    layer.m_worldWidth = layer.m_worldDepth = 2048.0f;
    g_dataLayer = &layer;
    Player hero;
    g_hero = &hero;
    g_gameState = STATE_PLAY;
    ResetFrameCommandLatches();

    // The three villagers and their menus' trades (1 life, 2 blue, 3 red, 4 the map).
    const char* names[] = {"Rarozare", "Verozi", "Virav"};
    const int32_t items[3][3] = {{1, 3, 0}, {2, 3, 1}, {4, 0, 0}};
    const int32_t counts[] = {2, 3, 3};
    Npc people[3];
    NpcData* records[3];
    for (int32_t i = 0; i < 3; ++i) {
        auto record = std::make_unique<NpcData>();
        record->id = i;
        record->name = names[i];
        record->menu.count = counts[i];
        for (int32_t k = 0; k < counts[i]; ++k)
            record->menu.items[k] = {"item", "reply", items[i][k]};
        records[i] = record.get();
        layer.addNpc(std::move(record));
        people[i].m_id = i;
        people[i].setPosition(Vector(300.0f + 300.0f * i, 0.0f, 300.0f));
        g_objectTable[i] = &people[i];
    }

    struct Talk {
        int32_t who, item, gems, answer;
    };
    const Talk talks[] = {
        {0, 0, 0, 102}, {0, 0, 10, 103}, {0, 1, 10, 104}, // Rarozare: refused, bread, shells
        {1, 0, 0, 204}, {1, 0, 10, 202}, {1, 1, 10, 203}, {1, 2, 10, 205}, // Verozi
        {2, 0, 0, 302}, {2, 1, 0, 303},  {2, 2, 0, 304}, // Virav: the map and two questions
    };
    for (const Talk& t : talks) {
        SCOPED_TRACE(std::string(names[t.who]) + " item " + std::to_string(t.item) + " with " +
                     std::to_string(t.gems) + " gems");
        const int32_t greeting = 100 * (t.who + 1);
        hero.m_gems = t.gems;
        hero.setPosition(people[t.who].getPosition() + Vector(5.0f, 0.0f, 0.0f));
        records[t.who]->menu.selected = 0; // as the menu's first drawing leaves it
        press(KEY_T);
        ASSERT_EQ(g_gameState, STATE_CONVERSATION);
        EXPECT_EQ(voicesSpeaking(), Voices{greeting});
        press(KEY_ENTER);
        EXPECT_EQ(voicesSpeaking(), Voices{greeting + 1}) << "the menu's question";
        for (int32_t k = 0; k < t.item; ++k)
            press(KEY_DOWN);
        press(KEY_ENTER);
        EXPECT_EQ(voicesSpeaking(), Voices{t.answer}) << "the answer alone";
        press(KEY_ENTER); // the answer is still speaking when the player walks on
        ASSERT_EQ(g_gameState, STATE_PLAY);
        EXPECT_EQ(voicesSpeaking(), Voices{}) << "ending the talk ends the voice";
    }

    // A voice still speaking when a conversation starts (whoever it is) stops for the greeting.
    PlayVoice(203);
    hero.setPosition(people[0].getPosition() + Vector(5.0f, 0.0f, 0.0f));
    press(KEY_T);
    EXPECT_EQ(voicesSpeaking(), Voices{100});
    g_showMapRequested = false;
    g_sound = nullptr;
}

TEST(Credits, NameTheVoicesTheRecordingsAreSpokenWith) {
    // Who speaks each recording, as the content generator has it: each speaker's espeak-ng
    // voice, and each line's file and speaker.
    std::ifstream in(std::string(TARVO_SOURCE_DIR) + "/tools/content/sound/voices.cpp");
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    std::map<std::string, std::string> speakerVoice, fileVoice;
    const std::regex speaker(R"re(const Speaker (\w+) = \{"([^"]+)")re");
    for (std::sregex_iterator i(source.begin(), source.end(), speaker), end; i != end; ++i)
        speakerVoice[(*i)[1]] = (*i)[2];
    const std::regex line(R"re(\{"(\w+)\.wav", &(\w+),)re");
    for (std::sregex_iterator i(source.begin(), source.end(), line), end; i != end; ++i) {
        ASSERT_EQ(speakerVoice.count((*i)[2]), 1u) << (*i)[0];
        fileVoice[(*i)[1]] = speakerVoice[(*i)[2]];
    }
    ASSERT_EQ(fileVoice.size(), 19u);

    // Each credited character, the recording that is theirs, and the credits line.
    const std::pair<int32_t, std::string> cast[] = {
        {6, "rarozare1"}, {7, "dodudaVoice"}, {9, "verozi1"},
        {10, "virav1"},   {11, "dreamVoice"}, // Vovover: the voice in the dream that wakes Tarvo,
                                              // and at the end
    };
    std::set<std::string> credited, used;
    for (const auto& entry : fileVoice)
        used.insert(entry.second);
    for (const auto& [index, file] : cast) {
        const std::string credit = CreditsLine(index);
        const std::string voice = fileVoice[file];
        EXPECT_NE(credit.find(" - espeak-ng, voice " + voice), std::string::npos)
            << credit << " speaks " << file << " with " << voice;
        credited.insert(voice);
    }
    EXPECT_EQ(credited, used) << "every voice heard is credited, and only those";
    EXPECT_EQ(fileVoice.count("tarvo"), 0u);
    EXPECT_EQ(std::string(CreditsLine(8)).find("espeak"), std::string::npos)
        << "Tarvo says no line: " << CreditsLine(8);
    const std::string vovover = CreditsLine(11);
    EXPECT_EQ(vovover.substr(0, 10), "Vovover - ");
    EXPECT_EQ(vovover.substr(vovover.size() - 2), "**");
}
