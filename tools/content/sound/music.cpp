#include "music.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace snd {

int noteNumber(const std::string& name) {
    static const int letters[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G')
        throw std::runtime_error("bad note name '" + name + "'");
    int semitone = letters[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#' || name[i] == 'b') {
        semitone += name[i] == '#' ? 1 : -1;
        ++i;
    }
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '8')
        throw std::runtime_error("bad note name '" + name + "'");
    return (name[i] - '0' + 1) * 12 + semitone;
}

std::vector<int> chordTones(const std::string& chord, int octave) {
    if (chord.empty())
        throw std::runtime_error("empty chord name");
    size_t rootLen = chord.size() > 1 && (chord[1] == '#' || chord[1] == 'b') ? 2 : 1;
    const int root = noteNumber(chord.substr(0, rootLen) + std::to_string(octave));
    const std::string quality = chord.substr(rootLen);
    std::vector<int> steps;
    if (quality.empty())
        steps = {0, 4, 7};
    else if (quality == "m")
        steps = {0, 3, 7};
    else if (quality == "7")
        steps = {0, 4, 7, 10};
    else if (quality == "maj7")
        steps = {0, 4, 7, 11};
    else if (quality == "m7")
        steps = {0, 3, 7, 10};
    else if (quality == "dim")
        steps = {0, 3, 6};
    else if (quality == "sus4")
        steps = {0, 5, 7};
    else if (quality == "sus2")
        steps = {0, 2, 7};
    else
        throw std::runtime_error("unknown chord '" + chord + "'");
    std::vector<int> tones;
    for (int s : steps)
        tones.push_back(root + s);
    return tones;
}

namespace {

double expDecay(double t, double seconds) {
    return std::exp(-t / seconds);
}

// How long each instrument rings after its note is let go.
double releaseOf(Instrument inst) {
    switch (inst) {
    case Instrument::Pad:
        return 1.2;
    case Instrument::Pluck:
        return 1.0;
    case Instrument::Bell:
        return 2.0;
    case Instrument::Timpani:
        return 1.5;
    case Instrument::Flute:
    case Instrument::Brass:
        return 0.25;
    default:
        return 0.15;
    }
}

} // namespace

