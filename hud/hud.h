// Hud: the heads-up display over the play frame (g_hud): the current gun's palette with
// its ammunition, the gem icon and count, the life bar with its red fill, the crosshair
// while aiming, the land map with a red dot per enemy on request, the name of the villager
// the talk key would pick, "Paused" while paused, a red mark on the screen edge a hit came
// from, a "+N gems" notice by the count after a pick-up, a small arrow with the word
// "Village" on the screen's rim pointing home when the hero is far from the village, and the
// white fade that replaces the life fill and the texts once the hero (or the boss) has died.
//
// The map is asked for in a conversation. It shows over the conversation box while the talk
// lasts (never under it), then stays up for MAP_READING_MS of play so that the player can
// read it; starting another talk, or the map key (M), puts it away. The map marks where the
// hero stands and which way he looks.
//
// Costs: draw is a dozen textured quads, one quad per enemy on the map, and two short
// texts; the text font ("Arial", 28) is made once, on the first draw, not per frame.
// loadTextures decodes and uploads eleven images: call it once at level start.
//
// Not guaranteed: draw leaves the depth test on and blending off (or, while fading,
// blending on and the depth test off), as the play frame expects; other state is left
// as the quads set it. A missing image leaves texture 0 bound for its pass.
#pragma once

#include <GL/gl.h>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BitmapFont;
class Timer;
class Vector;

// The screen edge on which a hit's mark shows: the side where the hit came from, seen along
// the view. A hit from ahead marks the top, from behind the bottom.
enum HitEdge : int32_t {
    HIT_EDGE_NONE = -1,
    HIT_EDGE_TOP,
    HIT_EDGE_BOTTOM,
    HIT_EDGE_LEFT,
    HIT_EDGE_RIGHT
};
// `viewForward` is where the camera looks and `from` the direction from the hero towards the
// hit's source; only their ground-plane parts count. NONE when either has none.
HitEdge HitEdgeFor(const Vector& viewForward, const Vector& from);

// The way home, shown on the screen's rim until the hero is within VILLAGE_POINTER_BEYOND of
// the village's edge, where its huts and people are in sight: a newcomer who never asked for
// the map got lost, and another lost the village when the pointer left him 500 from it. `bearing`
// is the village's direction as the camera sees it, in radians from straight ahead, positive to the
// right (pi: behind).
struct VillagePointer {
    bool shown = false;
    float bearing = 0.0f;
};
constexpr float VILLAGE_POINTER_BEYOND = 150.0f;
// From where the camera looks (only its ground-plane part counts), the hero's and the
// village's places on the ground; not shown within `hideWithin` of the village's middle or
// when the view has no ground-plane part.
VillagePointer VillagePointerFor(const Vector& viewForward, float heroX, float heroZ,
                                 float villageX, float villageZ, float hideWithin);
// The pointer's middle on the screen (800 by 600, origin top left) for a bearing: on an oval
// inside the rim, ahead at the top middle, clear of the gem count and the gun's palette.
void VillagePointerPlace(float bearing, float& x, float& y);

// The hero's place and facing on the map: world x and z, and the ground-plane facing.
struct MapHero {
    bool known = false;
    float x = 0.0f, z = 0.0f;
    float facingX = 0.0f, facingZ = 1.0f;
};

// What one HUD frame shows, gathered from the hero and the data layer by draw().
struct HudValues {
    int32_t weapon = 0; // 0 green, 1 red, 2 blue
    bool crossHair = false;
    int32_t redAmmo = 0;
    int32_t blueAmmo = 0;
    int32_t gems = 0;
    int32_t life = 100;              // percent
    bool map = false;                // the map with a dot per enemy
    std::vector<float> enemyXZ;      // x, z pairs for the map
    MapHero mapHero;                 // the "you are here" mark on the map
    std::string talkTo;              // the villager the talk key would pick; empty: nobody
    bool paused = false;             // the game is paused (P)
    HitEdge hitEdge = HIT_EDGE_NONE; // where the last hit's mark shows
    float hitMark = 0.0f;            // its strength, 1 just hit, fading to 0
    int32_t gemNotice = 0;           // gems just picked up ("+N gems"); 0: no notice
    VillagePointer village;          // the way home, far from the village
};

// The texture-coordinate rectangle (s0, t0, s1, t1) outside which a mask and image pair
// changes nothing on the screen: there the mask is white (the frame multiplied by one) and
// the image black (nothing added). Two texels of margin keep every linearly filtered sample
// that reaches a changing texel inside. Both are RGB rows of width by height, the first row
// at t = 0. All zero when no texel changes anything.
void ChangingTexelBounds(const uint8_t* mask, const uint8_t* image, int width, int height,
                         float bounds[4]);

class Hud {
public:
    Hud();
    virtual ~Hud();
    Hud(const Hud&) = delete;
    Hud& operator=(const Hud&) = delete;

    // Loads the eleven images from Data/; true when at least one loaded.
    bool loadTextures();
    // How long the map stays up once the conversation that showed it is over.
    static constexpr double MAP_READING_MS = 15000.0;
    // How long "+N gems" stays by the gem count after a pick-up.
    static constexpr double GEM_NOTICE_MS = 2000.0;
    // The hit mark's colour: bold red, never the map dots' pure red.
    static constexpr float HIT_RED[3] = {1.0f, 0.15f, 0.1f};

