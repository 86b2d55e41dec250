#include "LineReader.h"
#include "NumberText.h"
#include "PlotData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

// A set as text: values as %g would print them, "_" for a gap.
std::string Shown(const Sample* pValues, int nCount) {
    std::string strSet;
    for (int j = 0; j < nCount; ++j) {
        char szValue[32];
        std::snprintf(szValue, sizeof szValue, "%.9g", static_cast<double>(pValues[j]));
        if (j > 0) {
            strSet += ' ';
        }
        strSet += std::isnan(pValues[j]) ? "_" : szValue;
    }
    return strSet;
}

// Keeps the sets and names in the order they come, names as "name=3" (channel 3).
class CKeepingSink : public CSetSink {
public:
    void OnSet(const Sample* pValues, int nCount) override {
        m_vEvents.push_back(Shown(pValues, nCount));
    }
    void OnChannelName(int nChannel, std::string_view strName) override {
        m_vEvents.push_back(std::string(strName) + "=" + std::to_string(nChannel + 1));
    }
    Lines m_vEvents;
};

Lines Read(CLineReader& reader, const std::string& bytes) {
    CKeepingSink sink;
    reader.Feed(bytes.data(), bytes.size(), sink);
    return sink.m_vEvents;
}

Lines Read(const std::string& bytes) {
    CLineReader reader;
    return Read(reader, bytes);
}

TEST(LineReaderTest, NumbersReadAsStrtodReadsThem) {
    const char* const numbers[] = {"1.5",
                                   "-1.25",
                                   "+4",
                                   "2e3",
                                   "1.5e-3",
                                   "2E+4",
                                   ".5",
                                   "5.",
                                   "-.5e1",
                                   "0",
                                   "-0",
                                   "007.50",
                                   "1e-45",
                                   "1e39",
                                   "-1e39",
                                   "3.4028235e38",
                                   "1e-400",
                                   "123456789012345678901234",
                                   "0.1234567890123456789012",
                                   "9007199254740993",
                                   "1e22",
                                   "1e23",
                                   "4.35",
                                   "-99.999",
                                   "16777217"};
    for (const char* szNumber : numbers) {
        SCOPED_TRACE(szNumber);
        const float fExpected =
            static_cast<float>(StrtodInCLocale(szNumber, std::strlen(szNumber)));
        CLineReader reader;
        CKeepingSink sink;
        const std::string line = szNumber + "\n"s;
        ASSERT_TRUE(reader.Feed(line.data(), line.size(), sink));
        ASSERT_EQ(sink.m_vEvents.size(), 1u);
        EXPECT_EQ(sink.m_vEvents[0], Shown(&fExpected, 1));
        EXPECT_EQ(std::signbit(fExpected), sink.m_vEvents[0][0] == '-');
    }
    const std::pair<std::string, std::string> words[] = {
        {"inf", "inf"},        {"-INF", "-inf"},
        {"+Infinity", "inf"},  {"nan", "_"},
        {"-nan", "_"},         {"NaN", "_"},
        {"ovf", "_"},          {"1 ovf -inf", "1 _ -inf"},
        {"1e", "skipped"},     {"1e+", "skipped"},
        {"--1", "skipped"},    {"1.2.3", "skipped"},
        {"0x10", "skipped"},   {"-", "skipped"},
        {".", "skipped"},      {"infinit", "skipped"},
        {"nan(1)", "skipped"}, {"12.5V", "skipped"}};
    for (const auto& [field, shown] : words) {
        SCOPED_TRACE(field);
        CLineReader reader;
        const Lines sets = Read(reader, "1\n" + field + "\n");
        EXPECT_EQ(sets.size() == 2 ? sets[1] : "skipped", shown);
    }
}

TEST(LineReaderTest, SeparatorsAndEmptyFields) {
    const std::pair<std::string, Lines> cases[] = {
        {"1.5,2.5,3.5\r\n", {"1.5 2.5 3.5"}},
        {"1;2;3\n1\t2\t3\r1   2  3\n", {"1 2 3", "1 2 3", "1 2 3"}},
        {"  1, 2 ,3  \n", {"1 2 3"}},
        {"1,,3\n1\t\t3\n1 ; ; 3\n", {"1 _ 3", "1 _ 3", "1 _ 3"}},
        // A leading separator leaves an empty first field; a trailing one is dropped.
        {",2\n1,2,\n1,2,,\n", {"_ 2", "1 2", "1 2 _"}},
        // Lines of separators only, and empty lines, are no sets.
        {",,\n \t \n\r\n\n", {}},
        // '#' ends a set too; a NUL is a space.
        {"1 2#3\0"
         "4\r\n"s,
         {"1 2", "3 4"}},
        {"-1.25,0.5,2e3\n", {"-1.25 0.5 2000"}},
    };
    for (const auto& [bytes, sets] : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(Read(bytes), sets);
    }
}

