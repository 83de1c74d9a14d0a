// Opening the sound device where there is none says one line, and nothing from the audio
// libraries underneath. Its own process: OpenAL reads its settings on the first device only.
#include "platform/soundobject.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Everything written to the standard error descriptor while `f` runs, C libraries included.
template <typename F> std::string stderrOf(F f) {
    std::fflush(stderr);
    FILE* tmp = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(tmp), 2);
    f();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string out;
    std::rewind(tmp);
    for (int c; (c = std::fgetc(tmp)) != EOF;)
        out += static_cast<char>(c);
    std::fclose(tmp);
    return out;
}

TEST(SoundDevice, NoSoundCardSaysOneLineOnceAndTheLibrariesSayNothing) {
    // Only ALSA, pointed at a card no machine has: the libraries' error path, wherever this runs
    // (where ALSA's default goes to a sound server instead, the device may open: then silence).
    unsetenv("ALSOFT_LOGLEVEL");
    setenv("ALSOFT_DRIVERS", "alsa", 1);
    setenv("ALSA_CARD", "31", 1);
    bool opened = false;
    const std::string said = stderrOf([&] { opened = SoundDevice::Acquire(); });
    if (opened)
        SoundDevice::Release();
    EXPECT_EQ(said.find("ALSA lib"), std::string::npos) << said;
    EXPECT_EQ(said.find("AL lib"), std::string::npos) << said;
    if (!opened)
        EXPECT_EQ(said, "Sound: no audio device, the game runs without sound\n");
    else
        EXPECT_EQ(said, "");
    EXPECT_FALSE(SoundDevice::IsOpen());
    // The title and every cutscene try again: the line is not repeated.
    const std::string again = stderrOf([&] {
        for (int i = 0; i < 3; ++i)
            if (SoundDevice::Acquire())
                SoundDevice::Release();
    });
    EXPECT_EQ(again, "");
}

} // namespace
