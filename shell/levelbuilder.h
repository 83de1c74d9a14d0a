// The level builder: turns a read level file into the playable level. The data layer is given
// its records first (they hand out the identifiers and the enemies' decisions); then the sky
// box, the hero, the boss and every static object, character and enemy are made, each into its
// slot of the object table with its model loaded; the terrain and the water marks come last,
// once the height field is loaded. Expensive (every model and the terrain's display list): run
// once per game, from level start-up. Any target may be null and is then skipped.
#pragma once

class Boss;
class Player;
class QRVDataLayer;
class SceneObject;
class SkyBox;
class Terrain;
struct LevelFile;

// Reads the level file and builds it. A file that cannot be read, breaks the format or names
// more objects than the table holds is reported on standard output and ends the process with
// status 1.
void LoadLevel(const char* fileName, QRVDataLayer& layer, Terrain* terrain, SkyBox* skyBox,
               Player* hero, Boss* boss, SceneObject** objectTable);
// The same from an already read level; false (nothing built) when it names more objects than
// the table holds.
bool BuildLevel(const LevelFile& level, QRVDataLayer& layer, Terrain* terrain, SkyBox* skyBox,
                Player* hero, Boss* boss, SceneObject** objectTable);
