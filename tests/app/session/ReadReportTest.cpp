// What the status bar says about values dropped and lines skipped, step by step with a clock
// of the test's own.
#include "session/ReadReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::chrono_literals;

TEST(ReadReportTest, AWideSetIsToldOncePerConnectionAndSkippedLinesOnceASecond) {
    enum class EEvent { kRead, kPortOpened, kStoreCleared };
    struct SStep {
        EEvent m_eEvent;
        int m_nMs;
        SReadCounts m_counts;
        const char* m_szText;
    };
    const auto counts = [](std::uint64_t nDropped, int nLargest, std::uint64_t nSkipped,
                           const char* szLine) {
        return SReadCounts{nDropped, nLargest, nSkipped, szLine, 0};
    };
    const SStep steps[] = {
        {EEvent::kRead, 0, counts(0, 0, 0, ""), ""},
        {EEvent::kRead, 10, counts(4, 14, 0, ""),
         "A set held 14 values: only 10 channels are kept"},
        {EEvent::kRead, 20, counts(8, 14, 0, ""), ""},
        {EEvent::kPortOpened, 30, {}, ""},
        {EEvent::kRead, 40, counts(8, 14, 0, ""), ""},
        {EEvent::kRead, 50, counts(12, 14, 0, ""),
         "A set held 14 values: only 10 channels are kept"},
        {EEvent::kRead, 60, counts(12, 14, 1, "ERROR: sensor 3"),
         "skipped a line that is not a set: ERROR: sensor 3"},
        {EEvent::kRead, 700, counts(12, 14, 2, "boot"), ""},
        // Due since 700 ms, told with the latest line once the second is over.
        {EEvent::kRead, 1060, counts(12, 14, 3, "boot 2"),
         "skipped a line that is not a set: boot 2"},
        {EEvent::kRead, 2500, counts(12, 14, 3, "boot 2"), ""},
        // Values dropped on a clash of labels, not for a wide set.
        {EEvent::kPortOpened, 2600, {}, ""},
        {EEvent::kStoreCleared, 2600, {}, ""},
        {EEvent::kRead, 2700, counts(1, 0, 0, ""), ""},
        {EEvent::kRead, 2800, counts(2, 0, 1, "x"), "skipped a line that is not a set: x"},
    };
    CReadReport report;
    const auto start = CReadReport::Clock::now();
    for (const SStep& step : steps) {
        switch (step.m_eEvent) {
        case EEvent::kPortOpened:
            report.OnPortOpened();
            break;
        case EEvent::kStoreCleared:
            report.OnStoreCleared();
            break;
        case EEvent::kRead:
            EXPECT_EQ(report.Update(step.m_counts, start + std::chrono::milliseconds(step.m_nMs)),
                      step.m_szText)
                << step.m_nMs << " ms";
            break;
        }
    }
}

} // namespace
