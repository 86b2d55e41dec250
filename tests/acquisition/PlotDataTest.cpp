#include "PlotData.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class PlotDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_data.m_cLimiter = '#';
        m_data.CreateChannels();
    }
    CPlotData m_data;
};

TEST_F(PlotDataTest, FreshChannelsHaveTheStartSettings) {
    const int colors[] = {0, 1, 4, 3, 2, 5, 6, 0, 1, 2};
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m_data.GetColor(i), colors[i]);
        EXPECT_EQ(m_data.GetPointType(i), 0);
        EXPECT_TRUE(m_data.GetInterpolate(i));
        EXPECT_FALSE(m_data.IsHidden(i));
        EXPECT_FALSE(m_data.GetMarkMinMax(i));
        EXPECT_FALSE(m_data.GetSoundEnabled(i));
        EXPECT_EQ(m_data.GetBeepLimitMin(i), 0.0f);
        EXPECT_EQ(m_data.GetBeepLimitMax(i), 0.0f);
        EXPECT_EQ(m_data.GetMin(i), 0.0f);
        EXPECT_EQ(m_data.GetMax(i), 0.0f);
        EXPECT_EQ(m_data.GetSampleCount(i), 0);
        EXPECT_EQ(m_data.GetSample(i, 0), 0.0f);
    }
    EXPECT_EQ(m_data.m_nLastSetCount, 0);
}

TEST(PlotChannelTest, ConstructedChannelAlarmsUntilCleared) {
    CPlotChannel channel;
    EXPECT_TRUE(channel.m_bMarkMinMax);
    EXPECT_TRUE(channel.m_bSoundEnabled);
    EXPECT_EQ(channel.m_fBeepLimitMin, -1.8f);
    EXPECT_EQ(channel.m_fBeepLimitMax, 1.8f);
    channel.Clear();
    EXPECT_FALSE(channel.m_bMarkMinMax);
    EXPECT_FALSE(channel.m_bSoundEnabled);
    EXPECT_EQ(channel.m_fBeepLimitMin, 0.0f);
}

TEST_F(PlotDataTest, MinAndMaxAreSeededWithZero) {
    for (float v : {3.0f, 5.0f, 4.0f}) {
        m_data.AddSample(0, v);
    }
    EXPECT_EQ(m_data.GetMin(0), 0.0f);
    EXPECT_EQ(m_data.GetMax(0), 5.0f);
    for (float v : {-1.0f, -7.0f}) {
        m_data.AddSample(1, v);
    }
    EXPECT_EQ(m_data.GetMin(1), -7.0f);
    EXPECT_EQ(m_data.GetMax(1), 0.0f);
}

TEST_F(PlotDataTest, SampleIndexOutsideTheSeriesReadsZero) {
    m_data.AddSample(0, 1.0f);
    m_data.AddSample(0, 2.0f);
    EXPECT_EQ(m_data.GetSample(0, -1), 0.0f);
    EXPECT_EQ(m_data.GetSample(0, 2), 0.0f);
    EXPECT_EQ(m_data.GetSample(0, 1), 2.0f);
}

TEST_F(PlotDataTest, ChannelIndexOutsideTheArrayThrowsAndChangesNothing) {
    EXPECT_THROW(m_data.AddSample(10, 1.0f), std::out_of_range);
    EXPECT_THROW(m_data.GetSample(-1, 0), std::out_of_range);
    EXPECT_THROW(m_data.SetColor(10, 3), std::out_of_range);
    EXPECT_THROW(m_data.ToggleHidden(10), std::out_of_range);
    EXPECT_THROW(m_data.GetSampleCount(10), std::out_of_range);
    EXPECT_EQ(m_data.GetTotalSampleCount(), 0);
}

