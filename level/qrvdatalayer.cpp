#include "level/qrvdatalayer.h"

#include "ai/qrvai.h"
#include "ai/qrvbossai.h"
#include "ai/qrvflockai.h"
#include "ai/qrvpathai.h"
#include "ai/qrvprobabilityai.h"
#include "ai/qrvwaypointai.h"
#include "level/levelfile.h"
#include "platform/debugassert.h"
#include "platform/random.h"

#include <algorithm>
#include <cmath>

bool g_showMapRequested = false;

ObjectData::~ObjectData() = default;
EnemyData::~EnemyData() = default;
NpcData::~NpcData() = default;
BossData::~BossData() = default;

QRVDataLayer::QRVDataLayer() = default;
QRVDataLayer::~QRVDataLayer() = default;

int32_t QRVDataLayer::kindOf(int32_t id) const {
    if (id == PLAYER_ID)
        return KIND_PLAYER;
    auto e = m_enemyTable.find(id);
    if (e != m_enemyTable.end())
        return e->second->kind;
    if (m_npcTable.count(id))
        return KIND_NPC;
    return KIND_STATIC;
}

EnemyData* QRVDataLayer::randomEnemy() {
    if (m_enemyTable.empty())
        return nullptr;
    size_t n = static_cast<size_t>(gameRand()) % m_enemyTable.size();
    auto it = m_enemyTable.begin();
    std::advance(it, static_cast<long>(n));
    return it->second.get();
}

AIDecision* QRVDataLayer::aiDecisionOf(int32_t id) {
    if (kindOf(id) == KIND_ENEMY)
        return &m_enemyTable[id]->decision;
    NpcData* n = npc(id);
    return n ? &n->decision : nullptr;
}

double QRVDataLayer::aiFrameMs(int64_t nowNs) {
    const double ms = m_lastAiClockNs < 0 ? AI_STEP_MS : (nowNs - m_lastAiClockNs) / 1e6;
    m_lastAiClockNs = nowNs;
    return std::clamp(ms, 0.0, AI_MAX_FRAME_MS);
}

void QRVDataLayer::updateEnemyAI(double frameMs) {
    m_aiFrameMs = frameMs;
    for (auto& [id, record] : m_enemyTable)
        if (record->active && record->ai) {
            record->ai->update(this, record.get());
            keepOutOfVillage(*record, roamMargin(*record));
        }
}

bool QRVDataLayer::inVillage(float x, float z, float beyond) const {
    return m_villageRadius > 0.0f &&
           std::hypot(x - m_villageX, z - m_villageZ) < m_villageRadius + beyond;
}

float QRVDataLayer::roamMargin(const EnemyData& record) {
    return record.ai && record.ai->type() == 2 ? 0.0f : VILLAGE_ROAM_MARGIN;
}

void QRVDataLayer::keepOutOfVillage(EnemyData& record, float beyond) {
    if (m_villageRadius <= 0.0f)
        return;
    AIDecision& d = record.decision;
    const float safeFrom = record.enemyType == 1 ? VILLAGE_FIRE_MARGIN : 0.0f;
    if (d.m_action == ACTION_ATTACK && inVillage(m_player.x, m_player.z, safeFrom))
        d.m_action = ACTION_WALK;
    if (d.m_action == ACTION_JUMP && inVillage(d.m_target.x, d.m_target.z, beyond))
        d.m_action = ACTION_WALK;
    if (!inVillage(d.m_waypoint.x, d.m_waypoint.z, beyond) &&
        !inVillage(record.x, record.z, beyond))
        return;
    // The edge point on the enemy's side, a little outside so that it stops short of it.
    float ax = record.x - m_villageX, az = record.z - m_villageZ;
    const float along = std::hypot(ax, az);
    if (along < 1e-3f) {
        ax = 1.0f;
        az = 0.0f;
    } else {
        ax /= along;
        az /= along;
    }
    const float edge = m_villageRadius + beyond + 2.0f;
    d.m_waypoint.x = m_villageX + ax * edge;
    d.m_waypoint.z = m_villageZ + az * edge;
    d.m_waypointCell = worldToCellF(d.m_waypoint.x, d.m_waypoint.z);
    if (d.m_action == ACTION_JUMP)
        d.m_action = ACTION_WALK; // a jump from inside would carry it further in
}

