#include "TimeStampedName.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeStampedNameTest, DateAndTwelveHourClock) {
    EXPECT_EQ(MakeTimeStampedName(At(2005, 12, 31, 13, 2, 3), ".csv"),
              "KovraPlot_051231_01-02-03.csv");
    EXPECT_EQ(MakeTimeStampedName(At(2005, 6, 7, 15, 4, 5), ".bmp"),
              "KovraPlot_050607_03-04-05.bmp");
    EXPECT_EQ(MakeTimeStampedName(At(2024, 1, 2, 0, 5, 6), ".csv"),
              "KovraPlot_240102_12-05-06.csv");
    EXPECT_EQ(MakeTimeStampedName(At(2024, 1, 2, 12, 0, 0), ".csv"),
              "KovraPlot_240102_12-00-00.csv");
    EXPECT_EQ(MakeTimeStampedName(At(2000, 10, 9, 9, 59, 59), ".csv"),
              "KovraPlot_001009_09-59-59.csv");
}

TEST(TimeStampedNameTest, TakenNamesGetANumberBeforeTheExtension) {
    const std::tm tmLocal = At(2005, 12, 31, 13, 2, 3);
    EXPECT_EQ(MakeNumberedName(tmLocal, ".csv", 1), "KovraPlot_051231_01-02-03.csv");
    EXPECT_EQ(MakeNumberedName(tmLocal, ".csv", 2), "KovraPlot_051231_01-02-03_2.csv");
    EXPECT_EQ(MakeNumberedName(tmLocal, ".bmp", 13), "KovraPlot_051231_01-02-03_13.bmp");
}

} // namespace
