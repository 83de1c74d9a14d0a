// Which of the game's folders may include which. Every include from one game folder into
// another must be listed below with its reason, in either direction: the folders are meant to
// form layers, so an edge running down is listed by folder and an edge running back up only
// for the files that need it. A new edge, in any direction, fails until it is listed, and an
// entry no file needs any more fails until it is removed. Reads every `#include "folder/..."`
// line of the game's code (not the tests, tools or benchmarks).
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
    "render",   // the drawing of what the layers below describe
    "shell",    // the window, the main loop and the screens
};

// Files whose path starts with `from` may include files whose path starts with `to`.
struct Edge {
    const char* from;
    const char* to;
    const char* reason;
};

const Edge EDGES[] = {
    // Down the layers.
    {"models/", "platform/", "images and models are read through the platform's files"},
    {"level/", "platform/", "the level file is read through the platform's files"},
    {"level/", "models/", "the level's places and sizes are the maths' vectors"},
    {"ai/", "level/", "the enemies decide from what the data layer knows"},
    {"ai/", "models/", "decisions are made in the maths' vectors"},
    {"ai/", "platform/", "chance and time come from the platform"},
    {"objects/", "ai/", "characters carry out the decisions' kinds"},
    {"objects/", "level/", "objects ask the data layer about the level"},
    {"objects/", "models/", "objects are drawn from models"},
    {"objects/", "platform/", "objects play sounds and read the clock"},
    {"world/", "level/", "the world reads the level's kinds and places"},
    {"world/", "models/", "the world is built of the maths' shapes and images"},
    {"world/", "platform/", "the world reads files and the clock"},
    {"world/camera.cpp", "objects/", "the camera follows an object"},
    {"world/collisionworld.cpp", "objects/", "collision meets characters, the hero and shots"},
    {"world/staticobject.h", "objects/", "static scenery is a model object"},
    {"world/viewfrustum.cpp", "objects/", "the view test culls model objects and the hero"},
    {"world/worldlight.cpp", "objects/", "the light casts the objects' shadows"},
    {"hud/", "platform/", "the HUD reads the clock and the screen's size"},
    {"hud/", "models/", "the HUD draws images"},
    {"hud/hud.cpp", "level/", "the map and the talk line read the data layer"},
    {"hud/hud.cpp", "objects/", "the HUD shows the hero's life and the villager in reach"},
    {"hud/hud.cpp", "world/", "the map marks where the camera looks"},
    {"render/", "models/", "the renderer draws the models' posed meshes and materials"},
    {"render/", "platform/", "drawing is timed in the frame profile's passes"},
    {"render/particleeffectdraw.cpp", "objects/particleeffect.h",
     "draws the particle effects whose simulation objects/ keeps"},
    {"shell/", "", "the shell starts, runs and ends everything below it"},
    // Back up the layers.
    {"platform/soundmanager.", "models/vector.h", "sounds are placed at the game's positions"},
    {"level/qrvdatalayer.", "ai/", "the data layer makes each enemy's AI and keeps the flock's"},
    {"objects/", "world/",
     "objects stand on the terrain, meet each other in the collision world and turn the camera"},
    {"objects/boss.cpp", "hud/hud.h", "the boss's fall fades the HUD"},
    {"objects/npc.cpp", "hud/", "characters write their names and speech in the HUD's font"},
    {"objects/player.cpp", "hud/bitmapfont.h", "the hero's words are written in the HUD's font"},
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

// The entry that allows FILE to include TARGET, or null.
const Edge* allowing(const std::string& file, const std::string& target) {
    for (const Edge& e : EDGES)
        if (startsWith(file, e.from) && startsWith(target, e.to))
            return &e;
    return nullptr;
}

} // namespace

TEST(IncludeDirection, EveryIncludeBetweenFoldersIsListedWithItsReasonAndEveryEntryIsNeeded) {
    const std::vector<Include> includes = gameIncludes(TARVO_SOURCE_DIR);
    ASSERT_GT(includes.size(), 100u) << "the game's code was not found under " << TARVO_SOURCE_DIR;
    std::set<const Edge*> used;
    int up = 0;
    for (const Include& inc : includes) {
        const int from = layerOf(inc.file), to = layerOf(inc.target);
        if (to == from)
            continue;
        if (const Edge* e = allowing(inc.file, inc.target)) {
            up += used.insert(e).second && to > from;
            continue;
        }
        ADD_FAILURE() << inc.file << ":" << inc.line << ": includes \"" << inc.target
                      << "\": " << LAYERS[size_t(from)] << "/ may not include "
                      << LAYERS[size_t(to)] << "/ (move the code, hand it what it needs, or "
                      << "list the edge with its reason)";
    }
    for (const Edge& e : EDGES)
        if (!used.count(&e))
            ADD_FAILURE() << "the allowed include from " << e.from << " to " << e.to << " ("
                          << e.reason << ") is no longer needed: remove it from the table";
    std::printf("%d listed includes run back up the layers\n", up);
}
