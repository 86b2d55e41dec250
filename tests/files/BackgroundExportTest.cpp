// Exports that run on a thread of their own over the values stored when they began, while the
// store goes on growing, is cleared and fills again.
#include "BackgroundJob.h"
#include "CsvWriter.h"
#include "PlotData.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

CPlotData MakeStore() {
    CPlotData data;
    data.m_cLimiter = '#';
    data.CreateChannels();
    return data;
}

// Rows of nColumns values that differ from row to row and channel to channel.
void AddRows(CPlotData& data, int nRows, int nColumns, float fOffset = 0.0f) {
    for (int r = 0; r < nRows; ++r) {
        for (int c = 0; c < nColumns; ++c) {
            data.AddSample(c, fOffset + static_cast<float>(r) * 0.25f - static_cast<float>(c));
        }
    }
    data.m_nLastSetCount = static_cast<std::uint8_t>(nColumns);
}

TEST(BackgroundExportTest, WritesExactlyWhatWasStoredWhenItBeganWhileTheStoreChanges) {
    CTempDir dir;
    CPlotData data = MakeStore();
    // More than one block of the store, the last one partly filled.
    AddRows(data, static_cast<int>(CSampleSeries::kBlockSize) + 777, 3);
    ASSERT_TRUE(WriteCsv(data, dir.Path("expected.csv")).Ok());

    const CCsvSnapshot snapshot = TakeCsvSnapshot(data);
    // The store fills its last block, grows new ones and is cleared, letting go of the blocks
    // the export is to read; then, while the export runs, it fills again.
    AddRows(data, 5000, 4, 1000.0f);
    data.ClearAll();
    CExportResult result;
    CBackgroundJob job([&](CJobProgress& progress) {
        result = WriteCsv(snapshot, dir.Path("snapshot.csv"), &progress);
    });
    AddRows(data, static_cast<int>(CSampleSeries::kBlockSize) * 2, 5, -1000.0f);
    ASSERT_TRUE(job.WaitFor(60s));
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(ReadFile(dir.Path("snapshot.csv")), ReadFile(dir.Path("expected.csv")));
    EXPECT_EQ(job.Progress().Fraction(), 1.0);
}

TEST(BackgroundExportTest, ACancelledExportLeavesNoFileAndTheOlderOneAsItWas) {
    CTempDir dir;
    CPlotData data = MakeStore();
    AddRows(data, 1'000'000, 4);
    const CCsvSnapshot snapshot = TakeCsvSnapshot(data);
    const std::string strPath = dir.Path("older.csv");
    WriteFile(strPath, "an older export\r\n");

    // Stopped part way, once the first rows are written.
    CExportResult replaced;
    CBackgroundJob job(
        [&](CJobProgress& progress) { replaced = WriteCsv(snapshot, strPath, &progress); });
    while (job.Progress().Fraction() == 0.0 && !job.Finished()) {
        std::this_thread::yield();
    }
    job.Cancel();
    ASSERT_TRUE(job.WaitFor(60s));
    EXPECT_EQ(replaced.m_eStatus, EExportStatus::kCancelled);
    EXPECT_LT(job.Progress().Fraction(), 1.0);

    // Stopped before it began: the quick export's new file goes too.
    CJobProgress cancelled;
    cancelled.Cancel();
    const CExportResult quick =
        WriteCsvToNewFile(snapshot, At(2005, 12, 31, 13, 2, 3), dir.Dir(), &cancelled);
    EXPECT_EQ(quick.m_eStatus, EExportStatus::kCancelled);
    EXPECT_EQ(ReadFile(strPath), "an older export\r\n");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"older.csv"});
}

TEST(BackgroundJobTest, ReportsItsEndAndIsStoppedWhenItsOwnerGoesAway) {
    std::atomic<bool> bReported{false};
    std::atomic<bool> bStopped{false};
    {
        CBackgroundJob job(
            [&](CJobProgress& progress) {
                while (!progress.Cancelled()) {
                    std::this_thread::sleep_for(1ms);
                }
                bStopped = true;
            },
            [&] { bReported = true; });
        EXPECT_FALSE(job.WaitFor(20ms));
        EXPECT_FALSE(job.Finished());
    }
    EXPECT_TRUE(bStopped);
    EXPECT_TRUE(bReported);

    CBackgroundJob quick([](CJobProgress& progress) { progress.SetTotal(2); });
    EXPECT_TRUE(quick.WaitFor(60s));
    EXPECT_TRUE(quick.Finished());
    EXPECT_EQ(quick.Progress().Fraction(), 0.0);
}

} // namespace
