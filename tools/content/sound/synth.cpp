#include "synth.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace snd {

float Noise::next() {
    return uniform() * 2.0f - 1.0f;
}

float Noise::uniform() {
    // xorshift32: fast, and ours, so no platform changes the sequence.
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return static_cast<float>(m_state >> 8) / 16777216.0f;
}

size_t samples(double seconds) {
    return seconds <= 0.0 ? 0 : static_cast<size_t>(seconds * RATE);
}

double midiToHz(double midi) {
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

float adsr(double t, double hold, double attack, double decay, double sustain, double release) {
    if (t < 0.0)
        return 0.0f;
    double level;
    if (t < attack)
        level = t / attack;
    else if (t < attack + decay)
        level = 1.0 - (1.0 - sustain) * (t - attack) / decay;
    else
        level = sustain;
    if (t > hold) {
        // Release from whatever level the note had reached when it was let go.
        const double atHold = adsr(hold, hold + 1.0, attack, decay, sustain, release);
        const double r = (t - hold) / release;
        level = r >= 1.0 ? 0.0 : atHold * (1.0 - r);
    }
    return static_cast<float>(level);
}

float OnePole::process(float x, double cutoffHz) {
    const double a = 1.0 - std::exp(-2.0 * PI * cutoffHz / RATE);
    m_y += static_cast<float>(a) * (x - m_y);
    return m_y;
}

void Biquad::set(double b0, double b1, double b2, double a0, double a1, double a2) {
    m_b0 = b0 / a0;
    m_b1 = b1 / a0;
    m_b2 = b2 / a0;
    m_a1 = a1 / a0;
    m_a2 = a2 / a0;
}

void Biquad::lowpass(double hz, double q) {
    const double w = 2.0 * PI * std::min(hz, RATE * 0.45) / RATE;
    const double alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
    set((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void Biquad::highpass(double hz, double q) {
    const double w = 2.0 * PI * std::min(hz, RATE * 0.45) / RATE;
    const double alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
    set((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void Biquad::bandpass(double hz, double q) {
    const double w = 2.0 * PI * std::min(hz, RATE * 0.45) / RATE;
    const double alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
    set(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

float Biquad::process(float x) {
    const double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
    m_x2 = m_x1;
    m_x1 = x;
    m_y2 = m_y1;
    m_y1 = y;
    return static_cast<float>(y);
}

Mono pluck(double hz, double seconds, double brightness, uint32_t seed) {
    Mono out(samples(seconds), 0.0f);
    const size_t period = std::max<size_t>(2, static_cast<size_t>(RATE / hz));
    Mono line(period);
    Noise noise(seed);
    OnePole soften; // a softer pick: less buzz in the attack
    for (float& v : line)
        v = soften.process(noise.next(), 1500.0 + 6000.0 * brightness);
    const float keep = static_cast<float>(0.5 * (0.985 + 0.0149 * brightness));
    size_t idx = 0;
    for (float& o : out) {
        const size_t nxt = (idx + 1) % period;
        o = line[idx];
        line[idx] = keep * (line[idx] + line[nxt]);
        idx = nxt;
    }
    fadeOut(out, 0.02);
    return out;
}

namespace {

// A feedback comb with a damped loop, the reverb's building block.
struct Comb {
    Mono buf;
    size_t pos = 0;
    float store = 0.0f;
    float process(float x, float feedback, float damp) {
        const float y = buf[pos];
        store = y * (1.0f - damp) + store * damp;
        buf[pos] = x + store * feedback;
        pos = (pos + 1) % buf.size();
        return y;
    }
};

struct AllPass {
    Mono buf;
    size_t pos = 0;
    float process(float x) {
        const float b = buf[pos];
        buf[pos] = x + b * 0.5f;
        pos = (pos + 1) % buf.size();
        return b - x;
    }
};

void reverbChannel(Mono& m, double roomSize, double damping, double mix, size_t spread) {
    static const size_t combLen[4] = {1116, 1188, 1277, 1356};
    static const size_t allLen[2] = {556, 441};
    Comb combs[4];
    AllPass alls[2];
    for (int i = 0; i < 4; ++i)
        combs[i].buf.assign((combLen[i] + spread) / 2, 0.0f); // tuned at 44.1 kHz, halved
    for (int i = 0; i < 2; ++i)
        alls[i].buf.assign((allLen[i] + spread) / 2, 0.0f);
    const float fb = static_cast<float>(0.7 + 0.28 * roomSize);
    const float damp = static_cast<float>(damping);
    const float wet = static_cast<float>(mix), dry = static_cast<float>(1.0 - mix * 0.5);
    for (float& x : m) {
        float acc = 0.0f;
        for (Comb& c : combs)
            acc += c.process(x * 0.25f, fb, damp);
        for (AllPass& a : alls)
            acc = a.process(acc);
        x = x * dry + acc * wet;
    }
}

} // namespace

void reverb(Stereo& s, double roomSize, double damping, double mix) {
    reverbChannel(s.left, roomSize, damping, mix, 0);
    reverbChannel(s.right, roomSize, damping, mix, 23); // decorrelates the sides
}

void reverb(Mono& m, double roomSize, double damping, double mix) {
    reverbChannel(m, roomSize, damping, mix, 0);
}

void mixInto(Stereo& dst, const Mono& src, size_t at, float gain, float pan) {
    // Constant-power pan.
    const double angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * PI / 4.0;
    const float gl = gain * static_cast<float>(std::cos(angle) * std::sqrt(2.0));
    const float gr = gain * static_cast<float>(std::sin(angle) * std::sqrt(2.0));
    for (size_t i = 0; i < src.size() && at + i < dst.frames(); ++i) {
        dst.left[at + i] += src[i] * gl;
        dst.right[at + i] += src[i] * gr;
    }
}

void mixInto(Mono& dst, const Mono& src, size_t at, float gain) {
    for (size_t i = 0; i < src.size() && at + i < dst.size(); ++i)
        dst[at + i] += src[i] * gain;
}

float softClip(float x) {
    return static_cast<float>(std::tanh(x));
}

double peakDb(const Mono& m) {
    float peak = 0.0f;
    for (float v : m)
        peak = std::max(peak, std::fabs(v));
    return peak <= 1e-6f ? -120.0 : 20.0 * std::log10(peak);
}

double rmsDb(const Mono& m) {
    if (m.empty())
        return -120.0;
    double sum = 0.0;
    for (float v : m)
        sum += static_cast<double>(v) * v;
    const double rms = std::sqrt(sum / m.size());
    return rms <= 1e-6 ? -120.0 : 20.0 * std::log10(rms);
}

void normalizePeak(Mono& m, double db) {
    const double peak = peakDb(m);
    if (peak <= -120.0)
        return;
    const float g = static_cast<float>(std::pow(10.0, (db - peak) / 20.0));
    for (float& v : m)
        v *= g;
}

void normalizePeak(Stereo& s, double db) {
    const double peak = std::max(peakDb(s.left), peakDb(s.right));
    if (peak <= -120.0)
        return;
    const float g = static_cast<float>(std::pow(10.0, (db - peak) / 20.0));
    for (float& v : s.left)
        v *= g;
    for (float& v : s.right)
        v *= g;
}

void fadeIn(Mono& m, double seconds) {
    const size_t n = std::min(m.size(), samples(seconds));
    for (size_t i = 0; i < n; ++i)
        m[i] *= static_cast<float>(i) / n;
}

void fadeOut(Mono& m, double seconds) {
    const size_t n = std::min(m.size(), samples(seconds));
    for (size_t i = 0; i < n; ++i)
        m[m.size() - 1 - i] *= static_cast<float>(i) / n;
}

Mono stretch(const Mono& m, double ratio) {
    if (m.empty() || ratio <= 0.0)
        return {};
    Mono out(static_cast<size_t>(m.size() * ratio));
    for (size_t i = 0; i < out.size(); ++i) {
        const double src = i / ratio;
        const size_t a = std::min(static_cast<size_t>(src), m.size() - 1);
        const size_t b = std::min(a + 1, m.size() - 1);
        const float f = static_cast<float>(src - a);
        out[i] = m[a] * (1.0f - f) + m[b] * f;
    }
    return out;
}

namespace {

// libsndfile writing into a growable memory block.
struct MemoryFile {
    std::vector<uint8_t> bytes;
    sf_count_t pos = 0;
};

sf_count_t memLength(void* user) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}
sf_count_t memSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? memLength(user) : 0;
    f->pos = std::max<sf_count_t>(0, base + offset);
    return f->pos;
}
sf_count_t memRead(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t size = memLength(user);
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, size - f->pos));
    if (n > 0)
        std::memcpy(ptr, f->bytes.data() + f->pos, static_cast<size_t>(n));
    f->pos += n;
    return n;
}
sf_count_t memWrite(const void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const size_t end = static_cast<size_t>(f->pos + count);
    if (end > f->bytes.size())
        f->bytes.resize(end);
    std::memcpy(f->bytes.data() + f->pos, ptr, static_cast<size_t>(count));
    f->pos += count;
    return count;
}
sf_count_t memTell(void* user) {
    return static_cast<MemoryFile*>(user)->pos;
}

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

std::vector<uint8_t> encode(const Stereo* s, const Mono* m, int format) {
    const int channels = s ? 2 : 1;
    const size_t frames = s ? s->frames() : m->size();
    std::vector<float> interleaved(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        if (s) {
            interleaved[2 * i] = std::clamp(s->left[i], -1.0f, 1.0f);
            interleaved[2 * i + 1] = std::clamp(s->right[i], -1.0f, 1.0f);
        } else {
            interleaved[i] = std::clamp((*m)[i], -1.0f, 1.0f);
        }
    }
    MemoryFile file;
    SF_VIRTUAL_IO io{memLength, memSeek, memRead, memWrite, memTell};
    SF_INFO info{};
    info.samplerate = RATE;
    info.channels = channels;
    info.format = format;
    {
        std::unique_ptr<SNDFILE, SndfileCloser> out(sf_open_virtual(&io, SFM_WRITE, &info, &file));
        if (!out)
            throw std::runtime_error(std::string("cannot encode sound: ") + sf_strerror(nullptr));
        // Full-scale floats map to full-scale integers; we clamped above.
        sf_command(out.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
        if (sf_writef_float(out.get(), interleaved.data(), static_cast<sf_count_t>(frames)) !=
            static_cast<sf_count_t>(frames))
            throw std::runtime_error(std::string("cannot encode sound: ") + sf_strerror(out.get()));
    }
    return file.bytes;
}

} // namespace

std::vector<uint8_t> encodeWav(const Mono& m) {
    return encode(nullptr, &m, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

std::vector<uint8_t> encodeWav(const Stereo& s) {
    return encode(&s, nullptr, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

std::vector<uint8_t> encodeMp3(const Stereo& s) {
    return encode(&s, nullptr, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
}

bool canWriteMp3() {
    SF_INFO info{};
    info.samplerate = RATE;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    return sf_format_check(&info) != 0;
}

} // namespace snd
