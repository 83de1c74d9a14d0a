#include "platform/soundobject.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <dlfcn.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

ALCdevice* s_device = nullptr;
ALCcontext* s_context = nullptr;
int s_deviceRefs = 0;
std::string s_deviceName;

// Guards against absurd headers: ten minutes of 48 kHz stereo is far beyond any game sound.
constexpr sf_count_t MAX_FRAMES = 48000 * 60 * 10;
constexpr int STREAM_BUFFERS = 4;
constexpr int STREAM_CHUNK_FRAMES = 8192;

struct SndFileCloser {
    void operator()(SNDFILE* f) const {
        if (f)
            sf_close(f);
    }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

SndFilePtr openSoundFile(const std::string& path, SF_INFO& info) {
    info = SF_INFO{};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(stderr, "Sound: missing file \"%s\"\n", path.c_str());
        return nullptr;
    }
    SndFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        std::fprintf(stderr, "Sound: cannot read \"%s\": %s\n", path.c_str(), sf_strerror(nullptr));
        return nullptr;
    }
    if (info.channels < 1 || info.channels > 8 || info.samplerate < 1000 ||
        info.samplerate > 384000 || info.frames < 0 || info.frames > MAX_FRAMES) {
        std::fprintf(stderr, "Sound: \"%s\" has an unusable format\n", path.c_str());
        return nullptr;
    }
    return file;
}

// Reads up to `frames` frames and mixes them down to `outChannels` (1 or 2).
size_t readMixed(SNDFILE* file, int channels, int outChannels, sf_count_t frames,
                 std::vector<short>& out) {
    std::vector<short> raw(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    sf_count_t got = sf_readf_short(file, raw.data(), frames);
    if (got <= 0) {
        out.clear();
        return 0;
    }
    size_t n = static_cast<size_t>(got);
    out.resize(n * static_cast<size_t>(outChannels));
    for (size_t f = 0; f < n; ++f) {
        const short* in = &raw[f * static_cast<size_t>(channels)];
        if (outChannels == channels) {
            std::copy(in, in + channels, &out[f * static_cast<size_t>(outChannels)]);
        } else if (outChannels == 1) {
            int sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += in[c];
            out[f] = static_cast<short>(sum / channels);
        } else { // more than two channels to stereo: keep the front pair
            out[f * 2] = in[0];
            out[f * 2 + 1] = in[1];
        }
    }
    return n;
}

ALenum formatFor(int channels) {
    return channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
}

// ALSA's error handler signature; ours drops the message.
void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// A machine without a sound card is ordinary (a server, a container, a muted laptop): the game
// says so in one line. OpenAL Soft and ALSA would first print a dozen lines of their own, so
// both stay quiet, unless the player asked for OpenAL's log (ALSOFT_LOGLEVEL), when ALSA may
// speak too. OpenAL reads the level once, on its first device; libasound is looked up rather
// than linked, and kept loaded so that the handler stays set.
void quietAudioLibraries() {
    static bool done = false;
    if (done || std::getenv("ALSOFT_LOGLEVEL"))
        return;
    done = true;
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa)
        return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(silentAlsaError);
}

} // namespace

bool SoundDevice::Acquire() {
    if (s_deviceRefs > 0) {
        ++s_deviceRefs;
        return true;
    }
    quietAudioLibraries();
    s_device = alcOpenDevice(s_deviceName.empty() ? nullptr : s_deviceName.c_str());
    if (!s_device) {
        // Said once: the title and the cutscenes each try again.
        static bool told = false;
        if (!told)
            std::fprintf(stderr, "Sound: no audio device, the game runs without sound\n");
        told = true;
        return false;
    }
    s_context = alcCreateContext(s_device, nullptr);
    if (!s_context || !alcMakeContextCurrent(s_context)) {
        std::fprintf(stderr, "Sound: cannot create an audio context, no sound\n");
        if (s_context)
            alcDestroyContext(s_context);
        alcCloseDevice(s_device);
        s_context = nullptr;
        s_device = nullptr;
        return false;
    }
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    s_deviceRefs = 1;
    return true;
}

void SoundDevice::Release() {
    if (s_deviceRefs <= 0 || --s_deviceRefs > 0)
        return;
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(s_context);
    alcCloseDevice(s_device);
    s_context = nullptr;
    s_device = nullptr;
}