TEST_F(PlotDataTest, ClearAllKeepsTheLookAndDropsDataAlarmsAndThePendingSet) {
    m_data.SetColor(2, 6);
    m_data.SetPointType(2, 3);
    m_data.SetInterpolate(2, false);
    m_data.ToggleHidden(2);
    m_data.SetSoundEnabled(2, true);
    m_data.SetMarkMinMax(2, true);
    m_data.SetBeepLimitMin(2, -1.0f);
    m_data.SetBeepLimitMax(2, 2.0f);
    ASSERT_TRUE(m_data.Interpret("1 2 3# 4 5"));

    m_data.ClearAll();

    EXPECT_EQ(m_data.GetColor(2), 6);
    EXPECT_EQ(m_data.GetPointType(2), 3);
    EXPECT_FALSE(m_data.GetInterpolate(2));
    EXPECT_TRUE(m_data.IsHidden(2));
    EXPECT_FALSE(m_data.GetSoundEnabled(2));
    EXPECT_FALSE(m_data.GetMarkMinMax(2));
    EXPECT_EQ(m_data.GetBeepLimitMin(2), 0.0f);
    EXPECT_EQ(m_data.GetBeepLimitMax(2), 0.0f);
    EXPECT_EQ(m_data.GetTotalSampleCount(), 0);
    EXPECT_EQ(m_data.m_nLastSetCount, 0);
    EXPECT_EQ(m_data.GetMax(0), 0.0f);

    // The half-received set (4, then 5 still being assembled) is gone with its number.
    ASSERT_TRUE(m_data.Interpret("#"));
    EXPECT_EQ(m_data.m_nLastSetCount, 0);
    EXPECT_EQ(m_data.GetTotalSampleCount(), 0);
}

TEST_F(PlotDataTest, HiddenChannelsKeepCollectingAndToggleBack) {
    m_data.ToggleHidden(0);
    EXPECT_TRUE(m_data.IsHidden(0));
    m_data.Interpret("7#");
    EXPECT_EQ(m_data.GetSampleCount(0), 1);
    m_data.ToggleHidden(0);
    EXPECT_FALSE(m_data.IsHidden(0));
}

TEST_F(PlotDataTest, CountsFollowTheSetSizes) {
    m_data.Interpret("1 2 3#4 5#6 7 8#");
    EXPECT_EQ(m_data.GetTotalSampleCount(), 8);
    EXPECT_EQ(m_data.GetSampleCount(0), 3);
    EXPECT_EQ(m_data.GetSampleCount(1), 3);
    EXPECT_EQ(m_data.GetSampleCount(2), 2);
    EXPECT_EQ(m_data.GetSampleCount(3), 0);
}

TEST_F(PlotDataTest, SeriesCrossingBlockBoundariesReadBackInOrder) {
    const int n = static_cast<int>(CSampleSeries::kBlockSize) * 2 + 17;
    for (int j = 0; j < n; ++j) {
        m_data.AddSample(4, static_cast<float>(j));
    }
    ASSERT_EQ(m_data.GetSampleCount(4), n);
    for (int j : {0, 1, n / 2, static_cast<int>(CSampleSeries::kBlockSize) - 1,
                  static_cast<int>(CSampleSeries::kBlockSize), n - 1}) {
        EXPECT_EQ(m_data.GetSample(4, j), static_cast<float>(j));
    }
    int visited = 0;
    bool inOrder = true;
    m_data.GetSeries(4).ForEachRun(5, static_cast<std::size_t>(n),
                                   [&](const Sample* run, std::size_t count) {
                                       for (std::size_t k = 0; k < count; ++k) {
                                           inOrder &= run[k] == static_cast<float>(5 + visited);
                                           ++visited;
                                       }
                                   });
    EXPECT_EQ(visited, n - 5);
    EXPECT_TRUE(inOrder);
}

TEST_F(PlotDataTest, DestroyChannelsEmptiesTheArray) {
    m_data.DestroyChannels();
    EXPECT_THROW(m_data.GetSampleCount(0), std::out_of_range);
    EXPECT_EQ(m_data.GetTotalSampleCount(), 0);
}

} // namespace