void QRVDataLayer::updateNpcAI() {
    for (auto& [id, record] : m_npcTable)
        if (record->active && record->ai)
            record->ai->update(this, record.get());
}

void QRVDataLayer::updateBossAI() {
    if (m_boss.ai)
        m_boss.ai->step(this, &m_boss);
}

bool QRVDataLayer::damage(int32_t id, int32_t amount) {
    if (id == BOSS_ID)
        return damageBoss(amount);
    auto ix = m_enemyTable.find(id);
    QRV_ASSERT_TEXT(ix != m_enemyTable.end(), "ix != m_enemyTable.end()");
    if (ix == m_enemyTable.end())
        return false; // a killed enemy cannot be killed twice
    EnemyData& record = *ix->second;
    record.life -= amount;
    if (record.ai && record.ai->type() == 2)
        static_cast<QRVWaypointAI&>(*record.ai).provoke();
    if (record.life > 0)
        return false;
    record.active = false;
    record.life = 0;
    removeEnemy(id); // destroys the record
    m_enemyCount -= 1;
    if (m_enemyCount <= 0)
        m_boss.active = true;
    return true;
}

bool QRVDataLayer::damageBoss(int32_t amount) {
    m_boss.life -= amount;
    if (m_boss.life <= 0) {
        m_boss.life = 0;
        return true;
    }
    return false;
}

bool QRVDataLayer::damagePlayer(int32_t amount) {
    m_player.life -= amount;
    if (m_player.life <= 0) {
        m_player.life = 0;
        return true;
    }
    return false;
}

int32_t QRVDataLayer::lifeOf(int32_t id) const {
    if (id == PLAYER_ID)
        return m_player.life;
    auto ix = m_enemyTable.find(id);
    QRV_ASSERT_TEXT(ix != m_enemyTable.end(), "ix != m_enemyTable.end()");
    return ix == m_enemyTable.end() ? 0 : ix->second->life;
}

NpcData* QRVDataLayer::npc(int32_t id) const {
    auto npcIterator = m_npcTable.find(id);
    QRV_ASSERT_TEXT(npcIterator != m_npcTable.end(), "npcIterator != m_npcTable.end()");
    return npcIterator == m_npcTable.end() ? nullptr : npcIterator->second.get();
}

std::string QRVDataLayer::chatText(int32_t id) const {
    NpcData* n = npc(id);
    if (!n)
        return std::string();
    return n->scared ? n->scaredChat : n->normalChat;
}

std::string QRVDataLayer::npcName(int32_t id) const {
    NpcData* n = npc(id);
    return n ? n->name : std::string();
}

NpcMenu* QRVDataLayer::npcMenu(int32_t id) {
    NpcData* n = npc(id);
    return n ? &n->menu : nullptr;
}

void QRVDataLayer::menuUp(int32_t id) {
    NpcMenu* m = npcMenu(id);
    if (m && m->count > 0) // an empty menu has nothing to move over
        m->selected = (m->selected - 1) % m->count;
}

void QRVDataLayer::menuDown(int32_t id) {
    NpcMenu* m = npcMenu(id);
    if (m && m->count > 0)
        m->selected = (m->selected + 1) % m->count;
}

bool QRVDataLayer::isWater(float x, float z) const {
    int32_t i, j;
    worldToCell(x, z, i, j);
    const GridCell& c = m_array[i][j];
    if (!c.occupied)
        return false;
    auto it = c.contents.find(WATER_ID);
    return it != c.contents.end() && it->second == KIND_WATER;
}

void QRVDataLayer::addEnemy(std::unique_ptr<EnemyData> record) {
    EnemyData* e = record.get();
    GridCell& c = m_array[clampCell(e->aiX)][clampCell(e->aiZ)];
    QRV_ASSERT_TEXT(!c.occupied, "!(m_array[object->aiX][object->aiZ].occupied)");
    c.occupied = true;
    c.contents[e->id] = e->kind;
    m_enemyTable[e->id] = std::move(record);
}

void QRVDataLayer::removeEnemy(int32_t id) {
    auto ix = m_enemyTable.find(id);
    if (ix == m_enemyTable.end())
        return;
    leaveCell(*ix->second);
    m_enemyTable.erase(ix);
}

void QRVDataLayer::addNpc(std::unique_ptr<NpcData> record) {
    NpcData* n = record.get();
    GridCell& c = m_array[clampCell(n->aiX)][clampCell(n->aiZ)];
    c.occupied = true;
    c.contents[n->id] = KIND_NPC;
    m_npcTable[n->id] = std::move(record);
}

