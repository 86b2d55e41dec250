// Recording every received set to a file as it arrives: the exact text, that it reaches the
// file by itself, that reading it back gives the very floats, and what a failing disk does.
#include "RecordingWriter.h"
#include "DataFileReader.h"
#include "SmallDisk.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <random>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST(RecordingWriterTest, GapsAreEmptyCellsAndNamesThatComeLateRewriteTheHeader) {
    CTempDir dir;
    const std::string strPath = dir.Path("rec.csv");
    const float gap = NAN;
    CRecordingWriter writer;
    SRecordingOptions options;
    options.m_writeDelay = 0ms;
    ASSERT_TRUE(writer.Start(strPath, {}, options));
    writer.SetNames({"temp", "", "a,b"});
    writer.AddSet(1, Values{1.5f, gap, 3.0f});
    writer.AddSet(2, Values{gap});
    ASSERT_TRUE(WaitForText(strPath, "time_s,temp,ch2,a_b\n0.001,1.5,,3\n0.002,\n"));
    writer.SetNames({"temp", "hum"});
    writer.AddSet(3, Values{4.0f, gap});
    EXPECT_TRUE(writer.Stop());
    EXPECT_EQ(ReadFile(strPath), "time_s,temp,hum,ch3\n0.001,1.5,,3\n0.002,\n0.003,4,\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"rec.csv"});
}

// Line-format sets are aligned: a channel that joins late had gaps in the sets before, which
// the lines before get when it widens the header ('#' sets keep short lines: see above).
TEST(RecordingWriterTest, AChannelThatJoinsLateInAlignedSetsKeepsItsRows) {
    CTempDir dir;
    const std::string strPath = dir.Path("rec.csv");
    CRecordingWriter writer;
    ASSERT_TRUE(writer.Start(strPath));
    writer.AddSet(50, Values{});
    writer.AddSet(100, Values{20}, true);
    writer.AddSet(200, Values{21, 40}, true);
    // Narrower again (a new session): the later channel has gaps.
    writer.AddSet(300, Values{22}, true);
    ASSERT_TRUE(writer.Stop());
    EXPECT_EQ(ReadFile(strPath), "time_s,ch1,ch2\n0.050\n0.100,20,\n0.200,21,40\n0.300,22,\n");

    // Lines cut by the copy's buffer are padded as whole lines.
    ASSERT_TRUE(writer.Start(strPath));
    const int nRows = 30'000;
    for (int k = 0; k < nRows; ++k) {
        writer.AddSet(k, Values{static_cast<float>(k)}, true);
    }
    writer.AddSet(nRows, Values{1, 40}, true);
    ASSERT_TRUE(writer.Stop());
    const CLoadedData data = ReadDataFile(strPath);
    ASSERT_EQ(data.m_nRows, nRows + 1u);
    ASSERT_EQ(data.m_channels[1].GetSampleCount(), nRows + 1);
    int nGaps = 0;
    for (int k = 0; k < nRows; ++k) {
        nGaps += std::isnan(data.m_channels[1].GetSample(k)) ? 1 : 0;
    }
    EXPECT_EQ(nGaps, nRows);
    EXPECT_EQ(data.m_channels[1].GetSample(nRows), 40.0f);
}

TEST(RecordingWriterTest, ATargetThatIsNoPlainFileIsRefusedWithTheSystemsReason) {
    CTempDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("loop", dir.Path("loop").c_str()), 0);
    const std::pair<std::string, int> cases[] = {{dir.Dir(), EISDIR},
                                                 {dir.Path("pipe"), ENOTSUP},
                                                 {dir.Path("missing/rec.csv"), ENOENT},
                                                 {dir.Path("loop"), ELOOP}};
    for (const auto& [strPath, nErrno] : cases) {
        CRecordingWriter writer;
        EXPECT_FALSE(writer.Start(strPath)) << strPath;
        EXPECT_EQ(writer.Error(), nErrno) << strPath;
        EXPECT_FALSE(writer.Recording());
    }
    CSmallDisk disk(64 * 1024);
    if (disk.Mounted()) {
        WriteFile(disk.Path("old.csv"), "old");
        ASSERT_EQ(::mount(nullptr, disk.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
                  0);
        for (const char* szName : {"old.csv", "new.csv"}) {
            CRecordingWriter writer;
            EXPECT_FALSE(writer.Start(disk.Path(szName)));
            EXPECT_EQ(writer.Error(), EROFS) << szName;
        }
    }
}

