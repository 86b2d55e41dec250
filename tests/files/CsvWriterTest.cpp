#include "CsvWriter.h"
#include "PlotData.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sys/stat.h>

namespace {

CPlotData MakeStore(const char* szSets = "") {
    CPlotData data;
    data.m_cLimiter = '#';
    data.CreateChannels();
    data.Interpret(szSets);
    return data;
}

std::string Fixed2(float f) {
    char buffer[kMaxFixed2Length];
    return {buffer, AppendFixed2(buffer, f)};
}

std::string Printf2(float f) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%0.2f", static_cast<double>(f));
    return buffer;
}

class CsvWriterTest : public ::testing::Test {
protected:
    std::string Export(const CPlotData& data) {
        const std::string strPath = m_dir.Path("out.csv");
        const CExportResult result = WriteCsv(data, strPath);
        EXPECT_EQ(result.m_eStatus, EExportStatus::kOk);
        EXPECT_EQ(result.m_strPath, strPath);
        return ReadFile(strPath);
    }

    CTempDir m_dir;
};

TEST_F(CsvWriterTest, RowsPerSampleColumnsPerChannel) {
    CPlotData data = MakeStore();
    data.AddSample(0, 1.5f);
    data.AddSample(0, -2.0f);
    data.AddSample(1, 0.25f);
    data.AddSample(1, 3.14159f);
    data.m_nLastSetCount = 2;
    EXPECT_EQ(Export(data), "1.50,\t0.25\r\n-2.00,\t3.14\r\n");
}

TEST_F(CsvWriterTest, EveryChannelHoldingSamplesIsWrittenWhateverTheLastSet) {
    CPlotData data = MakeStore("1 2 3 9#4 5#6 7 8#");
    data.ToggleHidden(1);
    // Channel 4 holds one sample although the last set had three values.
    EXPECT_EQ(Export(data), "1.00,\t2.00,\t3.00,\t9.00\r\n"
                            "4.00,\t5.00,\t8.00,\t0.00\r\n"
                            "6.00,\t7.00,\t0.00,\t0.00\r\n");
    // A stray '#' or a short last set hides nothing.
    EXPECT_EQ(Export(MakeStore("1 2 3#4 5 6#")), "1.00,\t2.00,\t3.00\r\n4.00,\t5.00,\t6.00\r\n");
    EXPECT_EQ(Export(MakeStore("1 2 3#4 5 6##")), "1.00,\t2.00,\t3.00\r\n4.00,\t5.00,\t6.00\r\n");
    EXPECT_EQ(Export(MakeStore("1 2 3#4 5 6#7#")),
              "1.00,\t2.00,\t3.00\r\n4.00,\t5.00,\t6.00\r\n7.00,\t0.00,\t0.00\r\n");
    // An empty channel below one that holds samples is written as zeros.
    CPlotData gap = MakeStore();
    gap.AddSample(0, 1.0f);
    gap.AddSample(2, 3.0f);
    EXPECT_EQ(Export(gap), "1.00,\t0.00,\t3.00\r\n");
}

TEST_F(CsvWriterTest, AGapIsAnEmptyCellAndEveryOtherByteStays) {
    const float gap = std::numeric_limits<float>::quiet_NaN();
    CPlotData data = MakeStore();
    for (const auto& [a, b] : {std::pair{gap, 1.5f}, {2.0f, gap}, {gap, gap}, {-0.001f, 3.0f}}) {
        data.AddSample(0, a);
        data.AddSample(1, b);
    }
    EXPECT_EQ(Export(data), ",\t1.50\r\n2.00,\t\r\n,\t\r\n-0.00,\t3.00\r\n");
}

