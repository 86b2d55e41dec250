#include "AxisSettings.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>

namespace {

TEST(AxisDialogTextTest, FormatsLikePrintf) {
    EXPECT_EQ(PpdDialogText(5.0f), "5");
    EXPECT_EQ(PpdDialogText(2147483648.0f), "2147483648");
    EXPECT_EQ(YLimitDialogText(2.5f), "2.5");
    EXPECT_EQ(YLimitDialogText(-2.5f), "-2.5");
    // What automatic scaling leaves behind is shown, and written back, with one decimal.
    EXPECT_EQ(YLimitDialogText(3.3000002f), "3.3");
    EXPECT_EQ(YLimitDialogText(0.04f), "0.0");
    EXPECT_EQ(FormatFixed(0.25, 1), "0.2");
}

TEST(AxisDialogTextTest, DecimalPointIsAFullStopWhateverTheLocale) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma available";
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    const std::string text = YLimitDialogText(-2.5f);
    const CYAxisResult result = ApplyYAxisDialog(2.5f, -2.5f, "1.5", text, false);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "-2.5");
    EXPECT_EQ(result.m_fYMax, 1.5f);
    EXPECT_EQ(result.m_fYMin, -2.5f);
}

TEST(IsNumericTextTest, AcceptsOnlyNumberCharacters) {
    for (const char* text : {"1,5", "1/2", "--", ".", "-2.5", "0123456789"}) {
        EXPECT_TRUE(IsNumericText(text)) << text;
    }
    for (const char* text : {"", "1e3", "+1", " 1", "abc", "1 ", "2.5:"}) {
        EXPECT_FALSE(IsNumericText(text)) << text;
    }
}

TEST(XAxisDialogTest, PositiveValueUpdatesThePpd) {
    const CXAxisResult result = ApplyXAxisDialog(5.0f, "10", true);
    EXPECT_EQ(result.m_fPointsPerDiv, 10.0f);
    EXPECT_TRUE(result.m_bDoublePpdAtMax);
    EXPECT_STREQ(result.m_szStatus, "STATUS: Updated ppd");
    EXPECT_EQ(ApplyXAxisDialog(5.0f, "12abc", false).m_fPointsPerDiv, 12.0f);
    EXPECT_EQ(ApplyXAxisDialog(5.0f, "2000000000", false).m_fPointsPerDiv, 2e9f);
    // A run of digits beyond the int range reads as INT_MAX instead of overflowing.
    const CXAxisResult huge = ApplyXAxisDialog(5.0f, std::string(30, '9'), false);
    EXPECT_EQ(huge.m_fPointsPerDiv, 2147483648.0f);
    EXPECT_STREQ(huge.m_szStatus, "STATUS: Updated ppd");
}

// The boundaries of a valid ppd: 1 is the smallest the dialog takes, so a stored 1 stays.
TEST(XAxisDialogTest, TheSmallestPpdIsOne) {
    EXPECT_EQ(ApplyXAxisDialog(5.0f, "1", false).m_fPointsPerDiv, 1.0f);
    const std::pair<float, bool> cases[] = {
        {1.0f, true},   {0.999f, false}, {kMaxStoredPointsPerDiv, true},
        {2e10f, false}, {NAN, false},    {-5.0f, false}};
    for (const auto& [fPpd, bValid] : cases) {
        EXPECT_EQ(IsValidPointsPerDiv(fPpd), bValid) << fPpd;
    }
}

TEST(XAxisDialogTest, ZeroOrMissingValueKeepsThePpdButAppliesTheCheckBox) {
    for (const char* text : {"", "0", "-5", "abc", "-99999999999999999999"}) {
        const CXAxisResult result = ApplyXAxisDialog(20.0f, text, false);
        EXPECT_EQ(result.m_fPointsPerDiv, 20.0f) << text;
        EXPECT_FALSE(result.m_bDoublePpdAtMax) << text;
        EXPECT_STREQ(result.m_szStatus, "ERROR: Incorrect ppd value") << text;
    }
    EXPECT_TRUE(ApplyXAxisDialog(20.0f, "", true).m_bDoublePpdAtMax);
}

TEST(YAxisDialogTest, ValidTextsSetTheRangeSilently) {
    const CYAxisResult result = ApplyYAxisDialog(2.5f, -2.5f, "10", "-0.5", true);
    EXPECT_EQ(result.m_fYMax, 10.0f);
    EXPECT_EQ(result.m_fYMin, -0.5f);
    EXPECT_TRUE(result.m_bAutoScale);
    EXPECT_EQ(result.m_szStatus, nullptr);
    // The C library's reading of texts that pass the check.
    EXPECT_EQ(ApplyYAxisDialog(0, 0, "1,5", "1/2", false).m_fYMax, 1.0f);
    EXPECT_EQ(ApplyYAxisDialog(0, 0, "1,5", "1/2", false).m_fYMin, 1.0f);
    EXPECT_EQ(ApplyYAxisDialog(9, 9, "--", ".", false).m_fYMax, 0.0f);
    EXPECT_EQ(ApplyYAxisDialog(9, 9, "--", ".", false).m_fYMin, 0.0f);
    // OK without editing writes the one-decimal text back.
    EXPECT_EQ(
        ApplyYAxisDialog(3.3000002f, -2.5f, YLimitDialogText(3.3000002f), "-2.5", false).m_fYMax,
        3.3f);
}

TEST(YAxisDialogTest, BadTextKeepsItsLimitAndReportsIt) {
    CYAxisResult result = ApplyYAxisDialog(2.5f, -2.5f, "abc", "-1", true);
    EXPECT_EQ(result.m_fYMax, 2.5f);
    EXPECT_EQ(result.m_fYMin, -1.0f);
    EXPECT_TRUE(result.m_bAutoScale);
    EXPECT_STREQ(result.m_szStatus, "Error: Invalid character found in ymax");
    result = ApplyYAxisDialog(2.5f, -2.5f, "3", "", false);
    EXPECT_EQ(result.m_fYMax, 3.0f);
    EXPECT_EQ(result.m_fYMin, -2.5f);
    EXPECT_STREQ(result.m_szStatus, "Error: Invalid character found in ymin");
    // Both bad: the ymin message is the one that stays.
    result = ApplyYAxisDialog(2.5f, -2.5f, "1e3", "+1", false);
    EXPECT_EQ(result.m_fYMax, 2.5f);
    EXPECT_EQ(result.m_fYMin, -2.5f);
    EXPECT_STREQ(result.m_szStatus, "Error: Invalid character found in ymin");
}

TEST(YAxisDialogTest, NumbersBeyondTheFloatRangeStopAtItsEdge) {
    const std::string nines(400, '9');
    const CYAxisResult result = ApplyYAxisDialog(2.5f, -2.5f, nines, "-" + nines, false);
    EXPECT_EQ(result.m_fYMax, FLT_MAX);
    EXPECT_EQ(result.m_fYMin, -FLT_MAX);
    EXPECT_EQ(result.m_szStatus, nullptr);
}

} // namespace
