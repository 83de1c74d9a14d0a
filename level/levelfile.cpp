#include "level/levelfile.h"

#include "platform/debugassert.h"

#include <pugixml.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

std::string describe(const pugi::xml_node& node) {
    std::string what = "<" + std::string(node.name()) + ">";
    if (pugi::xml_attribute name = node.attribute("name"))
        what += " \"" + std::string(name.value()) + "\"";
    return what;
}

[[noreturn]] void fail(const pugi::xml_node& node, const std::string& problem) {
    throw LevelFileError("Level file error in " + describe(node) + ": " + problem + "\n");
}

const char* attr(const pugi::xml_node& node, const char* name) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a)
        fail(node, std::string("missing attribute \"") + name + "\"");
    return a.value();
}

std::string text(const pugi::xml_node& node, const char* name) {
    return attr(node, name);
}
int integer(const pugi::xml_node& node, const char* name) {
    return parseLevelInt(attr(node, name));
}
float real(const pugi::xml_node& node, const char* name) {
    return parseLevelReal(attr(node, name));
}

bool flag(const pugi::xml_node& node, const char* name) {
    const int i = integer(node, name);
    QRV_ASSERT(i == 1 || i == 0);
    return i == 1;
}

pugi::xml_node child(const pugi::xml_node& node, const char* xpath) {
    pugi::xml_node c = node.select_node(xpath).node();
    if (!c)
        fail(node, std::string("missing child <") + xpath + ">");
    return c;
}

void position(const pugi::xml_node& node, float& x, float& z) {
    pugi::xml_node p = child(node, "starting-position");
    x = real(p, "x");
    z = real(p, "z");
}

std::vector<LevelPoint> path(const pugi::xml_node& owner) {
    pugi::xml_node p = child(owner, "path");
    const int num = integer(p, "num");
    pugi::xpath_node_set points = owner.select_nodes("path/*");
    if (num < 1)
        fail(owner, "path \"num\" is " + std::to_string(num) + ", it must be at least 1");
    if (static_cast<size_t>(num) != points.size())
        fail(owner, "path \"num\" is " + std::to_string(num) + " but it holds " +
                        std::to_string(points.size()) + " points");
    std::vector<LevelPoint> result;
    for (const pugi::xpath_node& point : points)
        result.push_back({real(point.node(), "x"), real(point.node(), "z")});
    return result;
}

void invalidNode(const char* xpath) {
    // The parser has no error once the document loaded: the reason is empty.
    std::printf("Invalid node fetched.\n%s\n", "");
    std::fflush(stdout);
    (void)xpath;
}

