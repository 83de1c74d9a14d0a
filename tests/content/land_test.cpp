// The generated land and level, read back as the game reads them: the height map's shape,
// where the level puts things, the rules the level must keep, and that the generator
// writes the same bytes on every run.
#include "ai/qrvprobabilityai.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "models/bmpdecoder.h"
#include "platform/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <queue>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kMap = 2048;
constexpr int kWaterBed = 75; // the data layer marks ground at or below this as water

std::vector<uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class GeneratedLand : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path game(TARVO_GAME_DIR);
        if (!fs::exists(game / "data/flatlandriver.xml"))
            GTEST_SKIP() << "no generated content in " << game;
        m_heights = readAll(game / "Data/flatland.raw");
        m_level = readLevelFile((game / "data/flatlandriver.xml").string());
    }
    int h(float x, float z) const {
        const int ix = std::clamp(static_cast<int>(x), 0, kMap - 1);
        const int iz = std::clamp(static_cast<int>(z), 0, kMap - 1);
        return m_heights[static_cast<size_t>(iz) * kMap + ix];
    }
    bool inside(float x, float z) const {
        return x >= m_level.worldStart && z >= m_level.worldStart && x < m_level.worldWidth &&
               z < m_level.worldDepth;
    }
    std::vector<uint8_t> m_heights;
    LevelFile m_level;
};

TEST_F(GeneratedLand, HeightMapHasARiverValleyInsideAHigherRim) {
    ASSERT_EQ(m_heights.size(), size_t(kMap) * kMap);
    const int w = static_cast<int>(m_level.worldWidth), d = static_cast<int>(m_level.worldDepth);
    long water = 0, cells = 0, rimSum = 0, rimCount = 0, innerSum = 0;
    for (int z = 0; z < d; z += 4)
        for (int x = 0; x < w; x += 4) {
            const int v = h(x, z);
            ++cells;
            water += v <= kWaterBed;
            const bool rim = x < 24 || z < 24 || x >= w - 24 || z >= d - 24;
            if (rim) {
                rimSum += v;
                ++rimCount;
            } else {
                innerSum += v;
            }
        }
    // A river, not a lake and not a dry land.
    EXPECT_GT(water, cells / 50);
    EXPECT_LT(water, cells / 4);
    EXPECT_GT(rimSum / rimCount, innerSum / (cells - rimCount) + 10) << "no rim of higher ground";
    // The river winds through the whole valley inside the rim: every row there has water.
    int dryRows = 0;
    for (int z = 200; z < d - 200; z += 16) {
        bool wet = false;
        for (int x = 0; x < w && !wet; ++x)
            wet = h(x, z) <= kWaterBed;
        dryRows += !wet;
    }
    EXPECT_EQ(dryRows, 0);
}

TEST_F(GeneratedLand, EverythingPlacedStandsOnReachableLandAboveWater) {
    struct Place {
        std::string what;
        float x, z;
    };
    std::vector<Place> places = {{"hero", m_level.playerX, m_level.playerZ},
                                 {"boss", m_level.bossX, m_level.bossZ}};
    for (const LevelStatic& s : m_level.statics)
        places.push_back({s.model, s.x, s.z});
    for (const LevelNpc& n : m_level.npcs) {
        places.push_back({n.name, n.x, n.z});
        for (const LevelPoint& p : n.path)
            places.push_back({n.name + " path", p.x, p.z});
    }
    for (const LevelEnemy& e : m_level.enemies) {
        places.push_back({e.name, e.x, e.z});
        for (const LevelPoint& p : e.path)
            places.push_back({e.name + " path", p.x, p.z});
    }
    for (const Place& p : places) {
        EXPECT_TRUE(inside(p.x, p.z)) << p.what << " at " << p.x << ", " << p.z;
        EXPECT_GT(h(p.x, p.z), kWaterBed + 2) << p.what << " stands in the water";
    }

    // Walk the land from the hero on a 16-unit lattice: steps may wade but not climb
    // cliffs. Every placed thing must be reached.
    const int step = 16, n = static_cast<int>(m_level.worldWidth) / step;
    std::vector<char> seen(static_cast<size_t>(n) * n, 0);
    std::queue<std::pair<int, int>> open;
    auto cellOf = [&](float x, float z) {
        return std::make_pair(std::clamp(int(x) / step, 0, n - 1),
                              std::clamp(int(z) / step, 0, n - 1));
    };
    const auto start = cellOf(m_level.playerX, m_level.playerZ);
    open.push(start);
    seen[start.second * n + start.first] = 1;
    while (!open.empty()) {
        auto [cx, cz] = open.front();
        open.pop();
        const int dx[] = {1, -1, 0, 0}, dz[] = {0, 0, 1, -1};
        for (int k = 0; k < 4; ++k) {
            const int nx = cx + dx[k], nz = cz + dz[k];
            if (nx < 0 || nz < 0 || nx >= n || nz >= n || seen[nz * n + nx])
                continue;
            if (std::abs(h(nx * step, nz * step) - h(cx * step, cz * step)) > step)
                continue; // steeper than 45 degrees
            seen[nz * n + nx] = 1;
            open.push({nx, nz});
        }
    }
    for (const Place& p : places) {
        const auto c = cellOf(p.x, p.z);
        EXPECT_TRUE(seen[c.second * n + c.first]) << p.what << " cannot be reached on foot";
    }
}

