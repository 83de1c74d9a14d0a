// The level file reader: parses "data/flatlandriver.xml"-style documents with the
// XPath expressions the format is defined by, into plain records in document order.
// It checks everything the format requires (every attribute and child present,
// keywords exact, counts within the game's tables) and reports the first problem as
// a LevelFileError whose text names the element; it never writes out of bounds.
// Parsing is linear in the document size; nothing here touches GL or model files.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct LevelFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct LevelPoint {
    float x = 0.0f, z = 0.0f;
};

struct LevelMenuItem {
    int id = 0;
    std::string text, reply;
};

struct LevelStatic {
    std::string model;
    float x = 0.0f, z = 0.0f;
    int width = 0, depth = 0;
    float headingX = 0.0f, headingZ = 0.0f;
};

struct LevelNpc {
    std::string model, name;
    int speed = 0;
    bool active = true;
    float x = 0.0f, z = 0.0f;
    std::string normalChat, scaredChat, menuTitle, negativeReply;
    std::vector<LevelMenuItem> items;
    std::vector<LevelPoint> path;
};

enum class AiKind { Waypoint, Probability, Flock };

// How often a patrolling enemy within reach strikes: one chance in this many a frame.
constexpr int WAYPOINT_ATTACK_ODDS = 20;
// The life a melee blow takes from the hero before the struck part's factor.
constexpr int ENEMY_BLOW_DAMAGE = 10;

struct LevelEnemy {
    std::string name, model;
    bool active = true, visible = true;
    int speed = 0, life = 0;
    AiKind aiType = AiKind::Probability;
    bool leader = false;
    int flockNumber = 0;
    int enemyType = 0; // 0 melee, 1 magician
    // A patrolling (waypoint) enemy within reach of the hero starts a blow with chance one
    // in attackOdds a frame at 60 frames a second ("attackOdds", optional, at least 2).
    int attackOdds = WAYPOINT_ATTACK_ODDS;
    // Our own additions for a newcomer's first creatures: "shown" (true or 1) makes the enemy
    // seen from the start instead of only where paint shows it; "blowDamage" (optional, 1 or
    // more) is the life its blow takes.
    bool shown = false;
    int blowDamage = ENEMY_BLOW_DAMAGE;
    float x = 0.0f, z = 0.0f;
    std::vector<LevelPoint> path;
};

struct LevelFile {
    bool hasTerrain = false, hasSkyBox = false;
    std::string terrainName, heightMap, texture, detail;
    float worldStart = 0.0f, worldWidth = 1000.0f, worldDepth = 1000.0f;
    std::string skyFront, skyBack, skyLeft, skyRight, skyTop;
    std::string playerModel;
    int playerLife = 0;
    float playerX = 0.0f, playerZ = 0.0f;
    bool bossActive = false;
    std::string bossModel;
    int bossLife = 0;
    float bossX = 0.0f, bossZ = 0.0f;
    std::vector<LevelStatic> statics;
    std::vector<LevelNpc> npcs;
    std::vector<LevelEnemy> enemies;
    int flockCount() const;
};

// Limits of the game's tables.
constexpr int OBJECT_TABLE_SIZE = 250; // the level's objects, one slot per identifier
constexpr int LEVEL_MAX_STATIC = 50;
constexpr int LEVEL_MAX_MOVING = 30; // counting the hero and the boss
constexpr int LEVEL_MAX_MENU_ITEMS = 5;
constexpr int LEVEL_MAX_FLOCKS = 10; // "flocknum" 0 to 9, one leader each
// The largest glStart, glWidth and glDepth: 32 times the land's 2048 units, still small
// enough that a float position keeps a hundredth of a unit for a step.
constexpr float LEVEL_MAX_WORLD_SIZE = 65536.0f;
// The largest level file: hundreds of times a full level with long dialogue and paths.
// The parsed document takes several times its file, so larger files are refused unread.
constexpr std::uintmax_t LEVEL_MAX_FILE_BYTES = 4u << 20;

// Reads and checks the file; throws LevelFileError with the text to report.
LevelFile readLevelFile(const std::string& fileName);
LevelFile readLevelText(const std::string& xml);

// The format's number rules: leading white space, an optional sign and the digits
// that follow; text without a leading number is 0.
int parseLevelInt(const char* text);
// Reals are decimal only (sign, digits, optional fraction and exponent), read the same in
// every locale: "nan", "inf" and hexadecimal text are not numbers and give 0 (or the
// number before them). A value beyond a float's range saturates, so a real is always finite.
float parseLevelReal(const char* text);
// A real as an int, truncated toward zero; beyond int's range it saturates and NaN is 0
// (a plain cast of those is undefined).
int saturatedInt(double value);
