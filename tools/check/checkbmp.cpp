// tarvo-check bmp FILE: decodes the file with the game's own loader and prints its size.
#include "checks.h"

#include "models/texture.h"
#include "platform/messagebox.h"

#include <cstdio>

int checkBmp(const char* file) {
    // The loader reports through message boxes; here they only print (ShowMessageBox has
    // already written title and text to standard error).
    SetMessageBoxResponder([](const std::string&, const std::string&, MessageBoxButtons) {
        return MessageBoxAnswer::Ok;
    });
    std::optional<ImageRecord> image = loadImage(file);
    SetMessageBoxResponder(nullptr);
    if (!image)
        return 1;
    std::printf("%s: %d x %d\n", file, image->width, image->height);
    return 0;
}
