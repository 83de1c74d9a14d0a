#include "support/contextguard.h"

#include <algorithm>

namespace {

ContextGuard* s_innermost = nullptr;

void answerInto(std::vector<ShownBox>& boxes) {
    SetMessageBoxResponder(
        [&boxes](const std::string& text, const std::string& title, MessageBoxButtons) {
            boxes.push_back({text, title});
            return MessageBoxAnswer::Ok;
        });
}

} // namespace

ContextGuard::ContextGuard()
    : m_gameState(g_gameState), m_sound(g_sound), m_cutsceneSound(g_cutsceneSound), m_hero(g_hero),
      m_boss(g_boss), m_dataLayer(g_dataLayer), m_terrain(g_terrain), m_skyBox(g_skyBox),
      m_water(g_water), m_camera(g_camera), m_light(g_light), m_collisionWorld(g_collisionWorld),
      m_projectiles(g_projectiles), m_frustum(g_frustum), m_frameRate(g_frameRate), m_font(g_font),
      m_hud(g_hud), m_fountain(g_fountain), m_gemCount(g_gemCount),
      m_startCountdown(g_startCountdown), m_titleGlow(g_titleGlow), m_talkPartner(g_talkPartner),
      m_outer(s_innermost) {
    std::copy(std::begin(g_objectTable), std::end(g_objectTable), m_objectTable);
    std::copy(std::begin(g_gems), std::end(g_gems), m_gems);
    s_innermost = this;
    answerInto(m_boxes);
}

ContextGuard::~ContextGuard() {
    g_gameState = m_gameState;
    g_sound = m_sound;
    g_cutsceneSound = m_cutsceneSound;
    g_hero = m_hero;
    g_boss = m_boss;
    std::copy(std::begin(m_objectTable), std::end(m_objectTable), g_objectTable);
    g_dataLayer = m_dataLayer;
    g_terrain = m_terrain;
    g_skyBox = m_skyBox;
    g_water = m_water;
    g_camera = m_camera;
    g_light = m_light;
    g_collisionWorld = m_collisionWorld;
    g_projectiles = m_projectiles;
    g_frustum = m_frustum;
    g_frameRate = m_frameRate;
    g_font = m_font;
    g_hud = m_hud;
    g_fountain = m_fountain;
    std::copy(std::begin(m_gems), std::end(m_gems), g_gems);
    g_gemCount = m_gemCount;
    g_startCountdown = m_startCountdown;
    g_titleGlow = m_titleGlow;
    g_talkPartner = m_talkPartner;
    s_innermost = m_outer;
    if (m_outer)
        answerInto(m_outer->m_boxes);
    else
        SetMessageBoxResponder(nullptr);
}
