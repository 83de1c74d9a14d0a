// QRVDataLayer: the level as the game's rules see it, apart from anything drawn. It holds one
// record per hero, boss, enemy, character and static object (made from the read level file by
// loadRecords), the tables that find enemy and character records by identifier, the AI of
// every enemy, character and the boss with the enemies' flocks, the village the enemies keep
// out of, and a GRID_CELLS by GRID_CELLS occupancy grid over the ground that records which
// objects (and which water) stand in each cell. It loads no model, texture or terrain: the
// level builder at level start-up makes the drawable objects under the records' identifiers.
// All queries are map lookups (logarithmic in the table size); nothing allocates per
// frame except a grid move into a cell not used before. Single-threaded; the scratch
// lookups make operations non-reentrant. Identifiers without a record raise a debug
// assertion and answer a harmless default instead of reading freed memory.
#pragma once

#include "ai/aidecision.h"
#include "ai/qrvai.h"
#include "ai/qrvbossai.h"
#include "ai/qrvflockai.h"
#include "level/levelfile.h"
#include "models/vector.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class SceneObject;

// Set by the map item of a menu; the HUD shows the map while it is set.
extern bool g_showMapRequested;

constexpr int32_t PLAYER_ID = 251;
constexpr int32_t BOSS_ID = 252;
constexpr int32_t WATER_ID = 1002;
// The village reaches this far beyond the farthest of the villagers and the hero's start.
constexpr float VILLAGE_MARGIN = 60.0f;
// A magician's fire is seen late and hard to dodge: none is cast at a hero this near the
// village's edge, so that a newcomer walking home is not shot down in sight of it.
constexpr float VILLAGE_FIRE_MARGIN = 150.0f;
// The ground around the village that the roaming creatures keep out of, so that near it a
// newcomer meets only the lone patrols posted there.
constexpr float VILLAGE_ROAM_MARGIN = 600.0f;
// The AI's chances are given per frame at 60 frames a second and scaled to the frame's length.
constexpr double AI_STEP_MS = 1000.0 / 60.0;
constexpr double AI_MAX_FRAME_MS = 100.0;

// Cells along each side of the occupancy grid, which spans the whole level.
constexpr int32_t GRID_CELLS = 128;

enum ObjectKind : int32_t {
    KIND_PLAYER = 0,
    KIND_ENEMY = 1,
    KIND_STATIC = 2,
    KIND_WATER = 3,
    KIND_NPC = 5,
    KIND_BOSS = 6,
};

struct ObjectData {
    virtual ~ObjectData();
    float x = 0.0f, z = 0.0f;
    int32_t aiX = 0, aiZ = 0;
    int32_t kind = KIND_STATIC;
    int32_t width = 0, depth = 0;
    std::string name, model;
    int32_t id = 0;
    bool active = true;
    bool visible = true;
    int32_t speed = 0;
};

struct PlayerData : ObjectData {
    PlayerData() {
        kind = KIND_PLAYER;
        id = PLAYER_ID;
    }
    int32_t life = 0;
};

struct EnemyData : ObjectData {
    EnemyData() { kind = KIND_ENEMY; }
    ~EnemyData() override;
    AIDecision decision;
    std::unique_ptr<QRVAI> ai;
    int32_t enemyType = 0; // 0 melee, 1 magician
    int32_t life = 0;
};

struct MenuItem {
    std::string text;
    std::string reply;
    int32_t id = 0;
};

// A character's menu; the trades are carried out where the conversation is run.
struct NpcMenu {
    std::string title;
    MenuItem items[5];
    int32_t count = 0;
    int32_t selected = 0; // -1 after a refused purchase
    std::string negativeReply;
    // Set when the last refusal was for a hero with no room for what he asked (full life, a
    // full gun) rather than one short of gems: the reply shown instead of the negative one.
    const char* fullReply = nullptr;
};

struct NpcData : ObjectData {
    NpcData() { kind = KIND_NPC; }
    ~NpcData() override;
    AIDecision decision;
    std::unique_ptr<QRVAI> ai;
    NpcMenu menu;
    std::string normalChat, scaredChat;
    bool scared = false;
};

struct BossData : ObjectData {
    BossData() {
        kind = KIND_BOSS;
        id = BOSS_ID;
    }
    ~BossData() override;
    std::unique_ptr<QRVBossAI> ai;
    AIDecision decision;
    int32_t life = 0;
};

struct GridCell {
    bool occupied = false;
    std::map<int32_t, int32_t> contents; // occupant id -> kind
};

class QRVDataLayer {
public:
    QRVDataLayer();
    virtual ~QRVDataLayer();
    QRVDataLayer(const QRVDataLayer&) = delete;
    QRVDataLayer& operator=(const QRVDataLayer&) = delete;

    // Builds every record, AI, flock membership and grid entry of a read level, in the
    // loading order (static objects, characters, enemies share one identifier counter),
    // then marks water where `height` gives 75 or less (none when `height` is empty).
    void loadRecords(const struct LevelFile& level, const std::function<int(int, int)>& height);

