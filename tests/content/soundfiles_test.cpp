// The generated Sounds/ folder, read back through libsndfile as the game reads it: every file
// in the sound manager's and the cutscene player's slot tables is there, decodes, has a plausible
// length, is audible without clipping, loops without a click, and the speakers sound different. The
// synthesizer's levels and mixing keep to their bounds.
#include "../../tools/content/sound/synth.cpp"
#include "../../tools/content/story.h"
#include "platform/cutsceneplayer.h"
#include "platform/soundmanager.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class Kind { Effect, Ambient, Loop, Music, Voice };

struct Expected {
    Kind kind;
    double minSeconds, maxSeconds;
};

// What each sound should be like. Which files the game opens comes from the sound manager's and
// the cutscene player's own slot tables; the villagers' lines, the slots that voice numbers lead
// to, all share one expectation.
const std::pair<const char*, Expected> SOUNDS[] = {
    {"batHit.wav", {Kind::Effect, 0.1, 1.5}},       {"redGunShot.wav", {Kind::Effect, 0.2, 2.0}},
    {"greenGunShot.wav", {Kind::Effect, 0.1, 1.5}}, {"blueGunShot.wav", {Kind::Effect, 0.2, 2.0}},
    {"batSwing.wav", {Kind::Effect, 0.1, 1.0}},     {"badGuyDeath.wav", {Kind::Effect, 0.4, 3.0}},
    {"tarvoHit.wav", {Kind::Effect, 0.1, 1.5}},     {"loudBreathing.wav", {Kind::Effect, 1.0, 6.0}},
    {"gunEmpty.wav", {Kind::Effect, 0.03, 0.5}},    {"grabJewel.wav", {Kind::Effect, 0.2, 2.0}},
    {"tradeJewel.wav", {Kind::Effect, 0.2, 2.0}},   {"rooster.wav", {Kind::Effect, 0.8, 4.0}},
    {"crickets.wav", {Kind::Ambient, 2.0, 10.0}},   {"birds.wav", {Kind::Ambient, 2.0, 10.0}},
    {"normal.wav", {Kind::Loop, 30.0, 60.0}},       {"attack.wav", {Kind::Loop, 30.0, 60.0}},
    {"dreamMusic.wav", {Kind::Loop, 30.0, 60.0}},   {"gameOver.wav", {Kind::Music, 20.0, 60.0}},
    {"dodudaMusic.wav", {Kind::Music, 20.0, 60.0}}, {"title.mp3", {Kind::Music, 30.0, 62.0}},
    {"endingVoice.wav", {Kind::Voice, 2.0, 20.0}},  {"dreamVoice.wav", {Kind::Voice, 2.0, 20.0}},
    {"dodudaVoice.wav", {Kind::Voice, 2.0, 20.0}},
};
const Expected VILLAGER_LINE = {Kind::Voice, 0.8, 15.0};

