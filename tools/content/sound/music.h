// A small sequencer for the game's music: notes on a beat timeline, played by a handful of
// synthesised instruments (plucked string, soft pad, bass, flute, brass, bell, drums) and
// mixed to stereo with a room reverb.
//
// Rendering costs roughly the piece's length times its note count; a 45 s piece takes well
// under a second. A looping piece is rendered twice over and its second period kept, so the
// reverb and the release tails that cross the seam are already in its first bar: a repeat has
// no click and no gap. Pitches are MIDI numbers; timing is in beats of the song's tempo.
#pragma once

#include "synth.h"

#include <string>
#include <vector>

namespace snd {

enum class Instrument { Pluck, Pad, Bass, Flute, Brass, Bell, Kick, Snare, Hat, Timpani };

struct NoteEvent {
    Instrument instrument;
    double beat;   // start, from the top of the piece
    double length; // held for this many beats
    double midi;   // pitch (ignored by kick, snare and hat)
    float velocity;
    float pan; // -1 left .. +1 right
};

class Song {
public:
    Song(double bpm, int bars, bool loops) : m_bpm(bpm), m_bars(bars), m_loops(loops) {}

    // "E5:1.5 r:0.5 F#5:2": note names with octave (or r for a rest) and beats, from `beat`.
    // Returns the beat after the last note. Throws on a token it cannot read.
    double melody(Instrument inst, double beat, const std::string& notes, float velocity,
                  float pan);
    // One chord per bar from bar `bar` on ("Am", "F#m7", "Cmaj7", "Bsus4", "C#dim", "A7").
    // Held for the whole bar by the pad, voiced around `octave`.
    void pad(int bar, const std::vector<std::string>& chords, int octave, float velocity);
    // The chord's tones (root position over two octaves) played one per `step` beats in the
    // order of `pattern` (indices into the tones), each bar.
    void arpeggio(Instrument inst, int bar, const std::vector<std::string>& chords, int octave,
                  const std::vector<int>& pattern, double step, float velocity, float pan);
    // Bass line: each bar plays `pattern` (semitones above the chord's root, -1 a rest),
    // one entry per `step` beats, at `octave`.
    void bass(int bar, const std::vector<std::string>& chords, int octave,
              const std::vector<int>& pattern, double step, float velocity);
    // Drums over `bars` bars from `bar`: 16 steps a bar, 'x' a hit, 'o' a soft hit.
    void drums(int bar, int bars, const std::string& kick, const std::string& snare,
               const std::string& hat, float velocity);
    void add(const NoteEvent& e) { m_events.push_back(e); }

    double secondsPerBeat() const { return 60.0 / m_bpm; }
    double lengthSeconds() const { return m_bars * 4 * secondsPerBeat(); }
    const std::vector<NoteEvent>& events() const { return m_events; }

    // The finished piece: normalised to -3 dBFS peak; a looping song is exactly one period.
    Stereo render(double reverbRoom, double reverbMix) const;

private:
    double m_bpm;
    int m_bars;
    bool m_loops;
    std::vector<NoteEvent> m_events;
};

// "C#5" -> 73, "Bb3" -> 58; throws on anything else.
int noteNumber(const std::string& name);
// The chord's tones from its root at `octave` ("Am" at 4: A4 C5 E5), ascending.
std::vector<int> chordTones(const std::string& chord, int octave);
// One note of an instrument, `seconds` held, including its release tail.
Mono playNote(Instrument inst, double hz, double seconds, float velocity, uint32_t seed);

} // namespace snd
