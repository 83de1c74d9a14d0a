#include "level/levelfile.h"

#include "platform/debugassert.h"

#include <pugixml.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

LevelFatalHandler g_levelFatal;

[[noreturn]] void fail(const std::string& message) {
    throw LevelFileError(message);
}

// Names the element in messages as e.g. "enemies/enemy[3]" so a content author can find it.
std::string describe(const pugi::xml_node& node) {
    std::string name = node.name();
    pugi::xml_node parent = node.parent();
    if (parent && parent.type() == pugi::node_element) {
        int index = 1;
        for (pugi::xml_node n = parent.first_child(); n && n != node; n = n.next_sibling())
            if (n.type() == pugi::node_element)
                ++index;
        return std::string(parent.name()) + "/" + name + "[" + std::to_string(index) + "]";
    }
    return name;
}

const char* attr(const pugi::xml_node& node, const char* name) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a)
        fail("Level file: element <" + describe(node) + "> lacks the attribute \"" + name + "\".");
    return a.value();
}

std::string str(const pugi::xml_node& node, const char* name) {
    return attr(node, name);
}
int integer(const pugi::xml_node& node, const char* name) {
    return ParseLevelInt(attr(node, name));
}
float real(const pugi::xml_node& node, const char* name) {
    return ParseLevelReal(attr(node, name));
}

bool flag(const pugi::xml_node& node, const char* name) {
    int i = integer(node, name);
    QRV_ASSERT_TEXT(i == 1 || i == 0, "i == 1 || i == 0");
    return i == 1;
}

pugi::xml_node child(const pugi::xml_node& node, const char* xpath) {
    pugi::xml_node c = node.select_node(xpath).node();
    if (!c)
        fail("Level file: element <" + describe(node) + "> lacks the child <" + xpath + ">.");
    return c;
}

LevelPoint position(const pugi::xml_node& node, const char* xpath) {
    pugi::xml_node c = child(node, xpath);
    return LevelPoint{real(c, "x"), real(c, "z")};
}

std::vector<LevelPoint> path(const pugi::xml_node& owner) {
    pugi::xml_node p = child(owner, "path");
    int num = integer(p, "num");
    pugi::xpath_node_set points = owner.select_nodes("path/*");
    if (num < 1)
        fail("Level file: the path of <" + describe(owner) + "> has num=\"" + std::to_string(num) +
             "\"; a path needs at least one point.");
    if (static_cast<size_t>(num) != points.size())
        fail("Level file: the path of <" + describe(owner) + "> has num=\"" + std::to_string(num) +
             "\" but " + std::to_string(points.size()) + " points.");
    std::vector<LevelPoint> out;
    out.reserve(points.size());
    for (const pugi::xpath_node& pt : points)
        out.push_back(LevelPoint{real(pt.node(), "x"), real(pt.node(), "z")});
    return out;
}

[[noreturn]] void badKeyword(const pugi::xml_node& node, const char* name,
                             const std::string& value) {
    QRV_ASSERT_TEXT(false, "0");
    fail("Level file: element <" + describe(node) + "> has the unknown " + name + " \"" + value +
         "\".");
}

// The "Invalid node fetched." report of a top-level section that selects nothing.
void invalidNode(LevelFile& level, const pugi::xml_parse_result& parsed) {
    std::string text = std::string("Invalid node fetched.\n") + parsed.description() + "\n";
    std::fputs(text.c_str(), stdout);
    level.warnings.push_back(text);
}

void checkCount(int next, const pugi::xml_node& node) {
    if (next >= kMaxLevelObjects)
        fail("Level file: element <" + describe(node) + "> is object " + std::to_string(next + 1) +
             "; a level holds at most " + std::to_string(kMaxLevelObjects) + " objects.");
}

