// libFuzzer target for the BMP decoder: any bytes must give an image or a message, never a
// crash, and a decoded image must hold exactly width * height * 3 bytes.
#include "models/bmpdecoder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImageRecord image;
    std::string error;
    if (decodeBmp(data, size, image, error)) {
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != size_t(image.width) * size_t(image.height) * 3)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
