// Opening data files: the program's exports and recordings and other programs' CSV and TSV,
// what is read from each, and what is skipped and counted.
#include "DataFileReader.h"
#include "CsvWriter.h"
#include "JobProgress.h"
#include "MemoryBudget.h"
#include "PlotData.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <sys/stat.h>

namespace {

using Columns = std::vector<std::vector<float>>;

CLoadedData Parse(std::string_view text) {
    CDataFileParser parser;
    parser.Feed(text);
    parser.Finish();
    return std::move(parser.Result());
}

Columns ColumnsOf(const CLoadedData& data) {
    Columns columns;
    for (int c = 0; c < data.m_nColumns; ++c) {
        const CPlotChannel& channel = data.m_channels[static_cast<std::size_t>(c)];
        std::vector<float>& column = columns.emplace_back();
        for (int j = 0; j < channel.GetSampleCount(); ++j) {
            column.push_back(channel.GetSample(j));
        }
    }
    return columns;
}

// Rows read, rows skipped, and the columns.
struct SRead {
    std::uint64_t m_nRows;
    std::uint64_t m_nSkipped;
    Columns m_columns;
    bool operator==(const SRead&) const = default;
};

void PrintTo(const SRead& read, std::ostream* pOut) {
    *pOut << read.m_nRows << " rows, " << read.m_nSkipped << " skipped:";
    for (const auto& column : read.m_columns) {
        *pOut << " [";
        for (const float v : column) {
            *pOut << v << ' ';
        }
        *pOut << ']';
    }
}

SRead Read(std::string_view text) {
    const CLoadedData data = Parse(text);
    return {data.m_nRows, data.m_nSkipped, ColumnsOf(data)};
}

TEST(DataFileReaderTest, ReadsTheProgramsOwnFilesAndOtherProgramsCsvAndTsv) {
    const float inf = INFINITY;
    // An export: ",\t" between cells, CR LF.
    EXPECT_EQ(Read("1.50,\t0.25\r\n-2.00,\t3.14\r\n"),
              (SRead{2, 0, {{1.5f, -2.0f}, {0.25f, 3.14f}}}));
    // A recording: the time is not a channel; sets of any size, an empty one.
    EXPECT_EQ(Read("time_s,ch1,ch2,ch3\n0.000,1.5,2\n0.001\n1.234,-0,inf,-inf\n"),
              (SRead{3, 0, {{1.5f, -0.0f}, {2.0f, inf}, {-inf}}}));
    EXPECT_TRUE(std::signbit(Parse("time_s,ch1\n0.5,-0\n").m_channels[0].GetSample(0)));
    // Other programs: a header or none, ',' ';' or TAB, quotes, spaces, no final line end.
    EXPECT_EQ(Read("temp,hum\n21.5,40\n22,41.25"),
              (SRead{2, 0, {{21.5f, 22.0f}, {40.0f, 41.25f}}}));
    EXPECT_EQ(Read("\"a\"; \"b\"\r\n\"1.5\" ; 2\r\n"), (SRead{1, 0, {{1.5f}, {2.0f}}}));
    EXPECT_EQ(Read("t\tv\n1\t2.5\n3\t-4\n"), (SRead{2, 0, {{1.0f, 3.0f}, {2.5f, -4.0f}}}));
    EXPECT_EQ(Read("1\n\n  \n2\n3"), (SRead{3, 0, {{1.0f, 2.0f, 3.0f}}}));
    EXPECT_EQ(Read("1;2\n ; \n3;4\n"), (SRead{2, 0, {{1.0f, 3.0f}, {2.0f, 4.0f}}}));
    // Decimal commas where ',' does not separate cells.
    EXPECT_EQ(Read("x;y\n1,5;2,25\n-3;4\n"), (SRead{2, 0, {{1.5f, -3.0f}, {2.25f, 4.0f}}}));
    EXPECT_EQ(Read("0,125\t7\n"), (SRead{1, 0, {{0.125f}, {7.0f}}}));
    // Signs, exponents, and values beyond a float's range.
    EXPECT_EQ(Read("+1e3,-2.5E-2,1e50,-1e-60,.5\n"),
              (SRead{1, 0, {{1000.0f}, {-0.025f}, {inf}, {-0.0f}, {0.5f}}}));
    // Values after the tenth are dropped; the row is read.
    EXPECT_EQ(Read("1,2,3,4,5,6,7,8,9,10,11,x\n").m_columns.size(), 10u);
    EXPECT_EQ(Read("1,2,3,4,5,6,7,8,9,10,11,x\n").m_nSkipped, 0u);
}

TEST(DataFileReaderTest, ARowThatCannotBeReadIsSkippedAndCounted) {
    // Text, a gap before a value, two points, hexadecimal, a header after the first line.
    EXPECT_EQ(Read("1,2\nabc,3\n1,,3\n,5\n1.2.3,4\n0x10,1\n4,5,\nc,d\n"),
              (SRead{2, 6, {{1.0f, 4.0f}, {2.0f, 5.0f}}}));
    // The first decimal mark decides; the other one, or both in one number, is not guessed.
    EXPECT_EQ(Read("1,5;2\n1.5;2\n1.234,5;3\n2,5;1\n"),
              (SRead{2, 2, {{1.5f, 2.5f}, {2.0f, 1.0f}}}));
    EXPECT_EQ(Read("1.5\t2\n1,5\t2\n"), (SRead{1, 1, {{1.5f}, {2.0f}}}));
    // A recording row without its time.
    EXPECT_EQ(Read("time_s,ch1\n,5\n0.1,5\nx,5\n"), (SRead{1, 2, {{5.0f}}}));
    // A line far longer than any row of values.
    EXPECT_EQ(Read("1\n" + std::string(3 << 20, '7') + "\n2\n"), (SRead{2, 1, {{1.0f, 2.0f}}}));
}

TEST(DataFileReaderTest, PiecesOfAnySizeReadAsTheWhole) {
    const std::string strText = "time_s,ch1,ch2\r\n0.000,1.5,2\r\n0.010,-3e2\r\nx,1\r\n"
                                "0.020,4,5\r\n0.030,6,7";
    const SRead whole = Read(strText);
    ASSERT_EQ(whole, (SRead{4, 1, {{1.5f, -300.0f, 4.0f, 6.0f}, {2.0f, 5.0f, 7.0f}}}));
    for (std::size_t nPiece = 1; nPiece < strText.size(); ++nPiece) {
        CDataFileParser parser;
        for (std::size_t at = 0; at < strText.size(); at += nPiece) {
            parser.Feed(std::string_view(strText).substr(at, nPiece));
        }
        parser.Finish();
        const CLoadedData& data = parser.Result();
        EXPECT_EQ((SRead{data.m_nRows, data.m_nSkipped, ColumnsOf(data)}), whole) << nPiece;
    }
}

TEST(DataFileReaderTest, FilesThatCannotBeReadAndACancel) {
    CTempDir dir;
    EXPECT_EQ(ReadDataFile(dir.Path("missing.csv")).m_eStatus, ELoadStatus::kCannotOpen);
    EXPECT_EQ(ReadDataFile(dir.Path("missing.csv")).m_nErrno, ENOENT);
    EXPECT_EQ(ReadDataFile(dir.Dir()).m_eStatus, ELoadStatus::kCannotOpen);
    // A pipe without a writer neither hangs nor is read.
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReadDataFile(dir.Path("pipe")).m_eStatus, ELoadStatus::kCannotOpen);

