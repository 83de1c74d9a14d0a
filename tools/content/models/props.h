// The game's unanimated models: gems, scenery (closed surfaces with their origin at the base
// centre, for collision and shadows), the cutscene tree, the 3D title and the title backdrop.
// None of them has joints; every vertex is unskinned.
#pragma once

#include "models/humanoid.h"

namespace content::models {

BuiltModel buildGem(int cut); // 1, 2 or 3
BuiltModel buildPine();
BuiltModel buildOak();
BuiltModel buildRock();
BuiltModel buildHut();
BuiltModel buildDreamTree();
BuiltModel buildTitle();
BuiltModel buildBackdrop();

} // namespace content::models