// A file deleted or replaced while it is recorded is noticed at the next write; the owner can
// ask whether a name is the file being recorded.
TEST(RecordingWriterTest, ARecordingFileThatGoesIsReportedAsLost) {
    CTempDir dir;
    const std::string strPath = dir.Path("rec.csv");
    ASSERT_EQ(::symlink("rec.csv", dir.Path("link.csv").c_str()), 0);
    for (const bool bReplace : {false, true}) {
        std::atomic<int> nFailures{0};
        CRecordingWriter writer;
        ASSERT_TRUE(writer.Start(strPath, [&] { ++nFailures; }));
        EXPECT_TRUE(writer.IsRecordingFile(strPath));
        EXPECT_TRUE(writer.IsRecordingFile(dir.Path("link.csv")));
        WriteFile(dir.Path("other.csv"), "other");
        EXPECT_FALSE(writer.IsRecordingFile(dir.Path("other.csv")));
        writer.AddSet(1, Values{1.0f});
        ASSERT_TRUE(WaitForText(strPath, "time_s,ch1\n0.001,1\n"));
        if (bReplace) {
            ASSERT_EQ(::rename(dir.Path("other.csv").c_str(), strPath.c_str()), 0);
        } else {
            ASSERT_EQ(::unlink(strPath.c_str()), 0);
        }
        writer.AddSet(2, Values{2.0f});
        EXPECT_FALSE(writer.Stop());
        EXPECT_TRUE(writer.Lost());
        EXPECT_EQ(writer.Error(), bReplace ? ESTALE : ENOENT);
        EXPECT_EQ(writer.End().m_nWritten, 1u);
        EXPECT_EQ(writer.End().m_nLost, 1u);
        EXPECT_EQ(nFailures, 1);
        EXPECT_FALSE(writer.IsRecordingFile(strPath));
    }
}

// A widening that does not fit on the disk ends the recording and leaves the file whole
// under a header that names every column in it.
TEST(RecordingWriterTest, AHeaderThatCannotBeWrittenAnewEndsTheRecording) {
    CSmallDisk disk(256 * 1024);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "needs the superuser to mount a small file system (CI runs as one)";
    }
    const std::string strPath = disk.Path("rec.csv");
    CRecordingWriter writer;
    ASSERT_TRUE(writer.Start(strPath));
    std::string strBefore = "time_s,ch1\n";
    for (int k = 0; k < 5000; ++k) {
        writer.AddSet(k, Values{1.25f});
        char szLine[32];
        std::snprintf(szLine, sizeof szLine, "%d.%03d,1.25\n", k / 1000, k % 1000);
        strBefore += szLine;
    }
    ASSERT_TRUE(WaitForText(strPath, strBefore));
    disk.Fill(strBefore.size() / 2);
    writer.AddSet(6000, Values{1.0f, 2.0f});
    EXPECT_FALSE(writer.Stop());
    EXPECT_EQ(writer.Error(), ENOSPC);
    EXPECT_EQ(ReadFile(strPath), strBefore);
}

TEST(RecordingWriterTest, StopReturnsAtOnceOrWithinItsBoundAndSaysWhatWasLost) {
    CTempDir dir;
    // The asynchronous stop: the outcome comes from the writer's thread.
    CRecordingWriter writer;
    ASSERT_TRUE(writer.Start(dir.Path("rec.csv")));
    writer.AddSet(1, Values{1.0f});
    std::promise<std::pair<SRecordingEnd, std::thread::id>> stopped;
    writer.StopAsync([&](const SRecordingEnd& end) {
        stopped.set_value({end, std::this_thread::get_id()});
    });
    EXPECT_FALSE(writer.Recording());
    const auto [end, thread] = stopped.get_future().get();
    EXPECT_TRUE(end.m_bOk);
    EXPECT_EQ(end.m_nWritten, 1u);
    EXPECT_NE(thread, std::this_thread::get_id());
    EXPECT_EQ(ReadFile(dir.Path("rec.csv")), "time_s,ch1\n0.001,1\n");

    // A pipe that its reader never empties holds the writer; Stop gives it up.
    const std::string strPipe = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(strPipe.c_str(), 0600), 0);
    const int hReader = ::open(strPipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(hReader, 0);
    SRecordingOptions options;
    options.m_bPipesAllowed = true;
    options.m_stopTimeout = 200ms;
    std::atomic<int> nCallbacks{0};
    {
        CRecordingWriter stuck;
        ASSERT_TRUE(stuck.Start(
            strPipe, [&] { ++nCallbacks; }, options));
        for (int k = 0; k < 20000; ++k) {
            stuck.AddSet(k, Values{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        }
        EXPECT_FALSE(stuck.Stop());
        EXPECT_EQ(stuck.Error(), ETIMEDOUT);
        EXPECT_GT(stuck.End().m_nLost, 0u);
        EXPECT_EQ(stuck.End().m_nWritten + stuck.End().m_nLost, 20000u);
    }
    ::close(hReader); // the writer, given up, ends on EPIPE without a word
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(nCallbacks, 0);
}

// Temporary files of a program killed while it wrote them go when a recording starts beside
// them; those of a program still running, and other files, stay.
TEST(RecordingWriterTest, StaleTemporaryFilesOfThisProgramAreRemoved) {
    CTempDir dir;
    const pid_t pidGone = ::fork();
    if (pidGone == 0) {
        ::_exit(0);
    }
    ::waitpid(pidGone, nullptr, 0);
    const std::string strGone = ".kovra-" + std::to_string(pidGone) + "-3.tmp";
    const std::string strLive = ".kovra-" + std::to_string(::getpid()) + "-4.tmp";
    for (const std::string& strName : {strGone, strLive, std::string(".kovra-x.tmp")}) {
        WriteFile(dir.Path(strName), "left over");
    }
    CRecordingWriter writer;
    ASSERT_TRUE(writer.Start(dir.Path("rec.csv")));
    EXPECT_EQ(dir.Names(), (std::set<std::string>{strLive, ".kovra-x.tmp", "rec.csv"}));
}

} // namespace
