// Recording every received set to a file as it arrives: the exact text, that it reaches the
// file by itself, that reading it back gives the very floats, and what a failing disk does.
#include "RecordingWriter.h"
#include "DataFileReader.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Values = std::vector<float>;

// Waits until the file holds strText, without stopping the recording.
bool WaitForText(const std::string& strPath, const std::string& strText) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (ReadFile(strPath) != strText) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST(RecordingWriterTest, WritesEachSetAsALineInItsShortestExactForm) {
    CTempDir dir;
    const float inf = INFINITY;
    CRecordingWriter writer;
    ASSERT_TRUE(writer.Start(dir.Path("rec.csv")));
    writer.AddSet(0, Values{1.5f, 2.0f});
    writer.AddSet(1, Values{});
    writer.AddSet(1234, Values{-0.0f, inf, -inf});
    writer.AddSet(65'001, Values{0.1f, 1e20f, 3.0f, 16777216.0f, 1.17549435e-38f, 1e-45f});
    writer.AddSet(3'600'000'999, Values{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    writer.AddSet(3'600'001'000, Values{-7.25f});
    EXPECT_TRUE(writer.Stop());
    // The header names the widest set; earlier lines keep their columns; the eleventh and
    // twelfth values are not recorded, as the interpreter drops them.
    EXPECT_EQ(ReadFile(dir.Path("rec.csv")), "time_s,ch1,ch2,ch3,ch4,ch5,ch6,ch7,ch8,ch9,ch10\n"
                                             "0.000,1.5,2\n"
                                             "0.001\n"
                                             "1.234,-0,inf,-inf\n"
                                             "65.001,0.1,1e+20,3,16777216,1.1754944e-38,1e-45\n"
                                             "3600000.999,1,2,3,4,5,6,7,8,9,10\n"
                                             "3600001.000,-7.25\n");
}

TEST(RecordingWriterTest, ReachesTheFileByItselfAndWidensItsHeaderAfterwards) {
    CTempDir dir;
    const std::string strPath = dir.Path("rec.csv");
    CRecordingWriter writer;
    SRecordingOptions options;
    options.m_writeDelay = 0ms;
    ASSERT_TRUE(writer.Start(strPath, {}, options));
    EXPECT_EQ(ReadFile(strPath), "");
    writer.AddSet(5, Values{});
    ASSERT_TRUE(WaitForText(strPath, "time_s\n0.005\n"));
    writer.AddSet(10, Values{1, 2});
    ASSERT_TRUE(WaitForText(strPath, "time_s,ch1,ch2\n0.005\n0.010,1,2\n"));
    writer.AddSet(20, Values{3});
    writer.AddSet(30, Values{4, 5, 6});
    ASSERT_TRUE(
        WaitForText(strPath, "time_s,ch1,ch2,ch3\n0.005\n0.010,1,2\n0.020,3\n0.030,4,5,6\n"));
    EXPECT_TRUE(writer.Stop());
    EXPECT_EQ(dir.Names(), std::set<std::string>{"rec.csv"});
}

TEST(RecordingWriterTest, AMillionRandomFloatsReadBackExactly) {
    CTempDir dir;
    std::mt19937 random(20261208);
    std::vector<Values> vSets;
    CRecordingWriter writer;
    ASSERT_TRUE(writer.Start(dir.Path("rec.csv")));
    // Every bit pattern: all exponents, subnormals, infinities, NaN; sets of 1 to 10 values.
    std::uniform_int_distribution<int> size(1, 10);
    for (std::size_t nValues = 0; nValues < 1'000'000;) {
        Values& set = vSets.emplace_back(static_cast<std::size_t>(size(random)));
        for (float& v : set) {
            v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        }
        nValues += set.size();
        writer.AddSet(static_cast<std::int64_t>(vSets.size()), set);
    }
    ASSERT_TRUE(writer.Stop());

    const CLoadedData data = ReadDataFile(dir.Path("rec.csv"));
    ASSERT_EQ(data.m_eStatus, ELoadStatus::kOk);
    EXPECT_EQ(data.m_nRows, vSets.size());
    EXPECT_EQ(data.m_nSkipped, 0u);
    std::array<int, 10> nNext{};
    int nMismatches = 0;
    for (const Values& set : vSets) {
        for (std::size_t c = 0; c < set.size(); ++c) {
            const float fRead = data.m_channels[c].GetSample(nNext[c]++);
            const bool bSame = std::isnan(set[c]) ? std::isnan(fRead)
                                                  : std::bit_cast<std::uint32_t>(fRead) ==
                                                        std::bit_cast<std::uint32_t>(set[c]);
            if (!bSame && ++nMismatches < 10) {
                ADD_FAILURE() << "bits " << std::bit_cast<std::uint32_t>(set[c]) << " read as "
                              << std::bit_cast<std::uint32_t>(fRead);
            }
        }
    }
    EXPECT_EQ(nMismatches, 0);
}

TEST(RecordingWriterTest, AFailingDiskStopsTheRecordingWithWholeLinesKept) {
    CTempDir dir;
    const std::string strPath = dir.Path("rec.csv");
    std::atomic<int> nFailures{0};
    CRecordingWriter writer;
    {
        const CFileSizeLimit limit(4000);
        ASSERT_TRUE(writer.Start(strPath, [&] { ++nFailures; }));
        for (int k = 0; k < 1000 && !writer.Failed(); ++k) {
            writer.AddSet(k, Values{123.456f, -7.5f, static_cast<float>(k)});
            std::this_thread::sleep_for(100us);
        }
        for (const auto deadline = std::chrono::steady_clock::now() + 20s;
             !writer.Failed() && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_FALSE(writer.Stop());
    }
    EXPECT_EQ(writer.Error(), EFBIG);
    EXPECT_EQ(nFailures, 1);
    writer.AddSet(5000, Values{1.0f}); // after the failure: dropped, nothing breaks
    // Every line that is there is whole: the file ends after a line end, and the sets in it are
    // the first ones, in order.
    const std::string strText = ReadFile(strPath);
    ASSERT_FALSE(strText.empty());
    EXPECT_LE(strText.size(), 4000u);
    EXPECT_EQ(strText.back(), '\n');
    std::istringstream lines(strText);
    std::string strLine;
    std::getline(lines, strLine);
    EXPECT_EQ(strLine, "time_s,ch1,ch2,ch3");
    for (int k = 0; std::getline(lines, strLine); ++k) {
        std::ostringstream expected;
        expected << "0.00" << k << ",123.456,-7.5," << k;
        if (k < 10) {
            EXPECT_EQ(strLine, expected.str());
        } else {
            EXPECT_EQ(strLine.substr(strLine.find(",123.456,-7.5,")),
                      ",123.456,-7.5," + std::to_string(k));
        }
    }
}

TEST(RecordingWriterTest, RefusesAWriteProtectedFileAndADiskThatFallsBehind) {
    CTempDir dir;
    const std::string strPath = dir.Path("kept.csv");
    WriteFile(strPath, "precious");
    ASSERT_EQ(::chmod(strPath.c_str(), 0444), 0);
    CRecordingWriter refused;
    EXPECT_FALSE(refused.Start(strPath));
    EXPECT_EQ(refused.Error(), EACCES);
    EXPECT_EQ(ReadFile(strPath), "precious");

    // Sets that pile up unwritten past the limit end the recording instead of all memory.
    std::atomic<int> nFailures{0};
    CRecordingWriter slow;
    SRecordingOptions options;
    options.m_writeDelay = 60s;
    options.m_nMaxPending = 100;
    ASSERT_TRUE(slow.Start(
        dir.Path("slow.csv"), [&] { ++nFailures; }, options));
    for (int k = 0; k <= 100; ++k) {
        slow.AddSet(k, Values{1.0f});
    }
    EXPECT_FALSE(slow.Stop());
    EXPECT_EQ(slow.Error(), ENOBUFS);
    EXPECT_EQ(nFailures, 1);
}

} // namespace
