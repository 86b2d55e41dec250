#include "PlotData.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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
        {{"   "}, false, Expect({}), 0},
        {{"abc"}, false, Expect({}), 0},
        {{""}, false, Expect({}), 0},
        {{"1 2 3"}, false, Expect({}), 0},
        {{"9 8#7\0006#"}, true, Expect({{9.0f}, {8.0f}}), 2},
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
    for (std::size_t length : {98u, 99u, 100u, 101u, 150u, 400u}) {
        SCOPED_TRACE(length);
        // "1." then ones, then a marker digit that only counts when within the first 99.
        std::string run = "1.";
        run.append(length - 3, '0');
        run.push_back('9');
        CPlotData data = MakeStore();
        ASSERT_TRUE(data.Interpret((run + " 2#").c_str()));
        const float expected = length <= 99 ? static_cast<float>(std::atof(run.c_str())) : 1.0f;
        EXPECT_EQ(data.GetSample(0, 0), expected);
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

TEST(InterpreterTest, NumberInProgressSurvivesClearAll) {
    CPlotData data = MakeStore();
    EXPECT_FALSE(data.Interpret("12"));
    data.ClearAll();
    EXPECT_TRUE(data.Interpret("3 4#"));
    EXPECT_EQ(Contents(data), Expect({{123.0f}, {4.0f}}));
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
    CPlotData data = MakeStore();
    data.Interpret("1.5 -0.25 1,5#");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(Contents(data), Expect({{1.5f}, {-0.25f}, {1.0f}}));
}

} // namespace
