// Npc: a non-player character that walks its AI's path and talks to the hero through
// the old-paper box. Drawn like a Character without tint or effect. The conversation
// stages (drawChat, drawMenu, drawReply) and the box come with the dialogue work; for
// now update runs gravity, the ground clamp and the animation queue.
#pragma once

#include "objects/modelobject.h"

#include <cstdint>

class BitmapFont;
struct AIDecision;

class Npc : public ModelObject {
public:
    Npc();
    ~Npc() override;

    void draw() override;
    void update() override;
    void onHit(int32_t, int32_t, int32_t, const Vector&) override {}

    BitmapFont* m_font = nullptr;     // owned once the fonts exist ("Times New Roman", 20)
    unsigned int m_maskTexture = 0;   // "Data/oldPaperMask.bmp"
    unsigned int m_paperTexture = 0;  // "Data/oldPaper.bmp"
    AIDecision* m_decision = nullptr; // the AI's record, refreshed each frame
    double m_invulnerableMs = 0.0;
};