TEST_F(CsvWriterTest, SaveMayWriteAHeaderLineTheQuickExportNever) {
    const CPlotData data = MakeStore("1 2 3#");
    const std::string strPath = m_dir.Path("named.csv");
    // A channel without a name is "chN"; what would split the cell or line is replaced.
    const SCsvOptions options{true, {"temp", "", "a,b;\"c\"\td"}};
    ASSERT_TRUE(WriteCsv(data, strPath, options).Ok());
    EXPECT_EQ(ReadFile(strPath), "temp,\tch2,\ta_b__c__d\r\n1.00,\t2.00,\t3.00\r\n");
    // A name that would read as a number or as nothing is quoted.
    ASSERT_TRUE(WriteCsv(data, strPath, SCsvOptions{true, {"1", "+2e3", " "}}).Ok());
    EXPECT_EQ(ReadFile(strPath), "\"1\",\t\"+2e3\",\t\" \"\r\n1.00,\t2.00,\t3.00\r\n");
    ASSERT_TRUE(WriteCsv(data, strPath, SCsvOptions{false, {"temp"}}).Ok());
    EXPECT_EQ(ReadFile(strPath), "1.00,\t2.00,\t3.00\r\n");
    // Asked of a snapshot given to the quick export, it is still left out.
    const CExportResult quick =
        WriteCsvToNewFile(TakeCsvSnapshot(data, options), At(2005, 12, 31, 13, 2, 3), m_dir.Dir());
    ASSERT_TRUE(quick.Ok());
    EXPECT_EQ(ReadFile(quick.m_strPath), "1.00,\t2.00,\t3.00\r\n");
    ASSERT_TRUE(WriteCsv(MakeStore(), strPath, options).Ok());
    EXPECT_EQ(ReadFile(strPath), "");
}

TEST_F(CsvWriterTest, EmptyStoreGivesEmptyFile) {
    EXPECT_EQ(Export(MakeStore()), "");
    EXPECT_EQ(Export(MakeStore("##")), "");
}

TEST_F(CsvWriterTest, RowsLongerThanOneBlockOfTheStore) {
    // Crosses the store's block boundary and the writer's own chunks and buffer flushes.
    CPlotData data = MakeStore();
    const int nRows = static_cast<int>(CSampleSeries::kBlockSize) + 3000;
    std::string strExpected;
    for (int r = 0; r < nRows; ++r) {
        data.AddSample(0, static_cast<float>(r) * 0.5f);
        data.AddSample(1, -static_cast<float>(r % 1000));
        strExpected += Printf2(static_cast<float>(r) * 0.5f) + ",\t" +
                       Printf2(-static_cast<float>(r % 1000)) + "\r\n";
    }
    data.m_nLastSetCount = 2;
    EXPECT_EQ(Export(data), strExpected);
}

TEST_F(CsvWriterTest, DecimalPointIsAFullStopWhateverTheLocale) {
    // The build compiles a German locale into LOCPATH for this test.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma available";
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    CPlotData data = MakeStore("1.5 -0.001 1234.5#");
    const std::string strText = Export(data);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(strText, "1.50,\t-0.00,\t1234.50\r\n");
}

TEST(AppendFixed2Test, SmallNegativesHalfwayCasesAndSpecialValues) {
    EXPECT_EQ(Fixed2(-0.001f), "-0.00");
    EXPECT_EQ(Fixed2(-0.0f), "-0.00");
    EXPECT_EQ(Fixed2(0.0f), "0.00");
    EXPECT_EQ(Fixed2(0.125f), "0.12"); // exact ties go to even, as printf does
    EXPECT_EQ(Fixed2(0.375f), "0.38");
    EXPECT_EQ(Fixed2(2.675f), "2.67");    // 2.67499995...
    EXPECT_EQ(Fixed2(99.995f), "100.00"); // 99.99500274..., carried into the integer part
    EXPECT_EQ(Fixed2(-9.999f), "-10.00");
    EXPECT_EQ(Fixed2(INFINITY), "inf");
    EXPECT_EQ(Fixed2(-INFINITY), "-inf");
    EXPECT_EQ(Fixed2(FLT_MAX), "340282346638528859811704183484516925440.00");
    EXPECT_EQ(Fixed2(-FLT_MAX).size(), kMaxFixed2Length);
}

TEST(AppendFixed2Test, MatchesPrintfOverTheFloatRange) {
    std::vector<float> values;
    // Every exact tie up to +-12500, and values around the limits of the faster paths and
    // where rounding carries into another digit.
    for (int i = -100000; i <= 100000; ++i) {
        values.push_back(static_cast<float>(i) / 8.0f);
    }
    for (float edge : {4503599627370496.0f / 100.0f, 1e13f, 1e15f, FLT_MIN, 0.005f, 0.015f,
                       999.995f, 999999.99f, 1e6f}) {
        float up = edge;
        float down = edge;
        for (int i = 0; i < 200; ++i) {
            values.push_back(up = std::nextafter(up, INFINITY));
            values.push_back(down = std::nextafter(down, 0.0f));
        }
    }
    // Random bit patterns reach every exponent, subnormals, NaN and infinities; random
    // values of everyday size test the digits a device sends.
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> everyday(-5000.0f, 5000.0f);
    for (int i = 0; i < 300000; ++i) {
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
        values.push_back(everyday(random));
    }
    int nMismatches = 0;
    for (const float f : values) {
        if (Fixed2(f) != Printf2(f) && ++nMismatches <= 10) {
            ADD_FAILURE() << "bits " << std::bit_cast<std::uint32_t>(f) << ": " << Fixed2(f)
                          << " instead of " << Printf2(f);
        }
    }
    EXPECT_EQ(nMismatches, 0);
}

