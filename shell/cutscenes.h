// The scripted scenes: the first intro (the hero beside a tree while the light swells,
// state 3), the second (Doduda and three lines of figures under a swooping camera,
// state 4) and the scene behind the credits. Actors are plain model objects whose
// animation queues hold timed pose scripts; the camera is the free camera.
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
// Builds the second scene in place of the first.
void SwitchToSecondScene();
// Releases the level and builds the scene behind the credits.
bool SetUpCredits();
// Destroys every actor, prop, line and the flare (an intro skip, the end of the intro).
void ReleaseCutscene();

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
