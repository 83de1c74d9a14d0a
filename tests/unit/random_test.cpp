#include "platform/debugassert.h"
#include "platform/random.h"

#include <gtest/gtest.h>

TEST(GameRandom, MatchesTheClassicSequenceAndRange) {
    gameSrand(1);
    // The first values of the classic generator seeded with 1.
    EXPECT_EQ(gameRand(), 41);
    EXPECT_EQ(gameRand(), 18467);
    EXPECT_EQ(gameRand(), 6334);
    gameSrand(12345);
    for (int i = 0; i < 100000; ++i) {
        int v = gameRand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, GAME_RAND_MAX);
    }
}

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
