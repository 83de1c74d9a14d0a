// The spoken lines: espeak-ng reads the villagers' and the cutscenes' texts, and a little
// processing per speaker (pitch, pace, voice variant, then filtering and room) keeps them apart.
#include "soundfiles.h"
#include "story.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef TARVO_HAVE_ESPEAK
#include <espeak-ng/speak_lib.h>

// espeak-ng (1.51, Debian 12) asks its audio library for a playback device while it starts,
// whatever output mode it is given. PulseAudio's client, asked first, calls rand() when the
// home has no runtime folder yet, which moved the breath noise of the f3/f5 voices on a
// fresh machine's first build; other machines print ALSA's complaints. The generator only
// ever takes the samples back, so it answers that request itself, with no device: this
// definition in the executable comes before the audio library's in symbol lookup. (An
// espeak-ng that skips the request in synchronous mode never calls it.)
extern "C" struct audio_object* create_audio_device_object(const char*, const char*, const char*) {
    return nullptr;
}
#endif

namespace snd {

namespace {

constexpr double VOICE_PEAK = -2.0; // speech sits a little above the music's peaks

struct Speaker {
    const char* voice; // espeak-ng voice and variant
    int rate;          // words per minute
    int pitch;         // 0..100
    int range;         // pitch range 0..100
    double stretch;    // resampling after speech: > 1 lower and slower
    double room;       // reverb mix
    double tremolo;    // depth of an old voice's waver
    double lowpass;    // Hz; softens or darkens the voice
};

// Rarozare: a young, quick village woman. Verozi: the trader, steady and middle-aged.
// Virav: the elder, slow and wavering. The dream voice: soft and far away.
// Doduda: slowed, darkened and echoing.
const Speaker RAROZARE = {"en+f3", 170, 62, 60, 1.0, 0.08, 0.0, 7000.0};
const Speaker VEROZI = {"en+m3", 160, 42, 45, 1.0, 0.08, 0.0, 6000.0};
const Speaker VIRAV = {"en+m7", 130, 30, 35, 1.04, 0.12, 0.05, 4500.0};
const Speaker DREAMER = {"en+f5", 135, 70, 70, 1.0, 0.45, 0.0, 5000.0};
const Speaker DODUDA = {"en+m1", 140, 20, 30, 1.15, 0.35, 0.0, 3500.0};

#ifdef TARVO_HAVE_ESPEAK
std::vector<short>* g_capture = nullptr;

// The breath noise of the f3/f5 variants comes from the C library's rand(). Seeding it right
// before each line makes every line's bytes its own: independent of the lines before it and of
// whatever another library did with rand() earlier in the run.
constexpr unsigned BREATH_SEED = 1; // the C library's own default seed

int captureSpeech(short* wav, int count, espeak_EVENT*) {
    if (wav && count > 0 && g_capture)
        g_capture->insert(g_capture->end(), wav, wav + count);
    return 0;
}

// espeak-ng's own sample rate (22050 Hz for its standard voices).
int g_espeakRate = 0;

bool startSpeech() {
    if (g_espeakRate > 0)
        return true;
    g_espeakRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
    if (g_espeakRate <= 0)
        return false;
    espeak_SetSynthCallback(captureSpeech);
    return true;
}

Mono speak(const Speaker& who, const char* text) {
    std::vector<short> pcm;
    g_capture = &pcm;
    if (espeak_SetVoiceByName(who.voice) != EE_OK)
        espeak_SetVoiceByName("en");
    espeak_SetParameter(espeakRATE, who.rate, 0);
    espeak_SetParameter(espeakPITCH, who.pitch, 0);
    espeak_SetParameter(espeakRANGE, who.range, 0);
    std::srand(BREATH_SEED);
    espeak_Synth(text, std::strlen(text) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                 nullptr);
    espeak_Synchronize();
    g_capture = nullptr;
    Mono out(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i)
        out[i] = pcm[i] / 32768.0f;
    if (g_espeakRate != RATE)
        out = stretch(out, double(RATE) / g_espeakRate);
    return out;
}
#endif

// Speaker colour after the words are spoken.
Mono colour(Mono m, const Speaker& who) {
    if (who.stretch != 1.0)
        m = stretch(m, who.stretch);
    Biquad lp, hp;
    lp.lowpass(who.lowpass, 0.707);
    hp.highpass(90.0, 0.707); // rumble from the resampling is no part of a voice
    for (size_t i = 0; i < m.size(); ++i) {
        const double t = double(i) / RATE;
        float v = hp.process(lp.process(m[i]));
        if (who.tremolo > 0.0)
            v *= static_cast<float>(1.0 - who.tremolo * (0.5 + 0.5 * std::sin(2 * PI * 6.0 * t)));
        m[i] = v;
    }
    if (who.room > 0.0) {
        m.resize(m.size() + samples(who.room * 3.0), 0.0f); // room for the echo to die away
        reverb(m, 0.5 + who.room, 0.3, who.room);
    }
    // A short silence before and after, so a line never starts or stops mid-breath.
    Mono padded(samples(0.08), 0.0f);
    padded.insert(padded.end(), m.begin(), m.end());
    padded.resize(padded.size() + samples(0.15), 0.0f);
    fadeOut(padded, 0.05);
    // Gentle saturation evens out the loud syllables, so quiet words stay audible over music.
    normalizePeak(padded, 0.0);
    for (float& v : padded)
        v = softClip(1.8f * v);
    normalizePeak(padded, VOICE_PEAK);
    return padded;
}

// Without espeak-ng: a soft, short hum in the line's rough length, so the game still has
// a sound to play and a listener can tell something is missing.
Mono placeholder(const char* text) {
    const double seconds = 0.5 + 0.05 * std::strlen(text) / 2.0;
    Mono m(samples(seconds));
    for (size_t i = 0; i < m.size(); ++i)
        m[i] = static_cast<float>(0.03 * std::sin(2 * PI * 220.0 * i / RATE));
    fadeIn(m, 0.05);
    fadeOut(m, 0.05);
    return m;
}

struct Line {
    std::string file;
    const Speaker* who;
    const char* text;
};

// Each villager's voices, numbered as the conversation plays them: the greeting, the menu's
// question, then the answers in the order of their voice numbers.
std::vector<Line> lines() {
    const story::Villager& raro = story::VILLAGERS[0];
    const story::Villager& vero = story::VILLAGERS[1];
    const story::Villager& vira = story::VILLAGERS[2];
    return {
        {"rarozare1.wav", &RAROZARE, raro.normalChat},
        {"rarozare2.wav", &RAROZARE, raro.menuTitle},
        {"rarozare3.wav", &RAROZARE, raro.negativeReply}, // a refused trade
        {"rarozare4.wav", &RAROZARE, raro.items[0].reply},
        {"rarozare5.wav", &RAROZARE, raro.items[1].reply},
        {"verozi1.wav", &VEROZI, vero.normalChat},
        {"verozi2.wav", &VEROZI, vero.menuTitle},
        {"verozi3.wav", &VEROZI, vero.items[0].reply},
        {"verozi4.wav", &VEROZI, vero.items[1].reply},
        {"verozi5.wav", &VEROZI, vero.negativeReply}, // a refused trade
        {"verozi6.wav", &VEROZI, vero.items[2].reply},
        {"virav1.wav", &VIRAV, vira.normalChat},
        {"virav2.wav", &VIRAV, vira.menuTitle},
        {"virav3.wav", &VIRAV, vira.items[0].reply},
        {"virav4.wav", &VIRAV, vira.items[1].reply},
        {"virav5.wav", &VIRAV, vira.items[2].reply},
        {"dreamVoice.wav", &DREAMER, story::DREAM_VOICE},
        {"dodudaVoice.wav", &DODUDA, story::DODUDA_VOICE},
        {"endingVoice.wav", &DREAMER, story::ENDING_VOICE},
    };
}

} // namespace

std::vector<SoundFile> makeVoices(bool& spoken) {
    spoken = false;
#ifdef TARVO_HAVE_ESPEAK
    spoken = startSpeech();
#endif
    std::vector<SoundFile> out;
    for (const Line& line : lines()) {
        SoundFile f;
        f.name = line.file;
#ifdef TARVO_HAVE_ESPEAK
        if (spoken) {
            Mono words = speak(*line.who, line.text);
            if (words.empty())
                std::fprintf(stderr, "tarvo-content: espeak-ng said nothing for %s\n",
                             line.file.c_str());
            else
                f.mono = colour(std::move(words), *line.who);
        }
#endif
        if (f.mono.empty())
            f.mono = placeholder(line.text);
        out.push_back(std::move(f));
    }
    return out;
}

} // namespace snd
