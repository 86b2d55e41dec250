// The real program running out of memory while a board floods it: collection stops and says
// so, every value stored until then stays on screen and goes into the export whole, and the
// program answers, recovers after F12 and ends cleanly.
#include "ProgramDriver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const std::string kFullText = "Memory full: collection stopped. Export with F8.";

#if !defined(__SANITIZE_ADDRESS__)
// Puts the running program under an address-space limit this much above what it has mapped
// (as prlimit --pid does), so that wherever it starts, the store fills in a few seconds.
// First the threads of the first paint and capture are started (and of the first export,
// with bExport): their stacks, kept for the next ones, would take much of a small margin.
void LimitAddressSpace(CProgram& program, const CPtyPair& device, std::size_t nMoreBytes,
                       bool bExport) {
    device.Send("0 0#");
    ASSERT_TRUE(program.WaitForValues(2, 20s));
    program.Command("key F9");
    if (bExport) {
        ASSERT_FALSE(program.QuickExport().empty());
    }
    program.Command("key F12");
    std::ifstream statm("/proc/" + std::to_string(program.Pid()) + "/statm");
    std::size_t nPages = 0;
    ASSERT_TRUE(statm >> nPages);
    const rlimit limit{nPages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) + nMoreBytes,
                       RLIM_INFINITY};
    ASSERT_EQ(prlimit(program.Pid(), RLIMIT_AS, &limit, nullptr), 0);
}
#endif

// Sets of ten values, the first counting the sets, so that the export shows whether every
// set up to the last one stored came through whole.
std::string Sets(long nFirst, long nCount) {
    std::string strText;
    char szSet[64];
    for (long k = nFirst; k < nFirst + nCount; ++k) {
        const int n = std::snprintf(szSet, sizeof szSet, "%ld 1 2 3 4 5 6 7 8 9#\r\n", k);
        strText.append(szSet, static_cast<std::size_t>(n));
    }
    return strText;
}

// The export of nRows of those sets.
std::string ExpectedCsv(long nRows) {
    std::string strCsv;
    char szRow[96];
    for (long k = 0; k < nRows; ++k) {
        const int n = std::snprintf(
            szRow, sizeof szRow,
            "%ld.00,\t1.00,\t2.00,\t3.00,\t4.00,\t5.00,\t6.00,\t7.00,\t8.00,\t9.00\r\n", k);
        strCsv.append(szRow, static_cast<std::size_t>(n));
    }
    return strCsv;
}

// Floods the program until it says that memory is full; nSent counts the sets sent.
void FloodUntilFull(CProgram& program, const CPtyPair& device, long& nSent) {
    constexpr long kBatch = 50'000;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (; program.Status() != kFullText; nSent += kBatch) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "memory never filled";
        ASSERT_TRUE(device.Send(Sets(nSent, kBatch)));
    }
}

// Full: what was stored stays and is exported whole.
void ExpectEveryStoredValueExported(CProgram& program, const CScratchDirectory& directory) {
    program.WaitUntilSettled();
    const auto [nValues, nChannels] = program.Caption();
    EXPECT_EQ(nChannels, 10);
    EXPECT_NE(program.Pane().find("memory full: not collecting"), std::string::npos)
        << program.Pane();
    ASSERT_EQ(nValues % 10, 0);
    // Many blocks of samples per channel, not a program that filled at once.
    EXPECT_GT(nValues, 2'000'000);
    EXPECT_EQ(directory.Read(program.QuickExport()), ExpectedCsv(nValues / 10));
    EXPECT_EQ(program.Caption().first, nValues);
}

// F5 tries again: it may find a little room that has come free since, but fills up again
// and says so rather than crash or loop.
void ExpectCollectionToStayStopped(CProgram& program, const CPtyPair& device, long& nSent) {
    const long nValues = program.Caption().first;
    program.Command("key F5");
    const std::string strStatus = program.Status();
    EXPECT_TRUE(strStatus == kFullText || strStatus == "Plot ON (collecting)") << strStatus;
    FloodUntilFull(program, device, nSent);
    program.WaitUntilSettled();
    EXPECT_GE(program.Caption().first, nValues);
    EXPECT_EQ(program.Status(), kFullText);
}

// Floods the program until memory is full and checks what it then keeps and does.
void FillUp(CProgram& program, const CPtyPair& device, const CScratchDirectory& directory) {
    long nSent = 0;
    FloodUntilFull(program, device, nSent);
    ExpectEveryStoredValueExported(program, directory);
    ExpectCollectionToStayStopped(program, device, nSent);
}

// F12 frees the memory and collection goes on by itself.
void ExpectRecoveryAfterClearing(CProgram& program, const CPtyPair& device) {
    program.Command("key F12");
    EXPECT_EQ(program.Status(), "Plot ON (collecting)");
    EXPECT_EQ(program.Pane().find("memory full"), std::string::npos) << program.Pane();
    device.Send("1 2#3 4#");
    EXPECT_TRUE(program.WaitForValues(4, 20s));
}

TEST(MemoryFullTest, CollectionStopsBeforeTheAddressSpaceLimitAndEveryValueIsKept) {
    CScratchDirectory directory;
    CPtyPair device;
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer maps terabytes of shadow memory and needs more as the program runs, so
    // it cannot work under an address-space limit: a budget of the same order stands in.
    CProgram program(directory.Path(),
                     {"--port-map", "COM1=" + device.Path(), "--memory-budget", "24M"});
    std::printf("AddressSanitizer: --memory-budget 24M stands in for the address-space limit\n");
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
#else
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
    LimitAddressSpace(program, device, 64 << 20, true);
#endif
    FillUp(program, device, directory);
    // The paint and the screenshot have the memory that was left unused.
    program.Command("resize 1000 700");
    EXPECT_NE(program.Status(), "Not enough memory to draw the plot.");
    program.Command("key F9");
    EXPECT_EQ(program.Status().rfind("Saving current view to ", 0), 0u) << program.Status();
    ExpectRecoveryAfterClearing(program, device);
    EXPECT_EQ(program.Quit(), 0);
}

#if !defined(__SANITIZE_ADDRESS__)
// With a budget larger than the address space, the store stops only when the system refuses
// a block. Memory is then exhausted for the rest of the program too: what needs more says so.
// Not built with AddressSanitizer, which cannot run under the limit that makes this happen.
TEST(MemoryFullTest, AnAllocationThatFailsStopsCollectionAndNothingElse) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(),
                     {"--port-map", "COM1=" + device.Path(), "--memory-budget", "1T"});
    program.Command("key F2");
    // No export before: its thread would leave memory that the rest could fall back on.
    LimitAddressSpace(program, device, 32 << 20, false);
    FillUp(program, device, directory);
    program.Command("key F9");
    EXPECT_EQ(program.Status(), "Error: not enough memory to save current view");
    // The clipboard gets a picture of its own, for which there is no memory either.
    program.Command("key Ctrl+C");
    EXPECT_EQ(program.Status(), "Error: not enough memory to copy current view");
    program.Command("resize 1600 1200");
    EXPECT_EQ(program.Status(), "Not enough memory to draw the plot.");
    ExpectRecoveryAfterClearing(program, device);
    program.Command("key F9");
    EXPECT_EQ(program.Status().rfind("Saving current view to ", 0), 0u) << program.Status();
    EXPECT_EQ(program.Quit(), 0);
}
#endif

} // namespace
