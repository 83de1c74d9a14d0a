// Debug assertions: a failed check is reported with its expression and file, and the game goes on.
#include "platform/debugassert.h"

#include <gtest/gtest.h>

#include <string>

TEST(DebugAssert, ReportsAndGoesOn) {
    DebugAssertReset();
    testing::internal::CaptureStderr();
    int x = 1;
    QRV_ASSERT(x == 2);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(DebugAssertCount(), 1);
    EXPECT_EQ(DebugAssertLastExpression(), "x == 2");
    EXPECT_NE(err.find("Assertion failed: x == 2, file "), std::string::npos);
}
