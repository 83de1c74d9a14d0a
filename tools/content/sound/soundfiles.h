// The three makers of Sounds/: synthesised effects, sequenced music and spoken voices.
// Each returns finished, level-set sounds under their file names; writing them is the
// caller's. Music and voices take a second or two each; effects are instant.
#pragma once

#include "synth.h"

#include <string>
#include <vector>

namespace snd {

struct SoundFile {
    std::string name; // file name under Sounds/
    bool stereo = false;
    Mono mono;
    Stereo both;
    const Mono& channel() const { return stereo ? both.left : mono; }
};

std::vector<SoundFile> makeEffects();
// The looping pieces come back exactly one period long, so a repeat has no seam.
std::vector<SoundFile> makeMusic();
// The title tune, encoded apart because it is the one MP3.
Stereo makeTitleTune();
// Every character's lines and the three cutscene voices; without espeak-ng, quiet
// placeholders (and `spoken` is set to false).
std::vector<SoundFile> makeVoices(bool& spoken);

} // namespace snd
