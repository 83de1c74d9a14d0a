#include "platform/demo.h"
#include "platform/demofile.h"
#include "shell/demoplay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
Demo sampleDemo() {
    Demo demo;
    demo.header.gameVersion = GAME_VERSION;
    demo.header.contentHash = 0x1234;
    DemoFrame start;
    start.clockNs = 5;
    start.seeds = {77};
    demo.frames.push_back(start);
    DemoFrame f;
    f.clockNs = 16000000;
    f.flags = DemoFrame::HAS_INPUT | DemoFrame::HAS_CHECKPOINT | DemoFrame::ACTIVE;
    f.events = {{DemoEvent::RESIZED, 640, 480}, {DemoEvent::FOCUS_LOST, 0, 0}};
    f.input.keys = {{0x11, 0x80}, {0x39, 0x80}};
    f.input.dx = -3;
    f.input.wheel = 120;
    f.input.buttons[0] = 0x80;
    f.checkpoint.state = 1;
    f.checkpoint.hash = 99;
    f.checkpoint.fields[5] = 100.0;
    demo.frames.push_back(f);
    return demo;
}

std::vector<uint8_t> encode(const Demo& demo, bool withEnd = true) {
    std::vector<uint8_t> bytes = EncodeDemoHeader(demo.header);
    for (const DemoFrame& f : demo.frames) {
        const auto frame = EncodeDemoFrame(f);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    if (withEnd) {
        const auto end = EncodeDemoEnd(demo.last);
        bytes.insert(bytes.end(), end.begin(), end.end());
    }
    return bytes;
}

bool read(const std::vector<uint8_t>& bytes, Demo& demo, std::string& error) {
    return ReadDemo(bytes.data(), bytes.size(), demo, error);
}
} // namespace

TEST(DemoFile, ReadsBackWhatWasWritten) {
    const Demo written = sampleDemo();
    Demo demo;
    std::string error;
    ASSERT_TRUE(read(encode(written), demo, error)) << error;
    EXPECT_TRUE(demo.ended);
    ASSERT_EQ(demo.frames.size(), 2u);
    EXPECT_EQ(demo.frames[0].seeds, std::vector<uint32_t>{77});
    const DemoFrame& f = demo.frames[1];
    EXPECT_EQ(f.clockNs, 16000000);
    ASSERT_EQ(f.events.size(), 2u);
    EXPECT_EQ(f.events[0].width, 640);
    EXPECT_EQ(f.events[1].kind, DemoEvent::FOCUS_LOST);
    EXPECT_TRUE(f.input == written.frames[1].input);
    EXPECT_EQ(f.checkpoint.hash, 99u);
    EXPECT_EQ(f.checkpoint.fields[5], 100.0);
    // Cut after a whole frame (a crash while recording): every frame before it is kept.
    ASSERT_TRUE(read(encode(written, false), demo, error)) << error;
    EXPECT_FALSE(demo.ended);
    EXPECT_EQ(demo.frames.size(), 2u);
}

TEST(DemoFile, RefusesCutForeignNewerAndOtherContentDemosWithOneLine) {
    const Demo written = sampleDemo();
    const std::vector<uint8_t> whole = encode(written);
    const size_t header = EncodeDemoHeader(written.header).size();
    const size_t firstFrame = EncodeDemoFrame(written.frames[0]).size();
    Demo demo;
    std::string error;
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const bool recordBoundary =
            cut == header + firstFrame || cut == whole.size() - EncodeDemoEnd(written.last).size();
        if (recordBoundary)
            continue;
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + long(cut));
        error.clear();
        EXPECT_FALSE(read(part, demo, error)) << "cut at " << cut;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    std::vector<uint8_t> foreign = whole;
    foreign[0] = 'X';
    EXPECT_FALSE(read(foreign, demo, error));
    EXPECT_EQ(error, "not a Tarvo demo");
    std::vector<uint8_t> newer = whole;
    newer[8] = DEMO_FORMAT_VERSION + 1;
    EXPECT_FALSE(read(newer, demo, error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;
    // A record whose length runs past the end of the file.
    std::vector<uint8_t> tooLong = whole;
    tooLong[header + 1] = 0xFF;
    tooLong[header + 4] = 0x7F;
    EXPECT_FALSE(read(tooLong, demo, error));

    ASSERT_TRUE(read(whole, demo, error));
    EXPECT_TRUE(CheckDemoForReplay(demo, 0x1234, error)) << error;
    EXPECT_FALSE(CheckDemoForReplay(demo, 0x1235, error));
    EXPECT_NE(error.find("other game content"), std::string::npos);
    demo.header.gameVersion = "9.9";
    EXPECT_FALSE(CheckDemoForReplay(demo, 0x1234, error));
}

// A session recorded to a file, then replayed: the same clock and seeds come back, and a
// state that differs at a checkpoint is reported as a divergence with the field that differs.
TEST(DemoSession, ReplaysTheClockAndSeedsAndReportsTheFirstDivergence) {
    static double s_life = 100.0;
    const auto checkpoint = [](DemoCheckpoint& c) {
        c = DemoCheckpoint();
        c.fields[5] = s_life;
        c.hash = DemoHash(DEMO_HASH_START, &s_life, sizeof(s_life));
    };
    std::filesystem::create_directories(TARVO_ARTIFACT_DIR);
    const std::string path = std::string(TARVO_ARTIFACT_DIR) + "/session.demo";
    std::vector<int64_t> clocks;
    unsigned seed = 0;
    {
        DemoSession session;
        DemoHeader header;
        std::string error;
        ASSERT_TRUE(session.startRecording(path, header, error)) << error;
        session.takeCheckpoint = checkpoint;
        seed = session.clockSeed();
        session.startLoop();
        for (int i = 0; i < 3; ++i) {
            session.beginRecordedFrame(false, true);
            clocks.push_back(session.clockNs());
            EXPECT_EQ(session.clockNs(), clocks.back()); // one reading per frame
            session.endFrame();
        }
        EXPECT_EQ(session.finish(false), 0);
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    Demo demo;
    std::string error;
    ASSERT_TRUE(read(bytes, demo, error)) << error;
    ASSERT_EQ(demo.frames.size(), 4u);

    const auto replay = [&](double lifeInFrame2) {
        DemoSession session;
        session.takeCheckpoint = checkpoint;
        session.startReplay(demo);
        EXPECT_EQ(session.clockSeed(), seed);
        session.startLoop();
        for (int i = 0; const DemoFrame* f = session.nextReplayedFrame(); ++i) {
            EXPECT_TRUE(f);
            session.beginReplayedFrame();
            EXPECT_EQ(session.clockNs(), clocks[size_t(i)]);
            s_life = i >= 1 ? lifeInFrame2 : 100.0;
            session.endFrame();
        }
        const int status = session.finish(false);
        s_life = 100.0;
        return status;
    };
    EXPECT_EQ(replay(100.0), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(replay(90.0), 1);
    const std::string report = testing::internal::GetCapturedStderr();
    // Checkpoints come every two seconds: this short recording shows the change at its end.
    EXPECT_NE(report.find("hero life 100 recorded, 90 replayed"), std::string::npos) << report;
    EXPECT_NE(report.find("frame"), std::string::npos);
}
