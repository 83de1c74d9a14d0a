#include "generators.h"
void generateSounds(const std::string&) {}