void QRVDataLayer::leaveCell(ObjectData& record) {
    GridCell& c = m_array[clampCell(record.aiX)][clampCell(record.aiZ)];
    c.contents.erase(record.id);
    c.occupied = !c.contents.empty();
}

void QRVDataLayer::enterCell(ObjectData& record, float x, float z) {
    record.x = x;
    record.z = z;
    worldToCell(x, z, record.aiX, record.aiZ);
    GridCell& c = m_array[record.aiX][record.aiZ];
    c.occupied = true;
    c.contents[record.id] = record.kind;
}

void QRVDataLayer::movePlayer(float x, float z) {
    leaveCell(m_player);
    enterCell(m_player, x, z);
}

void QRVDataLayer::moveBoss(float x, float z) {
    leaveCell(m_boss);
    enterCell(m_boss, x, z);
}

void QRVDataLayer::moveObject(int32_t objectID, int32_t kind, float x, float z) {
    QRV_ASSERT_TEXT(objectID != PLAYER_ID, "objectID != PLAYER_ID");
    ObjectData* record = nullptr;
    if (kind == KIND_ENEMY) {
        auto ix = m_enemyTable.find(objectID);
        QRV_ASSERT_TEXT(ix != m_enemyTable.end(), "ix != m_enemyTable.end()");
        if (ix != m_enemyTable.end())
            record = ix->second.get();
    } else if (kind == KIND_NPC) {
        record = npc(objectID);
    }
    if (!record)
        return;
    leaveCell(*record);
    enterCell(*record, x, z);
}

void QRVDataLayer::worldToCell(float x, float z, int32_t& aiX, int32_t& aiZ) const {
    // Cells outside the grid are clamped: a position below the world start must not
    // index before the array.
    aiX = clampCell(saturatedInt(std::floor(x / m_worldWidth * double(GRID_CELLS))));
    aiZ = clampCell(saturatedInt(std::floor(z / m_worldDepth * double(GRID_CELLS))));
}

Vector QRVDataLayer::worldToCellF(float x, float z) const {
    float cx = std::floor(x / m_worldWidth * float(GRID_CELLS));
    float cz = std::floor(z / m_worldDepth * float(GRID_CELLS));
    if (cx >= float(GRID_CELLS - 1))
        cx = float(GRID_CELLS - 1);
    if (cz >= float(GRID_CELLS - 1))
        cz = float(GRID_CELLS - 1);
    return Vector(cx, 0.0f, cz);
}

Vector QRVDataLayer::cellToWorld(int32_t i, int32_t j) const {
    return Vector(static_cast<float>(i / double(GRID_CELLS) * m_worldWidth), 0.0f,
                  static_cast<float>(j / double(GRID_CELLS) * m_worldDepth));
}

void QRVDataLayer::markFootprint(int32_t id, float x, float z, int32_t width, int32_t depth) {
    int32_t x0 = saturatedInt((x - width / 2.0f) / m_worldWidth * float(GRID_CELLS));
    int32_t x1 = saturatedInt((x + width / 2.0f) / m_worldWidth * float(GRID_CELLS));
    int32_t z0 = saturatedInt((z - depth / 2.0f) / m_worldDepth * float(GRID_CELLS));
    int32_t z1 = saturatedInt((z + depth / 2.0f) / m_worldDepth * float(GRID_CELLS));
    // A footprint reaching outside the grid marks only the cells inside it.
    for (int32_t i = std::max(x0, 0); i < std::min(x1, GRID_CELLS); ++i)
        for (int32_t j = std::max(z0, 0); j < std::min(z1, GRID_CELLS); ++j) {
            m_array[i][j].occupied = true;
            m_array[i][j].contents[id] = KIND_STATIC;
        }
}