// The village fire burns at (340, 530) (the play state lights it there); its flames add their
// light over whatever lies behind them, so a tree there looks as if it burns in the fire.
TEST_F(GeneratedLand, NoTreeStandsInOrBehindTheVillageFire) {
    const float fx = 340.0f, fz = 530.0f;
    // The hero's start, and the camera 40 behind him (he starts facing +x).
    const float views[2][2] = {{m_level.playerX, m_level.playerZ},
                               {m_level.playerX - 40.0f, m_level.playerZ}};
    for (const LevelStatic& s : m_level.statics) {
        if (s.model.find("oak") == std::string::npos && s.model.find("pine") == std::string::npos)
            continue;
        EXPECT_GT(std::hypot(s.x - fx, s.z - fz), 100.0f)
            << s.model << " at " << s.x << ", " << s.z;
        for (const auto& v : views) {
            float off =
                std::fabs(std::atan2(s.z - v[1], s.x - v[0]) - std::atan2(fz - v[1], fx - v[0]));
            off = std::min(off, 6.2831853f - off);
            EXPECT_TRUE(off > 0.3f ||
                        std::hypot(s.x - v[0], s.z - v[1]) < std::hypot(fx - v[0], fz - v[1]))
                << s.model << " at " << s.x << ", " << s.z << " stands behind the fire";
        }
    }
}

// The water plane adds half of its picture to the ground under it. Over the river the sum must
// stay blue, and nowhere the tide reaches may it become a white strip.
TEST_F(GeneratedLand, TheWaterOverTheGroundReadsAsARiver) {
    auto read = [](const fs::path& p, ImageRecord& image) {
        const std::vector<uint8_t> bytes = readAll(p);
        std::string error;
        return decodeBmp(bytes.data(), bytes.size(), image, error);
    };
    ImageRecord ground, water;
    const fs::path game(TARVO_GAME_DIR);
    ASSERT_TRUE(read(game / "Data/terrain_colour.bmp", ground));
    ASSERT_TRUE(read(game / "data/water_photo.bmp", water));
    double half[3] = {0, 0, 0};
    for (size_t i = 0; i < water.pixels.size(); ++i)
        half[i % 3] += water.pixels[i] * 0.5;
    for (double& c : half)
        c /= double(water.pixels.size() / 3);
    EXPECT_GT(half[2], half[0] + 15) << "the water is not blue";
    // Rows from the bottom: the colour map lies over the land with its top row at z = 0.
    long river = 0, blue = 0, white = 0;
    for (int r = 0; r < ground.height; ++r)
        for (int c = 0; c < ground.width; ++c) {
            const int height = h(float(c * kMap / ground.width),
                                 float((ground.height - 1 - r) * kMap / ground.height));
            if (height > 97)
                continue; // above the highest tide
            const uint8_t* p = &ground.pixels[(size_t(r) * ground.width + c) * 3];
            const double sum[3] = {p[0] + half[0], p[1] + half[1], p[2] + half[2]};
            white += std::min({sum[0], sum[1], sum[2]}) > 200.0;
            if (height <= kWaterBed) {
                ++river;
                blue += sum[2] > sum[0] + 20;
            }
        }
    ASSERT_GT(river, 0);
    EXPECT_EQ(white, 0) << "the water shines white over the banks";
    EXPECT_GT(blue, river * 99 / 100) << "the river is not blue";
}

