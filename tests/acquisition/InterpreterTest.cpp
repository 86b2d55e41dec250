#include "PlotData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using Channels = std::vector<std::vector<float>>;

CPlotData MakeStore() {
    CPlotData data;
    data.m_cLimiter = '#';
    data.CreateChannels();
    return data;
}

Channels Contents(const CPlotData& data) {
    Channels channels(CPlotData::kChannelCount);
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        for (int j = 0; j < data.GetSampleCount(i); ++j) {
            channels[static_cast<std::size_t>(i)].push_back(data.GetSample(i, j));
        }
    }
    return channels;
}

Channels Expect(std::initializer_list<std::vector<float>> columns) {
    Channels channels(CPlotData::kChannelCount);
    std::size_t i = 0;
    for (const auto& column : columns) {
        channels[i++] = column;
    }
    return channels;
}

struct WorkedExample {
    std::vector<std::string> chunks;
    bool lastResult;
    Channels channels;
    int lastSetCount;
};

TEST(InterpreterTest, WorkedExamples) {
    const WorkedExample examples[] = {
        {{"1.5 -2 3#"}, true, Expect({{1.5f}, {-2.0f}, {3.0f}}), 3},
        {{"1.2 3", "4#"}, true, Expect({{1.2f}, {34.0f}}), 2},
        {{"0.5\r\n0.7\r\n#"}, true, Expect({{0.5f}, {0.7f}}), 2},
        {{"1,2,3#"}, true, Expect({{1.0f}}), 1},
        {{"2.5e3#"}, true, Expect({{2.5f}, {3.0f}}), 2},
        {{"+4#"}, true, Expect({{4.0f}}), 1},
        {{"1 2#3 4#"}, true, Expect({{1.0f, 3.0f}, {2.0f, 4.0f}}), 2},
        {{"7#"}, true, Expect({{7.0f}}), 1},
        {{"1,,2#"}, true, Expect({{1.0f}}), 1},
        {{"1  ;  2 #"}, true, Expect({{1.0f}, {2.0f}}), 2},
        {{"5#", "#"}, true, Expect({{5.0f}}), 0},
        {{"0 0 0#", "1 -2 3#4#"},
         true,
         Expect({{0.0f, 1.0f, 4.0f}, {0.0f, -2.0f}, {0.0f, 3.0f}}),
         1},
        {{"   "}, false, Expect({}), 0},
        {{"abc"}, false, Expect({}), 0},
        {{""}, false, Expect({}), 0},
        {{"1 2 3"}, false, Expect({}), 0},
        // The C-string form stops at a NUL: nothing after it is seen.
        {{"9 8#7\0006#"s}, true, Expect({{9.0f}, {8.0f}}), 2},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.chunks.front());
        CPlotData data = MakeStore();
        bool result = false;
        for (const auto& chunk : example.chunks) {
            result = data.Interpret(chunk.c_str());
        }
        EXPECT_EQ(result, example.lastResult);
        EXPECT_EQ(Contents(data), example.channels);
        EXPECT_EQ(data.m_nLastSetCount, example.lastSetCount);
        // Extremes seeded with 0.0, as every set is stored.
        for (int i = 0; i < CPlotData::kChannelCount; ++i) {
            float fMin = 0.0f;
            float fMax = 0.0f;
            for (const float v : example.channels[static_cast<std::size_t>(i)]) {
                fMin = std::min(fMin, v);
                fMax = std::max(fMax, v);
            }
            EXPECT_EQ(data.GetMin(i), fMin);
            EXPECT_EQ(data.GetMax(i), fMax);
        }
    }
}

TEST(InterpreterTest, NumberValues) {
    const std::pair<const char*, float> cases[] = {
        {"12.5", 12.5f}, {"-3", -3.0f},    {"-.5", -0.5f}, {"1,5", 1.0f}, {"1/2", 1.0f},
        {"1.2.3", 1.2f}, {"5-3", 5.0f},    {"-", 0.0f},    {".", 0.0f},   {"--1", 0.0f},
        {",25", 0.0f},   {"0000.5", 0.5f}, {"/7", 0.0f},   {"3.", 3.0f},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        CPlotData data = MakeStore();
        ASSERT_TRUE(data.Interpret((std::string(text) + "#").c_str()));
        ASSERT_EQ(data.GetSampleCount(0), 1);
        EXPECT_EQ(data.GetSample(0, 0), value);
    }
}

