// tarvo-check level FILE [GAMEDIR]: reads the level with the game's own reader, then checks
// what the reader cannot know, against the game's files in GAMEDIR (by default the current
// directory, where the game runs and opens every name the level gives):
// - every model, texture and the height map lies inside the game folder and loads with the
//   game's own loaders (a model's material textures too);
// - glStart lies inside the world and the world on the land;
// - the hero, the boss, every character and enemy start, and every path point stand inside
//   the world and outside the footprints of the scenery; scenery stands inside the world;
//   no enemy starts in a grid cell that is already taken (the game asserts on that);
// - lives are positive and not absurd, speeds not negative and not absurd, and every flock
//   with followers has a leader;
// - an enemy's blow (our own "blowDamage", 10 by default) takes less than the hero's life.
// The reader itself checks our own enemy attributes: "attackOdds" (one chance in this many a
// frame at 60 frames a second, at least 2), "shown" (true: seen from the start, not only
// where paint shows it) and "blowDamage" (at least 1).
// Every problem is printed, one a line; the status is 1 when there was any.
#include "checks.h"

#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "models/bmpdecoder.h"
#include "models/ms3dmodel.h"
#include "world/terrain.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// 500 blows of the bat (20 each); the boss has 400.
constexpr int MAX_LIFE = 10000;
// Four times the hero's walk (40 units a second): such an enemy cannot be escaped, and at
// 10 frames a second its step would pass a whole grid cell of the land.
constexpr int MAX_SPEED = 160;

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string at(float x, float z) {
    return "(" + number(x) + ", " + number(z) + ")";
}

// The game opens every name relative to its folder: an absolute name, or one whose ".."
// climbs above the folder, reaches files that are not the game's.
bool staysInside(const std::string& name) {
    const std::filesystem::path path(name);
    if (name.empty() || path.is_absolute())
        return false;
    int depth = 0;
    for (const std::filesystem::path& part : path) {
        if (part == "..")
            --depth;
        else if (part != "." && !part.empty())
            ++depth;
        if (depth < 0)
            return false;
    }
    return true;
}

class ContentCheck {
public:
    ContentCheck(const LevelFile& level, std::string gameDir)
        : m_level(level), m_gameDir(std::move(gameDir)) {}

    std::vector<std::string> run() {
        files();
        world();
        places();
        startingCells();
        values();
        return m_problems;
    }

private:
    void problem(const std::string& text) { m_problems.push_back(text); }

    // Reads a named file of the game into `bytes`; the reason it cannot, or "".
    std::string read(const std::string& name, std::vector<uint8_t>& bytes) const {
        if (!staysInside(name))
            return "leaves the game folder";
        const std::filesystem::path path = std::filesystem::path(m_gameDir) / name;
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            return "is missing from " + m_gameDir;
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return in.bad() ? "cannot be read" : "";
    }

    // What is wrong with a texture (empty when nothing), each file decoded once.
    std::string textureProblem(const std::string& name) {
        auto known = m_textures.find(name);
        if (known != m_textures.end())
            return known->second;
        std::vector<uint8_t> bytes;
        std::string reason = read(name, bytes);
        ImageRecord image;
        if (reason.empty() && !decodeBmp(bytes.data(), bytes.size(), image, reason))
            reason = "does not decode: " + reason;
        return m_textures[name] = reason;
    }

    void texture(const std::string& who, const std::string& name) {
        const std::string reason = textureProblem(name);
        if (!reason.empty())
            problem(who + ": texture \"" + name + "\" " + reason);
    }

    // A model, then the textures its materials name; each file is read once.
    void model(const std::string& who, const std::string& name) {
        if (!m_models.count(name)) {
            std::vector<std::string>& reasons = m_models[name];
            std::vector<uint8_t> bytes;
            std::string reason = read(name, bytes);
            ModelData data;
            if (reason.empty() && !parseMs3d(bytes.data(), bytes.size(),
                                             ms3dDirectoryPrefix(name.c_str()), data, reason))
                reason = "does not load: " + reason;
            if (!reason.empty())
                reasons.push_back(reason);
            for (const ModelMaterial& material : data.m_materials) {
                if (material.m_textureFile.empty())
                    continue;
                const std::string textureReason = textureProblem(material.m_textureFile);
                if (!textureReason.empty())
                    reasons.push_back("names texture \"" + material.m_textureFile + "\", which " +
                                      textureReason);
            }
        }
        for (const std::string& reason : m_models[name])
            problem(who + ": model \"" + name + "\" " + reason);
    }

