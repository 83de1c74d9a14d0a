// The sound generator's toolbox: deterministic oscillators, envelopes, filters, a plucked
// string, a small reverb, level measurement and the WAV/MP3 writers (through libsndfile, into
// memory, so the bytes can be handed to the content writer).
//
// Everything here is plain per-sample arithmetic on float buffers at one sample rate; a minute
// of stereo music costs a few tens of milliseconds. Noise comes from a seeded generator of our
// own, never the system's, so a run gives the same bytes as the last one on the same binary.
// Nothing clips by itself: callers normalise with normalizePeak before writing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace snd {

constexpr int RATE = 22050; // every generated file uses this rate
constexpr double PI = 3.14159265358979323846;

using Mono = std::vector<float>;

struct Stereo {
    Mono left;
    Mono right;
    Stereo() = default;
    explicit Stereo(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t frames() const { return left.size(); }
};

// Seeded white noise in [-1, 1]; the same seed gives the same sequence.
class Noise {
public:
    explicit Noise(uint32_t seed) : m_state(seed * 2654435761u + 1u) {}
    float next();
    float uniform(); // [0, 1)

private:
    uint32_t m_state;
};

// Seconds to samples at RATE (rounded down, never negative).
size_t samples(double seconds);
// Equal-tempered frequency of a MIDI note (69 = A4 = 440 Hz).
double midiToHz(double midi);
// Attack/decay/sustain/release amplitude at time t of a note held for `hold` seconds.
float adsr(double t, double hold, double attack, double decay, double sustain, double release);

// One-pole low-pass, cheap smoothing; cutoff can change per sample.
class OnePole {
public:
    float process(float x, double cutoffHz);

private:
    float m_y = 0.0f;
};

// Direct-form biquad (RBJ cookbook); coefficients can be recomputed per block.
class Biquad {
public:
    void lowpass(double hz, double q);
    void highpass(double hz, double q);
    void bandpass(double hz, double q);
    float process(float x);

private:
    void set(double b0, double b1, double b2, double a0, double a1, double a2);
    double m_b0 = 1, m_b1 = 0, m_b2 = 0, m_a1 = 0, m_a2 = 0;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

// A plucked string (Karplus-Strong): `brightness` 0..1 sets how long the highs ring.
Mono pluck(double hz, double seconds, double brightness, uint32_t seed);

// Schroeder-style reverb: four combs and two all-passes per side. `mix` 0..1 is the wet part.
void reverb(Stereo& s, double roomSize, double damping, double mix);
void reverb(Mono& m, double roomSize, double damping, double mix);

// Adds `src` into `dst` from frame `at`, scaled by `gain` and panned (-1 left, +1 right);
// the part past the end of `dst` is dropped.
void mixInto(Stereo& dst, const Mono& src, size_t at, float gain, float pan);
void mixInto(Mono& dst, const Mono& src, size_t at, float gain);

// Soft saturation, keeps |x| below 1 for any input.
float softClip(float x);

// Levels in dBFS (full scale 1.0); silence gives -120.
double peakDb(const Mono& m);
double rmsDb(const Mono& m);
// Scales so the absolute peak sits at `db` dBFS (silence stays silence).
void normalizePeak(Mono& m, double db);
void normalizePeak(Stereo& s, double db);
// Linear fades over the first / last `seconds`.
void fadeIn(Mono& m, double seconds);
void fadeOut(Mono& m, double seconds);

// 16-bit PCM WAV (mono or stereo) and MP3 files, encoded in memory; throw on failure.
std::vector<uint8_t> encodeWav(const Mono& m);
std::vector<uint8_t> encodeWav(const Stereo& s);
std::vector<uint8_t> encodeMp3(const Stereo& s);
// True when this libsndfile can write MPEG layer III.
bool canWriteMp3();

// Resamples by `ratio` (2 = twice as long, an octave lower), linear interpolation.
Mono stretch(const Mono& m, double ratio);

} // namespace snd
