#include "hud/hud.h"

#include "hud/bitmapfont.h"
#include "hud/screenspace.h"
#include "level/qrvdatalayer.h"
#include "models/vector.h"
#include "models/texture.h"
#include "objects/npc.h"
#include "objects/player.h"
#include "platform/gamestate.h"
#include "platform/timer.h"
#include "world/camera.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The two triangles of an arrow at (x, y) pointing along (dx, dy), notched at the back so
// that its way reads at a glance; (sx, sy) is its side. Inside glBegin(GL_TRIANGLES).
void notchedArrow(float x, float y, float dx, float dy, float sx, float sy, float ahead,
                  float behind, float half) {
    glVertex2f(x + dx * ahead, y + dy * ahead);
    glVertex2f(x - dx * behind + sx * half, y - dy * behind + sy * half);
    glVertex2f(x - dx * behind * 0.4f, y - dy * behind * 0.4f);
    glVertex2f(x + dx * ahead, y + dy * ahead);
    glVertex2f(x - dx * behind * 0.4f, y - dy * behind * 0.4f);
    glVertex2f(x - dx * behind - sx * half, y - dy * behind - sy * half);
}

// One screen-space quad with the HUD's texture corner order (v = 1 at the top).
void texturedQuad(float left, float top, float right, float bottom) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(left, top);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(left, bottom);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(right, bottom);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(right, top);
    glEnd();
}

// The part (s0, t0, s1, t1) of the textures over the part of the quad they land on.
void texturedPart(float left, float top, float right, float bottom, const float* part) {
    const float x0 = left + part[0] * (right - left), x1 = left + part[2] * (right - left);
    const float y0 = bottom - part[1] * (bottom - top), y1 = bottom - part[3] * (bottom - top);
    glBegin(GL_QUADS);
    glTexCoord2f(part[0], part[3]);
    glVertex2f(x0, y1);
    glTexCoord2f(part[0], part[1]);
    glVertex2f(x0, y0);
    glTexCoord2f(part[2], part[1]);
    glVertex2f(x1, y0);
    glTexCoord2f(part[2], part[3]);
    glVertex2f(x1, y1);
    glEnd();
}

const float WHOLE[4] = {0.0f, 0.0f, 1.0f, 1.0f};

// Mask multiplied over the frame, then the image added into the darkened shape; only over
// `part` of the textures, outside which they change nothing.
void maskedQuad(GLuint mask, GLuint image, bool bindImage, float left, float top, float right,
                float bottom, const float* part = WHOLE) {
    if (!(part[0] < part[2] && part[1] < part[3]))
        return;
    glBindTexture(GL_TEXTURE_2D, mask);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    texturedPart(left, top, right, bottom, part);
    if (bindImage)
        glBindTexture(GL_TEXTURE_2D, image);
    glBlendFunc(GL_ONE, GL_ONE);
    texturedPart(left, top, right, bottom, part);
}

// A texture's RGB texels, first row at t = 0; empty when it has none.
std::vector<uint8_t> texelsOf(GLuint texture, int& width, int& height) {
    width = height = 0;
    if (texture == 0)
        return {};
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return {};
    std::vector<uint8_t> texels(size_t(width) * size_t(height) * 3);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glPopClientAttrib();
    return texels;
}

void restoreProjection() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

} // namespace

Hud::Hud() : m_mapTimer(CreateTimer()), m_gemNoticeTimer(CreateTimer()) {}

Hud::~Hud() = default;

bool Hud::loadTextures() {
    struct Entry {
        GLuint* target;
        const char* file;
    };
    const Entry entries[] = {
        {&m_paletteMask, "Data/paletteMask.bmp"},
        {&m_redPalette, "Data/red_palette.bmp"},
        {&m_greenPalette, "Data/green_palette.bmp"},
        {&m_bluePalette, "Data/blue_palette.bmp"},
        {&m_crossHairMask, "Data/CrossHairMask.bmp"},
        {&m_lifeBarMask, "Data/lifeBarMask.bmp"},
        {&m_lifeBar, "Data/lifeBar.bmp"},
        {&m_crossHair, "Data/crossHair.bmp"},
        {&m_map, "Data/virav_map.bmp"},
        {&m_gemMask, "Data/gemMask.bmp"},
        {&m_gem, "Data/gem.bmp"},
    };
    bool any = false;
    for (const Entry& e : entries) {
        *e.target = loadImageTexture(e.file);
        any = any || *e.target != 0;
    }
    std::copy(WHOLE, WHOLE + 4, m_crossHairBounds);
    int maskWidth = 0, maskHeight = 0, imageWidth = 0, imageHeight = 0;
    const std::vector<uint8_t> mask = texelsOf(m_crossHairMask, maskWidth, maskHeight);
    const std::vector<uint8_t> image = texelsOf(m_crossHair, imageWidth, imageHeight);
    // Only a pair of one size is known to line up texel for texel.
    if (!mask.empty() && maskWidth == imageWidth && maskHeight == imageHeight)
        ChangingTexelBounds(mask.data(), image.data(), maskWidth, maskHeight, m_crossHairBounds);
    glBindTexture(GL_TEXTURE_2D, 0);
    return any;
}

