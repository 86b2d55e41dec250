#include "MemoryBudget.h"
#include "PlotData.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <sys/resource.h>

namespace {

constexpr std::size_t kBlock = CSampleSeries::kBlockBytes;
constexpr int kPerBlock = static_cast<int>(CSampleSeries::kBlockSize);

std::string Repeat(const std::string& strSet, int nTimes) {
    std::string strText;
    for (int k = 0; k < nTimes; ++k) {
        strText += strSet;
    }
    return strText;
}

// Answers from a script (yes once the script is used up) and counts the questions.
class CScriptedGauge : public CMemoryGauge {
public:
    explicit CScriptedGauge(std::deque<bool> vAnswers) : m_vAnswers(std::move(vAnswers)) {}
    bool MayGrow(std::size_t nBytes) override {
        ++m_nAsked;
        EXPECT_EQ(nBytes, kBlock);
        if (m_vAnswers.empty()) {
            return true;
        }
        const bool bAnswer = m_vAnswers.front();
        m_vAnswers.pop_front();
        return bAnswer;
    }
    std::deque<bool> m_vAnswers;
    int m_nAsked = 0;
};

class StoreMemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_data.m_cLimiter = '#';
        m_data.CreateChannels();
    }
    CPlotData m_data;
};

TEST_F(StoreMemoryTest, AFullStoreDropsWholeSetsAndKeepsWhatItHolds) {
    m_data.SetMemoryBudget(3 * kBlock);
    // Two channels fill their first blocks exactly.
    ASSERT_TRUE(m_data.Interpret(Repeat("1 2#", kPerBlock).c_str()));
    EXPECT_FALSE(m_data.IsMemoryFull());
    EXPECT_EQ(m_data.GetStoredBytes(), 2 * kBlock);

    // The next set needs two blocks and only one fits: none of it is stored.
    m_data.Interpret("3 4#");
    EXPECT_TRUE(m_data.IsMemoryFull());
    EXPECT_EQ(m_data.GetSampleCount(0), kPerBlock);
    EXPECT_EQ(m_data.GetSampleCount(1), kPerBlock);
    EXPECT_EQ(m_data.GetMax(0), 1.0f);
    // Not even a set that would fit in the block channel 1 already has.
    m_data.Interpret("5#");
    m_data.AddSample(0, 6.0f);
    EXPECT_EQ(m_data.GetSampleCount(0), kPerBlock);
    EXPECT_EQ(m_data.m_nLastSetCount, 2);
    EXPECT_LE(m_data.GetStoredBytes(), 3 * kBlock);
    EXPECT_EQ(m_data.GetSample(0, kPerBlock - 1), 1.0f);
    EXPECT_EQ(m_data.GetSample(1, kPerBlock - 1), 2.0f);
}

// The budget's last whole block is taken; only the block after it is refused.
TEST_F(StoreMemoryTest, TheLastBlockThatFitsTheBudgetIsTaken) {
    m_data.SetMemoryBudget(3 * kBlock);
    m_data.Interpret(Repeat("1#", 3 * kPerBlock).c_str());
    EXPECT_FALSE(m_data.IsMemoryFull());
    EXPECT_EQ(m_data.GetSampleCount(0), 3 * kPerBlock);
    EXPECT_EQ(m_data.GetStoredBytes(), 3 * kBlock);
    m_data.Interpret("2#");
    EXPECT_TRUE(m_data.IsMemoryFull());
    EXPECT_EQ(m_data.GetSampleCount(0), 3 * kPerBlock);
}

TEST_F(StoreMemoryTest, ClearingOrRetryingMakesRoomAgain) {
    m_data.SetMemoryBudget(kBlock);
    m_data.Interpret(Repeat("7#", kPerBlock + 1).c_str());
    ASSERT_TRUE(m_data.IsMemoryFull());

    // Still no room: the retry says so and the store stays full.
    EXPECT_FALSE(m_data.ResumeAfterFull());
    EXPECT_TRUE(m_data.IsMemoryFull());
    m_data.SetMemoryBudget(2 * kBlock);
    EXPECT_TRUE(m_data.ResumeAfterFull());
    EXPECT_FALSE(m_data.IsMemoryFull());
    m_data.Interpret("8#");
    EXPECT_EQ(m_data.GetSampleCount(0), kPerBlock + 1);
    EXPECT_EQ(m_data.GetSample(0, kPerBlock), 8.0f);

    m_data.Interpret(Repeat("9#", kPerBlock).c_str());
    ASSERT_TRUE(m_data.IsMemoryFull());
    m_data.ClearAll();
    EXPECT_FALSE(m_data.IsMemoryFull());
    EXPECT_EQ(m_data.GetStoredBytes(), 0u);
    m_data.Interpret("1 2#");
    EXPECT_EQ(m_data.GetTotalSampleCount(), 2);
}

