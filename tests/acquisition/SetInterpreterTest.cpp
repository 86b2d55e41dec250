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

CSetInterpreter LineEnded() {
    CSetInterpreter interpreter;
    interpreter.SetEndSetsAtLineEnd(true);
    return interpreter;
}

TEST(SetInterpreterTest, LineEndsEndSetsOnceAndEmptyLinesMakeNone) {
    const std::pair<std::string, Sets> cases[] = {
        {"1.5 -2 3\r\n4 5\n6\r7\r\n", {{1.5f, -2.0f, 3.0f}, {4.0f, 5.0f}, {6.0f}, {7.0f}}},
        {"\r\n\r\n\n\r \t \r\n", {}},
        // '#' still ends a set; the line end after it finds nothing more to end.
        {"1 2#\r\n#\r\n3#4\r\n", {{1.0f, 2.0f}, {}, {3.0f}, {4.0f}}},
        // A header line holds no digit: its "," is no value of the next set.
        {"time,temp\r\n-- 2.5\r\n", {{0.0f, 2.5f}}},
        {"1 2 3 4 5 6 7 8 9 10 11 12\n", {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}},
        {"1\0"
         "2\r\n"s,
         {{1.0f, 2.0f}}},
    };
    for (const auto& [bytes, sets] : cases) {
        SCOPED_TRACE(bytes);
        CSetInterpreter interpreter = LineEnded();
        EXPECT_EQ(Feed(interpreter, bytes), sets);
    }
    CSetInterpreter interpreter = LineEnded();
    CRecordingSink sink;
    EXPECT_FALSE(interpreter.Feed("1 2", 3, sink));
    EXPECT_TRUE(interpreter.Feed("\r", 1, sink));
    EXPECT_FALSE(interpreter.Feed("\n", 1, sink));
    // A set dropped half way leaves no line to end.
    EXPECT_FALSE(interpreter.Feed("3 4", 3, sink));
    interpreter.DiscardPartialSet();
    EXPECT_FALSE(interpreter.Feed("\r\n", 2, sink));
    EXPECT_EQ(sink.m_vSets, (Sets{{1.0f, 2.0f}}));
}

TEST(SetInterpreterTest, LineEndedStreamsGiveTheSameSetsHoweverTheyAreSplit) {
    const std::string stream = "# sensor v1.0\r\nx,y\r\n1.5 -2 3\r\n\r\n12.75\t4\n-.25 9/9\r" +
                               std::string(120, '-') + "7\r\n---\r\n5 6#\r\n8 9\r\n";
    CSetInterpreter whole = LineEnded();
    const Sets expected = Feed(whole, stream);
    ASSERT_EQ(expected, (Sets{{},
                              {1.0f},
                              {1.5f, -2.0f, 3.0f},
                              {12.75f, 4.0f},
                              {-0.25f, 9.0f},
                              {0.0f},
                              {5.0f, 6.0f},
                              {8.0f, 9.0f}}));
    for (std::size_t a = 0; a <= stream.size(); ++a) {
        for (std::size_t b = a; b <= stream.size(); b += 5) {
            CSetInterpreter split = LineEnded();
            Sets sets = Feed(split, stream.substr(0, a));
            for (const auto& part : {stream.substr(a, b - a), stream.substr(b)}) {
                const Sets more = Feed(split, part);
                sets.insert(sets.end(), more.begin(), more.end());
            }
            ASSERT_EQ(sets, expected) << "split at " << a << ", " << b;
        }
    }
}

TEST(SetInterpreterTest, ByDefaultLineEndsAreSeparatorsAndSwitchingStartsAFreshSet) {
    CSetInterpreter interpreter;
    EXPECT_FALSE(interpreter.GetEndSetsAtLineEnd());
    EXPECT_EQ(Feed(interpreter, "0.5\r\n0.7\r\n#1\n2\r\n3"), (Sets{{0.5f, 0.7f}}));
    // The lines gathered without line ends are no set of the new rule, and back.
    interpreter.SetEndSetsAtLineEnd(true);
    EXPECT_EQ(Feed(interpreter, "4\n5 6"), (Sets{{4.0f}}));
    interpreter.SetEndSetsAtLineEnd(true);
    EXPECT_EQ(Feed(interpreter, "\n7"), (Sets{{5.0f, 6.0f}}));
    interpreter.SetEndSetsAtLineEnd(false);
    EXPECT_EQ(Feed(interpreter, "\n8#"), (Sets{{8.0f}}));
}

} // namespace