void ChangingTexelBounds(const uint8_t* mask, const uint8_t* image, int width, int height,
                         float bounds[4]) {
    int lo[2] = {width, height}, hi[2] = {-1, -1};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
            const bool keeps = mask[i] == 255 && mask[i + 1] == 255 && mask[i + 2] == 255 &&
                               image[i] == 0 && image[i + 1] == 0 && image[i + 2] == 0;
            if (keeps)
                continue;
            lo[0] = std::min(lo[0], x);
            lo[1] = std::min(lo[1], y);
            hi[0] = std::max(hi[0], x);
            hi[1] = std::max(hi[1], y);
        }
    if (hi[0] < 0) {
        std::fill(bounds, bounds + 4, 0.0f);
        return;
    }
    // A sample blends the two texels nearest it along each axis: one within a texel of a
    // changing texel's centre may change the frame, and the margin holds that.
    constexpr int MARGIN = 2;
    const int size[2] = {width, height};
    for (int a = 0; a < 2; ++a) {
        bounds[a] = float(std::max(lo[a] - MARGIN, 0)) / float(size[a]);
        bounds[a + 2] = float(std::min(hi[a] + 1 + MARGIN, size[a])) / float(size[a]);
    }
}

bool Hud::ammoText(int32_t weapon, int32_t redAmmo, int32_t blueAmmo, char* text, int textSize,
                   float rgb[3]) {
    if (!text || textSize <= 0)
        return false;
    switch (weapon) {
    case 0:
        std::snprintf(text, size_t(textSize), "--");
        rgb[0] = 0.0f, rgb[1] = 1.0f, rgb[2] = 0.0f;
        return true;
    case 1:
        std::snprintf(text, size_t(textSize), "%d", redAmmo);
        rgb[0] = 1.0f, rgb[1] = 0.0f, rgb[2] = 0.0f;
        return true;
    case 2:
        std::snprintf(text, size_t(textSize), "%d", blueAmmo);
        rgb[0] = 0.0f, rgb[1] = 0.0f, rgb[2] = 1.0f;
        return true;
    default:
        text[0] = '\0';
        return false;
    }
}

void Hud::takeMapRequest() {
    // The map item of a menu asks for the map through the data layer's flag.
    if (g_showMapRequested) {
        m_showMap = true;
        g_showMapRequested = false;
    }
}

std::vector<float> Hud::enemyPositions() {
    std::vector<float> xz;
    if (!g_dataLayer)
        return xz;
    xz.reserve(g_dataLayer->m_enemyTable.size() * 2);
    for (const auto& entry : g_dataLayer->m_enemyTable) {
        xz.push_back(entry.second->x);
        xz.push_back(entry.second->z);
    }
    return xz;
}

void Hud::conversationStarted() {
    g_showMapRequested = false;
    m_showMap = false;
    m_mapReadingMs = 0.0;
}

void Hud::conversationEnded() {
    takeMapRequest();
    if (!m_showMap)
        return;
    m_mapReadingMs = MAP_READING_MS;
    if (m_mapTimer)
        m_mapTimer->Reset();
}

void Hud::drawMapOverBox() {
    takeMapRequest();
    if (!m_showMap)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT);
    {
        ScreenSpace screen;
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        drawMap(enemyPositions(), heroOnMap());
    }
    glPopAttrib();
}

void Hud::putMapAway() {
    g_showMapRequested = false;
    m_showMap = false;
    m_mapReadingMs = 0.0;
}

