// Writes Sounds/: effects, music, voices and the MP3 title tune.
#include "common/output.h"
#include "generators.h"
#include "soundfiles.h"

#include <cstdio>
#include <cstdlib>

namespace {

// TARVO_MIX_LEVELS=1 prints each file's length and levels, for checking the mix by eye.
void report(const std::string& name, const snd::Mono& channel, size_t bytes) {
    static const bool wanted = std::getenv("TARVO_MIX_LEVELS") != nullptr;
    if (!wanted)
        return;
    std::fprintf(stderr, "  %-20s %6.2f s  peak %6.1f dBFS  rms %6.1f dBFS  %7.1f kB\n",
                 name.c_str(), double(channel.size()) / snd::RATE, snd::peakDb(channel),
                 snd::rmsDb(channel), bytes / 1024.0);
}

void write(const std::string& dir, const snd::SoundFile& f) {
    const std::vector<uint8_t> bytes = f.stereo ? snd::encodeWav(f.both) : snd::encodeWav(f.mono);
    content::writeFile(dir + f.name, bytes);
    content::progress("Sounds/" + f.name);
    report(f.name, f.channel(), bytes.size());
}

} // namespace

void generateSounds(const std::string& root) {
    const std::string dir = root + "/Sounds/";
    for (const snd::SoundFile& f : snd::makeEffects())
        write(dir, f);
    for (const snd::SoundFile& f : snd::makeMusic())
        write(dir, f);

    const snd::Stereo title = snd::makeTitleTune();
    if (snd::canWriteMp3()) {
        const std::vector<uint8_t> bytes = snd::encodeMp3(title);
        content::writeFile(dir + "title.mp3", bytes);
        report("title.mp3", title.left, bytes.size());
    } else {
        // The game opens the tune through libsndfile, which reads a WAV under any name.
        std::fprintf(stderr, "tarvo-content: this libsndfile cannot write MP3; "
                             "Sounds/title.mp3 holds WAV data\n");
        content::writeFile(dir + "title.mp3", snd::encodeWav(title));
    }

    generateVoices(root);
}

void generateVoices(const std::string& root) {
    const std::string dir = root + "/Sounds/";
    bool spoken = false;
    const std::vector<snd::SoundFile> voices = snd::makeVoices(spoken);
    if (!spoken)
        std::fprintf(stderr, "tarvo-content: warning: built without espeak-ng; the voices in "
                             "Sounds/ are quiet placeholders\n");
    for (const snd::SoundFile& f : voices)
        write(dir, f);
}
