// The game's effects, each built from a few oscillators, noise and filters.
#include "soundfiles.h"

#include <algorithm>
#include <cmath>

namespace snd {

namespace {

constexpr double EFFECT_PEAK = -3.0;  // shots, hits and pick-ups
constexpr double AMBIENT_PEAK = -9.0; // birds, crickets: behind everything else
constexpr double BREATH_PEAK = -6.0;

double expDecay(double t, double seconds) {
    return std::exp(-t / seconds);
}

// A sine whose frequency glides exponentially from f0 to f1 over `seconds`.
struct Sweep {
    double phase = 0.0;
    float next(double t, double seconds, double f0, double f1) {
        const double k = std::min(t / seconds, 1.0);
        const double f = f0 * std::pow(f1 / f0, k);
        phase += 2.0 * PI * f / RATE;
        return static_cast<float>(std::sin(phase));
    }
};

// Heavy red shell: a deep thump under a burst of dark, rolling noise.
Mono redGunShot() {
    Mono out(samples(0.9));
    Noise noise(11);
    Biquad body, crack;
    crack.highpass(1200.0, 0.7);
    Sweep thump;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        body.lowpass(3500.0 * expDecay(t, 0.08) + 200.0, 0.8);
        const float n = noise.next();
        const float boom = body.process(n) * static_cast<float>(expDecay(t, 0.25));
        const float snap = crack.process(n) * static_cast<float>(expDecay(t, 0.012));
        const float low =
            thump.next(t, 0.25, 140.0, 38.0) * static_cast<float>(expDecay(t, 0.18) * 1.4);
        out[i] = softClip(1.6f * (boom + 0.6f * snap + low));
    }
    reverb(out, 0.55, 0.4, 0.18);
    fadeOut(out, 0.15);
    return out;
}

// Green beam: a square-ish zap diving in pitch, with a buzzing ring modulator.
Mono greenGunShot() {
    Mono out(samples(0.38));
    Sweep carrier, mod;
    Biquad tone;
    tone.lowpass(5000.0, 0.9);
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const float c = carrier.next(t, 0.3, 2200.0, 180.0);
        const float m = mod.next(t, 0.3, 90.0, 40.0);
        const float square = softClip(4.0f * c);
        const float env = static_cast<float>(std::min(t / 0.004, 1.0) * expDecay(t, 0.11));
        out[i] = tone.process(square * (0.6f + 0.4f * m)) * env;
    }
    fadeOut(out, 0.05);
    return out;
}

// Blue frost: a glassy, inharmonic chime falling like ice splinters, over a cold hiss.
Mono blueGunShot() {
    Mono out(samples(0.85));
    Noise noise(13);
    Biquad hiss;
    hiss.bandpass(7000.0, 1.5);
    static const double partials[5] = {1.0, 2.76, 5.40, 8.93, 13.34};
    double phase[5] = {0, 0, 0, 0, 0};
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const double base = 900.0 * std::pow(0.55, std::min(t / 0.4, 1.0));
        float chime = 0.0f;
        for (int p = 0; p < 5; ++p) {
            phase[p] += 2.0 * PI * base * partials[p] / RATE;
            chime += static_cast<float>(std::sin(phase[p]) * expDecay(t, 0.35 / (1 + p * 0.6)) /
                                        (1 + p * 0.5));
        }
        const float air = hiss.process(noise.next()) * static_cast<float>(expDecay(t, 0.2));
        const float attack = static_cast<float>(std::min(t / 0.003, 1.0));
        out[i] = attack * (0.7f * chime + 0.9f * air);
    }
    reverb(out, 0.7, 0.2, 0.3);
    fadeOut(out, 0.2);
    return out;
}

// Dry trigger click with a tiny metallic ring.
Mono gunEmpty() {
    Mono out(samples(0.14));
    Noise noise(17);
    Biquad click;
    click.bandpass(3200.0, 4.0);
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        phase += 2.0 * PI * 2650.0 / RATE;
        const float c = click.process(noise.next()) * static_cast<float>(expDecay(t, 0.004));
        const float ring = static_cast<float>(std::sin(phase) * expDecay(t, 0.025) * 0.25);
        out[i] = 3.0f * c + ring;
    }
    fadeOut(out, 0.03);
    return out;
}