    // The HUD for this frame from g_hero and g_dataLayer (nothing without a hero). In a
    // conversation it leaves the map out: drawMapOverBox draws it after the box. In play it
    // puts the map away once its reading time is over.
    void draw();
    // The map and its dots over whatever is drawn, in its own 800 by 600 projection, when it
    // is shown; GL state is left as it was.
    void drawMapOverBox();
    // A conversation begins: a map from an earlier one is put away (the box would cover it).
    void conversationStarted();
    // The conversation is over: a map shown in it stays up for MAP_READING_MS from now.
    void conversationEnded();
    // The map key: the map goes away before its reading time is over.
    void putMapAway();
    // The hero has picked up `value` gems: "+N gems" shows for GEM_NOTICE_MS, adding up
    // pick-ups that come while it shows.
    void gemsCollected(int32_t value);
    // The same from given values (what draw uses after gathering them).
    void drawValues(const HudValues& values);
    // Where the map is drawn: a square in the 800 by 600 screen.
    struct MapRect {
        float left, top, size;
    };
    // Over the conversation box the map is large and central; while the player walks with
    // it afterwards it is small in the top-left corner (a third of the screen's height), so
    // that the hero in the middle of the screen stays in view.
    static constexpr MapRect MAP_OVER_BOX = {200.0f, 250.0f, 300.0f};
    static constexpr MapRect MAP_IN_CORNER = {10.0f, 10.0f, 200.0f};
    // The map in `rect`, one red dot per enemy (5 by 5 at the large size) and, when the hero
    // is known, a yellow arrow at his place pointing his way, labelled "You".
    void drawMap(const std::vector<float>& enemyXZ, const MapHero& hero = MapHero(),
                 const MapRect& rect = MAP_OVER_BOX);
    // The white overlay at m_fadeAlpha, which then grows by 0.02.
    void drawFade();
    // The hero's map mark from g_hero (unknown without a hero).
    static MapHero heroOnMap();
    // The name of the villager the talk key would pick now (PickTalkPartner for g_hero);
    // empty when nobody is in reach or outside play.
    static std::string talkName();
    // The hit mark at `strength` (1 just hit): a bold red band along the middle of the edge
    // the hit came from with an arrowhead pointing to it, and a red glow round the whole
    // screen border. Fully opaque for the first third of its time, then fading out.
    static void drawHitMark(HitEdge edge, float strength);
    // The small arrow toward the village at its place on the rim (its word is drawn with
    // the other words).
    static void drawVillagePointer(const VillagePointer& pointer);
    // The mark's opacity for a strength: 1 down to 2/3, then falling to 0 with it.
    static float hitMarkAlpha(float strength) {
        return strength > 0.0f ? std::min(1.0f, strength * 1.5f) : 0.0f;
    }

    // The life fill's top edge for a life in percent: 570 - life * 0.87.
    static float lifeFillTop(int32_t life) { return 570.0f - float(life) * 0.01f * 87.0f; }
    // The map dot's top-left corner for a world position.
    static void mapDot(float x, float z, float& mx, float& my, const MapRect& rect = MAP_OVER_BOX) {
        mx = rect.left + x / 2048.0f * rect.size;
        my = rect.top + z / 2048.0f * rect.size;
    }
    // The ammunition text for a gun ("--" for the green gun) and its colour; false for
    // an unknown gun (nothing is printed).
    static bool ammoText(int32_t weapon, int32_t redAmmo, int32_t blueAmmo, char* text,
                         int textSize, float rgb[3]);

    bool m_showMap = false;
    bool m_fading = false;
    float m_fadeAlpha = 0.0f;
    GLuint m_paletteMask = 0;
    GLuint m_redPalette = 0;
    GLuint m_greenPalette = 0;
    GLuint m_bluePalette = 0;
    GLuint m_crossHairMask = 0;
    GLuint m_lifeBarMask = 0;
    GLuint m_lifeBar = 0;
    GLuint m_crossHair = 0;
    GLuint m_map = 0;
    GLuint m_gemMask = 0;
    GLuint m_gem = 0;
    // Where the full-screen crosshair changes the frame, found once its images are loaded:
    // two screen-sized blended quads are mostly multiplied by one and added zero.
    float m_crossHairBounds[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    // The map's reading time after its conversation (0: not counting), measured on m_mapTimer.
    double m_mapReadingMs = 0.0;
    std::unique_ptr<Timer> m_mapTimer;
    // The gems of the notice showing (0: none) and the time since its last pick-up.
    int32_t m_gemNotice = 0;
    std::unique_ptr<Timer> m_gemNoticeTimer;

private:
    // Takes the data layer's request for the map (a menu's map item).
    void takeMapRequest();
    // The enemies' x, z pairs from the data layer.
    static std::vector<float> enemyPositions();
    // The gems of the notice still showing; a notice past its time is dropped.
    int32_t gemNoticeNow();
    // "Paused", the talk prompt, the gem notice and the map key's hint (nothing while
    // fading).
    void drawWords(const HudValues& values);

    std::unique_ptr<BitmapFont> m_font;     // "Arial", 28, made on the first text draw
    std::unique_ptr<BitmapFont> m_hintFont; // "Arial", 20, the same
};

// The play screen's HUD (shell/gamecontext.cpp); null outside a level.
extern Hud* g_hud;
