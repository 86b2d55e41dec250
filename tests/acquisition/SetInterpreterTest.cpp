#include "SetInterpreter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using Sets = std::vector<std::vector<float>>;

// Keeps every set it is given.
class CRecordingSink : public CSetSink {
public:
    void OnSet(const Sample* pValues, int nCount) override {
        m_vSets.emplace_back(pValues, pValues + nCount);
    }
    Sets m_vSets;
};

Sets Feed(CSetInterpreter& interpreter, const std::string& bytes) {
    CRecordingSink sink;
    interpreter.Feed(bytes.data(), bytes.size(), sink);
    return sink.m_vSets;
}

TEST(SetInterpreterTest, ReportsEverySetInOrderWithItsCount) {
    CSetInterpreter interpreter;
    CRecordingSink sink;
    const std::string bytes = "1.5 -2 3#\r\n#7#1 2 3 4 5 6 7 8 9 10 11 12#"s;
    EXPECT_TRUE(interpreter.Feed(bytes.data(), bytes.size(), sink));
    EXPECT_EQ(sink.m_vSets,
              (Sets{{1.5f, -2.0f, 3.0f}, {}, {7.0f}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}));
    EXPECT_EQ(interpreter.Counts().m_nValuesDropped, 2u);
    EXPECT_EQ(interpreter.Counts().m_nLargestSet, 12);
    // Nothing completed, nothing reported; the half set waits for its limiter.
    EXPECT_FALSE(interpreter.Feed("4 5", 3, sink));
    EXPECT_EQ(sink.m_vSets.size(), 4u);
    EXPECT_EQ(Feed(interpreter, "6#"), (Sets{{4.0f, 56.0f}}));
}

TEST(SetInterpreterTest, TakesItsLimiterAndCanBeUsedBesideTheStore) {
    // Two interpreters fed the same bytes keep their own sets and numbers.
    CSetInterpreter semicolons;
    semicolons.m_cLimiter = ';';
    CSetInterpreter hashes;
    EXPECT_EQ(Feed(semicolons, "1 2;3#4"), (Sets{{1.0f, 2.0f}}));
    EXPECT_EQ(Feed(hashes, "1 2;3#4"), (Sets{{1.0f, 2.0f, 3.0f}}));
    hashes.DiscardPartialSet();
    EXPECT_EQ(Feed(semicolons, "5;"), (Sets{{3.0f, 45.0f}}));
    EXPECT_EQ(Feed(hashes, "5#"), (Sets{{5.0f}}));
}

TEST(SetInterpreterTest, ByDefaultLineEndsAreSeparatorsAndSwitchingStartsAFreshSet) {
    CSetInterpreter interpreter;
    EXPECT_EQ(interpreter.GetFormat(), EBoardFormat::kHashSets);
    EXPECT_EQ(Feed(interpreter, "0.5\r\n0.7\r\n#1\n2\r\n3"), (Sets{{0.5f, 0.7f}}));
    // What was gathered under one format is no set of the other, and back.
    interpreter.SetFormat(EBoardFormat::kLines);
    EXPECT_EQ(Feed(interpreter, "4\n5 6"), (Sets{{4.0f}}));
    interpreter.SetFormat(EBoardFormat::kLines);
    EXPECT_EQ(Feed(interpreter, "\n7"), (Sets{{5.0f, 6.0f}}));
    interpreter.SetFormat(EBoardFormat::kHashSets);
    EXPECT_EQ(Feed(interpreter, "\n8#"), (Sets{{8.0f}}));
}

} // namespace