// Whoosh: noise through a band-pass that sweeps up and back as the bat passes.
Mono batSwing() {
    Mono out(samples(0.4));
    Noise noise(19);
    Biquad band;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const double k = t / 0.4;
        band.bandpass(400.0 + 1600.0 * std::sin(PI * k), 2.5);
        const float env = static_cast<float>(std::pow(std::sin(PI * k), 2.0));
        out[i] = band.process(noise.next()) * env;
    }
    return out;
}

// Wooden thwack: a short hollow knock over a thud.
Mono batHit() {
    Mono out(samples(0.35));
    Noise noise(23);
    Biquad wood;
    wood.bandpass(850.0, 6.0);
    Sweep thud;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const float n = noise.next();
        const float knock = wood.process(n) * static_cast<float>(expDecay(t, 0.05)) * 4.0f;
        const float crack = n * static_cast<float>(expDecay(t, 0.006));
        const float low = thud.next(t, 0.12, 160.0, 60.0) * static_cast<float>(expDecay(t, 0.07));
        out[i] = softClip(knock + 0.7f * crack + 1.2f * low);
    }
    fadeOut(out, 0.08);
    return out;
}

// A creature's last cry: a growling, falling saw with wobble, fading into a rattle.
Mono badGuyDeath() {
    Mono out(samples(1.3));
    Noise noise(29);
    Biquad throat, formant;
    throat.lowpass(1800.0, 1.2);
    formant.bandpass(650.0, 3.0);
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const double f = 320.0 * std::pow(0.18, t / 1.3) * (1.0 + 0.06 * std::sin(2 * PI * 9 * t));
        phase += f / RATE;
        phase -= std::floor(phase);
        const float saw = static_cast<float>(2.0 * phase - 1.0);
        const float rasp = noise.next() * 0.35f;
        const float voice = throat.process(saw + rasp);
        const float vowel = formant.process(voice) * 2.0f + voice * 0.5f;
        const float env =
            static_cast<float>(std::min(t / 0.03, 1.0) * (1.0 - t / 1.3) * (1.0 - t / 1.3));
        out[i] = softClip(2.5f * vowel) * env;
    }
    reverb(out, 0.5, 0.5, 0.15);
    fadeOut(out, 0.1);
    return out;
}

// The hero's grunt: a short voiced "uh" (glottal buzz through two formants) on a blow.
Mono tarvoHit() {
    Mono out(samples(0.4));
    Biquad f1, f2;
    f1.bandpass(620.0, 5.0);
    f2.bandpass(1150.0, 6.0);
    Noise noise(31);
    Sweep thud;
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const double f = 150.0 - 50.0 * t / 0.4;
        phase += f / RATE;
        phase -= std::floor(phase);
        const float pulse = static_cast<float>(std::pow(1.0 - phase, 6.0)) - 0.14f;
        const float voice = f1.process(pulse) * 3.0f + f2.process(pulse) * 1.8f;
        const float env =
            static_cast<float>(std::min(t / 0.02, 1.0) * std::pow(1.0 - t / 0.4, 1.5));
        const float blow = (thud.next(t, 0.08, 120.0, 50.0) + 0.3f * noise.next()) *
                           static_cast<float>(expDecay(t, 0.03));
        out[i] = softClip(2.0f * voice * env + blow);
    }
    return out;
}