// Every file the sound manager and the cutscene player open, once each (grabJewel.wav serves
// two slots, dreamMusic.wav both players).
std::vector<std::string> filesTheGameOpens() {
    std::vector<std::string> files;
    auto add = [&files](const char* file) {
        if (file && std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(file);
    };
    for (int32_t slot = 1; slot <= SoundManager::SLOT_COUNT; ++slot)
        add(SoundManager::slotFile(slot));
    for (int32_t slot = 1; slot <= CutscenePlayer::SLOT_COUNT; ++slot)
        add(CutscenePlayer::slotFile(slot));
    return files;
}

bool isVillagerLine(const std::string& file) {
    for (int32_t voice = 0; voice < 1000; ++voice) {
        const char* played = SoundManager::slotFile(SoundManager::voiceSlot(voice));
        if (played && file == played)
            return true;
    }
    return false;
}

const Expected* expectationFor(const std::string& file) {
    if (isVillagerLine(file))
        return &VILLAGER_LINE;
    for (const auto& [name, expected] : SOUNDS)
        if (file == name)
            return &expected;
    return nullptr;
}

struct Decoded {
    bool ok = false;
    int rate = 0;
    int channels = 0;
    int major = 0;
    std::vector<float> left; // first channel, full scale 1.0
};

Decoded decode(const fs::path& path) {
    Decoded d;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return d;
    std::vector<float> frames(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    d.ok = got > 0;
    d.rate = info.samplerate;
    d.channels = info.channels;
    d.major = info.format & SF_FORMAT_TYPEMASK;
    for (sf_count_t i = 0; i < got; ++i)
        d.left.push_back(frames[static_cast<size_t>(i) * info.channels]);
    return d;
}

double seconds(const Decoded& d) {
    return d.rate > 0 ? double(d.left.size()) / d.rate : 0.0;
}

// Median fundamental (45 to 400 Hz) of the voiced stretches, by autocorrelation over 40 ms
// frames.
double medianPitch(const Decoded& d) {
    const size_t frame = d.rate / 25;
    std::vector<double> pitches;
    for (size_t at = 0; at + frame * 2 < d.left.size(); at += frame) {
        double energy = 0.0;
        for (size_t i = 0; i < frame; ++i)
            energy += d.left[at + i] * d.left[at + i];
        if (energy / frame < 1e-3)
            continue;
        double best = 0.0;
        int bestLag = 0;
        for (int lag = d.rate / 400; lag <= d.rate / 45; ++lag) {
            double c = 0.0;
            for (size_t i = 0; i < frame; ++i)
                c += d.left[at + i] * d.left[at + i + lag];
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        if (bestLag > 0 && best > 0.4 * energy)
            pitches.push_back(double(d.rate) / bestLag);
    }
    if (pitches.empty())
        return 0.0;
    std::nth_element(pitches.begin(), pitches.begin() + pitches.size() / 2, pitches.end());
    return pitches[pitches.size() / 2];
}

// Share of the signal's energy below about 250 Hz.
double lowShare(const Decoded& d) {
    double lowE = 0.0, all = 0.0, y = 0.0;
    const double a = 1.0 - std::exp(-2.0 * snd::PI * 250.0 / d.rate);
    for (float x : d.left) {
        y += a * (x - y);
        lowE += y * y;
        all += double(x) * x;
    }
    return all > 0.0 ? lowE / all : 0.0;
}

// Sign changes per second of a signal at `rate`.
double crossingsPerSecond(const std::vector<float>& m, int rate) {
    size_t n = 0;
    for (size_t i = 1; i < m.size(); ++i)
        n += (m[i - 1] < 0.0f) != (m[i] < 0.0f);
    return n * double(rate) / m.size();
}

bool placeholderVoices(const Decoded& d) {
    return snd::peakDb(d.left) < -20.0; // the generator was built without espeak-ng
}

class GeneratedSounds : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(TARVO_GAME_DIR) / "Sounds";
        if (!fs::exists(m_dir / "normal.wav"))
            GTEST_SKIP() << "no generated sounds in " << m_dir;
    }
    Decoded load(const std::string& name) const { return decode(m_dir / name); }
    fs::path m_dir;
};

TEST_F(GeneratedSounds, EveryFileDecodesWithAPlausibleLengthLevelAndEnding) {
    const std::vector<std::string> files = filesTheGameOpens();
    for (const auto& [name, expected] : SOUNDS)
        EXPECT_NE(std::find(files.begin(), files.end(), name), files.end())
            << name << " is expected but the game never opens it";
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        const Expected* expected = expectationFor(name);
        ASSERT_NE(expected, nullptr) << "the game opens a sound this test knows nothing of";
        const Expected& e = *expected;
        const Decoded d = load(name);
        ASSERT_TRUE(d.ok) << "missing or undecodable";
        EXPECT_TRUE(d.rate == 22050 || d.rate == 44100) << d.rate;
        EXPECT_TRUE(d.channels == 1 || d.channels == 2);
        EXPECT_GE(seconds(d), e.minSeconds);
        EXPECT_LE(seconds(d), e.maxSeconds);
        const double peak = snd::peakDb(d.left), rms = snd::rmsDb(d.left);
        if (name == "title.mp3") {
            EXPECT_EQ(d.major, SF_FORMAT_MPEG);
            EXPECT_GT(rms, -30.0);
        }
        if (e.kind != Kind::Loop && name != "title.mp3") {
            // A file that stops while still sounding clicks every time it is played.
            const size_t n = static_cast<size_t>(d.rate) / 100;
            ASSERT_GT(d.left.size(), n);
            EXPECT_LT(snd::peakDb(std::vector<float>(d.left.end() - n, d.left.end())), -30.0);
        }
        if (e.kind == Kind::Effect && name != "loudBreathing.wav" && name != "batSwing.wav") {
            // Shots and hits must sound on the frame they are triggered (breathing and the
            // swing's whoosh swell by design).
            const std::vector<float> head(d.left.begin(), d.left.begin() + d.rate / 20);
            EXPECT_GT(snd::peakDb(head), -20.0);
        }
        if (e.kind == Kind::Voice && placeholderVoices(d))
            continue;
        // Loud enough to balance the mix, never at full scale.
        EXPECT_LE(peak, -0.5);
        EXPECT_GE(peak, e.kind == Kind::Ambient ? -15.0 : -7.0);
        EXPECT_GT(rms, -40.0) << "nearly silent";
    }
}