TEST_F(GeneratedLand, LevelKeepsTheGamesRulesAndCast) {
    EXPECT_GE(m_level.worldStart, 0.0f);
    EXPECT_EQ(m_level.playerLife, 100);
    EXPECT_FALSE(m_level.bossActive);
    EXPECT_GE(m_level.statics.size(), 10u);
    EXPECT_LE(m_level.statics.size(), 30u);
    EXPECT_GE(m_level.enemies.size(), 15u);
    EXPECT_LE(m_level.enemies.size(), 25u);
    EXPECT_LE(m_level.enemies.size() + m_level.npcs.size() + 2, size_t(LEVEL_MAX_MOVING));

    std::map<std::string, const LevelNpc*> cast;
    for (const LevelNpc& n : m_level.npcs)
        cast[n.name] = &n;
    ASSERT_EQ(cast.size(), 3u);
    ASSERT_TRUE(cast.count("Rarozare") && cast.count("Virav") && cast.count("Verozi"));
    EXPECT_EQ(cast["Rarozare"]->items.size(), 2u);
    EXPECT_EQ(cast["Verozi"]->items.size(), 3u);
    ASSERT_EQ(cast["Virav"]->items.size(), 3u);
    bool map = false;
    for (const LevelMenuItem& item : cast["Virav"]->items)
        map |= item.id == 4;
    EXPECT_TRUE(map) << "Virav offers no map";
    for (const auto& [name, npc] : cast) {
        EXPECT_FALSE(npc->path.empty()) << name;
        EXPECT_FALSE(npc->normalChat.empty()) << name;
    }

    bool melee = false, magician = false, hidden = false;
    std::map<int, std::pair<int, int>> flocks; // number -> leaders, followers
    for (const LevelEnemy& e : m_level.enemies) {
        melee |= e.enemyType == 0;
        magician |= e.enemyType == 1;
        hidden |= !e.visible;
        if (e.aiType == AiKind::Flock) {
            (e.leader ? flocks[e.flockNumber].first : flocks[e.flockNumber].second)++;
        }
        if (e.aiType == AiKind::Waypoint) {
            EXPECT_FALSE(e.path.empty()) << e.name << " has no waypoints";
        }
    }
    EXPECT_TRUE(melee && magician && hidden);
    EXPECT_GE(flocks.size(), 2u);
    for (const auto& [number, members] : flocks) {
        EXPECT_EQ(members.first, 1) << "flock " << number;
        EXPECT_GE(members.second, 2) << "flock " << number;
        EXPECT_LE(members.second, 4) << "flock " << number;
    }
}

// The chance-driven creatures come at the hero while unhurt, at any distance, and run from
// him once hurt: after one or two blows, not before the first.
TEST_F(GeneratedLand, ChanceDrivenCreaturesApproachUntilHurt) {
    constexpr int kLimbBlow = 16; // the bat's 20 on a limb, the weakest blow
    int chanceDriven = 0;
    for (const LevelEnemy& e : m_level.enemies) {
        if (e.aiType != AiKind::Probability)
            continue;
        ++chanceDriven;
        for (int distance : {0, 80, 120, 400})
            EXPECT_NE(QRVProbabilityAI::tableFor(distance, e.life), TABLE_HURT)
                << e.name << " with " << e.life << " life runs from the start";
        EXPECT_EQ(QRVProbabilityAI::tableFor(400, e.life - 2 * kLimbBlow), TABLE_HURT)
            << e.name << " keeps coming after two blows";
    }
    EXPECT_GE(chanceDriven, 2);
}

