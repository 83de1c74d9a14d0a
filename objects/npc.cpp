#include "objects/npc.h"

#include "ai/aidecision.h"
#include "hud/bitmapfont.h"
#include "hud/screenspace.h"
#include "level/levelfile.h"
#include "level/qrvdatalayer.h"
#include "models/texture.h"
#include "objects/character.h"
#include "objects/player.h"
#include "objects/poses.h"
#include "platform/timer.h"
#include "world/terrain.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// How many characters of the dialogue font fit one line of the box (text starts at
// x 130 to 153, the paper ends at 700).
constexpr size_t BOX_LINE_CHARS = 58;
constexpr float BOX_LINE_STEP = 23.0f;

// Splits a text into lines that fit the box, at spaces where it can and at line breaks.
std::vector<std::string> wrapLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    size_t i = 0;
    while (i <= text.size()) {
        size_t end = text.find_first_of(" \n", i);
        if (end == std::string::npos)
            end = text.size();
        std::string word = text.substr(i, end - i);
        while (word.size() > BOX_LINE_CHARS) { // a word longer than a line is cut
            if (!line.empty()) {
                lines.push_back(line);
                line.clear();
            }
            lines.push_back(word.substr(0, BOX_LINE_CHARS));
            word.erase(0, BOX_LINE_CHARS);
        }
        if (!line.empty() && line.size() + 1 + word.size() > BOX_LINE_CHARS) {
            lines.push_back(line);
            line.clear();
        }
        if (!word.empty())
            line += (line.empty() ? "" : " ") + word;
        if (end < text.size() && text[end] == '\n') {
            lines.push_back(line);
            line.clear();
        }
        i = end + 1;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

} // namespace

Npc::Npc() {
    setShadowPeriod(1);
}

Npc::~Npc() = default;

void Npc::loadDialogueResources() {
    if (m_resourcesLoaded)
        return;
    m_resourcesLoaded = true;
    m_maskTexture = loadImageTexture("Data/oldPaperMask.bmp");
    m_paperTexture = loadImageTexture("Data/oldPaper.bmp");
    m_font = std::make_unique<BitmapFont>("Times New Roman", 20);
    m_font->setPosition(50.0f, 550.0f);
    m_font->setColor(0.1f, 1.0f, 0.6f);
    m_nameFont = std::make_unique<BitmapFont>("Times New Roman", 28);
}

void Npc::draw() {
    Character::drawFigure(*this, nullptr);
}

bool Npc::heroWaiting() const {
    if (!g_hero)
        return false;
    // The same measure as the talk key's, so that the prompt and the stop agree.
    return (g_hero->getPosition() - m_position).length() < NPC_TALK_DISTANCE;
}

void Npc::update() {
    const double dt = Character::moveAndFall(*this, m_invulnerableMs);
    if (dt < 0.0)
        return;

    // Only a character the data layer knows has a decision; the others stand.
    m_decision = (g_dataLayer && m_id >= 0 && g_dataLayer->kindOf(m_id) == KIND_NPC)
                     ? g_dataLayer->aiDecisionOf(m_id)
                     : nullptr;
    AnimationQueue& queue = *m_animationQueue;
    if (m_decision && heroWaiting()) {
        // The hero has come to him: he stops where he is, in reach of the talk key and
        // out of the hero's way, and turns to him. His round goes on once the hero leaves.
        Vector toHero = g_hero->getPosition() - m_position;
        toHero.y = 0.0f;
        toHero.normalize();
        Vector facing = m_direction + (toHero - m_direction) / NPC_TURN_TO_HERO;
        facing.y = 0.0f;
        if (!facing.isZero()) {
            facing.normalize();
            setDirection(facing);
        }
        const int32_t front = queue.frontId();
        if (front == VILLAGER_WALK_RIGHT || front == VILLAGER_WALK_LEFT)
            queue.clear(); // an empty queue settles into the idle pose
    } else {
        if (m_decision) {
            Vector toTarget = m_decision->m_target - m_position;
            toTarget.y = 0.0f;
            if (!toTarget.isZero()) {
                Vector facing = m_direction + (toTarget - m_direction) / 2000.0f;
                facing.normalize();
                setDirection(facing);
                Vector step = toTarget;
                step.normalize();
                m_position = m_position + step * float(m_speed * dt / 1000.0);
                keepOnLand(m_position.x, m_position.z);
            }
        }
        if (queue.isEmpty()) {
            queue.push(VILLAGER_WALK_RIGHT, 300.0);
            queue.push(VILLAGER_WALK_LEFT, 300.0);
        }
        if (m_velocity.y > -10.0f && m_velocity.y < 10.0f)
            queue.push(queue.backId() == VILLAGER_WALK_RIGHT ? VILLAGER_WALK_LEFT
                                                             : VILLAGER_WALK_RIGHT,
                       300.0); // refused when full
    }
    if (m_keyframeAnimated)
        m_model->updateAnimation();
    advanceAnimation();
}

void Npc::printAt(float x, float y, float r, float g, float b, const std::string& text) {
    if (!m_font)
        return;
    m_font->setPosition(x, y);
    m_font->setColor(r, g, b);
    printText(m_font.get(), "%s", text.c_str());
}