void Hud::gemsCollected(int32_t value) {
    if (value <= 0)
        return;
    m_gemNotice = gemNoticeNow() + value;
    if (m_gemNoticeTimer)
        m_gemNoticeTimer->Reset();
}

int32_t Hud::gemNoticeNow() {
    if (m_gemNotice > 0 && (!m_gemNoticeTimer || m_gemNoticeTimer->Elapsed() >= GEM_NOTICE_MS))
        m_gemNotice = 0;
    return m_gemNotice;
}

MapHero Hud::heroOnMap() {
    MapHero mark;
    if (!g_hero)
        return mark;
    const Vector p = g_hero->getPosition(), d = g_hero->getDirection();
    mark.known = true;
    mark.x = p.x;
    mark.z = p.z;
    const float length = std::sqrt(d.x * d.x + d.z * d.z);
    if (length > 1e-4f) {
        mark.facingX = d.x / length;
        mark.facingZ = d.z / length;
    }
    return mark;
}

HitEdge HitEdgeFor(const Vector& viewForward, const Vector& from) {
    const float fx = viewForward.x, fz = viewForward.z;
    if ((fx == 0.0f && fz == 0.0f) || (from.x == 0.0f && from.z == 0.0f))
        return HIT_EDGE_NONE;
    // Ahead and to the right (forward x up) of the view, unnormalised: only signs and the
    // larger of the two count.
    const float ahead = from.x * fx + from.z * fz;
    const float right = from.x * -fz + from.z * fx;
    if (std::fabs(ahead) >= std::fabs(right))
        return ahead > 0.0f ? HIT_EDGE_TOP : HIT_EDGE_BOTTOM;
    return right > 0.0f ? HIT_EDGE_RIGHT : HIT_EDGE_LEFT;
}

VillagePointer VillagePointerFor(const Vector& viewForward, float heroX, float heroZ,
                                 float villageX, float villageZ, float hideWithin) {
    VillagePointer pointer;
    const float fx = viewForward.x, fz = viewForward.z;
    const float tx = villageX - heroX, tz = villageZ - heroZ;
    if ((fx == 0.0f && fz == 0.0f) || !(std::hypot(tx, tz) > hideWithin))
        return pointer;
    // Ahead and to the right as HitEdgeFor counts them.
    const float ahead = tx * fx + tz * fz;
    const float right = tx * -fz + tz * fx;
    pointer.shown = true;
    pointer.bearing = std::atan2(right, ahead);
    return pointer;
}

void VillagePointerPlace(float bearing, float& x, float& y) {
    // An oval well inside the rim: the top middle is free, the sides are mostly free; the
    // corners hold the gem count, the life bar and the palette, which the oval passes inside.
    constexpr float RX = 300.0f, RY = 235.0f;
    x = 400.0f + RX * std::sin(bearing);
    y = 300.0f - RY * std::cos(bearing);
}

void Hud::drawVillagePointer(const VillagePointer& pointer) {
    if (!pointer.shown)
        return;
    float x, y;
    VillagePointerPlace(pointer.bearing, x, y);
    const float dx = std::sin(pointer.bearing), dy = -std::cos(pointer.bearing); // outward
    const float sx = -dy, sy = dx;                                               // aside
    ScreenSpace screen;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Small and a little see-through, shaped as the map's "You" arrow (notched at the back,
    // so that its way reads at a glance): a dark rim, then pale gold.
    auto arrow = [&](float ahead, float behind, float half) {
        notchedArrow(x, y, dx, dy, sx, sy, ahead, behind, half);
    };
    glBegin(GL_TRIANGLES);
    glColor4f(0.1f, 0.05f, 0.0f, 0.7f);
    arrow(18.0f, 12.0f, 11.0f);
    glColor4f(1.0f, 0.9f, 0.4f, 0.9f);
    arrow(14.0f, 8.0f, 7.0f);
    glEnd();
    glPopAttrib();
}

