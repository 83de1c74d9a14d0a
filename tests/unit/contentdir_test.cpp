// Finding the game's content from wherever the game is started: a tree of folders shaped like
// a build and like installs, and the one line said when none holds the content.
#include "shell/contentdir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class ContentDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("tarvo-contentdir-" + std::to_string(getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "elsewhere");
        m_cwd = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(m_cwd);
        fs::remove_all(m_root);
    }
    void makeContent(const fs::path& dir) {
        fs::create_directories(dir / "data");
        std::ofstream(dir / CONTENT_MARKER) << "<terrain/>";
    }
    fs::path m_root, m_cwd;
};

TEST_F(ContentDirTest, LooksInTheWorkingFolderThenBesideTheProgramThenTheInstalledShare) {
    const fs::path r = m_root;
    const auto c = ContentDirCandidates(r / "elsewhere", r / "build" / "tarvo");
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], r / "elsewhere");
    EXPECT_EQ(c[1], r / "build" / "game");
    EXPECT_EQ(c[2], r / "share" / "tarvo");
    EXPECT_EQ(c[3], (r / ".." / "share" / "tarvo").lexically_normal());
    // Started inside build/game: that folder is looked at once.
    const auto same = ContentDirCandidates(r / "build" / "game", r / "build" / "tarvo");
    EXPECT_EQ(same.size(), 3u);
    // No known executable: only the working folder.
    EXPECT_EQ(ContentDirCandidates(r / "elsewhere", fs::path()).size(), 1u);
}

TEST_F(ContentDirTest, TheFirstFolderHoldingTheLevelWins) {
    const fs::path r = m_root;
    makeContent(r / "build" / "game");
    makeContent(r / "usr" / "share" / "tarvo");
    // From elsewhere, a build's binary finds build/game.
    EXPECT_EQ(FindContentDir(ContentDirCandidates(r / "elsewhere", r / "build" / "tarvo")),
              r / "build" / "game");
    // Content in the working folder comes first.
    makeContent(r / "elsewhere");
    EXPECT_EQ(FindContentDir(ContentDirCandidates(r / "elsewhere", r / "build" / "tarvo")),
              r / "elsewhere");
    fs::remove_all(r / "elsewhere" / "data");
    // Installed: the binary in PREFIX/bin or in PREFIX/lib/tarvo.
    EXPECT_EQ(FindContentDir(ContentDirCandidates(r / "elsewhere", r / "usr" / "bin" / "tarvo")),
              r / "usr" / "share" / "tarvo");
    EXPECT_EQ(FindContentDir(
                  ContentDirCandidates(r / "elsewhere", r / "usr" / "lib" / "tarvo" / "tarvo")),
              r / "usr" / "share" / "tarvo");
    // A folder named like content but without the level file, or with a folder in its place,
    // is not content.
    fs::create_directories(r / "other" / "game" / "data");
    EXPECT_TRUE(
        FindContentDir(ContentDirCandidates(r / "elsewhere", r / "other" / "tarvo")).empty());
    fs::create_directories(r / "other" / "game" / CONTENT_MARKER);
    EXPECT_TRUE(
        FindContentDir(ContentDirCandidates(r / "elsewhere", r / "other" / "tarvo")).empty());
}

TEST_F(ContentDirTest, EntersTheFoundFolderOrSaysInOneLineWhereItLooked) {
    const fs::path r = m_root;
    makeContent(r / "build" / "game");
    fs::current_path(r / "elsewhere");
    std::string message;
    ASSERT_TRUE(EnterContentDir(r / "build" / "tarvo", message)) << message;
    EXPECT_EQ(fs::current_path(), fs::canonical(r / "build" / "game"));
    EXPECT_TRUE(fs::is_regular_file(CONTENT_MARKER)); // the game's relative names now work

    // Already inside: stays.
    ASSERT_TRUE(EnterContentDir(r / "elsewhere" / "tarvo", message));
    EXPECT_EQ(fs::current_path(), fs::canonical(r / "build" / "game"));

    fs::current_path(r / "elsewhere");
    message.clear();
    EXPECT_FALSE(EnterContentDir(r / "copy" / "tarvo", message));
    EXPECT_EQ(fs::current_path(), fs::canonical(r / "elsewhere"));
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    for (const fs::path& place : ContentDirCandidates(fs::current_path(), r / "copy" / "tarvo"))
        EXPECT_NE(message.find(place.string()), std::string::npos) << place << " in " << message;
    EXPECT_NE(message.find("./tarvo build"), std::string::npos) << message;
}

TEST_F(ContentDirTest, TheRunningProgramIsFoundThroughProc) {
    const fs::path self = RunningExecutable(nullptr);
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(self.is_absolute());
    EXPECT_EQ(self.filename(), "contentdir_test");
}

} // namespace
