#include "session/ReadReport.h"

#include <gtest/gtest.h>

namespace {

// A set too wide is told once per connection; skipped lines at most once a second, the
// latest then.
TEST(ReadReportTest, TellsAWideSetOncePerConnectionAndSkippedLinesOnceASecond) {
    struct SStep {
        int m_nMs; // -1: a port is opened, -2: the store is cleared
        SReadCounts m_counts;
        const char* m_szText;
    };
    const char* const szWide = "A set held 14 values: only 10 channels are kept";
    const SStep steps[] = {
        {0, {4, 14, 0, "", 0}, szWide},
        {10, {8, 14, 0, "", 0}, ""},
        {-1, {}, ""},
        {20, {12, 14, 1, "boot", 0}, szWide},
        {30, {12, 14, 1, "boot", 0}, "skipped a line that is not a set: boot"},
        {700, {12, 14, 2, "boot 2", 0}, ""},
        {1030, {12, 14, 3, "boot 3", 0}, "skipped a line that is not a set: boot 3"},
        {-1, {}, ""},
        {2000, {13, 0, 3, "", 0}, ""}, // dropped on a clash of labels, no set too wide
        {-2, {}, ""},
        {2100, {0, 0, 1, "x", 0}, "skipped a line that is not a set: x"},
    };
    CReadReport report;
    const auto start = CReadReport::Clock::now();
    for (const SStep& step : steps) {
        if (step.m_nMs == -1) {
            report.OnPortOpened();
        } else if (step.m_nMs == -2) {
            report.OnStoreCleared();
        } else {
            EXPECT_EQ(report.Update(step.m_counts, start + std::chrono::milliseconds(step.m_nMs)),
                      step.m_szText)
                << step.m_nMs << " ms";
        }
    }
}

} // namespace
