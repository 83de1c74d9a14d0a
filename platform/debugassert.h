// Debug assertions: a broken precondition is reported on standard error as
// "Assertion failed: EXPRESSION, file FILE, line N" and the program goes on.
// Tests read the count and the last text to see that a check fired.
#pragma once

#include <string>

void DebugAssertFailed(const char* expression, const char* file, int line);
int DebugAssertCount();
const std::string& DebugAssertLastExpression();
void DebugAssertReset();

#define QRV_ASSERT(expr)                                                                           \
    do {                                                                                           \
        if (!(expr))                                                                               \
            DebugAssertFailed(#expr, __FILE__, __LINE__);                                          \
    } while (0)

// For checks whose text is fixed by the game's rules rather than by the expression.
#define QRV_ASSERT_TEXT(cond, text)                                                                \
    do {                                                                                           \
        if (!(cond))                                                                               \
            DebugAssertFailed(text, __FILE__, __LINE__);                                           \
    } while (0)