TEST(LineReaderTest, LabelsKeepTheirChannelsInFirstSeenOrder) {
    const std::pair<std::string, Lines> cases[] = {
        {"temp:21.5 hum:40\nhum=41,temp=22\n", {"temp=1", "hum=2", "21.5 40", "22 41"}},
        // A new name takes the next free channel; a name left out is a gap.
        {"a:1\nb:2\na:3 c:4\n", {"a=1", "1", "b=2", "_ 2", "c=3", "3 _ 4"}},
        // "name: value", and a name without a value is a gap.
        {"x: 1 y:\ny: 2, x:\n", {"x=1", "y=2", "1 _", "_ 2"}},
        // An unlabelled value keeps its position; a label passes channels that line fills.
        {"5 a:1\n7 a:2 9\n", {"a=2", "5 1", "7 2 9"}},
        // Clashes: the label wins; of two labels for one channel the first counts.
        {"a:1 b:2\n9 8 a:3\nb:4 b:5\n", {"a=1", "b=2", "1 2", "3 8", "_ 4"}},
        {"ERROR: sensor 3 not found\nt: 1\n", {"t=1", "1"}},
    };
    for (const auto& [bytes, events] : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(Read(bytes), events);
    }
    CLineReader reader;
    Read(reader, "a:1 b:2 9 8 a:3\n");
    EXPECT_EQ(reader.Counts().m_nValuesDropped, 1u);
    EXPECT_EQ(reader.ChannelName(1), "b");
    // Every channel taken: a new name finds none.
    Read(reader, "1 2 3 4 5 6 7 8 9 10\nz:1\n");
    EXPECT_EQ(reader.Counts().m_nValuesDropped, 2u);
    EXPECT_EQ(reader.ChannelName(9), "");
}

TEST(LineReaderTest, HeaderLinesNameChannelsBeforeTheFirstSetOnly) {
    const std::tuple<std::string, Lines, int> cases[] = {
        {"time,temp,hum\n1,2,3\n", {"time=1", "temp=2", "hum=3", "1 2 3"}, 0},
        {"temp hum\nERROR: no sensor\n1,nan\n", {"temp=1", "hum=2", "1 _"}, 1},
        // Words that do not name the first set's fields (a boot message) name nothing.
        {"Starting BME280 sensor\n21.5,40\n", {"21.5 40"}, 0},
        {"a b\n5\n", {"5"}, 0},
        {"x y\na:1 b:2\n", {"a=1", "b=2", "1 2"}, 0},
        // A later header before the data names again; after it, a line of names is skipped.
        {"boot\nx y\n1 2\nx y\n", {"x=1", "y=2", "1 2"}, 1},
        {"1.5V 2.0A\n", {}, 1},
        {"a,,b\n", {}, 1},
    };
    for (const auto& [bytes, events, nSkipped] : cases) {
        SCOPED_TRACE(bytes);
        CLineReader reader;
        EXPECT_EQ(Read(reader, bytes), events);
        EXPECT_EQ(reader.Counts().m_nLinesSkipped, static_cast<std::uint64_t>(nSkipped));
    }
}

TEST(LineReaderTest, SkippedLinesAndOversizedSetsAreCounted) {
    CLineReader reader;
    EXPECT_EQ(Read(reader, "1 2 3 4 5 6 7 8 9 10 11 12 13 14\n"), Lines{"1 2 3 4 5 6 7 8 9 10"});
    EXPECT_EQ(reader.Counts().m_nValuesDropped, 4u);
    EXPECT_EQ(reader.Counts().m_nLargestSet, 14);
    reader.ForgetSession();
    const std::string strLong = "Sensor \x01 not ready, retrying in " + std::string(40, 'x');
    EXPECT_EQ(Read(reader, "ERROR: sensor 3 not found\r\n" + strLong + "\n1 2\n"), Lines{"1 2"});
    EXPECT_EQ(reader.Counts().m_nLinesSkipped, 2u);
    EXPECT_EQ(reader.Counts().m_strLastSkippedLine,
              "Sensor ? not ready, retrying in " + std::string(28, 'x'));
    // A character of several bytes cut by the limit goes whole.
    Read(reader, std::string(59, 'a') + "\xc3\xa9 b\n");
    EXPECT_EQ(reader.Counts().m_strLastSkippedLine, std::string(59, 'a'));
    reader.ForgetSession();
    EXPECT_EQ(reader.Counts().m_nLinesSkipped, 0u);
    EXPECT_EQ(reader.Counts().m_nValuesDropped, 0u);
}

