// The benchmark's per-pass accounting: which pass the time goes to as scopes nest, end
// early and meet game work, and that nothing is counted while it is off.
#include "platform/frameprofile.h"

#include <gtest/gtest.h>

namespace fp = frameprofile;

namespace {

// The pass now current, read without disturbing it.
fp::Pass currentPass() {
    const fp::Pass current = fp::switchPass(fp::PASS_OTHER, false);
    fp::switchPass(current, false);
    return current;
}

class PassAccounting : public testing::Test {
protected:
    void SetUp() override {
        fp::g_enabled = true;
        fp::g_passesEnabled = true;
        fp::resetPasses();
    }
    void TearDown() override {
        fp::g_passesEnabled = false;
        fp::g_enabled = false;
    }
};

} // namespace

TEST_F(PassAccounting, NestedScopesHandTheFrameBackToTheOuterPass) {
    {
        fp::PassScope models(fp::PASS_MODELS);
        EXPECT_EQ(currentPass(), fp::PASS_MODELS);
        {
            fp::PassScope outline(fp::PASS_OUTLINES);
            EXPECT_EQ(currentPass(), fp::PASS_OUTLINES);
            fp::PassScope again(fp::PASS_OUTLINES); // the same pass twice: no switch
            EXPECT_EQ(currentPass(), fp::PASS_OUTLINES);
        }
        EXPECT_EQ(currentPass(), fp::PASS_MODELS);
        {
            fp::GameWork work;
            EXPECT_EQ(currentPass(), fp::PASS_GAME_WORK);
            fp::GameWork inner; // nested game work counts once
            EXPECT_EQ(currentPass(), fp::PASS_GAME_WORK);
        }
        EXPECT_EQ(currentPass(), fp::PASS_MODELS);
        models.end();
        EXPECT_EQ(currentPass(), fp::PASS_OTHER);
        models.end(); // a second end, and the scope's own end after it, change nothing
        EXPECT_EQ(currentPass(), fp::PASS_OTHER);
        fp::PassScope water(fp::PASS_WATER);
        EXPECT_EQ(currentPass(), fp::PASS_WATER);
    }
    EXPECT_EQ(currentPass(), fp::PASS_OTHER);
}

TEST_F(PassAccounting, NothingIsCountedWhileOff) {
    fp::g_passesEnabled = false;
    fp::resetPasses();
    {
        fp::PassScope terrain(fp::PASS_TERRAIN);
        fp::GameWork work;
        EXPECT_EQ(currentPass(), fp::PASS_OTHER);
    }
    for (int p = 0; p < fp::PASS_COUNT; ++p)
        EXPECT_EQ(fp::g_passNs[p], 0) << fp::passName(p);
    // A scope begun while off does not switch back when timing is turned on inside it.
    {
        fp::PassScope sky(fp::PASS_SKY);
        fp::g_passesEnabled = true;
    }
    EXPECT_EQ(currentPass(), fp::PASS_OTHER);
}

TEST(PassNames, EveryPassHasItsOwnName) {
    for (int p = 0; p < fp::PASS_COUNT; ++p) {
        EXPECT_STRNE(fp::passName(p), "?");
        for (int q = 0; q < p; ++q)
            EXPECT_STRNE(fp::passName(p), fp::passName(q));
    }
    EXPECT_STREQ(fp::passName(fp::PASS_COUNT), "?");
}
