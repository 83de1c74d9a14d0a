// Level start-up: turns the title screen into the playable level. It sets the world's GL
// state, creates every level-wide object of the game context, has the level builder build the
// level from "data/flatlandriver.xml" and enters every object into the collision world.
// Expensive (models, the height field's display list, collision shapes for every pose):
// run once per game, from "Play Game".
#pragma once

bool StartLevel();
// Destroys the level's objects in a fixed order and nulls them (nothing may point into
// the level afterwards).
void ReleaseLevel();
// Leaves the title or the credits for level 1: the screen's objects go, the level starts.
bool StartGame(int level);
// The close request: shuts the sound down, releases the level and posts the quit.
void CloseGame();