void Hud::drawHitMark(HitEdge edge, float strength) {
    const float alpha = hitMarkAlpha(strength);
    if (edge == HIT_EDGE_NONE || !(alpha > 0.0f))
        return;
    // Along the edge, across it (into the screen) and the edge's middle: the band covers the
    // middle three fifths, solid for BAND deep, then glowing out to GLOW; the arrowhead sits
    // inside the band, its tip on the band pointing out to where the hit came from.
    constexpr float BAND = 18.0f, GLOW = 44.0f, HEAD_BASE = 78.0f, HEAD_HALF = 50.0f;
    constexpr float BORDER = 14.0f;
    const bool across = edge == HIT_EDGE_LEFT || edge == HIT_EDGE_RIGHT;
    const float length = across ? 600.0f : 800.0f;
    const float from = length * 0.2f, to = length * 0.8f, middle = length * 0.5f;
    // A point `along` the edge and `in` pixels into the screen from it.
    auto point = [edge](float along, float in) {
        switch (edge) {
        case HIT_EDGE_TOP:
            glVertex2f(along, in);
            break;
        case HIT_EDGE_BOTTOM:
            glVertex2f(along, 600.0f - in);
            break;
        case HIT_EDGE_LEFT:
            glVertex2f(in, along);
            break;
        default:
            glVertex2f(800.0f - in, along);
            break;
        }
    };
    const float* red = HIT_RED;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE); // the quads wind either way
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glShadeModel(GL_SMOOTH);

    // Any hit reddens the whole border a little, whichever side it came from.
    glBegin(GL_QUADS);
    const float corners[5][2] = {{0, 0}, {800, 0}, {800, 600}, {0, 600}, {0, 0}};
    const float inner[5][2] = {{BORDER, BORDER},
                               {800 - BORDER, BORDER},
                               {800 - BORDER, 600 - BORDER},
                               {BORDER, 600 - BORDER},
                               {BORDER, BORDER}};
    for (int i = 0; i < 4; ++i) {
        glColor4f(red[0], red[1], red[2], 0.6f * alpha);
        glVertex2fv(corners[i]);
        glVertex2fv(corners[i + 1]);
        glColor4f(red[0], red[1], red[2], 0.0f);
        glVertex2fv(inner[i + 1]);
        glVertex2fv(inner[i]);
    }
    // The band on the hit's side, solid, then its glow.
    glColor4f(red[0], red[1], red[2], alpha);
    point(from, 0.0f);
    point(to, 0.0f);
    point(to, BAND);
    point(from, BAND);
    point(from, BAND);
    point(to, BAND);
    glColor4f(red[0], red[1], red[2], 0.0f);
    point(to, GLOW);
    point(from, GLOW);
    glEnd();
    // The arrowhead: a dark rim, then the red.
    glColor4f(0.25f, 0.0f, 0.0f, alpha);
    glBegin(GL_TRIANGLES);
    point(middle, BAND - 6.0f);
    point(middle - HEAD_HALF - 9.0f, HEAD_BASE + 4.0f);
    point(middle + HEAD_HALF + 9.0f, HEAD_BASE + 4.0f);
    glColor4f(red[0], red[1], red[2], alpha);
    point(middle, BAND);
    point(middle - HEAD_HALF, HEAD_BASE);
    point(middle + HEAD_HALF, HEAD_BASE);
    glEnd();
    glPopAttrib();
}

void Hud::draw() {
    takeMapRequest();
    const bool talking = g_gameState == STATE_CONVERSATION;
    if (!talking && m_mapReadingMs > 0.0 &&
        (!m_mapTimer || m_mapTimer->Elapsed() >= m_mapReadingMs)) {
        m_showMap = false;
        m_mapReadingMs = 0.0;
    }
    if (!g_hero)
        return;
    HudValues v;
    v.weapon = g_hero->m_weapon;
    v.crossHair = g_hero->m_aiming;
    v.redAmmo = g_hero->m_redAmmo;
    v.blueAmmo = g_hero->m_blueAmmo;
    v.gems = g_hero->m_gems;
    v.life = g_dataLayer ? g_dataLayer->playerLife() : 0;
    v.map = m_showMap && !talking;
    if (v.map) {
        v.enemyXZ = enemyPositions();
        v.mapHero = heroOnMap();
    }
    v.talkTo = talkName();
    v.paused = g_gameState == STATE_PLAY && g_hero->m_paused;
    v.hitMark = g_hero->hitMarkStrength();
    Vector view = g_hero->m_direction;
    if (g_camera)
        view = g_camera->isFollowing() ? g_camera->getLookAt() - g_camera->getPosition()
                                       : g_camera->getDirection();
    if (v.hitMark > 0.0f)
        v.hitEdge = HitEdgeFor(view, g_hero->m_hitFrom);
    float villageX, villageZ;
    if (!talking && g_dataLayer && g_dataLayer->villageMiddle(villageX, villageZ)) {
        const Vector at = g_hero->getPosition();
        v.village = VillagePointerFor(view, at.x, at.z, villageX, villageZ,
                                      g_dataLayer->villageRadius() + VILLAGE_POINTER_BEYOND);
    }
    v.gemNotice = gemNoticeNow();
    drawValues(v);
}