void Npc::drawPaper() {
    loadDialogueResources();
    ScreenSpace screen;
    const GLboolean depth = glIsEnabled(GL_DEPTH_TEST);
    const GLboolean blend = glIsEnabled(GL_BLEND);
    const GLboolean texture = glIsEnabled(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    auto quad = [] {
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(0.0f, 0.0f);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(0.0f, 300.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(700.0f, 300.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(700.0f, 0.0f);
        glEnd();
    };
    glBindTexture(GL_TEXTURE_2D, m_maskTexture);
    glBlendFunc(GL_DST_COLOR, GL_ZERO); // darkens the world where the paper's shape is
    quad();
    glBindTexture(GL_TEXTURE_2D, m_paperTexture);
    glBlendFunc(GL_ONE, GL_ONE); // the paper itself, added into the dark shape
    quad();

    if (depth)
        glEnable(GL_DEPTH_TEST);
    if (!blend)
        glDisable(GL_BLEND);
    if (!texture)
        glDisable(GL_TEXTURE_2D);
}

void Npc::drawLitPaper() {
    // The light is on only while the box is drawn, so the world keeps its own light.
    glEnable(m_dialogueLight);
    drawPaper();
    glDisable(m_dialogueLight);
    // Who speaks heads every stage, so that the player learns the villagers' names.
    const std::string name = g_dataLayer && m_id >= 0 ? g_dataLayer->npcName(m_id) : std::string();
    if (!name.empty() && m_nameFont) {
        m_nameFont->setPosition(SPEAKER_X, SPEAKER_Y);
        m_nameFont->setColor(0.45f, 0.1f, 0.05f);
        printText(m_nameFont.get(), "%s", name.c_str());
    }
}

void Npc::drawChat() {
    if (g_hero) {
        Vector toHero = g_hero->getPosition() - m_position;
        setDirection(toHero);
    }
    drawLitPaper();
    std::string text = g_dataLayer && m_id >= 0 ? g_dataLayer->chatText(m_id) : std::string();
    float y = 145.0f;
    for (const std::string& line : wrapLines(text)) {
        printAt(140.0f, y, 0.0f, 0.0f, 0.0f, line);
        y += BOX_LINE_STEP;
    }
}

void Npc::drawMenu() {
    NpcMenu* menu = g_dataLayer && m_id >= 0 ? g_dataLayer->npcMenu(m_id) : nullptr;
    if (menu && menu->selected < 0)
        menu->selected = 0;
    drawLitPaper();
    if (!menu)
        return;
    printAt(130.0f, 115.0f, 0.0f, 0.0f, 0.0f, menu->title);
    const int32_t count = std::clamp(menu->count, 0, 5);
    for (int32_t i = 0; i < count; ++i) {
        const float y = 115.0f + 23.0f * float(i + 1);
        if (i == menu->selected)
            printAt(153.0f, y, 1.0f, 0.0f, 0.0f, menu->items[i].text);
        else
            printAt(153.0f, y, 0.4f, 0.5f, 0.7f, menu->items[i].text);
    }
}

std::string Npc::replyText(const NpcMenu* menu) {
    if (!menu)
        return std::string();
    if (menu->selected == -1)
        return menu->fullReply ? std::string(menu->fullReply) : menu->negativeReply;
    const int32_t shown = shownSelection(menu->selected);
    if (shown >= std::clamp(menu->count, 0, 5))
        return std::string();
    return menu->items[shown].reply;
}

void Npc::drawReply() {
    NpcMenu* menu = g_dataLayer && m_id >= 0 ? g_dataLayer->npcMenu(m_id) : nullptr;
    drawLitPaper();
    float y = 145.0f;
    for (const std::string& line : wrapLines(replyText(menu))) {
        printAt(130.0f, y, 0.0f, 0.0f, 0.0f, line);
        y += BOX_LINE_STEP;
    }
}

Npc* PickTalkPartner(const Vector& from, const Vector& facing) {
    if (!g_dataLayer)
        return nullptr;
    Vector ahead(facing.x, 0.0f, facing.z);
    if (!ahead.isZero())
        ahead.normalize();
    Npc* best = nullptr;
    float bestCost = 0.0f;
    for (int32_t slot = 0; slot < OBJECT_TABLE_SIZE; ++slot) {
        SceneObject* object = g_objectTable[slot];
        if (!object || g_dataLayer->kindOf(slot) != KIND_NPC)
            continue;
        auto* npc = dynamic_cast<Npc*>(object);
        if (!npc)
            continue;
        const Vector to = npc->getPosition() - from;
        const float distance = to.length();
        if (!(distance < NPC_TALK_DISTANCE))
            continue;
        Vector flatTo(to.x, 0.0f, to.z);
        float turn = 1.0f; // one standing on the hero counts as beside him
        if (!flatTo.isZero() && !ahead.isZero()) {
            flatTo.normalize();
            turn = 1.0f - ahead.dot(flatTo);
        }
        const float cost = distance + NPC_TURN_COST * turn;
        if (!best || cost < bestCost) {
            best = npc;
            bestCost = cost;
        }
    }
    return best;
}
