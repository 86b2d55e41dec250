// Opening data files: the program's exports and recordings and other programs' CSV and TSV,
// what is read from each, and what is skipped and counted.
#include "DataFileReader.h"
#include "CsvWriter.h"
#include "JobProgress.h"
#include "MemoryBudget.h"
#include "PlotData.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
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

constexpr float kGap = std::numeric_limits<float>::quiet_NaN();

// Rows read, rows skipped, and the columns; a gap equals a gap.
struct SRead {
    std::uint64_t m_nRows;
    std::uint64_t m_nSkipped;
    Columns m_columns;
    bool operator==(const SRead& other) const {
        const auto same = [](float a, float b) {
            return std::isnan(a)
                       ? std::isnan(b)
                       : std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
        };
        return m_nRows == other.m_nRows && m_nSkipped == other.m_nSkipped &&
               std::equal(m_columns.begin(), m_columns.end(), other.m_columns.begin(),
                          other.m_columns.end(), [&](const auto& a, const auto& b) {
                              return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
                          });
    }
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
    // After the first row, a line of separators alone is a row of gaps (so the exports write
    // one), as is a blank line in a single column; blank lines at the end are no rows.
    EXPECT_EQ(Read("\n1\n\n  \n2\n3"), (SRead{5, 0, {{1.0f, kGap, kGap, 2.0f, 3.0f}}}));
    EXPECT_EQ(Read("v\r\n\r\n1.00\r\n\r\n3.00\r\n\r\n\n"), (SRead{3, 0, {{1.0f, kGap, 3.0f}}}));
    EXPECT_EQ(Read(" ; \n1;2\n ; \n3;4\n"),
              (SRead{3, 0, {{1.0f, kGap, 3.0f}, {2.0f, kGap, 4.0f}}}));
    EXPECT_EQ(Read("1.00,\t2.00\r\n,\t\r\n3.00,\t4.00\r\n,\t\r\n\r\n"),
              (SRead{4, 0, {{1.0f, kGap, 3.0f, kGap}, {2.0f, kGap, 4.0f, kGap}}}));
    EXPECT_EQ(Read("time_s,a,b\n0.1,1,2\n,\n0.2,3,4\n"),
              (SRead{2, 0, {{1.0f, 3.0f}, {2.0f, 4.0f}}}));
    // Decimal commas where ',' does not separate cells.
    EXPECT_EQ(Read("x;y\n1,5;2,25\n-3;4\n"), (SRead{2, 0, {{1.5f, -3.0f}, {2.25f, 4.0f}}}));
    EXPECT_EQ(Read("0,125\t7\n"), (SRead{1, 0, {{0.125f}, {7.0f}}}));
    // Signs, exponents, and values beyond a float's range.
    EXPECT_EQ(Read("+1e3,-2.5E-2,1e50,-1e-60,.5\n"),
              (SRead{1, 0, {{1000.0f}, {-0.025f}, {inf}, {-0.0f}, {0.5f}}}));
    // Values after the tenth are dropped and counted; the row is read.
    const CLoadedData wide = Parse("1,2,3,4,5,6,7,8,9,10,11,x\n1,2,3,4,5,6,7,8,9,10,11,12,13\n");
    EXPECT_EQ(wide.m_nColumns, 10);
    EXPECT_EQ(wide.m_nSkipped, 0u);
    EXPECT_EQ(wide.m_nDroppedColumns, 3);
    EXPECT_EQ(wide.m_eStatus, ELoadStatus::kOk);
    // A byte-order mark is not part of the first cell.
    EXPECT_EQ(Read("\xEF\xBB\xBF"
                   "1,2\n3,4\n"),
              (SRead{2, 0, {{1.0f, 3.0f}, {2.0f, 4.0f}}}));
    EXPECT_EQ(Read("\xEF\xBB\xBF"
                   "time_s,ch1\n0.5,7\n"),
              (SRead{1, 0, {{7.0f}}}));
}

// An empty cell is a gap, wherever it is, so that the rows stay aligned across the channels:
// the exports and recordings write one for each gap.
TEST(DataFileReaderTest, AnEmptyCellIsAGap) {
    EXPECT_EQ(Read("1,,3\n,5\n4,5,\n1.00,\t\r\n"),
              (SRead{4, 0, {{1.0f, kGap, 4.0f, 1.0f}, {kGap, 5.0f, 5.0f, kGap}, {3.0f, kGap}}}));
    EXPECT_EQ(Read("a;b\n;2\n1; \n"), (SRead{2, 0, {{kGap, 1.0f}, {2.0f, kGap}}}));
    const CLoadedData recording = Parse("time_s,ch1,ch2\n0.000,,2\n0.010,1,\n0.020\n");
    EXPECT_EQ((SRead{recording.m_nRows, recording.m_nSkipped, ColumnsOf(recording)}),
              (SRead{3, 0, {{kGap, 1.0f}, {2.0f, kGap}}}));
}

