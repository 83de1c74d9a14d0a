// libFuzzer target: the demo reader over arbitrary bytes. Whatever it accepts must encode
// back to a demo that reads the same.
#include "platform/demofile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Demo demo;
    std::string error;
    if (!ReadDemo(data, size, demo, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    std::vector<uint8_t> bytes = EncodeDemoHeader(demo.header);
    for (const DemoFrame& f : demo.frames) {
        const std::vector<uint8_t> frame = EncodeDemoFrame(f);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    if (demo.ended) {
        const std::vector<uint8_t> end = EncodeDemoEnd(demo.last);
        bytes.insert(bytes.end(), end.begin(), end.end());
    }
    Demo again;
    if (!ReadDemo(bytes.data(), bytes.size(), again, error) ||
        again.frames.size() != demo.frames.size() || again.ended != demo.ended)
        std::abort();
    return 0;
}