// A newcomer's first minutes: only lone patrols are near the start, far enough from the
// villagers that talking to them never wakes a patrol (patrols turn on the hero within a
// sum distance of 150); the creatures that roam toward the hero start, and keep, far off.
TEST_F(GeneratedLand, ANewcomerMeetsLonePatrolsFirstAndTheRoamersFarOut) {
    const float hx = m_level.playerX, hz = m_level.playerZ;
    auto dist = [&](float x, float z) { return std::hypot(x - hx, z - hz); };
    auto sum = [](float ax, float az, float bx, float bz) {
        return std::fabs(ax - bx) + std::fabs(az - bz);
    };
    std::vector<const LevelEnemy*> byDistance;
    for (const LevelEnemy& e : m_level.enemies)
        byDistance.push_back(&e);
    std::sort(byDistance.begin(), byDistance.end(), [&](const LevelEnemy* a, const LevelEnemy* b) {
        return dist(a->x, a->z) < dist(b->x, b->z);
    });
    ASSERT_GE(byDistance.size(), 3u);
    // The two nearest are patrols at a walk's distance, and the third is much further.
    for (int i = 0; i < 2; ++i) {
        const LevelEnemy& e = *byDistance[size_t(i)];
        EXPECT_EQ(e.aiType, AiKind::Waypoint) << e.name << " is among the first met";
        EXPECT_GE(dist(e.x, e.z), 300.0f) << e.name << " waits in the village";
        EXPECT_LE(dist(e.x, e.z), 700.0f) << e.name << " is too far to be met first";
        std::vector<LevelPoint> beat = e.path;
        beat.push_back({e.x, e.z});
        for (const LevelPoint& p : beat) {
            EXPECT_GT(sum(p.x, p.z, hx, hz), 250.0f) << e.name << " patrols up to the start";
            for (const LevelNpc& n : m_level.npcs) {
                EXPECT_GT(sum(p.x, p.z, n.x, n.z), 250.0f) << e.name << " patrols by " << n.name;
                for (const LevelPoint& q : n.path)
                    EXPECT_GT(sum(p.x, p.z, q.x, q.z), 200.0f) << e.name << " meets " << n.name;
            }
        }
    }
    EXPECT_GE(dist(byDistance[2]->x, byDistance[2]->z), 550.0f);
    // The first three met are brutes that are seen from the start and that one burst of the
    // green gun (five shots of 5) fells before they wear the hero down: a blow, struck on the
    // head, takes at most an eighth of his life, and they strike seldom. Magicians, whose
    // fire comes from beyond the view, wait far out.
    for (int i = 0; i < 3; ++i) {
        const LevelEnemy& e = *byDistance[size_t(i)];
        EXPECT_EQ(e.enemyType, 0) << e.name;
        EXPECT_TRUE(e.shown) << e.name << " is unseen";
        EXPECT_LE(e.life, 5 * 5) << e.name;
        EXPECT_LE(e.blowDamage * 1.2, m_level.playerLife / 8.0) << e.name;
        EXPECT_GT(e.attackOdds, WAYPOINT_ATTACK_ODDS) << e.name << " strikes as often as any";
    }
    // None starts or walks its round in the village; only the first three come within the
    // roaming creatures' margin of it.
    QRVDataLayer layer;
    layer.loadRecords(m_level, [](int, int) { return 100; });
    ASSERT_GT(layer.m_villageRadius, 0.0f);
    for (const LevelEnemy& e : m_level.enemies) {
        const float margin = e.shown ? 0.0f : VILLAGE_ROAM_MARGIN;
        EXPECT_FALSE(layer.inVillage(e.x, e.z, margin)) << e.name;
        for (const LevelPoint& p : e.path)
            EXPECT_FALSE(layer.inVillage(p.x, p.z, margin)) << e.name;
    }
    for (const LevelEnemy& e : m_level.enemies) {
        if (e.enemyType == 1) {
            EXPECT_GE(dist(e.x, e.z), 1000.0f) << e.name << " casts near the start";
        }
    }
    // The hero starts facing +x: one of the two waits on that line, so walking out the way
    // he looks finds it (a patrol turns on him within a sum distance of 150).
    bool ahead = false;
    for (int i = 0; i < 2; ++i)
        ahead |= byDistance[size_t(i)]->x > hx && std::fabs(byDistance[size_t(i)]->z - hz) < 100.0f;
    EXPECT_TRUE(ahead) << "no lone patrol ahead of the start";
}

