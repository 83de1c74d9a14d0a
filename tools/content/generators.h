// The content generator's three parts. Each writes its files under the game's
// working directory `root` and must give the same bytes on every run.
#pragma once

#include <string>

void generateLand(const std::string& root);   // height map, terrain, sky, HUD, level file
void generateModels(const std::string& root); // every .ms3d model and its textures
void generateSounds(const std::string& root); // Sounds/: effects, music, voices
void generateVoices(const std::string& root); // only the spoken lines of Sounds/
// The desktop icon, a square PNG of `size` pixels (not part of the working directory).
void generateIcon(const std::string& path, int size);
