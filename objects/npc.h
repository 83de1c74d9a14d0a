// Npc: a non-player character. It walks where its path AI points, and talks to the
// hero through the old-paper box in three stages: the chat line (drawChat), the menu
// of answers with the selected one in red (drawMenu) and the reply (drawReply). The
// texts live in the data layer's NpcData / NpcMenu, read by the character's id.
//
// Costs: update is a handful of vector operations plus the model's blend step; each
// stage draw is two textured quads and at most seven short texts. The box textures and
// the font are made once, when the GL context exists (loadDialogueResources, run by
// the first stage draw if nobody ran it before). Nothing here checks that the
// texts fit the box: long lines run off to the right.
//
// Not guaranteed: the stage draws do not reset GL state they did not change, and they
// leave the projection as it was. Without a data layer or a record the stages draw
// only the box.
#pragma once

#include "objects/modelobject.h"

#include <GL/gl.h>
#include <cstdint>
#include <memory>
#include <string>

class BitmapFont;
struct NpcMenu;
struct AIDecision;

// Talking distance: a character closer than this to the hero can be talked to. At 20 most
// of a newcomer's presses of the talk key came from just too far and did nothing.
constexpr float NPC_TALK_DISTANCE = 32.0f;
// A walking character stops while the hero is within talking distance: one offered to talk
// stays in reach while the hero stands still, and none walks into the hero. He turns to him
// by 1/NPC_TURN_TO_HERO of the gap a frame.
constexpr float NPC_TURN_TO_HERO = 20.0f;
// What turning round to a character counts for, in distance, when the talk key picks
// among several: one straight ahead wins over one beside the hero up to this much nearer.
constexpr float NPC_TURN_COST = 10.0f;

class Npc : public ModelObject {
public:
    Npc();
    ~Npc() override;

    // As Character drawing without tint or effect: visible/shadow handling and the model.
    void draw() override;
    // Gravity, knockback and ground as a Character; then eases the facing toward the AI
    // decision's target (1/2000 of the gap a frame), walks toward it at m_speed and keeps
    // the walk steps queued. While the hero is within NPC_TALK_DISTANCE he stands instead,
    // turning to the hero.
    void update() override;
    void onHit(int32_t, int32_t, int32_t, const Vector&) override {}

    // Loads "Data/oldPaperMask.bmp", "Data/oldPaper.bmp", the "Times New Roman" 20 font
    // and the speaker's name font. Needs a current GL context; safe to call more than once (loads
    // once).
    void loadDialogueResources();

    // The box: the mask multiplied over the frame, then the paper added, on (0,0)-(700,300)
    // of an 800 by 600 top-left space. Restores depth test, blending, texturing and the
    // projection.
    void drawPaper();
    // Every stage heads the box with the speaker's name (the level file's) in a larger face,
    // its baseline at (SPEAKER_X, SPEAKER_Y), above the texts.
    static constexpr float SPEAKER_X = 130.0f, SPEAKER_Y = 80.0f;
    // Stage 0: turns to face the hero, the box, the chat line (scared or normal) at (140, 145).
    void drawChat();
    // Stage 1: a negative selection becomes 0; the box, the title at (130, 115) and item i at
    // (153, 115 + 23 (i + 1)), red (1, 0, 0) when selected, else (0.4, 0.5, 0.7).
    void drawMenu();
    // Stage 2: the box and the selected item's reply at (130, 145), or the negative reply
    // when the selection is -1 (below -1 counts as item 0).
    void drawReply();

    // The text drawReply shows for a menu (no GL); empty for a null menu or a selection
    // past the items.
    static std::string replyText(const NpcMenu* menu);
    // drawMenu's selection rule: what a selection of `selected` shows as chosen.
    static int32_t shownSelection(int32_t selected) { return selected < 0 ? 0 : selected; }

    // The AI decision from the data layer, refreshed each update (null without a record).
    AIDecision* m_decision = nullptr;
    std::unique_ptr<BitmapFont> m_font;     // "Times New Roman", 20, at (50, 550), (0.1, 1, 0.6)
    std::unique_ptr<BitmapFont> m_nameFont; // "Times New Roman", 28: the speaker's name
    GLuint m_maskTexture = 0;               // "Data/oldPaperMask.bmp"
    GLuint m_paperTexture = 0;              // "Data/oldPaper.bmp"
    GLenum m_dialogueLight = GL_LIGHT5;     // on only while the box is drawn
    bool m_resourcesLoaded = false;
    double m_invulnerableMs = 0.0;

private:
    void drawLitPaper();
    // The hero is within talking distance (the talk key's measure).
    bool heroWaiting() const;
    // Prints one line in a colour through the character's font (nothing without a font).
    void printAt(float x, float y, float r, float g, float b, const std::string& text);
};

// The character the talk key picks for a hero at `from` facing `facing`: of those the data
// layer calls characters (kind 5) closer than NPC_TALK_DISTANCE, the one with the least
// distance + NPC_TURN_COST * (1 - cosine of the ground angle between the facing and the
// way to him); the lower slot on a tie. Null when none is in reach. The HUD names this one.
Npc* PickTalkPartner(const Vector& from, const Vector& facing);

// The character the hero is talking to (shell/gamecontext.cpp); null outside a talk.
extern Npc* g_talkPartner;