// The newcomers who waded the river died within a minute of creatures they could not see
// and of fire from off screen. Only seen, gentle brutes on patrol wait on the near side of
// the river and in the band just across it; magicians, the unseen, the chance-driven and the
// flocks start (and patrol) at least 700 beyond the river, measured from its bed in the
// same row of the land.
TEST_F(GeneratedLand, OnlySeenGentleBrutesWaitNearTheRiverTheRestFarBeyondIt) {
    auto riverX = [&](float z) {
        const int row = static_cast<int>(z);
        int lowest = 255;
        for (int x = 200; x < kMap - 200; ++x)
            lowest = std::min(lowest, h(x, row));
        long sum = 0, count = 0;
        for (int x = 200; x < kMap - 200; ++x)
            if (h(x, row) == lowest) {
                sum += x;
                ++count;
            }
        return static_cast<float>(sum) / static_cast<float>(count);
    };
    int band = 0;
    for (const LevelEnemy& e : m_level.enemies) {
        const bool gentle = e.shown && e.enemyType == 0 && e.aiType == AiKind::Waypoint &&
                            e.blowDamage * 1.2 <= m_level.playerLife / 8.0 &&
                            e.attackOdds > WAYPOINT_ATTACK_ODDS;
        std::vector<LevelPoint> beat = e.path;
        beat.push_back({e.x, e.z});
        float nearest = 1e9f;
        for (const LevelPoint& p : beat)
            nearest = std::min(nearest, p.x - riverX(p.z));
        if (gentle)
            band += nearest > 0.0f && nearest < 700.0f;
        else
            EXPECT_GE(nearest, 700.0f) << e.name << " waits near the river";
    }
    EXPECT_GE(band, 2) << "nothing to meet just across the river";
}

// A hero who stands beside the first brute for a minute of play keeps half his life, at 15
// frames a second as at 60. Each blow counts as struck on the head, the hardest part.
TEST_F(GeneratedLand, AHeroBesideTheFirstBruteForAMinuteKeepsHalfHisLife) {
    const double frameMs[2] = {1000.0 / 60.0, 1000.0 / 15.0};
    for (int rate = 0; rate < 2; ++rate) {
        for (unsigned seed = 1; seed <= 10; ++seed) {
            QRVDataLayer layer;
            layer.loadRecords(m_level, [](int, int) { return 100; });
            ASSERT_EQ(m_level.enemies[0].name, "brute1");
            EnemyData* brute = layer.m_enemyTable.begin()->second.get(); // the first enemy
            const int blow = static_cast<int>(m_level.enemies[0].blowDamage * 1.2);
            layer.m_player.x = brute->x - 20.0f;
            layer.m_player.z = brute->z;
            layer.worldToCell(layer.m_player.x, layer.m_player.z, layer.m_player.aiX,
                              layer.m_player.aiZ);
            gameSrand(seed);
            int life = m_level.playerLife;
            double busyUntil = 0.0; // a blow's wind-up, strike and finish take 550 ms
            for (double ms = 0.0; ms < 60000.0; ms += frameMs[rate]) {
                layer.updateEnemyAI(frameMs[rate]);
                if (brute->decision.m_action == ACTION_ATTACK && ms >= busyUntil) {
                    life -= blow;
                    busyUntil = ms + 550.0;
                }
            }
            EXPECT_GE(life, m_level.playerLife / 2)
                << (rate ? "15" : "60") << " frames a second, seed " << seed;
        }
    }
}