    void files() {
        const LevelFile& l = m_level;
        if (l.hasTerrain) {
            std::vector<uint8_t> heights;
            const std::string reason = read(l.heightMap, heights);
            if (!reason.empty())
                problem("the terrain: height map \"" + l.heightMap + "\" " + reason);
            else if (heights.size() != Terrain::HEIGHT_BYTES)
                problem("the terrain: height map \"" + l.heightMap + "\" holds " +
                        std::to_string(heights.size()) + " bytes, the land takes " +
                        std::to_string(Terrain::HEIGHT_BYTES));
            texture("the terrain", l.texture);
            texture("the terrain", l.detail);
        }
        if (l.hasSkyBox)
            for (const std::string* face :
                 {&l.skyFront, &l.skyBack, &l.skyLeft, &l.skyRight, &l.skyTop})
                texture("the sky box", *face);
        model("the hero", l.playerModel);
        model("the boss", l.bossModel);
        for (size_t i = 0; i < l.statics.size(); ++i)
            model(staticName(i), l.statics[i].model);
        for (const LevelNpc& c : l.npcs)
            model("character \"" + c.name + "\"", c.model);
        for (const LevelEnemy& e : l.enemies)
            model("enemy \"" + e.name + "\"", e.model);
    }

    std::string staticName(size_t i) const {
        return "static object " + std::to_string(i) + " (" + m_level.statics[i].model + ")";
    }

    std::string worldText() const {
        return "the world, " + number(m_level.worldStart) + " to " + number(m_level.worldWidth) +
               " by " + number(m_level.worldStart) + " to " + number(m_level.worldDepth);
    }

    void world() {
        const LevelFile& l = m_level;
        if (!(l.worldStart < l.worldWidth && l.worldStart < l.worldDepth))
            problem("the terrain: \"glStart\" " + number(l.worldStart) +
                    " lies outside the world (\"glWidth\" " + number(l.worldWidth) +
                    ", \"glDepth\" " + number(l.worldDepth) + ")");
        const float land = static_cast<float>(Terrain::MAP_SIZE);
        if (l.worldWidth > land || l.worldDepth > land)
            problem("the terrain: the world (" + number(l.worldWidth) + " by " +
                    number(l.worldDepth) + ") reaches beyond the land, " + number(land) + " by " +
                    number(land));
    }

    bool insideWorld(float x, float z) const {
        const LevelFile& l = m_level;
        return x >= l.worldStart && x <= l.worldWidth && z >= l.worldStart && z <= l.worldDepth;
    }

    // A place where someone stands or walks: inside the world and outside the scenery's
    // footprints (as the level gives them, on the world's axes, as the grid marks them).
    void place(const std::string& who, const std::string& what, float x, float z) {
        if (!insideWorld(x, z))
            problem(who + ": " + what + " " + at(x, z) + " lies outside " + worldText());
        for (size_t i = 0; i < m_level.statics.size(); ++i) {
            const LevelStatic& s = m_level.statics[i];
            if (std::fabs(x - s.x) < s.width / 2.0f && std::fabs(z - s.z) < s.depth / 2.0f)
                problem(who + ": " + what + " " + at(x, z) + " stands inside " + staticName(i) +
                        " at " + at(s.x, s.z));
        }
    }

    void path(const std::string& who, const std::vector<LevelPoint>& points) {
        for (size_t k = 0; k < points.size(); ++k)
            place(who, "path point " + std::to_string(k + 1), points[k].x, points[k].z);
    }

    void places() {
        const LevelFile& l = m_level;
        place("the hero", "starting position", l.playerX, l.playerZ);
        place("the boss", "starting position", l.bossX, l.bossZ);
        for (const LevelNpc& c : l.npcs) {
            const std::string who = "character \"" + c.name + "\"";
            place(who, "starting position", c.x, c.z);
            path(who, c.path);
        }
        for (const LevelEnemy& e : l.enemies) {
            const std::string who = "enemy \"" + e.name + "\"";
            place(who, "starting position", e.x, e.z);
            path(who, e.path);
        }
        for (size_t i = 0; i < l.statics.size(); ++i) {
            const LevelStatic& s = l.statics[i];
            const float w = std::fabs(s.width / 2.0f), d = std::fabs(s.depth / 2.0f);
            if (!insideWorld(s.x - w, s.z - d) || !insideWorld(s.x + w, s.z + d))
                problem(staticName(i) + ": its footprint " + number(s.width) + " by " +
                        number(s.depth) + " at " + at(s.x, s.z) + " reaches outside " +
                        worldText());
        }
    }

