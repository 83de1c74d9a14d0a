// The scripted scenes: the first intro (the hero beside a tree while the light swells,
// state 3), the second (Doduda and three lines of figures under a swooping camera,
// state 4) and the scene behind the credits. Actors are plain model objects whose
// animation queues hold timed pose scripts; the camera is the free camera.
// The intro scenes run on their own clock: the steps of a script come at their scripted
// times and every camera move, turn and fade is per millisecond (the amounts are per frame
// at 60 frames a second), so the scenes look the same and end at any frame rate.
//
// Costs: each scene frame draws a few models, their shadows and a flare of 1000
// particles. Building a scene loads its models (a few hundred kilobytes).
#pragma once

#include <cstdint>

class ModelObject;
class FlareEffect;

extern ModelObject* g_actor;
extern ModelObject* g_prop;
extern ModelObject* g_lineEnemy;
extern ModelObject* g_lineInsect;
extern FlareEffect* g_sceneFlare;
extern int32_t g_introStep;
extern float g_flareRadius;

// The first scene's part of the scene start-up: camera, light, actor and tree, flare,
// light 0 and the cutscene sound player with the dream recordings.
bool SetUpFirstScene();
void IntroSceneOne();
void IntroSceneTwo();
// One frame of the current intro scene without drawing: its clock, camera, light and script
// (tests run long stretches of a scene this way).
void AdvanceIntroScene();
// Builds the second scene in place of the first.
void SwitchToSecondScene();
// Releases the level and builds the scene behind the credits.
bool SetUpCredits();
// Destroys every actor, prop, line and the flare (an intro skip, the end of the intro).
void ReleaseCutscene();
// The first scene shows "Press Enter to skip" now (its first ten seconds).
bool SkipHintShown();

// One entry of a pose script: a pose id (or -9, hold) and its duration in ms.
struct PoseStep {
    int32_t pose;
    double ms;
};
extern const PoseStep kHeroIntroScript[];
extern const int kHeroIntroScriptLength;
extern const PoseStep kDodudaScript[];
extern const int kDodudaScriptLength;
extern const PoseStep kHeroCreditsScript[];
extern const int kHeroCreditsScriptLength;

// A script's whole length in ms.
double ScriptLength(const PoseStep* steps, int count);
// The last pose (not a hold) whose time is over `ms` into the script, or -1.
int32_t ScriptStepAt(const PoseStep* steps, int count, double ms);
// The script's time of the first step after `ms` that changes the pose it reports (infinite
// when none is left).
double NextScriptChange(const PoseStep* steps, int count, double ms);
// The milliseconds the current intro scene has run on its clock.
double SceneTime();
