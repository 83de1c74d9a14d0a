#include "generators.h"
void generateLand(const std::string&) {}