// A header names the channels; a recording's time column is returned apart, in milliseconds.
TEST(DataFileReaderTest, TheHeaderNamesTheChannelsAndTheTimesAreKept) {
    struct SCase {
        const char* szText;
        std::vector<std::string> vNames;
        std::vector<std::uint32_t> vTimes;
    };
    const SCase cases[] = {
        {"time_s,temp,ch2,hum\n0.005,1,2,3\nx,1\n3600000.999,4\n",
         {"temp", "", "hum"},
         {5, 3'600'000'999u}},
        {"time_s,ch1,ch2\n0.5,1\n", {}, {500}},
        // An empty set has no sample, so no time either.
        {"time_s,ch1\n0.1,1\n0.5\n0.7,\n", {}, {100, 700}},
        {"\"a\"; b \n1;2\n", {"a", "b"}, {}},
        // Names that read as numbers come in quotes.
        {"\"1\",\t\"2\"\r\n5.00,\t6.00\r\n", {"1", "2"}, {}},
        {"time_s,v\n1e10,1\n", {"v"}, {UINT32_MAX}},
    };
    for (const SCase& c : cases) {
        const CLoadedData data = Parse(c.szText);
        EXPECT_EQ(data.m_vNames, c.vNames) << c.szText;
        EXPECT_EQ(data.m_vTimeMs, c.vTimes) << c.szText;
    }
}

// Text that is not rows of numbers is no data file: nothing of it is loaded. The verdict
// rests on the first 1,000 lines that are not blank.
TEST(DataFileReaderTest, TextThatHoldsNoDataIsNoDataFile) {
    std::mt19937 random(17);
    std::string strRandom(1 << 20, '\0');
    for (char& c : strRandom) {
        c = static_cast<char>(random());
    }
    std::string strUtf16 = "\xFF\xFE";
    for (const char c : std::string("time_s,ch1\n0.1,1.5\n0.2,2.5\n")) {
        strUtf16 += {c, '\0'};
    }
    const auto lines = [](const std::string& strLine, int n) {
        std::string strText;
        while (n-- > 0) {
            strText += strLine;
        }
        return strText;
    };
    const struct {
        std::string strText;
        bool bData;
    } cases[] = {
        {"", false},
        {"time_s,ch1,ch2\n", false},
        {strUtf16, false},
        {strRandom, false},
        {"1\nx\ny\n", false},
        {"1\nx\n", true},
        {lines("1,2\n", 400) + lines("ERROR\n", 600), false},
        {lines("1,2\n", 600) + lines("ERROR\n", 2000), true},
    };
    for (const auto& c : cases) {
        const CLoadedData data = Parse(c.strText);
        EXPECT_EQ(data.m_eStatus, c.bData ? ELoadStatus::kOk : ELoadStatus::kNotDataFile)
            << c.strText.substr(0, 40);
    }
}

TEST(DataFileReaderTest, ARowThatCannotBeReadIsSkippedAndCounted) {
    // Text, two points, hexadecimal, a header after the first line.
    EXPECT_EQ(Read("1,2\nabc,3\n1.2.3,4\n4,5\n0x10,1\n6,7\nc,d\n8,9\n"),
              (SRead{4, 4, {{1.0f, 4.0f, 6.0f, 8.0f}, {2.0f, 5.0f, 7.0f, 9.0f}}}));
    // The first decimal mark decides; the other one, or both in one number, is not guessed.
    EXPECT_EQ(Read("1,5;2\n1.5;2\n1.234,5;3\n2,5;1\n"),
              (SRead{2, 2, {{1.5f, 2.5f}, {2.0f, 1.0f}}}));
    EXPECT_EQ(Read("1.5\t2\n1,5\t2\n"), (SRead{1, 1, {{1.5f}, {2.0f}}}));
    // A recording row without its time, or with a time that is no time.
    EXPECT_EQ(Read("time_s,ch1\n,5\n0.1,5\n-1,5\n0.2,6\n0.3,7\n"),
              (SRead{3, 2, {{5.0f, 6.0f, 7.0f}}}));
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
    // A pipe without a writer neither hangs nor is read.
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("loop", dir.Path("loop").c_str()), 0);
    const std::pair<std::string, int> failures[] = {{dir.Path("missing.csv"), ENOENT},
                                                    {dir.Path("missing/x.csv"), ENOENT},
                                                    {dir.Dir(), EISDIR},
                                                    {dir.Path("pipe"), ENOTSUP},
                                                    {dir.Path("loop"), ELOOP}};
    for (const auto& [strPath, nErrno] : failures) {
        const CLoadedData failed = ReadDataFile(strPath);
        EXPECT_EQ(failed.m_eStatus, ELoadStatus::kCannotOpen) << strPath;
        EXPECT_EQ(failed.m_nErrno, nErrno) << strPath;
    }
    // Garbage is given up once the first lines have shown it to be no data.
    std::string strGarbage;
    for (int k = 0; k < 100'000; ++k) {
        strGarbage += k % 10 == 0 ? "1\n" : "garbage\n";
    }
    WriteFile(dir.Path("garbage.bin"), strGarbage);
    const CLoadedData garbage = ReadDataFile(dir.Path("garbage.bin"));
    EXPECT_EQ(garbage.m_eStatus, ELoadStatus::kNotDataFile);
    EXPECT_EQ(garbage.m_nRows + garbage.m_nSkipped, 1000u);
    EXPECT_EQ(garbage.m_channels[0].GetSampleCount(), 0);

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

    // A recording's times take their blocks as a channel's samples do: two and two.
    std::string strRecording = "time_s,ch1\n";
    for (int r = 0; r < nRows; ++r) {
        strRecording += "0.001," + std::to_string(r) + "\n";
    }
    WriteFile(dir.Path("rec.csv"), strRecording);
    for (const int nBlocks : {3, 4}) {
        CCappedGauge timed(SIZE_MAX, std::make_shared<CCountingGauge>(nBlocks));
        const CLoadedData recording = ReadDataFile(dir.Path("rec.csv"), nullptr, &timed);
        EXPECT_EQ(recording.m_eStatus, nBlocks == 4 ? ELoadStatus::kOk : ELoadStatus::kNoMemory);
        EXPECT_EQ(recording.m_vTimeMs.size(), nBlocks == 4 ? nRows : 0u);
    }
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