// A beast's heavy breathing: three slow breaths in and out, throaty and low.
Mono loudBreathing() {
    Mono out(samples(3.6));
    Noise noise(37);
    Biquad chest, mouth;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const double cycle = std::fmod(t, 1.2) / 1.2; // in for 45%, out for 55%
        const bool in = cycle < 0.45;
        const double k = in ? cycle / 0.45 : (cycle - 0.45) / 0.55;
        const double shape = std::sin(PI * k);
        chest.bandpass(in ? 900.0 + 300.0 * k : 520.0 - 120.0 * k, 2.0);
        mouth.bandpass(in ? 2200.0 : 1500.0, 3.0);
        const float n = noise.next();
        // A little rumble on the way out makes it sound like something big.
        const float growl =
            static_cast<float>(in ? 0.0 : 0.25 * std::sin(2 * PI * 55 * t) * (0.5 + 0.5 * n));
        out[i] = static_cast<float>(shape * (in ? 0.7 : 1.0)) *
                 (chest.process(n) + 0.4f * mouth.process(n) + growl);
    }
    fadeIn(out, 0.05);
    fadeOut(out, 0.1);
    return out;
}

// A bell-like tone (two inharmonic partials), for jewels.
void addBell(Mono& out, double at, double hz, double seconds, float gain) {
    const size_t start = samples(at);
    for (size_t i = 0; i < samples(seconds) && start + i < out.size(); ++i) {
        const double t = double(i) / RATE;
        const double v = std::sin(2 * PI * hz * t) * expDecay(t, seconds * 0.35) +
                         0.4 * std::sin(2 * PI * hz * 2.76 * t) * expDecay(t, seconds * 0.12) +
                         0.2 * std::sin(2 * PI * hz * 5.4 * t) * expDecay(t, seconds * 0.06);
        out[start + i] += gain * static_cast<float>(v * std::min(t / 0.002, 1.0));
    }
}

// A rising sparkle: four quick bell notes up a major chord.
Mono grabJewel() {
    Mono out(samples(0.8));
    static const double notes[4] = {84, 88, 91, 96}; // C6 E6 G6 C7
    for (int n = 0; n < 4; ++n)
        addBell(out, n * 0.06, midiToHz(notes[n]), 0.5, 0.5f);
    reverb(out, 0.6, 0.3, 0.25);
    fadeOut(out, 0.1);
    return out;
}

// The trade: a purse's jingle and a satisfied two-note chime.
Mono tradeJewel() {
    Mono out(samples(1.0));
    Noise noise(41);
    Biquad jingle;
    jingle.bandpass(6000.0, 2.0);
    for (size_t i = 0; i < samples(0.25); ++i) {
        const double t = double(i) / RATE;
        // Coins: bursts of metallic noise at uneven times.
        const double g = std::fabs(std::sin(2 * PI * 23 * t) * std::sin(2 * PI * 37 * t));
        out[i] += jingle.process(noise.next()) * static_cast<float>(g * expDecay(t, 0.12));
    }
    addBell(out, 0.18, midiToHz(79), 0.8, 0.45f); // G5
    addBell(out, 0.30, midiToHz(84), 0.7, 0.45f); // C6
    reverb(out, 0.6, 0.3, 0.2);
    fadeOut(out, 0.12);
    return out;
}

// Cock-a-doodle-doo: four syllables of a bright, nasal, pitch-bending voice.
Mono rooster() {
    struct Syllable {
        double start, length, f0, f1;
    };
    static const Syllable calls[4] = {{0.0, 0.16, 620, 700},
                                      {0.22, 0.14, 760, 820},
                                      {0.42, 0.2, 880, 940},
                                      {0.7, 0.85, 980, 640}};
    Mono out(samples(1.9));
    Biquad nasal, bright;
    nasal.bandpass(1400.0, 3.0);
    bright.bandpass(2600.0, 4.0);
    Noise noise(43);
    for (const Syllable& s : calls) {
        double phase = 0.0;
        const size_t at = samples(s.start);
        for (size_t i = 0; i < samples(s.length) && at + i < out.size(); ++i) {
            const double t = double(i) / RATE;
            const double k = t / s.length;
            const double f = s.f0 + (s.f1 - s.f0) * k * k + 12.0 * std::sin(2 * PI * 28 * t);
            phase += f / RATE;
            phase -= std::floor(phase);
            const float saw = static_cast<float>(2.0 * phase - 1.0) + 0.1f * noise.next();
            const float env = static_cast<float>(std::pow(std::sin(PI * k), 0.4));
            out[at + i] += env * (nasal.process(saw) * 2.0f + bright.process(saw) * 1.2f);
        }
    }
    reverb(out, 0.8, 0.5, 0.25); // crowing across a yard
    fadeOut(out, 0.2);
    return out;
}