    // The data layer places every enemy in a grid cell that must still be free of scenery,
    // the hero, the boss, the characters and the enemies placed before it.
    void startingCells() {
        const LevelFile& l = m_level;
        auto layer = std::make_unique<QRVDataLayer>();
        layer->m_worldWidth = l.worldWidth;
        layer->m_worldDepth = l.worldDepth;
        std::map<std::pair<int32_t, int32_t>, std::string> taken;
        auto cellOf = [&](float x, float z) {
            std::pair<int32_t, int32_t> cell;
            layer->worldToCell(x, z, cell.first, cell.second);
            return cell;
        };
        for (size_t i = 0; i < l.statics.size(); ++i)
            layer->markFootprint(static_cast<int32_t>(i), l.statics[i].x, l.statics[i].z,
                                 l.statics[i].width, l.statics[i].depth);
        taken.emplace(cellOf(l.playerX, l.playerZ), "the hero");
        taken.emplace(cellOf(l.bossX, l.bossZ), "the boss");
        for (const LevelNpc& c : l.npcs)
            taken.emplace(cellOf(c.x, c.z), "character \"" + c.name + "\"");
        for (const LevelEnemy& e : l.enemies) {
            const auto cell = cellOf(e.x, e.z);
            std::string owner;
            if (auto it = taken.find(cell); it != taken.end())
                owner = it->second;
            else if (const GridCell& grid = layer->cell(cell.first, cell.second);
                     !grid.contents.empty())
                owner = staticName(static_cast<size_t>(grid.contents.begin()->first));
            if (!owner.empty())
                problem("enemy \"" + e.name + "\": starts in grid cell (" +
                        std::to_string(cell.first) + ", " + std::to_string(cell.second) +
                        "), already taken by " + owner);
            taken.emplace(cell, "enemy \"" + e.name + "\"");
        }
    }

    void life(const std::string& who, int value) {
        if (value <= 0 || value > MAX_LIFE)
            problem(who + ": life " + std::to_string(value) + " is outside 1 to " +
                    std::to_string(MAX_LIFE));
    }

    void speed(const std::string& who, int value) {
        if (value < 0 || value > MAX_SPEED)
            problem(who + ": speed " + std::to_string(value) + " is outside 0 to " +
                    std::to_string(MAX_SPEED) + " units a second");
    }

    void values() {
        const LevelFile& l = m_level;
        life("the hero", l.playerLife);
        life("the boss", l.bossLife);
        for (const LevelNpc& c : l.npcs)
            speed("character \"" + c.name + "\"", c.speed);
        bool leader[LEVEL_MAX_FLOCKS] = {}, followed[LEVEL_MAX_FLOCKS] = {};
        for (const LevelEnemy& e : l.enemies) {
            const std::string who = "enemy \"" + e.name + "\"";
            life(who, e.life);
            speed(who, e.speed);
            if (e.blowDamage >= l.playerLife)
                problem(who + ": a blow of " + std::to_string(e.blowDamage) +
                        " takes the hero's whole life");
            if (e.aiType == AiKind::Flock)
                (e.leader ? leader : followed)[e.flockNumber] = true;
        }
        for (int n = 0; n < LEVEL_MAX_FLOCKS; ++n)
            if (followed[n] && !leader[n])
                problem("flock " + std::to_string(n) + ": its followers have no leader");
    }

    const LevelFile& m_level;
    const std::string m_gameDir;
    std::vector<std::string> m_problems;
    std::map<std::string, std::string> m_textures;
    std::map<std::string, std::vector<std::string>> m_models;
};

} // namespace

int checkLevel(const char* file, const char* gameDir) {
    LevelFile level;
    try {
        level = readLevelFile(file);
    } catch (const LevelFileError& e) {
        std::printf("%s", e.what());
        return 1;
    }
    std::printf("static objects: %zu\ncharacters: %zu\nenemies: %zu\nflocks: %d\n",
                level.statics.size(), level.npcs.size(), level.enemies.size(), level.flockCount());
    const std::vector<std::string> problems = ContentCheck(level, gameDir).run();
    for (const std::string& p : problems)
        std::printf("%s: %s\n", file, p.c_str());
    return problems.empty() ? 0 : 1;
}