Mono playNote(Instrument inst, double hz, double seconds, float velocity, uint32_t seed) {
    const double release = releaseOf(inst);
    Mono out(samples(seconds + release));
    Noise noise(seed);
    switch (inst) {
    case Instrument::Pluck: {
        out = pluck(hz, seconds + release, 0.45, seed);
        // Damp the string when the note ends, as a player's finger would.
        for (size_t i = samples(seconds); i < out.size(); ++i)
            out[i] *= static_cast<float>(expDecay(double(i - samples(seconds)) / RATE, 0.15));
        break;
    }
    case Instrument::Pad: {
        // Three slightly detuned saws, softened by a low-pass, slow to swell.
        double phase[3] = {0.0, 0.33, 0.67};
        const double detune[3] = {0.997, 1.0, 1.0031};
        OnePole lp1, lp2;
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            float v = 0.0f;
            for (int k = 0; k < 3; ++k) {
                phase[k] += hz * detune[k] / RATE;
                phase[k] -= std::floor(phase[k]);
                v += static_cast<float>(2.0 * phase[k] - 1.0);
            }
            const double cutoff = 700.0 + 500.0 * std::sin(2 * PI * 0.2 * t);
            v = lp2.process(lp1.process(v, cutoff), cutoff);
            out[i] = 0.5f * v * adsr(t, seconds, 0.5, 0.5, 0.8, release);
        }
        break;
    }
    case Instrument::Bass: {
        double phase = 0.0;
        OnePole lp;
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            phase += hz / RATE;
            phase -= std::floor(phase);
            const double sine = std::sin(2 * PI * phase);
            const double saw = 2.0 * phase - 1.0;
            const float v = lp.process(static_cast<float>(sine + 0.35 * saw), 500.0);
            out[i] = 1.4f * v * adsr(t, seconds, 0.006, 0.25, 0.6, release);
        }
        break;
    }
    case Instrument::Flute: {
        // A soft wooden flute: a near-sine with a breath of noise and a late vibrato.
        double phase = 0.0;
        OnePole breath;
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            const double vib = 1.0 + 0.006 * std::min(t / 0.5, 1.0) * std::sin(2 * PI * 5.2 * t);
            phase += hz * vib / RATE;
            const double tone = std::sin(2 * PI * phase) + 0.18 * std::sin(4 * PI * phase) +
                                0.06 * std::sin(6 * PI * phase);
            const float air = breath.process(noise.next(), 3000.0) * 0.12f;
            out[i] = static_cast<float>(tone + air) * adsr(t, seconds, 0.06, 0.2, 0.8, release);
        }
        break;
    }
    case Instrument::Brass: {
        // A filtered pulse whose brightness opens with the attack.
        double phase = 0.0;
        Biquad lp;
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            phase += hz * (1.0 + 0.004 * std::sin(2 * PI * 5.5 * t)) / RATE;
            phase -= std::floor(phase);
            const double pulse = phase < 0.35 ? 1.0 : -0.55;
            const float env = adsr(t, seconds, 0.04, 0.3, 0.75, release);
            if (i % 32 == 0)
                lp.lowpass(600.0 + 2600.0 * env, 0.9);
            out[i] = 0.6f * lp.process(static_cast<float>(pulse)) * env;
        }
        break;
    }
    case Instrument::Bell: {
        // Two-operator FM with an inharmonic ratio: a music-box bell.
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            const double index = 2.5 * expDecay(t, 0.4);
            const double mod = std::sin(2 * PI * hz * 3.5 * t) * index;
            out[i] = static_cast<float>(std::sin(2 * PI * hz * t + mod) * expDecay(t, 0.9) *
                                        std::min(t / 0.002, 1.0) * 0.8);
        }
        break;
    }
    case Instrument::Kick: {
        double phase = 0.0;
        out.resize(samples(0.35));
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            phase += 2 * PI * (45.0 + 90.0 * expDecay(t, 0.03)) / RATE;
            out[i] = static_cast<float>(std::sin(phase) * expDecay(t, 0.12) * 1.6);
        }
        break;
    }
    case Instrument::Snare: {
        Biquad band;
        band.bandpass(2500.0, 0.8);
        out.resize(samples(0.25));
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            const double tone = std::sin(2 * PI * 190.0 * t) * expDecay(t, 0.04);
            out[i] = static_cast<float>(band.process(noise.next()) * 1.6 * expDecay(t, 0.07) +
                                        tone * 0.6);
        }
        break;
    }
    case Instrument::Hat: {
        Biquad high;
        high.highpass(7000.0, 0.8);
        out.resize(samples(0.08));
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            out[i] = static_cast<float>(high.process(noise.next()) * expDecay(t, 0.018));
        }
        break;
    }
    case Instrument::Timpani: {
        Noise mallet(seed + 7);
        for (size_t i = 0; i < out.size(); ++i) {
            const double t = double(i) / RATE;
            const double f = hz * (1.0 + 0.05 * expDecay(t, 0.05));
            const double v =
                std::sin(2 * PI * f * t) + 0.4 * std::sin(2 * PI * f * 1.5 * t) * expDecay(t, 0.3);
            out[i] = static_cast<float>((v + 0.3 * mallet.next() * expDecay(t, 0.01)) *
                                        expDecay(t, 0.7));
        }
        break;
    }
    }
    for (float& v : out)
        v *= velocity;
    fadeOut(out, 0.01); // no note ends on a step
    return out;
}

double Song::melody(Instrument inst, double beat, const std::string& notes, float velocity,
                    float pan) {
    std::istringstream in(notes);
    std::string token;
    while (in >> token) {
        if (token == "|")
            continue; // bar lines, for the reader
        const size_t colon = token.find(':');
        if (colon == std::string::npos)
            throw std::runtime_error("note without length '" + token + "'");
        const std::string name = token.substr(0, colon);
        const double length = std::stod(token.substr(colon + 1));
        if (!(length > 0.0))
            throw std::runtime_error("bad note length '" + token + "'");
        if (name != "r")
            m_events.push_back(
                {inst, beat, length * 0.95, double(noteNumber(name)), velocity, pan});
        beat += length;
    }
    return beat;
}

