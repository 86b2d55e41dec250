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

class ReadoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const float v : {1.0f, 2.0f, 3.0f}) {
            m_temp.Append(v);
        }
        for (const float v : {40.0f, kNaN}) {
            m_other.Append(v);
        }
        m_times.OnSets(CSetTimes::Clock::time_point{}, 1);
        m_times.OnSets(CSetTimes::Clock::time_point{std::chrono::milliseconds(50)}, 2);
    }
    CSampleSeries m_temp;
    CSampleSeries m_other;
    CSetTimes m_times;
    const SReadoutChannel m_channels[2] = {{0, "temp", &m_temp}, {4, "", &m_other}};
};

TEST_F(ReadoutTest, UnderTheMouse) {
    EXPECT_EQ(FormatReadout(0, nullptr, m_channels), "#0  temp 1.00  ch 5 40.00");
    // A gap, and a channel without sample 2.
    EXPECT_EQ(FormatReadout(1, &m_times, m_channels), "#1  0.050 s  temp 2.00  ch 5 -");
    EXPECT_EQ(FormatReadout(2, nullptr, m_channels), "#2  temp 3.00  ch 5 -");
}

TEST_F(ReadoutTest, Cursors) {
    CCursorPair cursors;
    EXPECT_EQ(FormatCursorReadout(cursors, &m_times, m_channels), "");
    cursors.SetB(1);
    EXPECT_EQ(FormatCursorReadout(cursors, &m_times, m_channels),
              "B #1 0.050 s  temp 2.00  ch 5 -");
    cursors.SetA(2);
    // B before A: a negative Δ, and the range still runs from the smaller.
    EXPECT_EQ(FormatCursorReadout(cursors, nullptr, m_channels),
              "A #2  B #1  \u0394 -1  temp 3.00 / 2.00 \u0394 -1.00  ch 5 - / - \u0394 -");
    cursors.SetA(0);
    EXPECT_EQ(FormatCursorReadout(cursors, &m_times, m_channels),
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
    SLineFigures figures;
    figures.m_nLineErrors = 2;
    const auto rows = LineFigureRows(figures);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[4], (std::pair<std::string, std::string>{"Line errors", "2"}));
}

} // namespace
