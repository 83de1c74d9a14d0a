#include "shell/levelbuilder.h"

#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "objects/boss.h"
#include "objects/character.h"
#include "objects/magician.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "world/skybox.h"
#include "world/staticobject.h"
#include "world/terrain.h"

#include <cstdio>
#include <cstdlib>

void LoadLevel(const char* fileName, QRVDataLayer& layer, Terrain* terrain, SkyBox* skyBox,
               Player* hero, Boss* boss, SceneObject** objectTable) {
    LevelFile level;
    try {
        level = readLevelFile(fileName ? fileName : "");
    } catch (const LevelFileError& e) {
        // A level that cannot be played ends the game; the status says it failed.
        std::printf("%s\n", e.what());
        std::fflush(stdout);
        std::exit(1);
    }
    if (!BuildLevel(level, layer, terrain, skyBox, hero, boss, objectTable)) {
        std::printf("Level file error: \"%s\" names more objects than the game holds\n", fileName);
        std::fflush(stdout);
        std::exit(1);
    }
}

bool BuildLevel(const LevelFile& level, QRVDataLayer& layer, Terrain* terrain, SkyBox* skyBox,
                Player* hero, Boss* boss, SceneObject** objectTable) {
    const size_t objects = level.statics.size() + level.npcs.size() + level.enemies.size();
    if (objects > size_t(OBJECT_TABLE_SIZE))
        return false;
    if (skyBox && level.hasSkyBox) {
        skyBox->loadTextures(level.skyFront, level.skyBack, level.skyLeft, level.skyRight,
                             level.skyTop);
        skyBox->buildDisplayList(1000.0f, 0.0f, 1000.0f);
    }
    // The records before the objects: the enemies are handed their decisions from them (water
    // is marked once the terrain is loaded, at the end).
    layer.loadRecords(level, nullptr);

    if (hero) {
        hero->loadModel(level.playerModel.c_str());
        hero->model().setOutline(true);
        hero->setPosition(Vector(level.playerX, 0.0f, level.playerZ));
        hero->setDirection(Vector(1.0f, 0.0f, 0.0f));
        hero->reloadTextures();
        hero->m_id = PLAYER_ID;
    }
    if (boss) {
        boss->loadModel(level.bossModel.c_str());
        boss->model().setOutline(true);
        boss->setPosition(Vector(level.bossX, 1000.0f, level.bossZ));
        boss->setDirection(Vector(1.0f, 0.0f, 0.0f));
        boss->reloadTextures();
        boss->m_id = BOSS_ID;
    }
    // The same identifiers as the records: static objects, characters, then enemies.
    int32_t id = 0;
    auto place = [&](ModelObject* object) {
        if (objectTable) {
            delete objectTable[id];
            objectTable[id] = object;
        } else {
            delete object;
        }
    };
    for (const LevelStatic& s : level.statics) {
        auto* object = new StaticObject();
        object->setDirection(Vector(s.headingX, 0.0f, s.headingZ));
        object->loadModel(s.model.c_str());
        object->setPosition(Vector(s.x, 0.0f, s.z));
        object->model().setOutline(true);
        object->m_id = id;
        place(object);
        ++id;
    }
    for (const LevelNpc& c : level.npcs) {
        auto* npc = new Npc();
        npc->loadModel(c.model.c_str());
        npc->setPosition(Vector(c.x, 0.0f, c.z));
        npc->m_speed = static_cast<float>(c.speed);
        npc->setDirection(Vector(1.0f, 0.0f, 0.0f));
        npc->model().setOutline(true);
        npc->m_id = id;
        place(npc);
        ++id;
    }
    for (const LevelEnemy& m : level.enemies) {
        Character* enemy = m.enemyType == 1 ? new Magician() : new Character();
        enemy->loadModel(m.model.c_str());
        enemy->model().setOutline(m.enemyType == 1);
        enemy->setPosition(Vector(m.x, 0.0f, m.z));
        enemy->m_speed = static_cast<float>(m.speed);
        enemy->setDirection(Vector(1.0f, 0.0f, 0.0f));
        enemy->m_id = id;
        enemy->m_decision = layer.aiDecisionOf(id);
        enemy->m_shown = m.shown;
        enemy->m_blowDamage = m.blowDamage;
        // Unseen until painted: the skinned geometry is hidden (it still casts no light).
        if (!m.visible && !m.shown)
            enemy->model().setHideSkinned(true);
        place(enemy);
        ++id;
    }
    if (terrain) {
        terrain->load(layer.m_heightMapFile, layer.m_textureFile, layer.m_detailFile);
        terrain->buildDisplayList();
        layer.markWater([terrain](int x, int z) { return terrain->height(x, z); });
    }
    return true;
}