void Song::pad(int bar, const std::vector<std::string>& chords, int octave, float velocity) {
    for (size_t c = 0; c < chords.size(); ++c) {
        const std::vector<int> tones = chordTones(chords[c], octave);
        const double beat = (bar + c) * 4.0;
        // Root doubled an octave below for body; tones spread across the stereo field.
        m_events.push_back({Instrument::Pad, beat, 4.0, double(tones[0] - 12), velocity, 0.0f});
        for (size_t t = 0; t < tones.size(); ++t) {
            const float pan = -0.6f + 1.2f * static_cast<float>(t) / (tones.size() - 1);
            m_events.push_back(
                {Instrument::Pad, beat, 4.0, double(tones[t]), velocity * 0.7f, pan});
        }
    }
}

void Song::arpeggio(Instrument inst, int bar, const std::vector<std::string>& chords, int octave,
                    const std::vector<int>& pattern, double step, float velocity, float pan) {
    for (size_t c = 0; c < chords.size(); ++c) {
        std::vector<int> tones = chordTones(chords[c], octave);
        const size_t n = tones.size();
        for (size_t i = 0; i < n; ++i)
            tones.push_back(tones[i] + 12);
        const int steps = static_cast<int>(4.0 / step + 0.5);
        for (int s = 0; s < steps; ++s) {
            const int idx = pattern[s % pattern.size()];
            if (idx < 0)
                continue;
            const float accent = s % 4 == 0 ? 1.0f : 0.8f;
            m_events.push_back({inst, (bar + c) * 4.0 + s * step, step * 1.5,
                                double(tones[idx % tones.size()]), velocity * accent, pan});
        }
    }
}

void Song::bass(int bar, const std::vector<std::string>& chords, int octave,
                const std::vector<int>& pattern, double step, float velocity) {
    for (size_t c = 0; c < chords.size(); ++c) {
        const int root = chordTones(chords[c], octave)[0];
        const int steps = static_cast<int>(4.0 / step + 0.5);
        for (int s = 0; s < steps; ++s) {
            const int interval = pattern[s % pattern.size()];
            if (interval < 0)
                continue;
            m_events.push_back({Instrument::Bass, (bar + c) * 4.0 + s * step, step * 0.9,
                                double(root + interval), velocity, 0.0f});
        }
    }
}

void Song::drums(int bar, int bars, const std::string& kick, const std::string& snare,
                 const std::string& hat, float velocity) {
    const struct {
        Instrument inst;
        const std::string* pattern;
        float gain, pan;
    } lanes[3] = {{Instrument::Kick, &kick, 1.0f, 0.0f},
                  {Instrument::Snare, &snare, 0.6f, -0.1f},
                  {Instrument::Hat, &hat, 0.35f, 0.35f}};
    for (int b = bar; b < bar + bars; ++b)
        for (const auto& lane : lanes)
            for (size_t s = 0; s < lane.pattern->size() && s < 16; ++s) {
                const char c = (*lane.pattern)[s];
                if (c != 'x' && c != 'o')
                    continue;
                const float v = velocity * lane.gain * (c == 'x' ? 1.0f : 0.5f);
                m_events.push_back({lane.inst, b * 4.0 + s * 0.25, 0.25, 0.0, v, lane.pan});
            }
}

Stereo Song::render(double reverbRoom, double reverbMix) const {
    const double length = lengthSeconds();
    // A loop is played twice and its second period kept; a one-shot gets room for its tail.
    const int passes = m_loops ? 2 : 1;
    const double tail = 3.0;
    Stereo mix(samples(length * passes + tail));
    uint32_t seed = 1;
    for (int pass = 0; pass < passes; ++pass)
        for (const NoteEvent& e : m_events) {
            const double start = pass * length + e.beat * secondsPerBeat();
            const Mono note = playNote(e.instrument, midiToHz(e.midi), e.length * secondsPerBeat(),
                                       e.velocity, seed++);
            mixInto(mix, note, samples(start), 0.25f, e.pan);
        }
    reverb(mix, reverbRoom, 0.45, reverbMix);
    Stereo out;
    if (m_loops) {
        const size_t from = samples(length), n = samples(length);
        out.left.assign(mix.left.begin() + from, mix.left.begin() + from + n);
        out.right.assign(mix.right.begin() + from, mix.right.begin() + from + n);
    } else {
        out = std::move(mix);
        fadeOut(out.left, 1.0);
        fadeOut(out.right, 1.0);
    }
    normalizePeak(out, -3.0);
    return out;
}

} // namespace snd