void Hud::drawValues(const HudValues& v) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 800.0, 600.0, 0.0, 0.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    GLuint palette = 0;
    bool known = true;
    switch (v.weapon) {
    case 0:
        palette = m_greenPalette;
        break;
    case 1:
        palette = m_redPalette;
        break;
    case 2:
        palette = m_bluePalette;
        break;
    default:
        known = false; // an unknown gun keeps the mask bound
    }
    maskedQuad(m_paletteMask, palette, known, 670.0f, 470.0f, 780.0f, 580.0f);
    if (v.crossHair)
        maskedQuad(m_crossHairMask, m_crossHair, true, 0.0f, 0.0f, 800.0f, 600.0f,
                   m_crossHairBounds);
    maskedQuad(m_gemMask, m_gem, true, 610.0f, 20.0f, 720.0f, 100.0f);
    maskedQuad(m_lifeBarMask, m_lifeBar, true, 0.0f, 450.0f, 100.0f, 600.0f);

    if (v.map)
        drawMap(v.enemyXZ, v.mapHero, MAP_IN_CORNER);
    drawHitMark(v.hitEdge, v.hitMark);

    if (m_fading) {
        drawFade();
        restoreProjection();
        return;
    }

    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 0.0f, 0.0f, 0.7f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The fill stays inside its frame whatever the record says.
    const float top = lifeFillTop(std::clamp(v.life, 0, 100));
    glBegin(GL_QUADS);
    glVertex2f(40.0f, top);
    glVertex2f(40.0f, 570.0f);
    glVertex2f(59.0f, 570.0f);
    glVertex2f(59.0f, top);
    glEnd();

    drawVillagePointer(v.village);

    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    restoreProjection();

    if (!m_font)
        m_font = std::make_unique<BitmapFont>("Arial", 28);
    char text[32];
    float rgb[3];
    if (ammoText(v.weapon, v.redAmmo, v.blueAmmo, text, sizeof text, rgb)) {
        m_font->setPosition(717.0f, 533.0f);
        m_font->setColor(rgb[0], rgb[1], rgb[2]);
        printText(m_font.get(), "%s", text);
    }
    m_font->setPosition(710.0f, 65.0f);
    m_font->setColor(0.0f, 0.0f, 1.0f);
    printText(m_font.get(), "X %d", v.gems);
    drawWords(v);
}

std::string Hud::talkName() {
    if (!g_hero || !g_dataLayer || g_gameState != STATE_PLAY)
        return std::string();
    const Npc* npc = PickTalkPartner(g_hero->getPosition(), g_hero->getDirection());
    return npc ? g_dataLayer->npcName(npc->m_id) : std::string();
}

void Hud::drawWords(const HudValues& v) {
    if (!m_hintFont)
        m_hintFont = std::make_unique<BitmapFont>("Arial", 20);
    // Dark under light, a pixel apart, so the words read on grass, water and sky alike.
    auto shadowed = [](BitmapFont* font, float x, float y, const std::string& text) {
        const float r = font->m_red, g = font->m_green, b = font->m_blue;
        font->setColor(0.0f, 0.0f, 0.0f);
        font->setPosition(x + 2.0f, y + 2.0f);
        printText(font, "%s", text.c_str());
        font->setColor(r, g, b);
        font->setPosition(x, y);
        printText(font, "%s", text.c_str());
    };
    if (v.paused) {
        m_font->setColor(1.0f, 1.0f, 1.0f);
        shadowed(m_font.get(), 352.0f, 240.0f, "Paused");
        m_hintFont->setColor(1.0f, 1.0f, 1.0f);
        shadowed(m_hintFont.get(), 322.0f, 270.0f, "Press P to go on");
    } else if (!v.talkTo.empty()) {
        // Centred by a rough width: about 11 pixels a letter at this size.
        const std::string text = "Press T to talk to " + v.talkTo;
        m_hintFont->setColor(1.0f, 1.0f, 0.8f);
        shadowed(m_hintFont.get(), 400.0f - 5.5f * float(text.size()), 585.0f, text);
    }
    if (v.gemNotice > 0) {
        // Under the gem count, which it adds to.
        char text[32];
        std::snprintf(text, sizeof text, "+%d gems", int(v.gemNotice));
        m_font->setColor(1.0f, 0.9f, 0.2f);
        shadowed(m_font.get(), 650.0f, 135.0f, text);
    }
    if (v.village.shown) {
        // Beside the arrow on the screen's side: under it in the upper half, over it below.
        float x, y;
        VillagePointerPlace(v.village.bearing, x, y);
        const float lx = std::clamp(x - 30.0f, 110.0f, 630.0f);
        const float ly = y < 300.0f ? y + 36.0f : y - 22.0f;
        m_hintFont->setColor(1.0f, 0.9f, 0.4f);
        shadowed(m_hintFont.get(), lx, ly, "Village");
    }
    if (v.map) {
        m_hintFont->setColor(1.0f, 1.0f, 0.8f);
        const MapRect& r = MAP_IN_CORNER;
        shadowed(m_hintFont.get(), r.left + 4.0f, r.top + r.size + 22.0f,
                 "Press M to put the map away");
    }
}