// The three greetings teach a newcomer what the game does not show: the unseen creatures
// and how to make them seen, gems and trading, the map. Each fits the old-paper box, which
// wraps at 58 characters and shows five lines.
TEST_F(GeneratedLand, EachVillagersFirstWordsTeachOneThingAndFitThePaper) {
    auto lower = [](std::string s) {
        for (char& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::map<std::string, std::vector<std::string>> lessons = {
        {"Rarozare", {"unseen", "shadow", "shoot", "paint", "bat", "left button", "right button"}},
        {"Verozi", {"gem", "pick it up", "trade"}},
        {"Virav", {"map", "red marks"}},
    };
    for (const LevelNpc& n : m_level.npcs) {
        SCOPED_TRACE(n.name);
        const auto lesson = lessons.find(n.name);
        ASSERT_NE(lesson, lessons.end());
        const std::string text = lower(n.normalChat);
        for (const std::string& word : lesson->second)
            EXPECT_NE(text.find(word), std::string::npos) << "the greeting never says " << word;
        // Wrapped as the box wraps it: words kept whole, lines of at most 58 characters.
        int lines = 0;
        size_t length = 0;
        std::istringstream words(n.normalChat);
        for (std::string w; words >> w;) {
            ASSERT_LE(w.size(), 58u);
            if (length == 0 || length + 1 + w.size() > 58) {
                ++lines;
                length = w.size();
            } else {
                length += 1 + w.size();
            }
        }
        EXPECT_LE(lines, 5) << n.normalChat;
        EXPECT_GE(lines, 2) << "a greeting too short to teach anything";
    }
}

// What one villager says of another or of the land holds in the level: newcomers were sent
// to the wrong villager for shells, and the way to the boss's ring must lead there.
TEST_F(GeneratedLand, WhatTheVillagersSayOfEachOtherAndOfTheLandIsTrue) {
    auto words = [](const std::string& s) {
        std::vector<std::string> out;
        std::string w;
        for (char c : s + " ") {
            if (std::isalpha(static_cast<unsigned char>(c))) {
                w += char(std::tolower(static_cast<unsigned char>(c)));
            } else if (!w.empty()) {
                out.push_back(w);
                w.clear();
            }
        }
        return out;
    };
    const std::map<std::string, int> goods = {
        {"bread", 1}, {"frost", 2}, {"shells", 3}, {"map", 4}};
    auto sells = [&](const std::string& name, int id) {
        for (const LevelNpc& n : m_level.npcs)
            if (n.name == name)
                for (const LevelMenuItem& item : n.items)
                    if (item.id == id)
                        return true;
        return false;
    };
    const float villageX = m_level.npcs.empty() ? 0.0f : m_level.npcs[0].x;
    const float villageZ = m_level.npcs.empty() ? 0.0f : m_level.npcs[0].z;
    for (const LevelNpc& n : m_level.npcs) {
        std::vector<std::string> texts = {n.normalChat, n.negativeReply};
        for (const LevelMenuItem& item : n.items)
            texts.push_back(item.reply);
        for (const std::string& text : texts) {
            // Each clause that names a seller ("I", "me" or a villager) and goods: every
            // seller named there sells every one of those goods.
            std::string clause;
            for (char c : text + ".") {
                if (!std::strchr(".,;:!?", c)) {
                    clause += c;
                    continue;
                }
                std::vector<std::string> sellers;
                std::vector<int> sold;
                for (const std::string& w : words(clause)) {
                    if (w == "i" || w == "me")
                        sellers.push_back(n.name);
                    for (const LevelNpc& other : m_level.npcs)
                        if (w == words(other.name).front())
                            sellers.push_back(other.name);
                    if (const auto g = goods.find(w); g != goods.end())
                        sold.push_back(g->second);
                }
                for (const std::string& seller : sellers)
                    for (int id : sold)
                        EXPECT_TRUE(sells(seller, id))
                            << n.name << " says " << seller << " sells item " << id << ": \""
                            << clause << "\"";
                clause.clear();
            }
            const std::vector<std::string> w = words(text);
            auto says = [&](const char* word) {
                return std::find(w.begin(), w.end(), word) != w.end();
            };
            if (says("ring") && says("east")) {
                EXPECT_GT(m_level.bossX, villageX + 500.0f) << n.name << ": the ring is east";
                if (says("river")) {
                    bool wet = false;
                    for (float t = 0.0f; t <= 1.0f; t += 0.002f)
                        wet = wet || h(villageX + (m_level.bossX - villageX) * t,
                                       villageZ + (m_level.bossZ - villageZ) * t) <= kWaterBed;
                    EXPECT_TRUE(wet) << n.name << ": the ring lies past the river";
                }
            }
            if (says("flocks") && (says("east") || says("eastern"))) {
                for (const LevelEnemy& e : m_level.enemies)
                    if (e.aiType == AiKind::Flock && e.leader) {
                        EXPECT_GT(e.x, m_level.worldWidth * 0.75f) << "a flock starts in the east";
                    }
            }
        }
    }
}

// A scratch folder of this process's own, so that test runs side by side do not share one.
fs::path scratch(const std::string& name) {
    return fs::temp_directory_path() / (name + "-" + std::to_string(getpid()));
}

TEST(GeneratorRuns, WriteTheSameBytesEveryTime) {
    const fs::path game(TARVO_GAME_DIR);
    if (!fs::exists(game / "data/flatlandriver.xml"))
        GTEST_SKIP() << "no generated content in " << game;
    const fs::path again = scratch("tarvo-content-again");
    fs::remove_all(again);
    // Not on a terminal: the generator must also stay silent.
    const std::string log = again.string() + ".log";
    const std::string cmd =
        std::string(TARVO_CONTENT_BIN) + " " + again.string() + " >" + log + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(fs::file_size(log), 0u) << "the generator talks when nobody watches";
    size_t compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(game)) {
        if (!entry.is_regular_file() || entry.path().filename() == ".content-stamp")
            continue;
        const fs::path rel = fs::relative(entry.path(), game);
        ASSERT_TRUE(fs::exists(again / rel)) << rel << " was not written again";
        EXPECT_TRUE(readAll(entry.path()) == readAll(again / rel))
            << rel << " differs between runs";
        ++compared;
    }
    EXPECT_GT(compared, 50u);
    fs::remove_all(again);
    fs::remove(log);
}

// The voices' breath noise once depended on what the audio libraries had done before the
// first line: PulseAudio's client drew from rand() in a home without its runtime folder and
// left that folder behind, so a fresh machine's first build differed from every later one.
// Voices spoken twice in one fresh, empty home, with nothing of this environment but PATH,
// from another folder and under another locale and time zone, match the build's; and the
// generator leaves the home as it found it (it opens no sound device).
TEST(GeneratorRuns, SpeakTheSameVoicesInAFreshHomeAndAnotherEnvironment) {
    const fs::path game(TARVO_GAME_DIR);
    if (!fs::exists(game / "Sounds/rarozare1.wav"))
        GTEST_SKIP() << "no generated sounds in " << game;
    const fs::path work = scratch("tarvo-voices");
    fs::remove_all(work);
    const fs::path home = work / "home", elsewhere = work / "elsewhere";
    fs::create_directories(home);
    fs::create_directories(elsewhere);
    // A sanitizer build's generator keeps its own settings.
    std::string keep;
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (const char* value = std::getenv(name))
            keep += std::string(" ") + name + "='" + value + "'";
    for (int run = 1; run <= 2; ++run) {
        const fs::path out = work / ("run" + std::to_string(run));
        const fs::path log = work / ("run" + std::to_string(run) + ".log");
        const std::string cmd =
            "cd '" + elsewhere.string() + "' && env -i PATH=/usr/bin:/bin HOME='" + home.string() +
            "' LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 TZ=Pacific/Chatham" + keep + " " +
            TARVO_CONTENT_BIN + " --voices '" + out.string() + "' >'" + log.string() + "' 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "run " << run;
        EXPECT_EQ(fs::file_size(log), 0u) << "run " << run << " talks when nobody watches";
        size_t compared = 0;
        for (const auto& entry : fs::directory_iterator(out / "Sounds")) {
            const fs::path built = game / "Sounds" / entry.path().filename();
            ASSERT_TRUE(fs::exists(built)) << built;
            EXPECT_TRUE(readAll(entry.path()) == readAll(built))
                << entry.path().filename() << " differs from the build's in run " << run;
            ++compared;
        }
        EXPECT_GE(compared, 19u) << "run " << run;
        EXPECT_TRUE(fs::is_empty(home)) << "run " << run << " wrote into the home";
    }
    fs::remove_all(work);
}

} // namespace
