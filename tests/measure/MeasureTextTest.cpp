#include "MeasureText.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(MeasureTextTest, Values) {
    const struct {
        double m_fValue;
        const char* m_szText;
    } cases[] = {{21.5, "21.50"},       {0.0, "0.00"},           {-0.0, "0.00"},    {0.01, "0.01"},
                 {-0.004, "-4.00e-03"}, {999999.0, "999999.00"}, {1e6, "1.00e+06"}, {kNaN, "-"},
                 {kInf, "inf"},         {-kInf, "-inf"},         {-2.345, "-2.35"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatValue(c.m_fValue), c.m_szText) << c.m_fValue;
    }
}

// Channel "temp" holds 1, 2, 3; channel 5 (no name) 40 and a gap. Sets 1 and 2 arrived
// 50 ms after set 0.
TEST(MeasureTextTest, ReadoutsUnderTheMouseAndAtTheCursors) {
    CSampleSeries temp;
    CSampleSeries other;
    for (const float v : {1.0f, 2.0f, 3.0f}) {
        temp.Append(v);
    }
    other.Append(40.0f);
    other.Append(kNaN);
    CSetTimes times;
    times.OnSets(CSetTimes::Clock::time_point{}, 1);
    times.OnSets(CSetTimes::Clock::time_point{std::chrono::milliseconds(50)}, 2);
    const SReadoutChannel channels[] = {{0, "temp", &temp}, {4, "", &other}};

    EXPECT_EQ(FormatReadout(0, nullptr, channels), "#0  temp 1.00  ch 5 40.00");
    // A gap, and a channel without sample 2.
    EXPECT_EQ(FormatReadout(1, &times, channels), "#1  0.050 s  temp 2.00  ch 5 -");
    EXPECT_EQ(FormatReadout(2, nullptr, channels), "#2  temp 3.00  ch 5 -");

    CCursorPair cursors;
    EXPECT_EQ(FormatCursorReadout(cursors, &times, channels), "");
    cursors.SetB(1);
    EXPECT_EQ(FormatCursorReadout(cursors, &times, channels), "B #1 0.050 s  temp 2.00  ch 5 -");
    cursors.SetA(2);
    // B before A: a negative Δ, and the range still runs from the smaller.
    EXPECT_EQ(FormatCursorReadout(cursors, nullptr, channels),
              "A #2  B #1  \u0394 -1  temp 3.00 / 2.00 \u0394 -1.00  ch 5 - / - \u0394 -");
    cursors.SetA(0);
    EXPECT_EQ(FormatCursorReadout(cursors, &times, channels),
              "A #0  B #1  \u0394 1  \u0394t 0.050 s  temp 1.00 / 2.00 \u0394 1.00  "
              "ch 5 40.00 / - \u0394 -");
    cursors.SetB(2);
    EXPECT_EQ(cursors.Range()->m_nFirst, 0);
    EXPECT_EQ(cursors.Range()->m_nLast, 3);
    cursors.ForgetBeyond(2);
    EXPECT_EQ(cursors.A(), 0);
    EXPECT_EQ(cursors.B(), std::nullopt);
}

TEST(MeasureTextTest, StatisticsRows) {
    CSampleSeries series;
    for (const float v : {1.0f, std::numeric_limits<float>::infinity(), kNaN, 3.0f}) {
        series.Append(v);
    }
    const auto row = StatsRow("temp", ComputeStats(series, 0, 4));
    EXPECT_EQ(row, (std::array<std::string, 7>{"temp", "3.00", "1.00", "inf", "2.00", "1.00",
                                               "3 (1 inf)"}));
    const auto empty = StatsRow("ch 2", SSampleStats{});
    EXPECT_EQ(empty, (std::array<std::string, 7>{"ch 2", "-", "-", "-", "-", "-", "0"}));
}

} // namespace
