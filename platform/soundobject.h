// SoundObject: one loaded sound, played on its own OpenAL source. Two kinds: a segment
// (the whole file decoded into one buffer at load time, cheap to play again and again) and
// a stream (the MP3 title tune: decoded in small chunks while it plays, the buffers queued on
// the source and refilled by a feeder thread, so it also plays on screens without a frame
// Update). Positional (3D) sounds are mixed to mono so OpenAL can place them; flat sounds play
// at the listener. Loading is the expensive step (file read and decode); Play, Stop, IsPlaying
// and SetPosition are single OpenAL calls. A sound that failed to load, or that has no audio
// device, does nothing: Play returns false and IsPlaying is false. Timing of start and end
// follows OpenAL's mixer, so IsPlaying turns false shortly after (not exactly at) the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The process-wide OpenAL device and context, shared by every sound user. Opened on the
// first Acquire, closed when the last holder releases it. Without a device Acquire returns
// false (one line on stderr) and the sounds stay silent.
class SoundDevice {
public:
    static bool Acquire();
    static void Release();
    static bool IsOpen();
    // Which OpenAL device to open: empty means the default one. Tests name a missing one to
    // see the game run without sound.
    static void SetDeviceName(const std::string& name);
};

class SoundObject {
public:
    enum Kind : int32_t { KIND_NONE = 0, KIND_STREAM = 1, KIND_SEGMENT = 2 };

    SoundObject();
    virtual ~SoundObject();
    SoundObject(const SoundObject&) = delete;
    SoundObject& operator=(const SoundObject&) = delete;

    // Choose the kind before Load.
    void InitSegment();
    void InitStream();
    // Reads "Sounds/<fileName>" relative to the working directory. Returns true on success;
    // a missing or broken file prints one line on stderr and leaves the sound silent.
    bool Load(const std::string& fileName, bool is3D);

    // Plays the sound `repeats` times in a row (1 or less: once), from the start. A stream
    // always plays once. A sound that is playing already goes on as it was (a sound asked
    // for on every frame is heard once through, not restarted into a buzz). Returns false
    // when nothing can play (unknown kind, not loaded).
    bool Play(int32_t repeats);
    // Plays from the start even when it is playing (each of a quick row of shots is heard).
    bool Restart(int32_t repeats);
    void Stop();
    bool IsPlaying() const;
    // How far a segment has played, in seconds from its start (repeats count on); 0 when it
    // is not playing, and for a stream.
    double PlayedSeconds() const;
    // World position of a 3D sound (ignored for flat ones), applied at once.
    void SetPosition(float x, float y, float z);
    // Distance rolloff of a 3D sound (the listener-wide factor, copied to each source).
    void SetRolloff(float factor);

    int32_t kind() const { return m_kind; }
    bool is3D() const { return m_is3D; }
    bool isLoaded() const;
    const std::string& fileName() const { return m_fileName; }

private:
    struct Stream;
    void release();

    uint32_t m_source = 0;
    uint32_t m_buffer = 0;
    bool m_is3D = false;
    int32_t m_kind = KIND_NONE;
    std::string m_fileName;
    std::unique_ptr<Stream> m_stream;
};

// One entry of a fixed slot table: the file under Sounds/ and whether it is placed in space.
struct SoundSlot {
    const char* file;
    bool is3D;
};

// A fixed table of sound slots, numbered from 1 as the game numbers them. A slot outside the
// table has no file and is flat.
class SoundSlotTable {
public:
    template <size_t N>
    constexpr explicit SoundSlotTable(const SoundSlot (&slots)[N])
        : m_slots(slots), m_count(static_cast<int32_t>(N)) {}
    bool has(int32_t slot) const { return slot >= 1 && slot <= m_count; }
    const char* file(int32_t slot) const { return has(slot) ? m_slots[slot - 1].file : nullptr; }
    bool is3D(int32_t slot) const { return has(slot) && m_slots[slot - 1].is3D; }
    int32_t count() const { return m_count; }

private:
    const SoundSlot* m_slots;
    int32_t m_count;
};

// Takes the shared device for a slot table's player and puts the listener at the origin;
// false, with nothing held, when there is no device.
bool AcquireSoundDevice(bool& haveDevice);
// Stops every sound of a slot table, then deletes them and empties the slots (all stop
// first: no source may still play a freed buffer), and releases the device when held.
void ReleaseSoundSlots(SoundObject** sounds, int32_t count, bool& haveDevice);