    WriteFile(dir.Path("data.csv"), "1,2\n3,4\n");
    CJobProgress progress;
    progress.Cancel();
    EXPECT_EQ(ReadDataFile(dir.Path("data.csv"), &progress).m_eStatus, ELoadStatus::kCancelled);
    const CLoadedData data = ReadDataFile(dir.Path("data.csv"));
    EXPECT_EQ(data.m_eStatus, ELoadStatus::kOk);
    EXPECT_EQ(ColumnsOf(data), (Columns{{1.0f, 3.0f}, {2.0f, 4.0f}}));
}

namespace {

// A gauge that allows a number of blocks and counts the questions.
class CCountingGauge : public CMemoryGauge {
public:
    explicit CCountingGauge(int nBlocks) : m_nLeft(nBlocks) {}
    bool MayGrow(std::size_t nBytes) override {
        ++m_nAsked;
        EXPECT_EQ(nBytes, CSampleSeries::kBlockBytes);
        return m_nLeft-- > 0;
    }
    int m_nLeft;
    int m_nAsked = 0;
};

} // namespace

// Every new block of samples is asked for, and a file that needs more stops the reading as a
// lack of memory rather than taking what the system needs.
TEST(DataFileReaderTest, AFileLargerThanTheGaugeAllowsIsALackOfMemory) {
    CTempDir dir;
    // Two channels of one block and one sample each: four blocks.
    std::string strText;
    const int nRows = static_cast<int>(CSampleSeries::kBlockSize) + 1;
    for (int r = 0; r < nRows; ++r) {
        strText += std::to_string(r) + ",-" + std::to_string(r) + "\n";
    }
    WriteFile(dir.Path("data.csv"), strText);

    CCappedGauge enough(4 * CSampleSeries::kBlockBytes, std::make_shared<CCountingGauge>(4));
    const CLoadedData data = ReadDataFile(dir.Path("data.csv"), nullptr, &enough);
    ASSERT_EQ(data.m_eStatus, ELoadStatus::kOk);
    EXPECT_EQ(data.m_channels[1].GetSampleCount(), nRows);
    EXPECT_EQ(data.m_channels[1].GetSample(nRows - 1), static_cast<float>(1 - nRows));

    CCappedGauge capped(3 * CSampleSeries::kBlockBytes, nullptr);
    EXPECT_EQ(ReadDataFile(dir.Path("data.csv"), nullptr, &capped).m_eStatus,
              ELoadStatus::kNoMemory);

    auto pRule = std::make_shared<CCountingGauge>(3);
    CCappedGauge ruled(SIZE_MAX, pRule);
    EXPECT_EQ(ReadDataFile(dir.Path("data.csv"), nullptr, &ruled).m_eStatus,
              ELoadStatus::kNoMemory);
    EXPECT_EQ(pRule->m_nAsked, 4);
}

