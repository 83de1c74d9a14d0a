// The game's people: one humanoid skeleton (one joint per body part, numbered as combat expects:
// the head is joint 2, an enemy's hands are 4 and 5 and its feet 7 and 8, the hero's bat is 8),
// a body built from closed primitives over it, and the pose tables of each kind of character.
// Building a character costs well under a millisecond; the results are plain data.
#pragma once

#include "models/atlas.h"
#include "models/rig.h"

#include <array>
#include <string>
#include <vector>

namespace content::models {

enum Part {
    HIPS,
    TORSO,
    HEAD,
    UARM_R,
    FARM_R,
    FARM_L,
    THIGH_R,
    SHIN_R,
    SHIN_L,
    UARM_L,
    THIGH_L,
    BAT,   // the hero's bat
    STAFF, // Doduda's staff
    PART_COUNT
};

// A pose by body part: fromPose angles per part, the root's shift and extra rotation.
struct BodyPose {
    std::array<Vec3, PART_COUNT> r{};
    Vec3 shift;
    Vec3 rootRotation;
    BodyPose& set(Part p, float ax, float ay, float az) {
        r[p] = Vec3(ax, ay, az);
        return *this;
    }
};

// A finished model: its file, its texture (written beside it) and, for animated ones, the rig
// and poses it was built from (the line models bake posed figures from them).
struct BuiltModel {
    Ms3dFile file;
    Image texture;
    std::string textureFile; // path under the game directory, e.g. "Data/tarvo_tex.bmp"
    Rig rig;
    std::vector<Pose> poses;
};

BuiltModel buildHero(bool movieStar);
BuiltModel buildEnemy();
BuiltModel buildMagician();
BuiltModel buildBoss();
BuiltModel buildRarozare();
BuiltModel buildVirav();
BuiltModel buildVerozi();
BuiltModel buildDoduda();
BuiltModel buildMagicLine();
BuiltModel buildEnemyLine();
BuiltModel buildInsectLine();

// A material that takes its texture from `textureName` as stored in the file.
Ms3dMaterial texturedMaterial(const std::string& name, const std::string& textureName);

} // namespace content::models
