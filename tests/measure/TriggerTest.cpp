#include "Trigger.h"

#include "PlotScroll.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

STriggerSettings Settings(ETriggerEdge eEdge, float fLevel,
                          ETriggerMode eMode = ETriggerMode::kNormal) {
    return {.m_bOn = true, .m_fLevel = fLevel, .m_eEdge = eEdge, .m_eMode = eMode};
}

// Every crossing held in turn, the samples fed one at a time: with a window of one sample
// a crossing is held as soon as one sample follows it.
std::vector<int> HeldCrossings(const std::vector<float>& values, ETriggerEdge eEdge, float fLevel) {
    CSampleSeries series;
    CTrigger trigger;
    trigger.Configure(Settings(eEdge, fLevel), series);
    std::vector<int> held;
    for (const float v : values) {
        series.Append(v);
        trigger.Update(series, 1);
        if (trigger.Held() && (held.empty() || held.back() != *trigger.Held())) {
            held.push_back(*trigger.Held());
        }
    }
    return held;
}

TEST(TriggerTest, CrossingsFollowTheComparatorRule) {
    using E = ETriggerEdge;
    const struct {
        std::vector<float> m_vValues;
        E m_eEdge;
        float m_fLevel;
        std::vector<int> m_vCrossings;
    } cases[] = {
        // A sample equal to the level is on the high side.
        {{-1, 0, 1, -1, 1, 1}, E::kRising, 0, {1, 4}},
        {{1, 0, 1, 1}, E::kRising, 0, {}},
        {{1, 0, -1, -1}, E::kFalling, 0, {2}},
        {{0.5f, 1.0f, 1.0f}, E::kRising, 1, {1}},
        {{-1, 1, -1, 1, 1}, E::kEither, 0, {1, 2, 3}},
        {{-1, 1, -1, 1, 1}, E::kFalling, 0, {2}},
        // A gap breaks the comparison: the number after it crosses nothing.
        {{-1, kNaN, 1, -1, kNaN, kNaN, 1, 1}, E::kRising, 0, {}},
        {{-1, kNaN, -1, 1, 1}, E::kRising, 0, {3}},
        {{-kInf, kInf, kInf}, E::kRising, 0, {1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HeldCrossings(c.m_vValues, c.m_eEdge, c.m_fLevel), c.m_vCrossings)
            << "case " << (&c - cases);
    }
}

// A square wave of period 20 (10 low, 10 high) in a window of 40 with the crossing in the
// middle: rising crossings at 10, 30, 50, ...; crossing c is held once its window (from
// c - 20, or 0) and one more sample have arrived.
TEST(TriggerTest, NormalHoldsEachCrossingSingleOnlyTheFirst) {
    CSampleSeries series;
    auto feed = [&](CTrigger& trigger, int nUpTo) {
        while (static_cast<int>(series.size()) < nUpTo) {
            series.Append((series.size() / 10) % 2 == 0 ? -1.0f : 1.0f);
            trigger.Update(series, 40);
        }
    };
    CTrigger normal;
    CTrigger single;
    EXPECT_EQ(normal.StatusText(), ""); // off
    normal.Configure(Settings(ETriggerEdge::kRising, 0), series);
    single.Configure(Settings(ETriggerEdge::kRising, 0, ETriggerMode::kSingle), series);
    EXPECT_EQ(single.StatusText(), "TRIG ch1 \u2191 0.00: armed");
    feed(single, 15);
    EXPECT_EQ(single.StatusText(), "TRIG ch1 \u2191 0.00: waiting");
    feed(single, 40);
    EXPECT_EQ(single.State(), ETriggerState::kWaiting);
    feed(single, 41);
    EXPECT_EQ(single.StatusText(), "TRIG ch1 \u2191 0.00: triggered at #10");
    feed(single, 200);
    EXPECT_EQ(single.Held(), 10);

    normal.Update(series, 40);
    EXPECT_EQ(normal.Held(), 170);
    // The view shows the held window through the scroll-back.
    const int nStart = *normal.HeldWindowStart(40);
    EXPECT_EQ(nStart, 150);
    const int nBack = ScrollBackForStart(200, 40, nStart);
    const CPlotWindow window = ComputeVisibleWindow(200, 4.0f, nBack, false);
    EXPECT_EQ(window.m_nStart, 150);
    EXPECT_EQ(window.m_nEnd, 190);
    // At 100 % the crossing is the window's last sample, not one beyond it.
    EXPECT_EQ(CTrigger::SamplesBefore(40, 100), 39);

    // Armed again, Single keeps showing its crossing until the next one is held.
    single.Arm(series);
    EXPECT_EQ(single.State(), ETriggerState::kArmed);
    EXPECT_EQ(single.Held(), 10);
    feed(single, 231);
    EXPECT_EQ(single.Held(), 210);
    // Other values in its place: the crossing goes with them, and the crossings the new
    // values hold already are not looked for.
    single.Forget(series);
    EXPECT_EQ(single.Held(), std::nullopt);
    feed(single, 245);
    EXPECT_EQ(single.State(), ETriggerState::kArmed);
    // Cleared data: nothing held, nothing crossed yet.
    series.clear();
    normal.Update(series, 40);
    EXPECT_EQ(normal.Held(), std::nullopt);
    EXPECT_EQ(normal.State(), ETriggerState::kArmed);
}

} // namespace
