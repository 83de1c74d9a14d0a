// Program entry: the command line, then the folder holding the game's content, then the
// window and the main loop (shell/). Without content the game says where it looked and ends
// before any window.
#include "platform/frameprofile.h"
#include "shell/contentdir.h"
#include "shell/demoplay.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

int GameMain();

namespace {
const char* const USAGE =
    "usage: tarvo [--record FILE | --replay FILE [--frame-times] | --help | --version]";

void printHelp() {
    std::printf("%s\n\n"
                "Project Tarvo, a third-person action-adventure.\n\n"
                "  --record FILE  play as usual and record the play into the demo FILE\n"
                "  --replay FILE  play the demo FILE back frame for frame and check that it\n"
                "                 reaches the recorded states (Escape stops it); the exit\n"
                "                 status is 0 when it matched, 1 when it did not\n"
                "  --frame-times  with --replay: print the frame times of play (median, 99th\n"
                "                 percentile, worst frames and their causes)\n"
                "  --help         show this help\n"
                "  --version      show the game's version\n",
                USAGE);
}
} // namespace

int main(int argc, char** argv) {
    std::string record, replay;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0) {
            std::printf("tarvo %s\n", GAME_VERSION);
            return 0;
        }
        if ((std::strcmp(arg, "--record") == 0 || std::strcmp(arg, "--replay") == 0) &&
            i + 1 < argc && record.empty() && replay.empty()) {
            (std::strcmp(arg, "--record") == 0 ? record : replay) = argv[++i];
            continue;
        }
        if (std::strcmp(arg, "--frame-times") == 0) {
            g_replayFrameTimes = true;
            continue;
        }
        std::fprintf(stderr, "%s\n", USAGE);
        return 2;
    }
    if (g_replayFrameTimes && replay.empty()) {
        std::fprintf(stderr, "%s\n", USAGE);
        return 2;
    }
    // The game's own work per frame, told apart from the drawing.
    frameprofile::g_enabled = g_replayFrameTimes;
    // The demo's path is taken as given, before the game enters its content folder.
    const auto absolute = [](const std::string& path) {
        return path.empty() ? path : std::filesystem::absolute(path).string();
    };
    record = absolute(record);
    replay = absolute(replay);
    std::string message;
    if (!EnterContentDir(RunningExecutable(argc > 0 ? argv[0] : nullptr), message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    if ((!record.empty() && !StartDemoRecording(record, message)) ||
        (!replay.empty() && !StartDemoReplay(replay, message))) {
        std::fprintf(stderr, "tarvo: %s\n", message.c_str());
        return 1;
    }
    return GameMain();
}