TEST_F(CsvWriterTest, ReplacesAnExistingFileKeepingItsPermissions) {
    const std::string strPath = m_dir.Path("out.csv");
    WriteFile(strPath, "older export, longer than the new one\r\n");
    ASSERT_EQ(::chmod(strPath.c_str(), 0640), 0);
    EXPECT_EQ(Export(MakeStore("7#")), "7.00\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(strPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(m_dir.Names(), std::set<std::string>{"out.csv"});
}

TEST_F(CsvWriterTest, OpenFailuresAndAFullDeviceAreReported) {
    const CPlotData data = MakeStore("1 2#3 4#");
    const CExportResult missing = WriteCsv(data, m_dir.Path("missing/out.csv"));
    EXPECT_EQ(missing.m_eStatus, EExportStatus::kCannotOpen);
    EXPECT_EQ(missing.m_nErrno, ENOENT);
    EXPECT_EQ(WriteCsvToNewFile(data, At(2005, 12, 31, 13, 2, 3), m_dir.Path("missing")).m_eStatus,
              EExportStatus::kCannotOpen);
    EXPECT_TRUE(m_dir.Names().empty());

    const CExportResult full = WriteCsv(data, "/dev/full");
    EXPECT_EQ(full.m_eStatus, EExportStatus::kWriteFailed);
    EXPECT_EQ(full.m_nErrno, ENOSPC);
    // Written in place: the device must not have been replaced by a file.
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(CsvWriterTest, FailingPartWayLeavesNoPartialFile) {
    std::string strSets;
    for (int i = 0; i < 2000; ++i) {
        strSets += "1 2 3 4 5 6 7 8 9 10#";
    }
    const CPlotData data = MakeStore(strSets.c_str());
    const std::string strPath = m_dir.Path("out.csv");
    WriteFile(strPath, "earlier export\r\n");
    CExportResult replaced, quick;
    {
        const CFileSizeLimit limit(4096);
        replaced = WriteCsv(data, strPath);
        quick = WriteCsvToNewFile(data, At(2005, 12, 31, 13, 2, 3), m_dir.Dir());
    }
    EXPECT_EQ(replaced.m_eStatus, EExportStatus::kWriteFailed);
    EXPECT_EQ(replaced.m_nErrno, EFBIG);
    EXPECT_EQ(ReadFile(strPath), "earlier export\r\n");
    EXPECT_EQ(quick.m_eStatus, EExportStatus::kWriteFailed);
    EXPECT_EQ(m_dir.Names(), std::set<std::string>{"out.csv"});
}

TEST_F(CsvWriterTest, QuickExportNeverReplacesAFile) {
    const std::tm tmNow = At(2005, 12, 31, 13, 2, 3);
    const std::string strBase = m_dir.Path("KovraPlot_051231_01-02-03");
    const CExportResult first = WriteCsvToNewFile(MakeStore("1#"), tmNow, m_dir.Dir());
    const CExportResult second = WriteCsvToNewFile(MakeStore("2#"), tmNow, m_dir.Dir() + "/");
    ASSERT_TRUE(first.Ok());
    ASSERT_TRUE(second.Ok());
    EXPECT_EQ(first.m_strPath, strBase + ".csv");
    EXPECT_EQ(second.m_strPath, strBase + "_2.csv");
    EXPECT_EQ(ReadFile(first.m_strPath), "1.00\r\n");
    EXPECT_EQ(ReadFile(second.m_strPath), "2.00\r\n");
    // Anything of the name counts as taken, even a directory.
    std::filesystem::create_directory(strBase + "_3.csv");
    EXPECT_EQ(WriteCsvToNewFile(MakeStore(), tmNow, m_dir.Dir()).m_strPath, strBase + "_4.csv");
}

} // namespace
