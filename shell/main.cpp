// Program entry: enter the folder holding the game's content, then the window and the main
// loop (shell/). Without content the game says where it looked and ends before any window.
#include "shell/contentdir.h"

#include <cstdio>
#include <string>

int GameMain();

int main(int argc, char** argv) {
    std::string message;
    if (!EnterContentDir(RunningExecutable(argc > 0 ? argv[0] : nullptr), message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return GameMain();
}
