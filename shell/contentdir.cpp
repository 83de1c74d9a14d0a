#include "shell/contentdir.h"

#include <system_error>

namespace fs = std::filesystem;

const char* const CONTENT_MARKER = "data/flatlandriver.xml";

std::vector<fs::path> ContentDirCandidates(const fs::path& cwd, const fs::path& exe) {
    std::vector<fs::path> out;
    auto add = [&out](const fs::path& p) {
        const fs::path n = p.lexically_normal();
        for (const fs::path& q : out)
            if (q == n)
                return;
        out.push_back(n);
    };
    add(cwd);
    if (!exe.empty() && exe.has_parent_path()) {
        const fs::path dir = exe.parent_path();
        add(dir / "game");                          // a build tree: build/tarvo beside build/game
        add(dir / ".." / "share" / "tarvo");        // PREFIX/bin/tarvo
        add(dir / ".." / ".." / "share" / "tarvo"); // PREFIX/lib/tarvo/tarvo, as installed
    }
    return out;
}

fs::path FindContentDir(const std::vector<fs::path>& candidates) {
    for (const fs::path& dir : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(dir / CONTENT_MARKER, ec))
            return dir;
    }
    return {};
}

std::string MissingContentMessage(const std::vector<fs::path>& candidates) {
    std::string places;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (i > 0)
            places += i + 1 == candidates.size() ? " or " : ", ";
        places += candidates[i].string();
    }
    return std::string("tarvo: the game's content (") + CONTENT_MARKER + ") is not in " + places +
           "; make it with ./tarvo build in the source folder, or start the game from its "
           "content folder";
}

bool EnterContentDir(const fs::path& exe, std::string& message) {
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (ec)
        cwd = ".";
    const std::vector<fs::path> candidates = ContentDirCandidates(cwd, exe);
    const fs::path found = FindContentDir(candidates);
    if (found.empty()) {
        message = MissingContentMessage(candidates);
        return false;
    }
    if (found == candidates.front())
        return true;
    fs::current_path(found, ec);
    if (ec) {
        message =
            "tarvo: cannot enter the game's content folder " + found.string() + ": " + ec.message();
        return false;
    }
    return true;
}

fs::path RunningExecutable(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty())
        return self;
    if (argv0 && *argv0) {
        const fs::path given(argv0);
        // A bare name was found on PATH: its folder is unknown here.
        if (given.has_parent_path())
            return fs::absolute(given, ec);
    }
    return {};
}