bool SoundDevice::IsOpen() {
    return s_deviceRefs > 0;
}

void SoundDevice::SetDeviceName(const std::string& name) {
    s_deviceName = name;
}

// The streamed kind: the open decoder, its queue of buffers and the feeder thread.
struct SoundObject::Stream {
    std::string path;
    SndFilePtr file;
    SF_INFO info{};
    int outChannels = 2;
    ALuint buffers[STREAM_BUFFERS] = {};
    std::thread feeder;
    std::mutex lock;
    std::atomic<bool> run{false};
    std::atomic<bool> playing{false};
    bool endOfFile = false;

    // Decodes the next chunk into `buffer`; false at the end of the file.
    bool fill(ALuint buffer) {
        if (endOfFile || !file)
            return false;
        std::vector<short> pcm;
        size_t frames = readMixed(file.get(), info.channels, outChannels, STREAM_CHUNK_FRAMES, pcm);
        if (frames == 0) {
            endOfFile = true;
            return false;
        }
        alBufferData(buffer, formatFor(outChannels), pcm.data(),
                     static_cast<ALsizei>(pcm.size() * sizeof(short)), info.samplerate);
        return true;
    }
};

SoundObject::SoundObject() = default;

SoundObject::~SoundObject() {
    release();
}

void SoundObject::InitSegment() {
    release();
    m_kind = KIND_SEGMENT;
}

void SoundObject::InitStream() {
    release();
    m_kind = KIND_STREAM;
    m_stream = std::make_unique<Stream>();
}

bool SoundObject::isLoaded() const {
    return m_source != 0;
}

void SoundObject::release() {
    Stop();
    // The source goes first: a buffer still attached to a source cannot be deleted.
    if (m_source) {
        alSourcei(m_source, AL_BUFFER, 0);
        alDeleteSources(1, &m_source);
        m_source = 0;
    }
    if (m_buffer) {
        alDeleteBuffers(1, &m_buffer);
        m_buffer = 0;
    }
    if (m_stream) {
        if (m_stream->buffers[0])
            alDeleteBuffers(STREAM_BUFFERS, m_stream->buffers);
        m_stream.reset();
    }
}