LevelFile parse(pugi::xml_document& doc) {
    LevelFile level;
    if (pugi::xml_node sky = doc.select_node("//skybox").node()) {
        level.hasSkyBox = true;
        level.skyFront = text(sky, "front");
        level.skyBack = text(sky, "back");
        level.skyLeft = text(sky, "left");
        level.skyRight = text(sky, "right");
        level.skyTop = text(sky, "top");
    } else {
        invalidNode("//skybox");
    }
    if (pugi::xml_node terrain = doc.select_node("/*").node()) {
        level.hasTerrain = true;
        level.terrainName = text(terrain, "name");
        level.heightMap = text(terrain, "heightmap");
        level.texture = text(terrain, "texture");
        level.detail = text(terrain, "detail");
        level.worldStart = real(terrain, "glStart");
        level.worldWidth = real(terrain, "glWidth");
        level.worldDepth = real(terrain, "glDepth");
        if (!(level.worldWidth > 0.0f) || !(level.worldDepth > 0.0f) || level.worldStart < 0.0f)
            fail(terrain, "\"glStart\" must be 0 or more and \"glWidth\", \"glDepth\" positive");
    } else {
        invalidNode("/*");
    }
    pugi::xml_node player = doc.select_node("//player").node();
    if (!player) {
        invalidNode("//player");
        throw LevelFileError("Level file error: the level has no <player>; it cannot be played.\n");
    }
    level.playerModel = text(player, "model");
    level.playerLife = integer(player, "life");
    position(player, level.playerX, level.playerZ);

    pugi::xml_node boss = doc.select_node("//boss").node();
    if (!boss) {
        invalidNode("//boss");
        throw LevelFileError("Level file error: the level has no <boss>; it cannot be played.\n");
    }
    level.bossActive = flag(boss, "active");
    level.bossModel = text(boss, "model");
    level.bossLife = integer(boss, "life");
    position(boss, level.bossX, level.bossZ);

    for (const pugi::xpath_node& n : doc.select_nodes("//static-objects/*")) {
        const pugi::xml_node e = n.node();
        LevelStatic s;
        s.model = text(e, "model");
        position(e, s.x, s.z);
        pugi::xml_node size = child(e, "size");
        s.width = saturatedInt(real(size, "width"));
        s.depth = saturatedInt(real(size, "depth"));
        pugi::xml_node heading = child(e, "heading");
        s.headingX = real(heading, "x");
        s.headingZ = real(heading, "z");
        level.statics.push_back(s);
    }
    for (const pugi::xpath_node& n : doc.select_nodes("//npcs/*")) {
        const pugi::xml_node e = n.node();
        LevelNpc c;
        c.model = text(e, "model");
        c.name = text(e, "name");
        c.speed = integer(e, "speed");
        c.active = flag(e, "active");
        position(e, c.x, c.z);
        c.normalChat = text(child(e, "normal-chat"), "text");
        c.scaredChat = text(child(e, "scared-chat"), "text");
        pugi::xml_node menu = child(e, "menu");
        c.menuTitle = text(menu, "title");
        c.negativeReply = text(menu, "negative-reply");
        pugi::xpath_node_set items = e.select_nodes("menu/*");
        if (items.size() > static_cast<size_t>(LEVEL_MAX_MENU_ITEMS))
            fail(e, "the menu has " + std::to_string(items.size()) + " items, at most " +
                        std::to_string(LEVEL_MAX_MENU_ITEMS) + " are allowed");
        for (const pugi::xpath_node& item : items)
            c.items.push_back({integer(item.node(), "id"), text(item.node(), "text"),
                               text(item.node(), "reply")});
        c.path = path(e);
        level.npcs.push_back(c);
    }
    for (const pugi::xpath_node& n : doc.select_nodes("//enemies/*")) {
        const pugi::xml_node e = n.node();
        LevelEnemy m;
        m.name = text(e, "name");
        m.active = flag(e, "active");
        m.visible = flag(e, "visible");
        m.model = text(e, "model");
        m.speed = integer(e, "speed");
        m.life = integer(e, "life");
        const std::string ai = text(e, "aiType");
        if (ai == "waypoint")
            m.aiType = AiKind::Waypoint;
        else if (ai == "probability")
            m.aiType = AiKind::Probability;
        else if (ai == "flock")
            m.aiType = AiKind::Flock;
        else
            fail(e, "unknown \"aiType\" \"" + ai + "\" (waypoint, probability or flock)");
        if (m.aiType == AiKind::Flock) {
            const std::string role = text(e, "role");
            if (role == "leader")
                m.leader = true;
            else if (role != "follower")
                fail(e, "unknown \"role\" \"" + role + "\" (leader or follower)");
            m.flockNumber = integer(e, "flocknum");
            if (m.flockNumber < 0 || m.flockNumber > 9)
                fail(e, "\"flocknum\" " + std::to_string(m.flockNumber) + " is outside 0 to 9");
        }
        const std::string type = text(e, "enemyType");
        if (type == "melee")
            m.enemyType = 0;
        else if (type == "magician")
            m.enemyType = 1;
        else
            fail(e, "unknown \"enemyType\" \"" + type + "\" (melee or magician)");
        position(e, m.x, m.z);
        if (m.aiType == AiKind::Waypoint)
            m.path = path(e);
        level.enemies.push_back(m);
    }

    const size_t objects = level.statics.size() + level.npcs.size() + level.enemies.size();
    pugi::xml_node root = doc.document_element();
    if (objects > static_cast<size_t>(OBJECT_TABLE_SIZE))
        fail(root, "the level holds " + std::to_string(objects) + " objects, at most " +
                       std::to_string(OBJECT_TABLE_SIZE) + " are allowed");
    if (level.statics.size() > static_cast<size_t>(LEVEL_MAX_STATIC))
        fail(root, "the level holds " + std::to_string(level.statics.size()) +
                       " static objects, at most " + std::to_string(LEVEL_MAX_STATIC) +
                       " are allowed");
    const size_t moving = level.npcs.size() + level.enemies.size() + 2;
    if (moving > static_cast<size_t>(LEVEL_MAX_MOVING))
        fail(root, "the level holds " + std::to_string(moving) +
                       " moving objects with the hero and the boss, at most " +
                       std::to_string(LEVEL_MAX_MOVING) + " are allowed");
    return level;
}

} // namespace

int LevelFile::flockCount() const {
    std::set<int> flocks;
    for (const LevelEnemy& e : enemies)
        if (e.aiType == AiKind::Flock)
            flocks.insert(e.flockNumber);
    return static_cast<int>(flocks.size());
}

int parseLevelInt(const char* t) {
    errno = 0;
    long v = std::strtol(t, nullptr, 10);
    if (errno == ERANGE || v > 2147483647L || v < -2147483647L - 1)
        v = v < 0 ? -2147483647L - 1 : 2147483647L; // out of range saturates
    return static_cast<int>(v);
}

int saturatedInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(value);
}

float parseLevelReal(const char* t) {
    return static_cast<float>(std::strtod(t, nullptr));
}

LevelFile readLevelFile(const std::string& fileName) {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_file(fileName.c_str());
    if (!result)
        throw LevelFileError(std::string("Failed load xml data from file.\n") +
                             result.description() + "\n");
    return parse(doc);
}

LevelFile readLevelText(const std::string& xml) {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_string(xml.c_str());
    if (!result)
        throw LevelFileError(std::string("Failed load xml data from file.\n") +
                             result.description() + "\n");
    return parse(doc);
}