// A summer night: three crickets chirping in pulse trains at their own rates.
Mono crickets() {
    Mono out(samples(5.0));
    struct Cricket {
        double hz, period, pulses, offset;
        float gain;
    };
    static const Cricket band[3] = {
        {4400, 0.62, 4, 0.00, 1.0f}, {4950, 0.83, 3, 0.27, 0.7f}, {4100, 1.31, 5, 0.55, 0.5f}};
    for (const Cricket& c : band) {
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE + c.offset;
            const double inCycle = std::fmod(t, c.period);
            const double pulseLen = 0.022;
            const double pulse = inCycle / pulseLen;
            if (pulse >= c.pulses * 2)
                continue;
            if (static_cast<int>(pulse) % 2 != 0)
                continue; // the gap between two strokes of the wing
            const double k = pulse - std::floor(pulse);
            const double v = std::sin(2 * PI * c.hz * t) * std::sin(PI * k);
            out[i] += c.gain * static_cast<float>(v);
        }
    }
    reverb(out, 0.7, 0.6, 0.3);
    fadeIn(out, 0.3);
    fadeOut(out, 0.5);
    return out;
}

// Morning birds: a few whistled chirps and one trill, scattered over five seconds.
Mono birds() {
    Mono out(samples(5.0));
    Noise pick(47);
    for (int call = 0; call < 14; ++call) {
        const double at = 0.1 + 4.3 * pick.uniform();
        const double base = 2300.0 + 2200.0 * pick.uniform();
        const int chirps = 1 + static_cast<int>(pick.uniform() * 4);
        const bool trill = call == 5;
        const double chirpLen = trill ? 0.03 : 0.06 + 0.05 * pick.uniform();
        const float gain = 0.4f + 0.6f * pick.uniform();
        const double up = pick.uniform() < 0.5 ? 1.6 : 0.6; // rising or falling whistle
        for (int c = 0; c < (trill ? 16 : chirps); ++c) {
            const size_t start = samples(at + c * chirpLen * 1.4);
            double phase = 0.0;
            for (size_t i = 0; i < samples(chirpLen) && start + i < out.size(); ++i) {
                const double k = double(i) / samples(chirpLen);
                const double f = base * std::pow(up, k);
                phase += 2 * PI * f / RATE;
                out[start + i] += gain * static_cast<float>(std::sin(phase) * std::sin(PI * k));
            }
        }
    }
    reverb(out, 0.4, 0.4, 0.12); // a light touch: long reverb smears the chirps together
    fadeOut(out, 0.3);
    return out;
}

SoundFile effect(const char* name, Mono m, double peak = EFFECT_PEAK) {
    normalizePeak(m, peak);
    SoundFile f;
    f.name = name;
    f.mono = std::move(m);
    return f;
}

} // namespace

std::vector<SoundFile> makeEffects() {
    std::vector<SoundFile> out;
    out.push_back(effect("redGunShot.wav", redGunShot()));
    out.push_back(effect("greenGunShot.wav", greenGunShot()));
    out.push_back(effect("blueGunShot.wav", blueGunShot()));
    out.push_back(effect("gunEmpty.wav", gunEmpty()));
    out.push_back(effect("batSwing.wav", batSwing()));
    out.push_back(effect("batHit.wav", batHit()));
    out.push_back(effect("badGuyDeath.wav", badGuyDeath()));
    out.push_back(effect("tarvoHit.wav", tarvoHit()));
    out.push_back(effect("loudBreathing.wav", loudBreathing(), BREATH_PEAK));
    out.push_back(effect("grabJewel.wav", grabJewel()));
    out.push_back(effect("tradeJewel.wav", tradeJewel()));
    out.push_back(effect("rooster.wav", rooster()));
    out.push_back(effect("crickets.wav", crickets(), AMBIENT_PEAK));
    out.push_back(effect("birds.wav", birds(), AMBIENT_PEAK));
    return out;
}

} // namespace snd