TEST_F(GeneratedSounds, LoopingMusicJoinsWithoutAClickOrAGap) {
    for (const char* name : {"normal.wav", "attack.wav", "dreamMusic.wav"}) {
        SCOPED_TRACE(name);
        const Decoded d = load(name);
        ASSERT_TRUE(d.ok);
        const std::vector<float>& s = d.left;
        const size_t second = static_cast<size_t>(d.rate);
        ASSERT_GT(s.size(), 4 * second);
        // The jump across the seam is no bigger than the music's own steps near it.
        std::vector<float> steps;
        for (size_t i = s.size() - second; i + 1 < s.size(); ++i)
            steps.push_back(std::fabs(s[i + 1] - s[i]));
        std::sort(steps.begin(), steps.end());
        const float typical = steps[steps.size() * 99 / 100];
        EXPECT_LE(std::fabs(s.front() - s.back()), 1.5f * typical + 1e-3f);
        // And the piece does not fall silent at either end of the loop.
        EXPECT_GT(snd::rmsDb(std::vector<float>(s.begin(), s.begin() + second / 10)), -40.0);
        EXPECT_GT(snd::rmsDb(std::vector<float>(s.end() - second / 10, s.end())), -40.0);
    }
}

TEST_F(GeneratedSounds, EffectsHaveTheirOwnCharacter) {
    const Decoded red = load("redGunShot.wav"), green = load("greenGunShot.wav"),
                  blue = load("blueGunShot.wav"), crickets = load("crickets.wav");
    ASSERT_TRUE(red.ok && green.ok && blue.ok && crickets.ok);
    // The heavy red shell carries its weight in the lows; the zap and the ice do not.
    EXPECT_GT(lowShare(red), 2.0 * lowShare(green));
    EXPECT_GT(lowShare(red), 2.0 * lowShare(blue));
    EXPECT_GT(crossingsPerSecond(crickets.left, crickets.rate), 3000.0) << "crickets sing high";
}