bool SoundObject::Load(const std::string& fileName, bool is3D) {
    m_fileName = fileName;
    if (m_kind == KIND_NONE || isLoaded())
        return false;
    if (!SoundDevice::IsOpen())
        return false;
    std::string path = "Sounds/" + fileName;
    SF_INFO info;
    SndFilePtr file = openSoundFile(path, info);
    if (!file)
        return false;
    // OpenAL only places mono sounds in space.
    int outChannels = (is3D || info.channels == 1) ? 1 : 2;

    alGetError();
    if (m_kind == KIND_SEGMENT) {
        std::vector<short> pcm;
        size_t frames = readMixed(file.get(), info.channels, outChannels, info.frames, pcm);
        if (frames == 0) {
            std::fprintf(stderr, "Sound: \"%s\" holds no sound\n", path.c_str());
            return false;
        }
        alGenBuffers(1, &m_buffer);
        alBufferData(m_buffer, formatFor(outChannels), pcm.data(),
                     static_cast<ALsizei>(pcm.size() * sizeof(short)), info.samplerate);
    } else {
        m_stream->path = path;
        m_stream->info = info;
        m_stream->outChannels = outChannels;
        m_stream->file = std::move(file);
        alGenBuffers(STREAM_BUFFERS, m_stream->buffers);
    }
    alGenSources(1, &m_source);
    if (alGetError() != AL_NO_ERROR) {
        std::fprintf(stderr, "Sound: cannot prepare \"%s\" for playing\n", path.c_str());
        int kind = m_kind;
        release();
        m_kind = kind;
        if (kind == KIND_STREAM)
            m_stream = std::make_unique<Stream>();
        return false;
    }
    m_is3D = is3D;
    alSourcef(m_source, AL_REFERENCE_DISTANCE, 1.0f);
    if (is3D) {
        alSourcei(m_source, AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(m_source, AL_ROLLOFF_FACTOR, 1.0f);
    } else {
        // Flat sounds sit on the listener whatever it does.
        alSourcei(m_source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(m_source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(m_source, AL_ROLLOFF_FACTOR, 0.0f);
    }
    return true;
}

bool SoundObject::Play(int32_t repeats) {
    if (m_kind == KIND_NONE || !isLoaded())
        return false;
    if (IsPlaying())
        return true; // heard once through, however often it is asked for meanwhile
    return Restart(repeats);
}

bool SoundObject::Restart(int32_t repeats) {
    if (m_kind == KIND_NONE || !isLoaded())
        return false;
    Stop();
    alSourcei(m_source, AL_BUFFER, 0);
    if (m_kind == KIND_SEGMENT) {
        // A repeat count is the same buffer queued that many times: seamless and counted.
        int32_t times = std::clamp(repeats, 1, 1000);
        std::vector<ALuint> queue(static_cast<size_t>(times), m_buffer);
        alSourceQueueBuffers(m_source, times, queue.data());
        alSourcePlay(m_source);
        return true;
    }
    Stream& s = *m_stream;
    if (!s.file || sf_seek(s.file.get(), 0, SEEK_SET) < 0) {
        // Some decoders cannot rewind; open the file again.
        SF_INFO info;
        s.file = openSoundFile(s.path, info);
        if (!s.file)
            return false;
    }
    s.endOfFile = false;
    int queued = 0;
    for (ALuint b : s.buffers) {
        if (!s.fill(b))
            break;
        alSourceQueueBuffers(m_source, 1, &b);
        ++queued;
    }
    if (queued == 0)
        return false;
    alSourcePlay(m_source);
    s.playing = true;
    s.run = true;
    ALuint source = m_source;
    Stream* stream = m_stream.get();
    s.feeder = std::thread([stream, source] {
        while (stream->run) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::lock_guard<std::mutex> guard(stream->lock);
            ALint processed = 0;
            alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
            while (processed-- > 0) {
                ALuint b = 0;
                alSourceUnqueueBuffers(source, 1, &b);
                if (stream->fill(b))
                    alSourceQueueBuffers(source, 1, &b);
            }
            ALint state = 0, queuedNow = 0;
            alGetSourcei(source, AL_SOURCE_STATE, &state);
            alGetSourcei(source, AL_BUFFERS_QUEUED, &queuedNow);
            if (state != AL_PLAYING) {
                if (queuedNow > 0 && !stream->endOfFile) {
                    alSourcePlay(source); // ran dry while the decoder lagged
                } else if (queuedNow == 0 || stream->endOfFile) {
                    stream->playing = false;
                    return;
                }
            }
        }
    });
    return true;
}

void SoundObject::Stop() {
    if (!m_source)
        return;
    if (m_stream) {
        m_stream->run = false;
        if (m_stream->feeder.joinable())
            m_stream->feeder.join();
        m_stream->playing = false;
    }
    alSourceStop(m_source);
}

bool SoundObject::IsPlaying() const {
    if (!m_source || m_kind == KIND_NONE)
        return false;
    if (m_kind == KIND_STREAM)
        return m_stream && m_stream->playing;
    ALint state = 0;
    alGetSourcei(m_source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

double SoundObject::PlayedSeconds() const {
    if (m_kind != KIND_SEGMENT || !IsPlaying())
        return 0.0;
    ALfloat seconds = 0.0f;
    alGetSourcef(m_source, AL_SEC_OFFSET, &seconds);
    return seconds;
}

void SoundObject::SetPosition(float x, float y, float z) {
    // OpenAL shares OpenGL's right-handed frame, so world positions go in unchanged.
    if (m_source && m_is3D)
        alSource3f(m_source, AL_POSITION, x, y, z);
}

void SoundObject::SetRolloff(float factor) {
    if (m_source && m_is3D)
        alSourcef(m_source, AL_ROLLOFF_FACTOR, factor);
}

bool AcquireSoundDevice(bool& haveDevice) {
    if (!SoundDevice::Acquire())
        return false;
    haveDevice = true;
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    return true;
}

void ReleaseSoundSlots(SoundObject** sounds, int32_t count, bool& haveDevice) {
    for (int32_t i = 0; i < count; ++i)
        if (sounds[i])
            sounds[i]->Stop();
    for (int32_t i = 0; i < count; ++i) {
        delete sounds[i];
        sounds[i] = nullptr;
    }
    if (haveDevice) {
        SoundDevice::Release();
        haveDevice = false;
    }
}
