// Level file reader: parses one level XML document (pugixml, XPath) into plain
// records in a fixed order and hands out object identifiers: static objects first,
// then NPCs, then enemies, each group in document order, from 0 up to 249. It does
// not build game objects, touch GL or read model files, so it is cheap enough for
// tools and tests (one parse, linear in the document). A document that breaks the
// format gets a message naming the element and what is wrong, thrown as
// LevelFileError; only LoadLevelFileOrExit turns that into a process exit.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct LevelPoint {
    float x = 0.0f, z = 0.0f;
};

struct LevelStatic {
    int id = 0;
    std::string model;
    LevelPoint position;
    int width = 0, depth = 0; // truncated toward zero
    LevelPoint heading;
};

struct LevelMenuItem {
    int id = 0;
    std::string text, reply;
};

struct LevelNpc {
    int id = 0;
    std::string model, name;
    int speed = 0;
    bool active = false;
    LevelPoint position;
    std::string normalChat, scaredChat;
    std::string menuTitle, negativeReply;
    std::vector<LevelMenuItem> menu; // at most five
    std::vector<LevelPoint> path;    // at least one
};

enum class LevelAiType { Waypoint, Probability, Flock };

struct LevelEnemy {
    int id = 0;
    std::string name;
    bool active = false, visible = false;
    std::string model;
    int speed = 0, life = 0;
    LevelAiType aiType = LevelAiType::Probability;
    bool leader = false; // flock only
    int flockNum = 0;    // flock only, 0 to 9
    int enemyType = 0;   // 0 melee, 1 magician
    LevelPoint position;
    std::vector<LevelPoint> path; // waypoint only
};

struct LevelFile {
    bool hasTerrain = false;
    std::string terrainName, heightMap, texture, detail;
    float glStart = 0.0f, glWidth = 1000.0f, glDepth = 1000.0f;

    bool hasSkyBox = false;
    std::string skyFront, skyBack, skyLeft, skyRight, skyTop;

    std::string playerModel;
    int playerLife = 0;
    LevelPoint playerPosition;

    bool bossActive = false;
    std::string bossModel;
    int bossLife = 0;
    LevelPoint bossPosition;

    std::vector<LevelStatic> statics;
    std::vector<LevelNpc> npcs;
    std::vector<LevelEnemy> enemies;

    // Reports printed on the way that did not stop the reading (a skipped section).
    std::vector<std::string> warnings;
};

class LevelFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr int kMaxLevelObjects = 250;
constexpr int kMaxMenuItems = 5;
constexpr int kMaxFlocks = 10;
constexpr int kMaxStaticColliders = 50;
constexpr int kMaxMovingColliders = 30; // hero and boss included

// Reads and checks the document; throws LevelFileError with the message to show.
LevelFile ReadLevelFile(const std::string& path);
// The same on a document held in memory (tools, fuzzing).
LevelFile ReadLevelFileFromMemory(const void* data, size_t size);

// Called after a level-file failure has been printed; exits with status 1 by
// default. Tests install a handler that throws or records instead.
using LevelFatalHandler = std::function<void(const std::string& message)>;
void SetLevelFatalHandler(LevelFatalHandler handler);

// Reads the file; on failure prints the message to standard output and calls the
// fatal handler (returning an empty LevelFile if the handler returns).
LevelFile LoadLevelFileOrExit(const std::string& path);

// The value rules of the format: leading decimal integer / real, 0 without one.
int ParseLevelInt(const char* text);
float ParseLevelReal(const char* text);