TEST_F(GeneratedSounds, EachVoiceSpeaksItsOwnTextInItsSpeakersPitch) {
    const Decoded raro = load("rarozare1.wav"), vero = load("verozi1.wav"),
                  doduda = load("dodudaVoice.wav"), dream = load("dreamVoice.wav");
    ASSERT_TRUE(raro.ok && vero.ok && doduda.ok && dream.ok);
    if (placeholderVoices(raro))
        GTEST_SKIP() << "voices are placeholders (no espeak-ng at build time)";
    const double pr = medianPitch(raro), pv = medianPitch(vero), pd = medianPitch(doduda),
                 pdr = medianPitch(dream);
    EXPECT_GT(pr, pv * 1.15) << "Rarozare " << pr << " Hz, Verozi " << pv << " Hz";
    EXPECT_GT(pv, pd * 1.1) << "Verozi " << pv << " Hz, Doduda " << pd << " Hz";
    EXPECT_GT(pdr, pv * 1.15) << "dream voice " << pdr << " Hz";

    const story::Villager& r = story::VILLAGERS[0];
    const story::Villager& v = story::VILLAGERS[1];
    const story::Villager& o = story::VILLAGERS[2];
    // clang-format off
    const std::pair<const char*, const char*> lines[] = {
        {"rarozare1.wav", r.normalChat}, {"rarozare2.wav", r.menuTitle},
        {"rarozare3.wav", r.negativeReply}, {"rarozare4.wav", r.items[0].reply},
        {"rarozare5.wav", r.items[1].reply}, {"verozi1.wav", v.normalChat},
        {"verozi2.wav", v.menuTitle}, {"verozi3.wav", v.items[0].reply},
        {"verozi4.wav", v.items[1].reply}, {"verozi5.wav", v.negativeReply},
        {"verozi6.wav", v.items[2].reply}, {"virav1.wav", o.normalChat},
        {"virav2.wav", o.menuTitle}, {"virav3.wav", o.items[0].reply},
        {"virav4.wav", o.items[1].reply}, {"virav5.wav", o.items[2].reply},
        {"dreamVoice.wav", story::DREAM_VOICE}, {"dodudaVoice.wav", story::DODUDA_VOICE},
        {"endingVoice.wav", story::ENDING_VOICE}};
    // clang-format on
    std::vector<std::vector<float>> seen;
    for (const auto& [file, text] : lines) {
        SCOPED_TRACE(file);
        const Decoded d = load(file);
        ASSERT_TRUE(d.ok);
        // Speech runs at 8 to 25 characters a second (echo and pauses included): a file
        // far outside that holds some other line.
        const double perSecond = std::strlen(text) / seconds(d);
        EXPECT_GT(perSecond, 8.0);
        EXPECT_LT(perSecond, 25.0);
        for (const auto& other : seen)
            EXPECT_NE(other, d.left) << "two voice files hold the same sound";
        seen.push_back(d.left);
    }
}

snd::Mono sine(double hz, double seconds, double amplitude = 1.0) {
    snd::Mono m(snd::samples(seconds));
    for (size_t i = 0; i < m.size(); ++i)
        m[i] = static_cast<float>(amplitude * std::sin(2 * snd::PI * hz * i / snd::RATE));
    return m;
}

TEST(Synth, LevelsMixingAndReverbKeepToTheirBounds) {
    snd::Mono tone = sine(440.0, 0.5, 2.0);
    snd::normalizePeak(tone, -6.0);
    EXPECT_NEAR(snd::peakDb(tone), -6.0, 1e-3);
    EXPECT_NEAR(snd::rmsDb(tone), -6.0 - 3.01, 0.05); // a sine's rms is 3 dB under its peak

    snd::Mono silence(100, 0.0f);
    snd::normalizePeak(silence, -3.0); // must not divide by zero
    EXPECT_EQ(snd::peakDb(silence), -120.0);
    EXPECT_TRUE(snd::stretch({}, 2.0).empty());
    EXPECT_EQ(snd::stretch(tone, 2.0).size(), tone.size() * 2);

    snd::Stereo dst(10);
    snd::mixInto(dst, snd::Mono(50, 1.0f), 5, 1.0f, 0.0f); // must not write past frame 9
    EXPECT_EQ(dst.frames(), 10u);
    EXPECT_FLOAT_EQ(dst.left[4], 0.0f);
    EXPECT_NEAR(dst.left[9], dst.right[9], 1e-6); // centred
    snd::Mono m(10, 0.0f);
    snd::mixInto(m, snd::Mono(3, 1.0f), 100, 1.0f); // starts past the end: nothing
    EXPECT_EQ(snd::peakDb(m), -120.0);

    snd::Mono click(snd::samples(1.0), 0.0f);
    click[0] = 1.0f;
    snd::reverb(click, 0.8, 0.3, 0.5);
    const snd::Mono later(click.begin() + snd::samples(0.3), click.begin() + snd::samples(0.4));
    EXPECT_GT(snd::rmsDb(later), -70.0);
    EXPECT_LT(snd::peakDb(later), 0.0);
}

} // namespace
