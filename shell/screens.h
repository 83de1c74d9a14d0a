// The non-play screens: the title menu with its glowing cursor ball (state 0), the
// conversation overlay over the play frame (state 5), game over (state 6) and the credits
// roll (state 7). The keys and clicks that leave them belong to the frame commands.
//
// Costs: the title frame draws two models, one shadow pass, a flare of 1000 particles
// and two words; the credits frame two actors and one line. Nothing here loads files
// except SetUpTitle (two models, a texture, the sound manager's 37 files).
#pragma once

#include <cstdint>

class ModelObject;
class FlareEffect;
struct GLUquadric;

extern ModelObject* g_titleModel;
extern ModelObject* g_titleBackdrop;
extern FlareEffect* g_titleFlare;
extern GLUquadric* g_cursorBall;

// Builds the title screen (models, light, ball at rest on "Play Game", font, a new sound
// manager with the title tune, the flare); returns true.
bool SetUpTitle();
// Shows the sound manager the game's world: the hero's position (g_hero) and a random
// enemy's from the level's data layer (g_dataLayer). The title set-up does this before it
// starts the manager.
void InstallSoundHooks();
// Destroys the title's models, flare and ball (leaving the title for play or quitting).
void ReleaseTitle();

void TitleFrame();
void ConversationOverlay();
void GameOverFrame();
void CreditsFrame();

// The title menu's words as the cursor clicks them (cursor coordinates, origin bottom left):
// "Play Game" is x 440 to 800, y 140 to 220; "Quit" x 510 to 670, y 20 to 95, which covers
// the word where it is drawn (the ball, drawn in perspective, sits over the drawn words when
// the cursor is inside these).
bool OnPlayGame(float cx, float cy);
bool OnQuit(float cx, float cy);
// Where the ball rests each time the title opens, whatever the mouse did before: on
// "Play Game", the top entry, right of its words so that they stay readable.
constexpr float TITLE_REST_X = 770.0f, TITLE_REST_Y = 180.0f;
// Where the keys put the ball on "Quit", right of the word the same way.
constexpr float TITLE_QUIT_X = 645.0f, TITLE_QUIT_Y = 62.0f;

enum TitleItem { TITLE_NOTHING, TITLE_PLAY_GAME, TITLE_QUIT };
// The item a click with the cursor at (cx, cy) picks.
TitleItem TitleItemAt(float cx, float cy);
// The item Enter or Space picks: the one the ball is on, "Play Game" when it is on none.
TitleItem TitleKeyItem(float cx, float cy);
// Up (step < 0) puts the ball on "Play Game", Down (step > 0) on "Quit".
void TitleStep(int step, float& cx, float& cy);

// The credits line shown at this index; "Congratulations!!!" from 13 on.
const char* CreditsLine(int32_t index);
// The scene state every set-up starts from: smooth shading, black clear, depth test with
// less-or-equal, nicest perspective, the front material, back-face culling.
void SetSceneGLState();
// The same for a screen (title, game over, credits), with the level's lights switched off.
void SetScreenGLState();
// Light 0 as the title and the cutscenes light their figures: a point light at (x, y, z)
// with the diffuse colour, one colour for its ambient and specular parts and quadratic
// attenuation 0.0002; lighting on.
void SetPointLight0(float x, float y, float z, const float diffuse[3], const float ambient[3]);