TEST(LineReaderTest, GivesTheSameSetsAndNamesHoweverTheStreamIsSplit) {
    const std::string stream = "boot v1.0\r\nt,p\r\n1.5e-3,2\r\n\r\nt: 3 q:4,,\r\n" +
                               std::string(130, '7') + "\n-inf;nan 12345678901234567890123\n" +
                               "Fehler: \xc3\xa9t\xc3\xa9 pass\xc3\xa9 nope\n5#6\n";
    CLineReader whole;
    const Lines expected = Read(whole, stream);
    ASSERT_EQ(expected, (Lines{"t=1", "p=2", "0.00150000001 2", "q=3", "3 _ 4",
                               "-inf _ 1.23456794e+22", "5 _ _", "6 _ _"}));
    for (std::size_t a = 0; a <= stream.size(); ++a) {
        for (std::size_t b = a; b <= stream.size(); b += 7) {
            CLineReader split;
            Lines events = Read(split, stream.substr(0, a));
            for (const auto& part : {stream.substr(a, b - a), stream.substr(b)}) {
                const Lines more = Read(split, part);
                events.insert(events.end(), more.begin(), more.end());
            }
            ASSERT_EQ(events, expected) << "split at " << a << ", " << b;
            ASSERT_EQ(split.Counts().m_nLinesSkipped, 2u);
        }
    }
}

// The store in the line format: every channel in use takes a value or a gap in every set.
TEST(LineReaderTest, TheStoreKeepsChannelsAlignedAndNames) {
    CPlotData data;
    data.m_cLimiter = '#';
    data.CreateChannels();
    data.SetBoardFormat(EBoardFormat::kLines);
    data.SetChannelName(1, "Humidity");
    EXPECT_TRUE(data.Interpret("temp:20\ntemp:21 hum:40\n1 2 3\n"));
    const auto column = [&data](int i) {
        std::vector<float> vColumn;
        for (int j = 0; j < data.GetSampleCount(i); ++j) {
            vColumn.push_back(data.GetSample(i, j));
        }
        return Shown(vColumn.data(), static_cast<int>(vColumn.size()));
    };
    EXPECT_EQ((Lines{column(0), column(1), column(2)}), (Lines{"20 21 1", "_ 40 2", "_ _ 3"}));
    EXPECT_EQ(data.m_nLastSetCount, 3);
    EXPECT_EQ(data.GetMin(1), 0.0f);
    EXPECT_EQ(data.GetMax(1), 40.0f);
    EXPECT_EQ(data.GetChannelName(0), "temp");
    // The user's name stands; the board's stays beside it.
    EXPECT_EQ(data.GetChannelName(1), "Humidity");
    EXPECT_EQ(data.GetStreamChannelName(1), "hum");
    EXPECT_EQ(data.GetReadCounts().m_nNamesLearnt, 2u);
    data.ClearAll();
    EXPECT_EQ(data.GetChannelName(0), "");
    EXPECT_EQ(data.GetChannelName(1), "Humidity");
    // A new session: a new name takes the first channel again.
    data.Interpret("rpm:5\n");
    EXPECT_EQ(data.GetChannelName(0), "rpm");
    // Sets that widen within one read line up as they do across reads.
    data.ClearAll();
    data.SetBoardFormat(EBoardFormat::kHashSets);
    data.Interpret("1 2 3#");
    data.SetBoardFormat(EBoardFormat::kLines);
    data.Interpret("5\n5,6,7\n");
    EXPECT_EQ((Lines{column(0), column(1), column(2)}), (Lines{"1 5 5", "2 _ 6", "3 _ 7"}));
    data.DestroyChannels();
}

} // namespace