TEST(InterpreterTest, OverlongRunsConvertTheirFirst99Characters) {
    // Zeros then "157": the value tells exactly where the run was cut.
    const std::pair<std::size_t, float> cases[] = {{98, 157.0f}, {99, 157.0f}, {100, 15.0f},
                                                   {101, 1.0f},  {102, 0.0f},  {400, 0.0f}};
    for (const auto& [length, value] : cases) {
        SCOPED_TRACE(length);
        const std::string run = std::string(length - 3, '0') + "157";
        CPlotData data = MakeStore();
        ASSERT_TRUE(data.Interpret((run + " 2#").c_str()));
        EXPECT_EQ(data.GetSample(0, 0), value);
        EXPECT_EQ(data.GetSample(1, 0), 2.0f);
    }
    CPlotData data = MakeStore();
    data.Interpret((std::string(99, '9') + "#").c_str());
    EXPECT_EQ(data.GetSample(0, 0), std::numeric_limits<float>::infinity());
}

TEST(InterpreterTest, AnySplitOfTheStreamGivesTheSameStore) {
    const std::string stream = "1.5 -2 3#\r\n12.75,4 -0.001#  #7#" + std::string(120, '3') +
                               " 1e5\t+2.#0000.5 -.25 9/9 5-3 8#";
    CPlotData whole = MakeStore();
    whole.Interpret(stream.c_str());
    for (std::size_t a = 0; a <= stream.size(); ++a) {
        for (std::size_t b = a; b <= stream.size(); b += 7) {
            CPlotData split = MakeStore();
            split.Interpret(stream.substr(0, a).c_str());
            split.Interpret(stream.substr(a, b - a).c_str());
            split.Interpret(stream.substr(b).c_str());
            ASSERT_EQ(Contents(split), Contents(whole)) << "split at " << a << ", " << b;
            ASSERT_EQ(split.m_nLastSetCount, whole.m_nLastSetCount);
        }
    }
}

TEST(InterpreterTest, ValuesBeyondTheTenthAreDiscarded) {
    for (int count : {10, 11, 12, 300}) {
        SCOPED_TRACE(count);
        std::string set;
        for (int k = 1; k <= count; ++k) {
            set += std::to_string(k) + " ";
        }
        CPlotData data = MakeStore();
        ASSERT_TRUE(data.Interpret((set + "#1 2#").c_str()));
        for (int i = 0; i < CPlotData::kChannelCount; ++i) {
            EXPECT_EQ(data.GetSample(i, 0), static_cast<float>(i + 1));
        }
        // The next set starts fresh: nothing of the long one spills into it.
        EXPECT_EQ(data.GetSample(0, 1), 1.0f);
        EXPECT_EQ(data.GetSample(1, 1), 2.0f);
        EXPECT_EQ(data.GetSampleCount(2), 1);
        EXPECT_EQ(data.m_nLastSetCount, 2);
    }
    CPlotData data = MakeStore();
    data.Interpret("1 2 3 4 5 6 7 8 9 10 11 12#");
    EXPECT_EQ(data.m_nLastSetCount, 10);
}

TEST(InterpreterTest, ClearAllAndDiscardPartialSetStartAFreshSetAndNumber) {
    // A board unplugged in the middle of "10 20 30#" and plugged in again.
    CPlotData cleared = MakeStore();
    EXPECT_TRUE(cleared.Interpret("1 2 3#\r\n10 20 3"));
    cleared.ClearAll();
    EXPECT_TRUE(cleared.Interpret("4 5 6#"));
    EXPECT_EQ(Contents(cleared), Expect({{4.0f}, {5.0f}, {6.0f}}));
    EXPECT_EQ(cleared.m_nLastSetCount, 3);

    CPlotData reopened = MakeStore();
    reopened.SetColor(0, 5);
    reopened.Interpret("1 2 3#\r\n10 20 3");
    reopened.DiscardPartialSet();
    EXPECT_EQ(reopened.m_nLastSetCount, 3);
    EXPECT_TRUE(reopened.Interpret("4 5 6#"));
    EXPECT_EQ(Contents(reopened), Expect({{1.0f, 4.0f}, {2.0f, 5.0f}, {3.0f, 6.0f}}));
    EXPECT_EQ(reopened.GetColor(0), 5);
}

