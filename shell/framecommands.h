// The frame commands: once a frame, after the swap, poll the keyboard and mouse and act
// for the current state: skip the intro, click the title menu, leave game over and the
// credits, step through a conversation, steer the hero. Edge-triggered keys keep one-byte
// latches so that a held key acts once; movement, jump and talk act while held.
// Everything here is cheap; starting the level (Play Game) is the one expensive action.
#pragma once

#include <cstdint>

class Vector;
struct NpcMenu;

void FrameCommands();
// The character in reach that the hero faces most (PickTalkPartner), into g_talkPartner
// (null if none).
void FindTalkPartner();
// Keeps a position inside the world rectangle; when it had to move it, places the object
// (251 hero, 252 boss, else its table slot) there and runs its update once.
void ClampToWorld(Vector& position, int32_t identifier);

// The conversation step: 0 greeting heard, 1 replies on show, 2 answer heard.
extern int32_t g_talkStep;
int32_t ConversationStep();
// The answer voice for a partner and an outcome, and the voices that may still be playing
// (stopped first, at most one); 0 when the outcome plays nothing.
int32_t AnswerVoice(const char* partner, int32_t outcome, int32_t checked[4], int32_t& count);
// Carries out the menu's selected item for the hero and the talk partner: bread (life), blue
// frost charges and red shells at ten gems each, or the map. A trade the hero lacks the gems
// for sets `selected` to -1; one he has no room for (full life, a full gun) also sets
// `fullReply`, and nothing is sold. Does nothing without a hero, a talk partner or a level.
void ChooseMenuItem(NpcMenu& menu);
// The reply to a purchase the hero has no room for.
constexpr const char* FULL_LIFE_REPLY = "You are already full of life. Keep your gems.";
constexpr const char* FULL_GUN_REPLY = "Your gun is already full. Keep your gems.";
// Clears every latch (tests, a new game).
void ResetFrameCommandLatches();