// 100 MB of export: every value comes back as the float nearest to the text the export
// shows, and the extremes of each channel with them.
TEST(DataFileReaderTest, AHundredMegabyteExportReadsBackAsItShowsTheValues) {
    CTempDir dir;
    CPlotData store;
    store.m_cLimiter = '#';
    store.CreateChannels();
    std::mt19937 random(100);
    std::uniform_real_distribution<float> value(-5000.0f, 5000.0f);
    constexpr int kRows = 1'250'000;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < CPlotData::kChannelCount; ++c) {
            store.AddSample(c, value(random));
        }
    }
    store.m_nLastSetCount = CPlotData::kChannelCount;
    const std::string strPath = dir.Path("big.csv");
    ASSERT_TRUE(WriteCsv(store, strPath).Ok());
    struct stat st {};
    ASSERT_EQ(::stat(strPath.c_str(), &st), 0);
    ASSERT_GE(st.st_size, 100'000'000);

    CJobProgress progress;
    const CLoadedData data = ReadDataFile(strPath, &progress);
    ASSERT_EQ(data.m_eStatus, ELoadStatus::kOk);
    EXPECT_EQ(data.m_nRows, static_cast<std::uint64_t>(kRows));
    EXPECT_EQ(data.m_nSkipped, 0u);
    ASSERT_EQ(data.m_nColumns, CPlotData::kChannelCount);
    EXPECT_EQ(progress.Fraction(), 1.0);
    int nMismatches = 0;
    for (int c = 0; c < CPlotData::kChannelCount; ++c) {
        const CPlotChannel& channel = data.m_channels[static_cast<std::size_t>(c)];
        ASSERT_EQ(channel.GetSampleCount(), kRows);
        float fMin = 0.0f;
        float fMax = 0.0f;
        for (int r = 0; r < kRows; ++r) {
            char szText[kMaxFixed2Length];
            char* pEnd = AppendFixed2(szText, store.GetSample(c, r));
            float fShown = 0.0f;
            std::from_chars(szText, pEnd, fShown);
            fMin = std::min(fMin, fShown);
            fMax = std::max(fMax, fShown);
            if (channel.GetSample(r) != fShown && ++nMismatches < 10) {
                ADD_FAILURE() << "channel " << c << " row " << r << ": " << channel.GetSample(r)
                              << " for " << std::string(szText, pEnd);
            }
        }
        EXPECT_EQ(channel.m_fMin, fMin);
        EXPECT_EQ(channel.m_fMax, fMax);
    }
    EXPECT_EQ(nMismatches, 0);
}

} // namespace
