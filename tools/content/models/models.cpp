#include "generators.h"
void generateModels(const std::string&) {}