TEST_F(StoreMemoryTest, TheGaugeIsAskedOncePerNewBlockAndCanStopTheStore) {
    auto pOwned = std::make_unique<CScriptedGauge>(std::deque<bool>{true, true, true, false});
    CScriptedGauge& gauge = *pOwned;
    m_data.SetMemoryGauge(std::move(pOwned));
    m_data.Interpret("1 2#");
    EXPECT_EQ(gauge.m_nAsked, 2);
    m_data.Interpret(Repeat("1#", kPerBlock - 1).c_str());
    EXPECT_EQ(gauge.m_nAsked, 2);
    // Only channel 1 needs a block; channel 2 still has room in its own.
    m_data.Interpret("3 4#");
    EXPECT_EQ(gauge.m_nAsked, 3);
    m_data.Interpret(Repeat("5#", kPerBlock - 1).c_str());
    EXPECT_EQ(gauge.m_nAsked, 3);
    EXPECT_FALSE(m_data.IsMemoryFull());

    // The next block is refused, with the budget nowhere near.
    m_data.Interpret("6 7#");
    EXPECT_EQ(gauge.m_nAsked, 4);
    EXPECT_TRUE(m_data.IsMemoryFull());
    EXPECT_EQ(m_data.GetSampleCount(0), 2 * kPerBlock);
    EXPECT_EQ(m_data.GetSampleCount(1), 2);
    // A full store asks nothing more until it is told to try again.
    m_data.Interpret(Repeat("8 9#", 10).c_str());
    EXPECT_EQ(gauge.m_nAsked, 4);
    EXPECT_TRUE(m_data.ResumeAfterFull());
    m_data.Interpret("6 7#");
    EXPECT_EQ(m_data.GetSample(0, 2 * kPerBlock), 6.0f);
    EXPECT_EQ(m_data.GetSample(1, 2), 7.0f);
}

TEST(MemoryRuleTest, LeavesTenPercentOfEachLimitUnused) {
    SMemoryFigures figures;
    figures.m_nPhysical = 10'000'000;
    figures.m_nAvailable = 3'000'000;
    EXPECT_TRUE(LeavesEnoughUnused(figures, 2'000'000));
    EXPECT_FALSE(LeavesEnoughUnused(figures, 2'000'001));

    figures.m_nAddressLimit = 5'000'000;
    figures.m_nMapped = 4'000'000;
    EXPECT_TRUE(LeavesEnoughUnused(figures, 500'000));
    EXPECT_FALSE(LeavesEnoughUnused(figures, 500'001));

    // A figure the system does not have limits nothing.
    EXPECT_TRUE(LeavesEnoughUnused(SMemoryFigures{}, SIZE_MAX / 2));
}

TEST(MemoryRuleTest, TheSystemGaugeFollowsTheAddressSpaceLimit) {
    const SMemoryFigures before = ReadMemoryFigures();
    ASSERT_GT(before.m_nPhysical, 0u);
    ASSERT_GT(before.m_nAvailable, 0u);
    ASSERT_LE(before.m_nAvailable, before.m_nPhysical);
    ASSERT_GT(before.m_nMapped, 0u);
    CSystemMemoryGauge gauge;
    EXPECT_TRUE(gauge.MayGrow(kBlock));

    // A limit only a little above what is mapped already leaves less than 10 % unused. Raised
    // above the current use, it takes nothing away from this process (nor from a sanitizer).
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = before.m_nMapped + before.m_nMapped / 20;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    const SMemoryFigures limited = ReadMemoryFigures();
    const bool bMayGrow = gauge.MayGrow(kBlock);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
    EXPECT_EQ(limited.m_nAddressLimit, tight.rlim_cur);
    EXPECT_FALSE(bMayGrow);
}

TEST(MemorySizeTest, ReadsDigitsWithAnOptionalBinarySuffix) {
    std::size_t nBytes = 0;
    EXPECT_TRUE(ParseMemorySize("4096", &nBytes));
    EXPECT_EQ(nBytes, 4096u);
    EXPECT_TRUE(ParseMemorySize("64K", &nBytes));
    EXPECT_EQ(nBytes, 64u << 10);
    EXPECT_TRUE(ParseMemorySize("512m", &nBytes));
    EXPECT_EQ(nBytes, 512u << 20);
    EXPECT_TRUE(ParseMemorySize("3G", &nBytes));
    EXPECT_EQ(nBytes, std::size_t{3} << 30);
    EXPECT_TRUE(ParseMemorySize("2T", &nBytes));
    EXPECT_EQ(nBytes, std::size_t{2} << 40);
    nBytes = 7;
    for (const char* szBad : {"", "M", "-1", "1.5G", "12X", " 12", "12 ", "1KB",
                              "99999999999999999999", "17179869184G"}) {
        SCOPED_TRACE(szBad);
        EXPECT_FALSE(ParseMemorySize(szBad, &nBytes));
        EXPECT_EQ(nBytes, 7u);
    }
}

} // namespace
