#include "SetEndHint.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::chrono_literals;

CSetEndHint::Clock::time_point At(std::chrono::milliseconds t) {
    return CSetEndHint::Clock::time_point{} + 1h + t;
}

TEST(SetEndHintTest, ShownOnceWhenBytesKeepComingForTwoSecondsWithoutASet) {
    CSetEndHint hint;
    EXPECT_FALSE(hint.OnBytesInterpreted(At(0ms), false));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(1999ms), false));
    EXPECT_TRUE(hint.OnBytesInterpreted(At(2000ms), false));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(2100ms), false));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(60s), false));
    // A port opened again watches afresh.
    hint.Reset();
    EXPECT_FALSE(hint.OnBytesInterpreted(At(61s), false));
    EXPECT_TRUE(hint.OnBytesInterpreted(At(63s), false));
}

TEST(SetEndHintTest, ACompletedSetStartsANewStretch) {
    CSetEndHint hint;
    EXPECT_FALSE(hint.OnBytesInterpreted(At(0ms), false));
    // Sets that end now and then never earn the hint, however long the stream runs.
    EXPECT_FALSE(hint.OnBytesInterpreted(At(1900ms), true));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(2500ms), false));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(4400ms), false));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(4500ms), true));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(7000ms), false));
    EXPECT_TRUE(hint.OnBytesInterpreted(At(9000ms), false));
    // After it was shown, a set and another quiet stretch show it again.
    EXPECT_FALSE(hint.OnBytesInterpreted(At(9100ms), true));
    EXPECT_FALSE(hint.OnBytesInterpreted(At(10s), false));
    EXPECT_TRUE(hint.OnBytesInterpreted(At(12s), false));
}

TEST(SetEndHintTest, WordingFollowsTheWaySetsEnd) {
    EXPECT_STREQ(CSetEndHint::Text(false), "Receiving data, but no set has ended: sets end with "
                                           "'#' (Port Setup can end them at line ends)");
    const std::string strLineMode = CSetEndHint::Text(true);
    EXPECT_NE(strLineMode.find("no '#' and no line end"), std::string::npos);
}

} // namespace