    int32_t kindOf(int32_t id) const;
    EnemyData* randomEnemy();
    AIDecision* aiDecisionOf(int32_t id);
    AIDecision* bossDecision() { return &m_boss.decision; }
    // Runs every active enemy's AI step, then keeps it out of the village.
    // `frameMs` is the game time since the last step (see aiFrameMs).
    void updateEnemyAI(double frameMs = AI_STEP_MS);
    // The game time since the previous call in ms, from the clock reading `nowNs`: a frame at
    // 60 a second for the first call, at most AI_MAX_FRAME_MS (a pause is not one long frame).
    double aiFrameMs(int64_t nowNs);
    // The village: a circle around the villagers and the hero's start (their mean, reaching
    // VILLAGE_MARGIN past the farthest), set by loadRecords; none in a level without villagers.
    // `beyond` widens the circle (the magicians' fire keeps VILLAGE_FIRE_MARGIN farther off).
    bool inVillage(float x, float z, float beyond = 0.0f) const;
    // The circle's radius; 0 in a level without a village.
    float villageRadius() const { return m_villageRadius; }
    // The village's middle; false (x and z untouched) in a level without one.
    bool villageMiddle(float& x, float& z) const {
        if (m_villageRadius <= 0.0f)
            return false;
        x = m_villageX;
        z = m_villageZ;
        return true;
    }
    // The village's one rule for enemies, applied after each AI step: no enemy walks into
    // the village (a walk point inside it, or the enemy itself inside, becomes the edge
    // point on the enemy's side), none jumps at a point inside it, and none strikes or
    // casts at a hero who stands in it; a magician casts at none within VILLAGE_FIRE_MARGIN
    // of it.
    // `beyond` widens the ground it keeps out of (not the ground where it holds its blows).
    void keepOutOfVillage(EnemyData& record, float beyond = 0.0f);
    // How far from the village the creatures keep that roam toward the hero (the flocks and
    // the chance-driven ones): it stays a newcomer's practice ground.
    static float roamMargin(const EnemyData& record);
    void updateNpcAI();
    void updateBossAI();
    bool isBossActive() const { return m_boss.active; }
    int32_t bossLife() const { return m_boss.life; }

    bool damage(int32_t id, int32_t amount);
    bool damageBoss(int32_t amount);
    int32_t playerLife() const { return m_player.life; }
    void setPlayerLife(int32_t life) { m_player.life = life; }
    bool damagePlayer(int32_t amount);
    int32_t lifeOf(int32_t id) const;

    std::string chatText(int32_t id) const;
    std::string npcName(int32_t id) const;
    NpcMenu* npcMenu(int32_t id);
    void menuUp(int32_t id);
    void menuDown(int32_t id);

    bool isWater(float x, float z) const;
    void addEnemy(std::unique_ptr<EnemyData> record);
    void removeEnemy(int32_t id);
    void addNpc(std::unique_ptr<NpcData> record);
    void movePlayer(float x, float z);
    void moveBoss(float x, float z);
    void moveObject(int32_t id, int32_t kind, float x, float z);

    void worldToCell(float x, float z, int32_t& aiX, int32_t& aiZ) const;
    Vector worldToCellF(float x, float z) const;
    Vector cellToWorld(int32_t i, int32_t j) const;

    // Marks every cell whose lower corner lies at height 75 or less as water.
    template <typename HeightFn> void markWater(HeightFn height) {
        for (int i = 0; i < GRID_CELLS; ++i)
            for (int j = 0; j < GRID_CELLS; ++j) {
                Vector p = cellToWorld(i, j);
                if (height(static_cast<int>(p.x), static_cast<int>(p.z)) <= 75) {
                    m_array[i][j].contents[WATER_ID] = KIND_WATER;
                    m_array[i][j].occupied = true;
                }
            }
    }
    // Blocks the cells a static footprint covers (truncating, upper bounds exclusive).
    void markFootprint(int32_t id, float x, float z, int32_t width, int32_t depth);

    const GridCell& cell(int32_t i, int32_t j) const { return m_array[clampCell(i)][clampCell(j)]; }

    int32_t m_gridSize = GRID_CELLS;
    float m_worldWidth = 1000.0f;
    float m_worldDepth = 1000.0f;
    float m_worldStart = 0.0f;
    float m_villageX = 0.0f, m_villageZ = 0.0f, m_villageRadius = 0.0f; // radius 0: none
    double m_aiFrameMs = AI_STEP_MS; // the current AI step's frame length
    int64_t m_lastAiClockNs = -1;
    int32_t m_enemyCount = 0;
    std::unique_ptr<QRVFlockAI> m_flockAI;
    std::map<int32_t, std::unique_ptr<EnemyData>> m_enemyTable;
    std::map<int32_t, std::unique_ptr<NpcData>> m_npcTable;
    GridCell m_array[GRID_CELLS][GRID_CELLS];
    PlayerData m_player;
    BossData m_boss;
    std::string m_terrainName, m_heightMapFile, m_textureFile, m_detailFile;

private:
    static int32_t clampCell(int32_t c) {
        return c < 0 ? 0 : (c > GRID_CELLS - 1 ? GRID_CELLS - 1 : c);
    }
    void leaveCell(ObjectData& record);
    void enterCell(ObjectData& record, float x, float z);
    NpcData* npc(int32_t id) const;
};

// The level's data (shell/gamecontext.cpp); null outside a level.
extern QRVDataLayer* g_dataLayer;
// The level's objects by identifier, filled at level start-up; a slot is null when empty.
extern SceneObject* g_objectTable[OBJECT_TABLE_SIZE];
