// The link to the board, with the real program: ports looked up at Connect, a board that comes
// back after it went away, and lines typed to the board.
#include "FakeSysfs.h"
#include "ProgramDriver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRecord = 32810;
constexpr int kStopRecording = 32811;
constexpr int kSendBar = 32851;

// Asks until fnAnswer gives strWanted or the time is up; the last answer.
std::string WaitForAnswer(const std::function<std::string()>& fnAnswer,
                          const std::string& strWanted, Clock::duration timeout = 20s) {
    const auto deadline = Clock::now() + timeout;
    std::string strAnswer;
    while ((strAnswer = fnAnswer()) != strWanted && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    return strAnswer;
}

// A board plugged in after the start connects at the first F2, and hears what is typed in the
// send bar: kovra-devsim --echo prints each line it receives.
TEST(LinkTest, ABoardPluggedInAfterStartConnectsAtTheFirstF2AndHearsTheSendBar) {
    CScratchDirectory directory;
    CFakeSysfs sysfs;
    CProgram program(directory.Path(), {}, {"KOVRA_SYSFS_ROOT=" + sysfs.Root().string()});
    program.Command("key F2");
    EXPECT_EQ(program.Status(), "Error Connecting.. no device is behind COM1");
    CBoardProcess board(directory.Path(), {"--echo", "--rate", "10"}, directory.PathOf("echo"));
    sysfs.AddUsbDevice("usb1/1-4", "Kovra Test Boards", "Plotter Board");
    sysfs.AddTty("ttyACM0", "usb1/1-4/1-4:1.0", board.Path().substr(5));
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
    program.Command("command " + std::to_string(kSendBar));
    program.Command("send gain 2");
    EXPECT_EQ(program.Status(), "Sent 7 bytes: gain 2\\n");
    EXPECT_EQ(WaitForAnswer([&] { return directory.Read("echo"); }, "gain 2\n"), "gain 2\n");
    EXPECT_EQ(program.Quit(), 0);
}

// A board re-flashed while recording (kovra-devsim away for 3 s under one name) is connected
// again by itself, and every set it sent before and after is in the one recording. F3 ends
// the waiting; --reconnect is for the one run.
TEST(LinkTest, ABoardThatReturnsIsReconnectedAndTheRecordingGoesOn) {
    CScratchDirectory directory;
    const std::string strLink = directory.PathOf("board");
    CProgram program(directory.Path(), {"--reconnect", "--port-map", "COM1=" + strLink});
    program.Command("save-as " + directory.PathOf("rec.csv"));
    program.Command("command " + std::to_string(kRecord));
    // Each time 20 sets, the first after the port had half a second to be opened.
    CBoardProcess board(directory.Path(),
                        {"--hang-up-after", "1", "--come-back-after", "3", "--link", strLink,
                         "--delay", "0.5", "--rate", "100", "--sets", "20", "--channels", "2"});
    program.Command("key F2");
    const std::string strWaiting = "waiting for " + strLink + " | collecting | REC rec.csv, ";
    const auto pane = [&] { return program.Pane(); };
    ASSERT_EQ(WaitForAnswer(pane, strWaiting + "20 sets"), strWaiting + "20 sets");
    EXPECT_EQ(program.Status(), "Error: port closed by the device..");

    board.NextPath();
    const auto back = Clock::now();
    const std::string strBack = "Reconnected to " + strLink;
    ASSERT_EQ(WaitForAnswer([&] { return program.Status(); }, strBack), strBack);
    const double fDelayMs = std::chrono::duration<double, std::milli>(Clock::now() - back).count();
    std::printf("reconnected %.1f ms after the board came back\n", fDelayMs);
    RecordProperty("reconnect_ms", std::to_string(fDelayMs));

    ASSERT_EQ(WaitForAnswer(pane, strWaiting + "40 sets"), strWaiting + "40 sets");
    program.Command("key F3");
    EXPECT_EQ(pane(), "Not connected | collecting | REC rec.csv, 40 sets");
    program.Command("command " + std::to_string(kStopRecording));
    std::istringstream file(directory.Read("rec.csv"));
    std::vector<std::string> vLines;
    for (std::string strLine; std::getline(file, strLine);) {
        vLines.push_back(strLine);
    }
    ASSERT_EQ(vLines.size(), 41u);
    // The board starts its sets anew when it comes back: the same 20 twice, the gap between.
    const auto values = [&](std::size_t n) { return vLines[n].substr(vLines[n].find(',')); };
    for (std::size_t n = 1; n <= 20; ++n) {
        EXPECT_EQ(values(n), values(n + 20)) << n;
    }
    EXPECT_GT(std::strtod(vLines[21].c_str(), nullptr) - std::strtod(vLines[20].c_str(), nullptr),
              2.5);
    board.NextPath();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(pane(), "Not connected | collecting");
    EXPECT_EQ(program.Quit(), 0);
    EXPECT_NE(directory.Read(kSettingsFile).find("Reconnect=false"), std::string::npos);
}

} // namespace