void Hud::drawMap(const std::vector<float>& enemyXZ, const MapHero& hero, const MapRect& rect) {
    const float left = rect.left, top = rect.top, right = left + rect.size,
                bottom = top + rect.size;
    const float scale = rect.size / MAP_OVER_BOX.size;
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, m_map);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    texturedQuad(left, top, right, bottom);

    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_QUADS);
    for (size_t i = 0; i + 1 < enemyXZ.size(); i += 2) {
        float mx, my;
        mapDot(enemyXZ[i], enemyXZ[i + 1], mx, my, rect);
        const float dot = std::max(3.0f, 5.0f * scale);
        glVertex2f(mx, my);
        glVertex2f(mx, my + dot);
        glVertex2f(mx + dot, my + dot);
        glVertex2f(mx + dot, my);
    }
    glEnd();
    if (hero.known) {
        // "You are here": a yellow arrow in a dark rim, pointing the hero's way (the map's
        // x and y run with the world's x and z), kept on the map.
        float mx, my;
        mapDot(hero.x, hero.z, mx, my, rect);
        mx = std::clamp(mx, left + 10.0f * scale, right - 10.0f * scale);
        my = std::clamp(my, top + 10.0f * scale, bottom - 10.0f * scale);
        const float fx = hero.facingX, fy = hero.facingZ; // ahead
        const float sx = -fy, sy = fx;                    // aside
        auto arrow = [&](float ahead, float behind, float half) {
            notchedArrow(mx, my, fx, fy, sx, sy, ahead, behind, half);
        };
        glPushAttrib(GL_POLYGON_BIT);
        glDisable(GL_CULL_FACE);
        glBegin(GL_TRIANGLES);
        glColor3f(0.1f, 0.05f, 0.0f);
        arrow(19.0f * scale, 13.0f * scale, 13.0f * scale);
        glColor3f(1.0f, 0.9f, 0.1f);
        arrow(14.0f * scale, 9.0f * scale, 9.0f * scale);
        glEnd();
        glPopAttrib();
        if (!m_hintFont)
            m_hintFont = std::make_unique<BitmapFont>("Arial", 20);
        // The label on the side away from the map's right edge.
        const float lx = mx < right - 50.0f ? mx + 17.0f * scale : mx - 40.0f - 15.0f * scale;
        m_hintFont->setColor(0.0f, 0.0f, 0.0f);
        m_hintFont->setPosition(lx + 1.0f, my + 19.0f);
        printText(m_hintFont.get(), "You");
        m_hintFont->setColor(1.0f, 0.9f, 0.1f);
        m_hintFont->setPosition(lx, my + 18.0f);
        printText(m_hintFont.get(), "You");
    }
    // The masked passes after the map expect textures and blending back on.
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
}

void Hud::drawFade() {
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDepthFunc(GL_ALWAYS);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, m_fadeAlpha);
    glBegin(GL_QUADS);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(0.0f, 600.0f);
    glVertex2f(800.0f, 600.0f);
    glVertex2f(800.0f, 0.0f);
    glEnd();
    glPopAttrib();
    glPopMatrix();
    m_fadeAlpha += 0.02f;
}