LevelFile readDocument(const pugi::xml_document& doc, const pugi::xml_parse_result& parsed) {
    if (!parsed)
        fail(std::string("Failed load xml data from file.\n") + parsed.description() + "\n");

    LevelFile level;
    if (pugi::xml_node sky = doc.select_node("//skybox").node()) {
        level.skyFront = str(sky, "front");
        level.skyBack = str(sky, "back");
        level.skyLeft = str(sky, "left");
        level.skyRight = str(sky, "right");
        level.skyTop = str(sky, "top");
        level.hasSkyBox = true;
    } else {
        invalidNode(level, parsed);
    }

    if (pugi::xml_node terrain = doc.select_node("/*").node()) {
        level.terrainName = str(terrain, "name");
        level.heightMap = str(terrain, "heightmap");
        level.texture = str(terrain, "texture");
        level.detail = str(terrain, "detail");
        level.glStart = real(terrain, "glStart");
        level.glWidth = real(terrain, "glWidth");
        level.glDepth = real(terrain, "glDepth");
        level.hasTerrain = true;
    } else {
        invalidNode(level, parsed);
    }

    // The game has no way on without a hero or a boss: report as the format does, then stop.
    pugi::xml_node player = doc.select_node("//player").node();
    if (!player) {
        invalidNode(level, parsed);
        fail("Level file: the level has no <player> element.");
    }
    level.playerModel = str(player, "model");
    level.playerLife = integer(player, "life");
    level.playerPosition = position(player, "starting-position");

    pugi::xml_node boss = doc.select_node("//boss").node();
    if (!boss) {
        invalidNode(level, parsed);
        fail("Level file: the level has no <boss> element.");
    }
    level.bossActive = flag(boss, "active");
    level.bossModel = str(boss, "model");
    level.bossLife = integer(boss, "life");
    level.bossPosition = position(boss, "starting-position");

    int next = 0;
    for (const pugi::xpath_node& xn : doc.select_nodes("//static-objects/*")) {
        pugi::xml_node n = xn.node();
        checkCount(next, n);
        LevelStatic s;
        s.id = next++;
        s.model = str(n, "model");
        s.position = position(n, "starting-position");
        pugi::xml_node size = child(n, "size");
        s.width = static_cast<int>(real(size, "width"));
        s.depth = static_cast<int>(real(size, "depth"));
        s.heading = position(n, "heading");
        level.statics.push_back(std::move(s));
    }

    for (const pugi::xpath_node& xn : doc.select_nodes("//npcs/*")) {
        pugi::xml_node n = xn.node();
        checkCount(next, n);
        LevelNpc c;
        c.id = next++;
        c.model = str(n, "model");
        c.name = str(n, "name");
        c.speed = integer(n, "speed");
        c.active = flag(n, "active");
        c.position = position(n, "starting-position");
        c.normalChat = str(child(n, "normal-chat"), "text");
        c.scaredChat = str(child(n, "scared-chat"), "text");
        pugi::xml_node menu = child(n, "menu");
        c.menuTitle = str(menu, "title");
        c.negativeReply = str(menu, "negative-reply");
        pugi::xpath_node_set items = n.select_nodes("menu/*");
        if (items.size() > static_cast<size_t>(kMaxMenuItems))
            fail("Level file: the menu of <" + describe(n) + "> has " +
                 std::to_string(items.size()) + " items; a menu holds at most " +
                 std::to_string(kMaxMenuItems) + ".");
        for (const pugi::xpath_node& it : items)
            c.menu.push_back(LevelMenuItem{integer(it.node(), "id"), str(it.node(), "text"),
                                           str(it.node(), "reply")});
        c.path = path(n);
        level.npcs.push_back(std::move(c));
    }

    for (const pugi::xpath_node& xn : doc.select_nodes("//enemies/*")) {
        pugi::xml_node n = xn.node();
        checkCount(next, n);
        LevelEnemy e;
        e.id = next++;
        e.name = str(n, "name");
        e.active = flag(n, "active");
        e.visible = flag(n, "visible");
        e.model = str(n, "model");
        e.speed = integer(n, "speed");
        e.life = integer(n, "life");
        std::string ai = str(n, "aiType");
        if (ai == "waypoint")
            e.aiType = LevelAiType::Waypoint;
        else if (ai == "probability")
            e.aiType = LevelAiType::Probability;
        else if (ai == "flock")
            e.aiType = LevelAiType::Flock;
        else
            badKeyword(n, "aiType", ai);
        if (e.aiType == LevelAiType::Flock) {
            std::string role = str(n, "role");
            if (role == "leader")
                e.leader = true;
            else if (role != "follower")
                badKeyword(n, "role", role);
            e.flockNum = integer(n, "flocknum");
            if (e.flockNum < 0 || e.flockNum >= kMaxFlocks)
                fail("Level file: element <" + describe(n) + "> has flocknum=\"" +
                     std::to_string(e.flockNum) + "\"; flocks are numbered 0 to 9.");
        }
        std::string type = str(n, "enemyType");
        if (type == "melee")
            e.enemyType = 0;
        else if (type == "magician")
            e.enemyType = 1;
        else
            badKeyword(n, "enemyType", type);
        e.position = position(n, "starting-position");
        if (e.aiType == LevelAiType::Waypoint)
            e.path = path(n);
        level.enemies.push_back(std::move(e));
    }

    // The collision pass keeps fixed-size lists; more objects would be silently ignored there.
    if (level.statics.size() > static_cast<size_t>(kMaxStaticColliders))
        fail("Level file: the level has " + std::to_string(level.statics.size()) +
             " static objects; the game handles at most " + std::to_string(kMaxStaticColliders) +
             ".");
    size_t moving = level.npcs.size() + level.enemies.size() + 2;
    if (moving > static_cast<size_t>(kMaxMovingColliders))
        fail("Level file: the level has " + std::to_string(moving) +
             " moving objects with hero and boss; the game handles at most " +
             std::to_string(kMaxMovingColliders) + ".");
    return level;
}

} // namespace

int ParseLevelInt(const char* text) {
    errno = 0;
    long v = std::strtol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

float ParseLevelReal(const char* text) {
    return std::strtof(text, nullptr);
}

LevelFile ReadLevelFile(const std::string& path) {
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    return readDocument(doc, parsed);
}

LevelFile ReadLevelFileFromMemory(const void* data, size_t size) {
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(data, size);
    return readDocument(doc, parsed);
}

void SetLevelFatalHandler(LevelFatalHandler handler) {
    g_levelFatal = std::move(handler);
}

LevelFile LoadLevelFileOrExit(const std::string& path) {
    try {
        return ReadLevelFile(path);
    } catch (const LevelFileError& e) {
        std::string text = e.what();
        if (text.empty() || text.back() != '\n')
            text += '\n';
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        if (g_levelFatal)
            g_levelFatal(e.what());
        else
            std::exit(1); // a broken level is a failure, not a clean end
    }
    return LevelFile{};
}
