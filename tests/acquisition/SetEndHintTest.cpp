#include "SetEndHint.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

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

TEST(SetEndHintTest, SuggestsTheLineFormatForWhatTheBoardPrints) {
    const std::tuple<std::vector<std::string>, EBoardFormat, const char*> cases[] = {
        {{"1.5 2.5 3.5"},
         EBoardFormat::kHashSets,
         "sets end with '#' (Port Setup can read one set per line)"},
        {{"1.5,2.5\r", "\n3.5"}, EBoardFormat::kHashSets, "ends its lines without '#'"},
        {{"temp", ": 21.5 hum:40"}, EBoardFormat::kHashSets, "name:value fields"},
        {{"Sensor_2=", "-3\n"}, EBoardFormat::kHashSets, "name:value fields"},
        {{"1 2 3"}, EBoardFormat::kLines, "no '#' and no line end"},
        {{"booting...\r\n"}, EBoardFormat::kLines, "none has held a set"},
    };
    for (const auto& [chunks, eFormat, szWanted] : cases) {
        CSetEndHint hint;
        int nShown = 0;
        for (std::size_t k = 0; k < chunks.size(); ++k) {
            const auto t = At(std::chrono::milliseconds(1500 * static_cast<int>(k)));
            nShown += hint.OnBytesInterpreted(t, false, chunks[k].data(), chunks[k].size());
        }
        nShown += hint.OnBytesInterpreted(At(5s), false, "", 0);
        EXPECT_EQ(nShown, 1);
        EXPECT_NE(std::string(hint.Text(eFormat)).find(szWanted), std::string::npos)
            << chunks[0] << ": " << hint.Text(eFormat);
    }
    // A set ends the stretch, and what it held goes with it.
    CSetEndHint hint;
    hint.OnBytesInterpreted(At(0ms), false, "a:1\n", 4);
    hint.OnBytesInterpreted(At(100ms), true, "#", 1);
    EXPECT_NE(std::string(hint.Text(EBoardFormat::kHashSets)).find("sets end with '#'"),
              std::string::npos);
}

} // namespace