TEST(InterpreterTest, LineEndedSetsReachTheChannelsWhenAskedFor) {
    CPlotData data = MakeStore();
    EXPECT_EQ(data.GetBoardFormat(), EBoardFormat::kHashSets);
    EXPECT_FALSE(data.Interpret("1 2\r\n"));
    data.SetBoardFormat(EBoardFormat::kLines);
    EXPECT_EQ(data.GetBoardFormat(), EBoardFormat::kLines);
    // The half set gathered under the other rule is dropped.
    EXPECT_TRUE(data.Interpret("3 9\r\n\r\n4 5\r\n"));
    EXPECT_EQ(Contents(data), Expect({{3.0f, 4.0f}, {9.0f, 5.0f}}));
    EXPECT_EQ(data.m_nLastSetCount, 2);
}

TEST(InterpreterTest, ReceivedNulBytesSeparateAndLoseNothing) {
    const std::pair<std::string, Channels> cases[] = {
        {"9 8#7\0006#"s, Expect({{9.0f, 7.0f}, {8.0f, 6.0f}})},
        {"12\00034#"s, Expect({{12.0f}, {34.0f}})},
        {"\0\0\0001\0#\0"s, Expect({{1.0f}})},
    };
    for (const auto& [bytes, channels] : cases) {
        SCOPED_TRACE(bytes);
        CPlotData data = MakeStore();
        EXPECT_TRUE(data.Interpret(bytes.data(), bytes.size()));
        EXPECT_EQ(Contents(data), channels);
    }
    // A NUL after each set, fed in the 100-byte reads of the serial handler.
    std::string stream;
    for (int k = 0; k < 23; ++k) {
        stream += std::to_string(k) + " " + std::to_string(-k) + "#\r\n\0"s;
    }
    CPlotData data = MakeStore();
    for (std::size_t at = 0; at < stream.size(); at += 100) {
        data.Interpret(stream.data() + at, std::min<std::size_t>(100, stream.size() - at));
    }
    ASSERT_EQ(data.GetSampleCount(0), 23);
    EXPECT_EQ(data.GetSample(1, 22), -22.0f);
}

TEST(InterpreterTest, NulIsNoLimiterWhateverTheLimiter) {
    for (char limiter : {' ', '\t', '\0'}) {
        SCOPED_TRACE(static_cast<int>(limiter));
        CPlotData data = MakeStore();
        data.m_cLimiter = limiter;
        const std::string bytes = "1\0002"s + limiter;
        data.Interpret(bytes.data(), bytes.size());
        EXPECT_EQ(data.GetSampleCount(0), limiter == '\0' ? 0 : 1);
        EXPECT_EQ(data.GetSampleCount(1), limiter == '\0' ? 0 : 1);
    }
}

TEST(InterpreterTest, HighBytesAndControlBytesSeparate) {
    CPlotData data = MakeStore();
    const char text[] = {'1', '\x80', '2', '\xff', '3', '\x01', '4', '#', '\0'};
    EXPECT_TRUE(data.Interpret(text));
    EXPECT_EQ(Contents(data), Expect({{1.0f}, {2.0f}, {3.0f}, {4.0f}}));
}

TEST(InterpreterTest, DecimalPointIsAFullStopWhateverTheLocale) {
    // The build compiles a German locale into LOCPATH for this test.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma available";
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    // Short numbers and one long enough to go to the C library's own conversion.
    CPlotData data = MakeStore();
    data.Interpret("1.5 -0.25 1,5 2.718281828459045235360287#");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(Contents(data), Expect({{1.5f}, {-0.25f}, {1.0f}, {2.7182817f}}));
}

} // namespace
