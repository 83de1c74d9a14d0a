// The game's music: six short pieces written for the sequencer.
#include "music.h"
#include "soundfiles.h"

namespace snd {

namespace {

using Chords = std::vector<std::string>;

// Exploring the valley: D major, unhurried, a flute over plucked arpeggios.
Stereo normalTheme() {
    Song s(84.0, 16, true);
    const Chords chords = {"D", "Bm", "G",   "A",  "D", "Bm", "Em",    "A",
                           "G", "A",  "F#m", "Bm", "G", "Em", "Asus4", "A"};
    s.pad(0, chords, 4, 0.5f);
    s.arpeggio(Instrument::Pluck, 0, chords, 4, {0, 1, 2, 3, 2, 1, 2, 1}, 0.5, 0.9f, -0.35f);
    s.bass(0, chords, 2, {0, -1, 7, -1}, 1.0, 0.8f);
    s.drums(4, 12, "x.......x.x.....", "........o.......", "o.o.o.o.o.o.o.o.", 0.6f);
    s.melody(Instrument::Flute, 16.0,
             "F#5:1.5 E5:0.5 D5:1 A4:1 | B4:1.5 C#5:0.5 D5:1 F#5:1 | G5:1.5 F#5:0.5 E5:1 B4:1 |"
             " C#5:2 E5:1 A5:1 | B5:1.5 A5:0.5 G5:1 D5:1 | C#5:1 E5:1 A5:2 |"
             " A5:1 F#5:1 C#5:1 F#5:1 | D5:3 r:1 | G5:1 F#5:1 E5:1 D5:1 | E5:2 B4:1 G5:1 |"
             " A5:2 D5:2 | C#5:2 E5:1 r:1",
             0.55f, 0.2f);
    return s.render(0.6, 0.25);
}

// The boss: A minor at a gallop, driving bass, brass lead, pounding drums.
Stereo attackTheme() {
    Song s(144.0, 24, true);
    const Chords a = {"Am", "Am", "F", "G", "Am", "Am", "F", "E"};
    const Chords b = {"Dm", "Am", "Dm", "E", "F", "G", "Am", "E"};
    for (int part = 0; part < 3; ++part) {
        const Chords& c = part == 1 ? b : a;
        s.pad(part * 8, c, 4, 0.45f);
        s.bass(part * 8, c, 2, {0, 0, 12, 0, 0, 12, 0, 7}, 0.5, 0.9f);
        s.arpeggio(Instrument::Pluck, part * 8, c, 4, {0, 2, 1, 2}, 0.25, 0.55f, -0.4f);
    }
    s.drums(0, 4, "x.......x.......", "....o.......o...", "x.x.x.x.x.x.x.x.", 0.8f);
    s.drums(4, 20, "x.....x.x.x.....", "....x.......x..o", "x.x.x.x.x.x.x.x.", 0.9f);
    s.melody(Instrument::Brass, 32.0,
             "D5:1.5 E5:0.5 F5:1 A5:1 | E5:2 C5:1 A4:1 | F5:1.5 E5:0.5 D5:1 F5:1 |"
             " E5:2 G#4:1 B4:1 | C5:1 A5:1 F5:1 C5:1 | D5:1 B5:1 G5:1 D5:1 |"
             " E5:1.5 C5:0.5 A4:2 | B4:1 D5:1 E5:1 G#5:1 |"
             " A5:1.5 G5:0.5 E5:1 C5:1 | A4:1 C5:1 E5:1 A5:1 | F5:1.5 E5:0.5 C5:1 A4:1 |"
             " B4:1 D5:1 G5:2 | A5:1 C6:1 B5:1 A5:1 | E5:2 A5:2 | F5:1 A5:1 C6:1 A5:1 |"
             " G#5:2 E5:1 B4:1",
             0.6f, 0.15f);
    return s.render(0.45, 0.18);
}

// Fallen: C minor, slow, a bell's lament that settles on the tonic.
Stereo gameOverTheme() {
    Song s(66.0, 9, false);
    const Chords chords = {"Cm", "Ab", "Fm", "G", "Cm", "Ab", "G", "Cm", "Cm"};
    s.pad(0, chords, 4, 0.55f);
    s.arpeggio(Instrument::Pluck, 0, {"Cm", "Ab", "Fm", "G", "Cm", "Ab", "G", "Cm"}, 3,
               {0, 1, 2, 1}, 1.0, 0.7f, -0.3f);
    s.bass(0, chords, 2, {0, -1, -1, -1}, 1.0, 0.8f);
    s.melody(Instrument::Bell, 0.0,
             "G5:2 Eb5:2 | C5:2 Eb5:1 D5:1 | C5:2 Ab4:2 | B4:3 D5:1 | Eb5:2 G5:2 |"
             " F5:1.5 Eb5:0.5 C5:2 | D5:2 B4:2 | C5:4",
             0.6f, 0.2f);
    s.melody(Instrument::Flute, 16.0, "Eb5:2 G5:2 | F5:1.5 Eb5:0.5 C5:2 | D5:2 B4:2 | C5:4", 0.35f,
             -0.1f);
    return s.render(0.8, 0.3);
}

// The dream: E major, floating bells and pads, a distant flute; loops through the intro.
Stereo dreamTheme() {
    Song s(63.0, 8, true);
    const Chords chords = {"Emaj7", "C#m7", "Amaj7", "B", "Emaj7", "G#m7", "Amaj7", "Bsus4"};
    s.pad(0, chords, 4, 0.6f);
    s.arpeggio(Instrument::Bell, 0, chords, 5, {0, 2, 4, 6, 7, 6, 4, 2}, 0.5, 0.35f, 0.4f);
    s.bass(0, chords, 2, {0, -1, -1, -1}, 1.0, 0.6f);
    s.melody(Instrument::Flute, 0.0,
             "B5:3 G#5:1 | E5:4 | C#6:2 B5:1 G#5:1 | F#5:4 | B5:2 D#6:2 | D#6:1 C#6:1 B5:2 |"
             " C#6:2 A5:2 | F#5:2 E5:1 F#5:1",
             0.45f, -0.2f);
    return s.render(0.9, 0.4);
}

// Doduda: D minor with a Phrygian shadow, timpani heartbeat, low brass, a cold bell motif.
Stereo dodudaTheme() {
    Song s(76.0, 12, false);
    const Chords chords = {"Dm", "Eb", "Dm", "Eb", "Dm", "C#dim",
                           "Dm", "Bb", "Gm", "Eb", "A7", "Dm"};
    s.pad(0, chords, 3, 0.6f);
    s.bass(0, chords, 1, {0, -1, 0, -1}, 1.0, 0.9f);
    for (int bar = 0; bar < 12; ++bar) {
        s.add({Instrument::Timpani, bar * 4.0, 1.0, 38.0, 0.9f, 0.0f});
        s.add({Instrument::Timpani, bar * 4.0 + 2.0, 1.0, 38.0, 0.6f, 0.0f});
        if (bar % 2 == 1)
            s.add({Instrument::Timpani, bar * 4.0 + 3.5, 0.5, 45.0, 0.5f, 0.0f});
    }
    for (int bar = 0; bar < 4; ++bar)
        s.melody(Instrument::Bell, bar * 4.0, "D5:1 Eb5:1 D5:1 A4:1", 0.4f, 0.35f);
    s.melody(Instrument::Brass, 16.0,
             "D4:2 F4:1 E4:1 | D4:2 C#4:2 | D4:1 F4:1 A4:2 | Bb4:2 A4:2 | G4:2 Bb4:2 |"
             " G4:1 F4:1 Eb4:2 | E4:2 C#4:2 | D4:4",
             0.7f, -0.1f);
    s.melody(Instrument::Bell, 32.0, "D5:1 Eb5:1 D5:1 A4:1 | D5:1 Eb5:1 D5:1 A4:1", 0.3f, 0.35f);
    return s.render(0.85, 0.3);
}

} // namespace

std::vector<SoundFile> makeMusic() {
    std::vector<SoundFile> out;
    auto add = [&out](const char* name, Stereo s) {
        SoundFile f;
        f.name = name;
        f.stereo = true;
        f.both = std::move(s);
        out.push_back(std::move(f));
    };
    add("normal.wav", normalTheme());
    add("attack.wav", attackTheme());
    add("gameOver.wav", gameOverTheme());
    add("dreamMusic.wav", dreamTheme());
    add("dodudaMusic.wav", dodudaTheme());
    return out;
}

// The title: a G major march for the hero, the whole band, ending on a held chord.
Stereo makeTitleTune() {
    Song s(112.0, 21, false);
    const Chords chords = {"G", "D",  "Em", "C",  "G", "D", "C", "D", "Em", "C", "G",
                           "D", "Em", "C",  "Am", "D", "G", "C", "D", "G",  "G"};
    s.pad(0, chords, 4, 0.5f);
    s.arpeggio(Instrument::Pluck, 0, chords, 4, {0, 1, 2, 3, 4, 3, 2, 1}, 0.5, 0.7f, -0.35f);
    s.bass(0, chords, 2, {0, -1, 12, 7}, 1.0, 0.9f);
    s.drums(0, 4, "x.......x.......", "..............oo", "o...o...o...o...", 0.6f);
    s.drums(4, 16, "x.......x.......", "....x.......x.x.", "x.x.x.x.x.x.x.x.", 0.8f);
    s.add({Instrument::Timpani, 80.0, 2.0, 43.0, 1.0f, 0.0f});
    s.melody(Instrument::Brass, 16.0,
             "D5:1.5 G5:0.5 B5:2 | A5:1.5 F#5:0.5 D5:2 | E5:1 G5:1 C6:1 B5:1 | A5:3 r:1 |"
             " B5:1.5 A5:0.5 G5:1 E5:1 | G5:1 E5:1 C5:2 | D5:1 G5:1 B5:1 D6:1 | C6:1 B5:1 A5:2 |"
             " B5:2 G5:1 E5:1 | E5:1 G5:1 C6:2 | C6:1.5 B5:0.5 A5:1 E5:1 | F#5:2 A5:2 |"
             " G5:1.5 A5:0.5 B5:2 | C6:1 B5:1 A5:1 G5:1 | A5:2 F#5:1 D5:1 | G5:4 | G5:4",
             0.6f, 0.15f);
    s.melody(Instrument::Flute, 48.0,
             "G5:2 E5:2 | C5:2 E5:2 | A4:2 C5:2 | D5:2 F#5:2 | B4:4 | E5:2 G5:2 | F#5:4 | B4:4",
             0.35f, -0.25f);
    return s.render(0.6, 0.22);
}

} // namespace snd
