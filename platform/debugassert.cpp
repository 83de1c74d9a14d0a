#include "platform/debugassert.h"

#include <cstdio>

namespace {
int s_count = 0;
std::string s_lastExpression;
} // namespace

void DebugAssertFailed(const char* expression, const char* file, int line) {
    ++s_count;
    s_lastExpression = expression;
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, file, line);
}

int DebugAssertCount() { return s_count; }
const std::string& DebugAssertLastExpression() { return s_lastExpression; }
void DebugAssertReset() {
    s_count = 0;
    s_lastExpression.clear();
}