void QRVDataLayer::loadRecords(const LevelFile& level, const std::function<int(int, int)>& height) {
    if (level.hasTerrain) {
        m_terrainName = level.terrainName;
        m_heightMapFile = level.heightMap;
        m_textureFile = level.texture;
        m_detailFile = level.detail;
        m_worldStart = level.worldStart;
        m_worldWidth = level.worldWidth;
        m_worldDepth = level.worldDepth;
    }
    m_player.model = level.playerModel;
    m_player.life = level.playerLife;
    enterCell(m_player, level.playerX, level.playerZ);

    m_boss.active = level.bossActive;
    m_boss.model = level.bossModel;
    m_boss.life = level.bossLife;
    m_boss.ai = std::make_unique<QRVBossAI>();
    enterCell(m_boss, level.bossX, level.bossZ);
    m_boss.decision.m_waypoint = Vector(level.bossX, 0.0f, level.bossZ);
    m_boss.decision.m_waypointCell = worldToCellF(level.bossX, level.bossZ);
    m_boss.decision.m_action = ACTION_WALK;

    int32_t id = 0;
    for (const LevelStatic& s : level.statics) {
        markFootprint(id, s.x, s.z, s.width, s.depth);
        ++id;
    }
    for (const LevelNpc& c : level.npcs) {
        auto record = std::make_unique<NpcData>();
        record->id = id++;
        record->model = c.model;
        record->name = c.name;
        record->speed = c.speed;
        record->active = c.active;
        record->x = c.x;
        record->z = c.z;
        worldToCell(c.x, c.z, record->aiX, record->aiZ);
        record->normalChat = c.normalChat;
        record->scaredChat = c.scaredChat;
        record->menu.title = c.menuTitle;
        record->menu.negativeReply = c.negativeReply;
        for (const LevelMenuItem& item : c.items) {
            if (record->menu.count >= 5)
                break;
            MenuItem& slot = record->menu.items[record->menu.count++];
            slot.id = item.id;
            slot.text = item.text;
            slot.reply = item.reply;
        }
        std::vector<Vector> points;
        for (const LevelPoint& p : c.path)
            points.push_back(Vector(p.x, 0.0f, p.z));
        if (!points.empty())
            aimAtPathPoint(*this, record->decision, points[0]);
        auto ai = std::make_unique<QRVPathAI>();
        ai->setPath(points);
        record->ai = std::move(ai);
        addNpc(std::move(record));
    }
    if (!level.npcs.empty()) {
        float sx = level.playerX, sz = level.playerZ;
        for (const LevelNpc& c : level.npcs) {
            sx += c.x;
            sz += c.z;
        }
        const float n = static_cast<float>(level.npcs.size() + 1);
        m_villageX = sx / n;
        m_villageZ = sz / n;
        float farthest = std::hypot(level.playerX - m_villageX, level.playerZ - m_villageZ);
        for (const LevelNpc& c : level.npcs)
            farthest = std::max(farthest, std::hypot(c.x - m_villageX, c.z - m_villageZ));
        m_villageRadius = farthest + VILLAGE_MARGIN;
    }
    m_flockAI = std::make_unique<QRVFlockAI>();
    for (const LevelEnemy& m : level.enemies) {
        auto record = std::make_unique<EnemyData>();
        record->id = id++;
        record->name = m.name;
        record->active = m.active;
        record->visible = m.visible;
        record->model = m.model;
        record->speed = m.speed;
        record->life = m.life;
        record->enemyType = m.enemyType;
        record->x = m.x;
        record->z = m.z;
        worldToCell(m.x, m.z, record->aiX, record->aiZ);
        if (m.aiType == AiKind::Waypoint) {
            std::vector<Vector> points;
            for (const LevelPoint& p : m.path)
                points.push_back(Vector(p.x, 0.0f, p.z));
            auto ai = std::make_unique<QRVWaypointAI>();
            ai->setPath(points);
            ai->m_attackOdds = std::max(m.attackOdds, 2);
            // The reader refuses empty paths; a record built by hand may still have none.
            if (!points.empty())
                aimAtPathPoint(*this, record->decision, points[0]);
            record->ai = std::move(ai);
        } else {
            if (m.aiType == AiKind::Probability)
                record->ai = std::make_unique<QRVProbabilityAI>();
            else
                record->ai = std::make_unique<QRVAI>();
            record->decision.m_waypointCell =
                Vector(static_cast<float>(record->aiX), 0.0f, static_cast<float>(record->aiZ));
            record->decision.m_waypoint = Vector(m.x, 0.0f, m.z);
            record->decision.m_target = Vector(m_player.x, 0.0f, m_player.z);
            record->decision.m_action = ACTION_WALK;
        }
        if (m.aiType == AiKind::Flock)
            m_flockAI->join(m.flockNumber, record.get(), m.leader);
        addEnemy(std::move(record));
        m_enemyCount += 1;
    }
    if (height)
        markWater(height);
}
