// The game's folders include one way: each folder may include itself and the folders
// below it, and an include that runs back up must be one of the few the design needs,
// each listed below with its reason. Reads every `#include "folder/..."` line of the
// game's code (not the tests, tools or benchmarks).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// From the bottom up.
const std::vector<std::string> LAYERS = {
    "platform", // the stand-ins for the operating system's interfaces
    "models",   // maths, images and models
    "level",    // the level file and the data layer
    "ai",       // the enemies' decisions, read from the data layer
    "objects",  // everything that stands or moves in a level
    "world",    // terrain, sky, water, light, camera and collision around the objects
    "hud",      // what is drawn over the play screen
    "shell",    // the window, the main loop and the screens
};

// An include that runs back up: files whose path starts with `from` may include files
// whose path starts with `to`.
struct Exception {
    const char* from;
    const char* to;
    const char* reason;
    bool temporary; // on its way out; not an error once no file needs it
};

const Exception EXCEPTIONS[] = {
    {"level/qrvdatalayer.", "ai/", "the data layer makes each enemy's AI and keeps the flock's",
     false},
    {"level/qrvdatalayer.cpp", "objects/",
     "the data layer creates the level's hero, characters, enemies and boss from the level file",
     false},
    {"level/qrvdatalayer.cpp", "world/",
     "the data layer builds the terrain, sky and static objects from the level file", false},
    {"objects/", "world/",
     "objects stand on the terrain, meet each other in the collision world and turn the camera",
     false},
    {"objects/", "hud/",
     "characters write their names and speech in the HUD's font; the boss's fall fades the HUD",
     false},
    {"platform/soundmanager.", "models/vector.h", "sounds are placed at the game's positions",
     false},
};

int layerOf(const std::string& path) {
    const std::string folder = path.substr(0, path.find('/'));
    const auto it = std::find(LAYERS.begin(), LAYERS.end(), folder);
    return it == LAYERS.end() ? -1 : int(it - LAYERS.begin());
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

struct Include {
    std::string file; // relative to the source tree
    int line;
    std::string target;
};

// Every quoted include of a game folder in the game's own code.
std::vector<Include> gameIncludes(const std::filesystem::path& root) {
    static const std::regex INCLUDE(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<Include> found;
    for (const std::string& folder : LAYERS) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h"))
                continue;
            const std::string file = entry.path().lexically_relative(root).generic_string();
            std::ifstream in(entry.path());
            std::string text;
            std::smatch match;
            for (int line = 1; std::getline(in, text); ++line)
                if (std::regex_search(text, match, INCLUDE) && layerOf(match[1]) >= 0)
                    found.push_back({file, line, match[1]});
        }
    }
    return found;
}

// The exception that allows FILE to include TARGET, or null.
const Exception* allowing(const std::string& file, const std::string& target) {
    for (const Exception& e : EXCEPTIONS)
        if (startsWith(file, e.from) && startsWith(target, e.to))
            return &e;
    return nullptr;
}

} // namespace

TEST(IncludeDirection, NoFolderIncludesAFolderAboveItUnlessTheTableSaysWhy) {
    const std::vector<Include> includes = gameIncludes(TARVO_SOURCE_DIR);
    ASSERT_GT(includes.size(), 100u) << "the game's code was not found under " << TARVO_SOURCE_DIR;
    std::set<const Exception*> used;
    for (const Include& inc : includes) {
        const int from = layerOf(inc.file), to = layerOf(inc.target);
        if (to <= from)
            continue;
        if (const Exception* e = allowing(inc.file, inc.target)) {
            used.insert(e);
            continue;
        }
        ADD_FAILURE() << inc.file << ":" << inc.line << ": includes \"" << inc.target
                      << "\": " << LAYERS[size_t(from)] << "/ may not include "
                      << LAYERS[size_t(to)] << "/, which lies above it (move the code, hand it "
                      << "what it needs from above, or list the edge with its reason)";
    }
    for (const Exception& e : EXCEPTIONS) {
        if (used.count(&e))
            continue;
        if (e.temporary)
            std::printf("note: no file includes %s from %s any more; its line can go\n", e.to,
                        e.from);
        else
            ADD_FAILURE() << "the allowed include from " << e.from << " to " << e.to << " ("
                          << e.reason << ") is no longer needed: remove it from the table";
    }
}
