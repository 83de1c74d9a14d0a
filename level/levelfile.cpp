#include "level/levelfile.h"

#include "platform/debugassert.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
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

// glStart, glWidth or glDepth: finite (the reader's reals always are), not negative (not 0
// for an extent) and within the largest world.
void worldExtent(const pugi::xml_node& terrain, const char* name, float value, bool isStart) {
    const std::string quoted = std::string("\"") + name + "\" \"" + attr(terrain, name) + "\"";
    if (value < 0.0f || (!isStart && value == 0.0f))
        fail(terrain, quoted + " must be " + (isStart ? "0 or more" : "positive"));
    if (value > LEVEL_MAX_WORLD_SIZE)
        fail(terrain, quoted + " is beyond the largest world, " +
                          std::to_string(static_cast<int>(LEVEL_MAX_WORLD_SIZE)) + " units");
}

// How many elements "//<list>/*" selects, counted in document order and only until the
// count passes `limit`: a huge level is refused before its elements are even collected.
size_t countListed(const pugi::xml_document& doc, const char* list, size_t limit) {
    size_t count = 0;
    pugi::xml_node n = doc.first_child();
    while (n && count <= limit) {
        if (n.type() == pugi::node_element && std::strcmp(n.name(), list) == 0)
            for (pugi::xml_node c = n.first_child(); c && count <= limit; c = c.next_sibling())
                count += c.type() == pugi::node_element ? 1 : 0;
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling())
            n = n.parent();
        if (n)
            n = n.next_sibling();
    }
    return count;
}

// The table limits, checked before any record is built. Together they keep the level
// within the object table.
static_assert(LEVEL_MAX_STATIC + LEVEL_MAX_MOVING - 2 <= OBJECT_TABLE_SIZE);
void checkCounts(const pugi::xml_document& doc) {
    const pugi::xml_node root = doc.document_element();
    const size_t statics = countListed(doc, "static-objects", LEVEL_MAX_STATIC);
    if (statics > static_cast<size_t>(LEVEL_MAX_STATIC))
        fail(root,
             "the level holds more than " + std::to_string(LEVEL_MAX_STATIC) + " static objects");
    const size_t characters = LEVEL_MAX_MOVING - 2; // besides the hero and the boss
    const size_t npcs = countListed(doc, "npcs", characters);
    if (npcs > characters || npcs + countListed(doc, "enemies", characters - npcs) > characters)
        fail(root, "the level holds more than " + std::to_string(LEVEL_MAX_MOVING) +
                       " moving objects with the hero and the boss");
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
        worldExtent(terrain, "glStart", level.worldStart, true);
        worldExtent(terrain, "glWidth", level.worldWidth, false);
        worldExtent(terrain, "glDepth", level.worldDepth, false);
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

    checkCounts(doc);
    const pugi::xpath_node_set statics = doc.select_nodes("//static-objects/*");
    const pugi::xpath_node_set npcs = doc.select_nodes("//npcs/*");
    const pugi::xpath_node_set enemies = doc.select_nodes("//enemies/*");

    for (const pugi::xpath_node& n : statics) {
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
    for (const pugi::xpath_node& n : npcs) {
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
    // Each flock's leader by name: a second one would take the first one's place in the
    // flock and leave him with an AI that does nothing.
    std::optional<std::string> leaders[LEVEL_MAX_FLOCKS];
    for (const pugi::xpath_node& n : enemies) {
        const pugi::xml_node e = n.node();
        LevelEnemy m;
        m.name = text(e, "name");
        m.active = flag(e, "active");
        m.visible = flag(e, "visible");
        m.model = text(e, "model");
        m.speed = integer(e, "speed");
        m.life = integer(e, "life");
        if (e.attribute("attackOdds")) {
            m.attackOdds = integer(e, "attackOdds");
            if (m.attackOdds < 2)
                fail(e, "\"attackOdds\" " + std::to_string(m.attackOdds) + " is below 2");
        }
        if (pugi::xml_attribute shown = e.attribute("shown")) {
            const std::string v = shown.value();
            if (v != "true" && v != "false" && v != "1" && v != "0")
                fail(e, "\"shown\" \"" + v + "\" is not true, false, 1 or 0");
            m.shown = v == "true" || v == "1";
        }
        if (e.attribute("blowDamage")) {
            m.blowDamage = integer(e, "blowDamage");
            if (m.blowDamage < 1)
                fail(e, "\"blowDamage\" " + std::to_string(m.blowDamage) + " is below 1");
        }
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
            if (m.flockNumber < 0 || m.flockNumber >= LEVEL_MAX_FLOCKS)
                fail(e, "\"flocknum\" " + std::to_string(m.flockNumber) + " is outside 0 to 9");
            std::optional<std::string>& leader = leaders[m.flockNumber];
            if (m.leader && leader)
                fail(e, "flock " + std::to_string(m.flockNumber) + " already has a leader, \"" +
                            *leader + "\"; a flock has one");
            if (m.leader)
                leader = m.name;
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
    return level;
}

// The parsed document takes several times the file's size, so an oversized file is refused
// before it is parsed.
void checkFileSize(std::uintmax_t bytes) {
    if (bytes > LEVEL_MAX_FILE_BYTES)
        throw LevelFileError("Level file error: the file holds " + std::to_string(bytes) +
                             " bytes, a level at most " + std::to_string(LEVEL_MAX_FILE_BYTES) +
                             "\n");
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
    // Scanned by hand: strtod also takes "nan", "inf" and hexadecimal text, and reads the
    // decimal point of the C library's current locale.
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const char* p = t;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    const char* const begin = p;
    // About the value's decimal exponent, to tell an overflow from an underflow when the
    // value is beyond even a double.
    long magnitude = 0;
    bool significant = false;
    while (digit(*p)) {
        significant = significant || *p != '0';
        magnitude += significant ? 1 : 0;
        ++p;
    }
    bool anyDigit = p != begin;
    if (*p == '.') {
        const char* fraction = p + 1;
        while (digit(*fraction)) {
            if (!significant && *fraction == '0')
                --magnitude;
            significant = significant || *fraction != '0';
            ++fraction;
        }
        anyDigit = anyDigit || fraction != p + 1;
        if (anyDigit)
            p = fraction;
    }
    if (!anyDigit)
        return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const char* e = p + 1;
        const bool negativeExponent = *e == '-';
        if (*e == '+' || *e == '-')
            ++e;
        long exponent = 0;
        const char* digits = e;
        while (digit(*e)) {
            exponent = std::min(exponent * 10 + (*e - '0'), 100000L);
            ++e;
        }
        if (e != digits) {
            magnitude += negativeExponent ? -exponent : exponent;
            p = e;
        }
    }
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(begin, p, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range)
        value = significant && magnitude > 0 ? std::numeric_limits<double>::max() : 0.0;
    // Beyond a float's range saturates, as integers do.
    const double largest = std::numeric_limits<float>::max();
    value = std::clamp(value, -largest, largest);
    return static_cast<float>(negative ? -value : value);
}

LevelFile readLevelFile(const std::string& fileName) {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(fileName, error);
    if (!error)
        checkFileSize(bytes);
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_file(fileName.c_str());
    if (!result)
        throw LevelFileError(std::string("Failed load xml data from file.\n") +
                             result.description() + "\n");
    return parse(doc);
}

LevelFile readLevelText(const std::string& xml) {
    checkFileSize(xml.size());
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_string(xml.c_str());
    if (!result)
        throw LevelFileError(std::string("Failed load xml data from file.\n") +
                             result.description() + "\n");
    return parse(doc);
}
