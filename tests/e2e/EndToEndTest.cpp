// The real program, off-screen, connected to a simulated board on a pseudo-terminal and
// driven as a user would drive it: the board sends, the user presses keys and chooses
// commands, and what the program shows and writes is checked.
#include "FakeSysfs.h"
#include "KernelTtySpeed.h"
#include "ProgramDriver.h"
#include "ReferenceInterpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr auto kArrival = 60s;

// What an export of the model's channels contains: "%0.2f" cells by the C library, one
// column for every channel up to the last that holds a value.
std::string ExpectedCsv(const CReferenceInterpreter& model) {
    const auto& channels = model.Channels();
    std::size_t nColumns = channels.size();
    while (nColumns > 0 && channels[nColumns - 1].empty()) {
        --nColumns;
    }
    std::string strCsv;
    char szCell[64];
    for (std::size_t r = 0; r < channels[0].size(); ++r) {
        for (std::size_t c = 0; c < nColumns; ++c) {
            const auto& channel = channels[c];
            const float v = r < channel.size() ? channel[r] : 0.0f;
            std::snprintf(szCell, sizeof szCell, "%0.2f", static_cast<double>(v));
            strCsv += szCell;
            if (c + 1 < nColumns) {
                strCsv += ",\t";
            }
        }
        strCsv += "\r\n";
    }
    return strCsv;
}

long ValueCount(const CReferenceInterpreter& model) {
    long nTotal = 0;
    for (const auto& channel : model.Channels()) {
        nTotal += static_cast<long>(channel.size());
    }
    return nTotal;
}

// Presses F8 and returns the name of the file it reports.
std::string QuickExport(CProgram& program) {
    const std::string strName = program.QuickExport();
    EXPECT_FALSE(strName.empty()) << program.Status();
    return strName;
}

std::string RandomSets(int nSets, std::mt19937& random) {
    std::uniform_int_distribution<int> size(1, 10);
    std::uniform_int_distribution<int> whole(-2000, 2000);
    std::uniform_int_distribution<int> decimals(0, 4);
    std::uniform_int_distribution<int> digit(0, 9999);
    const char* separators[] = {" ", "\t", " ; ", "\r\n", "  ", " | "};
    std::uniform_int_distribution<std::size_t> separator(0, std::size(separators) - 1);
    std::string strText;
    for (int s = 0; s < nSets; ++s) {
        const int nValues = size(random);
        for (int k = 0; k < nValues; ++k) {
            strText += std::to_string(whole(random));
            const int nDecimals = decimals(random);
            if (nDecimals > 0) {
                strText += '.';
                strText +=
                    std::to_string(digit(random)).substr(0, static_cast<std::size_t>(nDecimals));
            }
            strText += separators[separator(random)];
        }
        strText += s % 3 == 0 ? "#\r\n" : "#";
    }
    return strText;
}

TEST(EndToEndTest, EveryValueSentIsExportedExactly) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");

    std::mt19937 random(20261208);
    const std::string strText = RandomSets(100'000, random);
    CReferenceInterpreter model;
    model.Feed(strText.c_str());
    // Pieces of random length, so numbers and sets are split anywhere.
    std::uniform_int_distribution<std::size_t> piece(1, 700);
    for (std::size_t at = 0; at < strText.size();) {
        const std::size_t n = std::min(piece(random), strText.size() - at);
        device.Send(strText.substr(at, n));
        at += n;
    }
    ASSERT_TRUE(program.WaitForValues(ValueCount(model), kArrival));
    EXPECT_EQ(program.Caption().second, model.LastSetCount());
    const std::string strName = QuickExport(program);
    EXPECT_EQ(directory.Read(strName), ExpectedCsv(model));
    EXPECT_EQ(program.Quit(), 0);
}

TEST(EndToEndTest, PausedDataIsDroppedAndResumingStartsAFreshSet) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    device.Send("1 2");
    std::this_thread::sleep_for(300ms);
    program.Command("key F5");
    EXPECT_EQ(program.Status(), "Plot OFF (not collecting new data)");
    device.Send(" 99 98#97 96#");
    // Long enough for the program to have read and dropped what came.
    std::this_thread::sleep_for(500ms);
    program.Command("key F5");
    device.Send("6 7#");
    ASSERT_TRUE(program.WaitForValues(2, kArrival));
    EXPECT_EQ(directory.Read(QuickExport(program)), "6.00,\t7.00\r\n");
}

TEST(EndToEndTest, KeepsUpAtTheFastestLineSpeedAndBeyond) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    std::mt19937 random(57600);
    // 57,600 bps: 5,760 characters a second, for three seconds.
    const std::string strPaced = RandomSets(600, random).substr(0, 17280);
    CReferenceInterpreter model;
    model.Feed((strPaced + "#").c_str());
    SendPaced(device, strPaced + "#", 5760.0);
    ASSERT_TRUE(program.WaitForValues(ValueCount(model), kArrival));

    // Then as fast as the pseudo-terminal takes it.
    const std::string strFast = RandomSets(200'000, random);
    model.Feed(strFast.c_str());
    const auto start = std::chrono::steady_clock::now();
    device.Send(strFast);
    ASSERT_TRUE(program.WaitForValues(ValueCount(model), kArrival));
    const double fSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double fRate = static_cast<double>(strFast.size()) / fSeconds / 1e6;
    RecordProperty("fastest_MB_per_s", std::to_string(fRate));
    std::printf("took %zu bytes in %.2f s: %.1f MB/s, nothing lost\n", strFast.size(), fSeconds,
                fRate);
    EXPECT_EQ(directory.Read(QuickExport(program)), ExpectedCsv(model));
}

TEST(EndToEndTest, ABoardThatIsUnpluggedAndComesBackCanBeConnectedAgain) {
    CScratchDirectory directory;
    const std::string strLink = directory.Path() + "/board";
    auto device = std::make_unique<CPtyPair>();
    std::filesystem::create_symlink(device->Path(), strLink);
    CProgram program(directory.Path(), {"--port-map", "COM1=" + strLink});
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
    device->Send("1 2#3 4#");
    ASSERT_TRUE(program.WaitForValues(4, kArrival));
    device->CloseMaster();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (program.Status() != "Error: port closed by the device.." &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(program.Status(), "Error: port closed by the device..");

    device = std::make_unique<CPtyPair>();
    std::filesystem::remove(strLink);
    std::filesystem::create_symlink(device->Path(), strLink);
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
    device->Send("5 6#");
    ASSERT_TRUE(program.WaitForValues(6, kArrival));
    EXPECT_EQ(directory.Read(QuickExport(program)),
              "1.00,\t2.00\r\n3.00,\t4.00\r\n5.00,\t6.00\r\n");
}

TEST(EndToEndTest, BusyOrMissingPortsAreReportedAndNothingElseChanges) {
    CScratchDirectory directory;
    {
        CProgram missing(directory.Path(), {"--port-map", "COM1=/dev/kovra-no-such-board"});
        missing.Command("key F2");
        EXPECT_EQ(missing.Status(), "Error Connecting.. /dev/kovra-no-such-board does not exist");
        EXPECT_EQ(missing.Quit(), 0);
    }
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    const int hHeld = open(device.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(hHeld, 0);
    ASSERT_EQ(flock(hHeld, LOCK_EX | LOCK_NB), 0);
    program.Command("key F2");
    // This test is the other program.
    EXPECT_EQ(program.Status(), "Error Connecting.. " + device.Path() +
                                    " is used by another program: kovra_e2e_tests (process " +
                                    std::to_string(getpid()) + ")");
    close(hHeld);
    program.Command("key F2");
    EXPECT_EQ(program.Status(), "Connected..");
    program.Command("key F3");
    EXPECT_EQ(program.Status(), "Disconnected..");
    EXPECT_EQ(program.Quit(), 0);
}

TEST(EndToEndTest, GarbageLongNumbersAndWideSetsDoNoHarm) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    std::mt19937 random(255);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string strGarbage(1 << 20, '\0');
    for (char& c : strGarbage) {
        c = static_cast<char>(byte(random));
    }
    device.Send(strGarbage);
    device.Send(std::string(100'000, '7') + " " + std::string(100'000, '-') + "# #");
    program.WaitUntilSettled();
    program.Command("key F12");
    EXPECT_EQ(program.Caption(), std::make_pair(0L, 0));
    std::string strWide;
    for (int k = 1; k <= 500; ++k) {
        strWide += std::to_string(k) + " ";
    }
    device.Send(strWide + "#11 22 33#");
    ASSERT_TRUE(program.WaitForValues(13, kArrival));
    // The first ten values of the wide set fill ten channels, all of which are exported.
    EXPECT_EQ(directory.Read(QuickExport(program)),
              "1.00,\t2.00,\t3.00,\t4.00,\t5.00,\t6.00,\t7.00,\t8.00,\t9.00,\t10.00\r\n"
              "11.00,\t22.00,\t33.00,\t0.00,\t0.00,\t0.00,\t0.00,\t0.00,\t0.00,\t0.00\r\n");
    EXPECT_EQ(program.Quit(), 0);
}

TEST(EndToEndTest, ExportsThatFailSaySo) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    device.Send("1 2#");
    ASSERT_TRUE(program.WaitForValues(2, kArrival));
    program.Command("save-as /dev/full");
    EXPECT_EQ(program.Command("command 57603"),
              std::vector<std::string>{"message Problem writing file.."});
    program.Command("save-as " + directory.Path() + "/missing/data.csv");
    EXPECT_EQ(program.Command("command 57603"),
              std::vector<std::string>{"message Problem opening file.. No such file or directory"});
    program.Command("save-as " + directory.Path() + "/data.csv");
    EXPECT_TRUE(program.Command("command 57603").empty());
    EXPECT_EQ(directory.Read("data.csv"), "1.00,\t2.00\r\n");
    EXPECT_EQ(program.Quit(), 0);
}

// kovraplotter --speed 115200 /dev/pts/N: connected at start, at that speed, and plotting.
TEST(EndToEndTest, TheCommandLineConnectsToADeviceAtStart) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--speed", "115200", device.Path()});
    EXPECT_EQ(program.Status(), "Connected..");
    const termios tio = device.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    device.Send("1.5 -2 3#\r\n4 5 6#\r\n");
    ASSERT_TRUE(program.WaitForValues(6, kArrival));
    EXPECT_EQ(directory.Read(QuickExport(program)),
              "1.50,\t-2.00,\t3.00\r\n4.00,\t5.00,\t6.00\r\n");
    EXPECT_EQ(program.Quit(), 0);

    // A device that is not there is said so at start.
    CProgram missing(directory.Path(), {"/dev/kovra-no-such-board"});
    EXPECT_EQ(missing.Status(), "Error Connecting.. /dev/kovra-no-such-board does not exist");
    EXPECT_EQ(missing.Quit(), 0);
}

// A board printing one reading a line without '#': the status bar says why nothing is
// plotted, and once Port Setup ends sets at line ends, the lines are plotted (nothing of
// what came before: the half set ends with the connection).
TEST(EndToEndTest, ABoardPrintingLinesIsToldAboutAndThenPlotted) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--speed", "115200", device.Path()});
    ASSERT_EQ(program.Status(), "Connected..");
    const std::string strHint = "Receiving data, but no set has ended: the board ends its lines "
                                "without '#' (Port Setup can read one set per line)";
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (program.Status() != strHint && std::chrono::steady_clock::now() < deadline) {
        device.Send("1.5 -2 3\r\n");
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(program.Status(), strHint);
    EXPECT_EQ(program.Caption(), std::make_pair(0L, 0));

    program.Command("key F3");
    program.Command("dialog-set comboFormat One set per line");
    program.Command("dialog-ok");
    EXPECT_EQ(program.Command("command 32774").back(), "dialog Port Setup accepted");
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
    device.Send("4 5 6\r\n7 8 9\r\n");
    ASSERT_TRUE(program.WaitForValues(6, kArrival));
    EXPECT_EQ(directory.Read(QuickExport(program)), "4.00,\t5.00,\t6.00\r\n7.00,\t8.00,\t9.00\r\n");
    EXPECT_EQ(program.Quit(), 0);
}

TEST(EndToEndTest, WrongDevicesAndSpeedsOnTheCommandLineEndWithStatus2) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--speed", "fast", "/dev/ttyACM0"}, "Bad --speed 'fast'"},
        {{"--speed", "0", "COM1"}, "Bad --speed '0'"},
        {{"--speed"}, "Missing value after '--speed'"},
        {{"ttyACM0"}, "Bad DEVICE 'ttyACM0'"},
        {{"/dev/ttyACM0", "COM2"}, "Unexpected argument: COM2"},
    };
    CScratchDirectory directory;
    for (const auto& [vArguments, strMessage] : cases) {
        const SProgramRun run = RunToEnd(directory.Path(), vArguments);
        EXPECT_EQ(run.m_nStatus, 2) << vArguments[0];
        EXPECT_NE(run.m_strError.find("kovraplotter: " + strMessage), std::string::npos)
            << run.m_strError;
    }
}

// A board plugged in while the program runs is offered the next time Port Setup opens, with
// its maker and product, and can be chosen there and connected.
TEST(EndToEndTest, ABoardPluggedInAfterStartIsOfferedInPortSetup) {
    CScratchDirectory directory;
    CFakeSysfs sysfs;
    CProgram program(directory.Path(), {}, {"KOVRA_SYSFS_ROOT=" + sysfs.Root().string()});
    const auto options = [&program] {
        std::vector<std::string> vPorts;
        for (const std::string& strLine : program.Command("command 32774")) {
            if (strLine.rfind("option comboPort ", 0) == 0) {
                vPorts.push_back(strLine.substr(17));
            }
        }
        return vPorts;
    };
    EXPECT_EQ(options(), (std::vector<std::string>{"COM1  (none)", "COM2  (none)", "COM3  (none)",
                                                   "COM4  (none)"}));

    CPtyPair device;
    sysfs.AddUsbDevice("usb1/1-4", "Kovra Test Boards", "Plotter Board");
    sysfs.AddTty("ttyACM0", "usb1/1-4/1-4:1.0", device.Path().substr(5));
    const std::string strOffered =
        "COM1  (" + device.Path() + ")  Kovra Test Boards, Plotter Board";
    EXPECT_EQ(options()[0], strOffered);

    program.Command("dialog-set comboPort " + strOffered);
    program.Command("dialog-set comboSpeed 250000");
    program.Command("dialog-ok");
    const std::vector<std::string> vShown = program.Command("command 32774");
    ASSERT_FALSE(vShown.empty());
    EXPECT_EQ(vShown.front(), "dialog Port Setup");
    EXPECT_EQ(vShown.back(), "dialog Port Setup accepted");
    EXPECT_NE(std::find(vShown.begin(), vShown.end(), "field comboSpeed = 9600 bps"), vShown.end());
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
    EXPECT_EQ(KernelTtySpeed(device.Slave()), 250000u);
    device.Send("7 8#");
    ASSERT_TRUE(program.WaitForValues(2, kArrival));
    EXPECT_EQ(program.Quit(), 0);
}

// The sanitizers make the program several times slower: there a shorter history still keeps
// an export going for longer than the receive buffer lasts.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kHistorySets = 2'000'000;
#else
constexpr long kHistorySets = 5'000'000;
#endif

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A UART without flow control loses what arrives while its receive buffer is full: 4 KB last
// a third of a second at 115200 bps. The board drops whatever would not fit in 4096 unread
// bytes, and the program must keep the port read through the heaviest things a user does:
// dialogs held open, Print Preview, a resize storm and an export of 50 million values.
TEST(EndToEndTest, NothingIsLostOnALineWithoutFlowControl) {
    constexpr long kHistoryValues = kHistorySets * 10;
    constexpr int kHoldMs = 1500;
    CScratchDirectory directory;
    const std::string strLink = directory.Path() + "/board";
    CProgram program(directory.Path(), {"--port-map", "COM1=" + strLink});

    // A long history first, sent as fast as the program takes it.
    {
        CPtyPair filler;
        std::filesystem::create_symlink(filler.Path(), strLink);
        program.Command("key F2");
        ASSERT_EQ(program.Status(), "Connected..");
        std::string strBlock;
        for (int i = 0; i < 50'000; ++i) {
            strBlock += "0 1 2 3 4 5 6 7 8 9#";
        }
        for (long nSent = 0; nSent < kHistorySets; nSent += 50'000) {
            ASSERT_TRUE(filler.Send(strBlock));
        }
        ASSERT_TRUE(program.WaitForValues(kHistoryValues, 240s));
        program.Command("key F3");
    }

    CBoardProcess board(directory.Path(),
                        {"--overrun", "--byte-rate", "11520", "--channels", "10"});
    std::filesystem::remove(strLink);
    std::filesystem::create_symlink(board.Path(), strLink);
    program.Command("key F2");
    ASSERT_EQ(program.Status(), "Connected..");
    // What the board dropped before the program opened the port is not the program's loss.
    const CBoardCounts connected = board.Counts();
    const auto expectNothingDroppedWhile = [&](const std::string& strWhat, auto action) {
        const auto start = std::chrono::steady_clock::now();
        action();
        const double fSeconds = SecondsSince(start);
        const CBoardCounts now = board.Counts();
        std::printf("%s: %.1f s, %llu bytes dropped\n", strWhat.c_str(), fSeconds,
                    static_cast<unsigned long long>(now.nBytesDropped - connected.nBytesDropped));
        EXPECT_EQ(now.nBytesDropped, connected.nBytesDropped) << strWhat;
    };
    const auto holdDialog = [&](const std::string& strCommand) {
        program.Command("hold " + std::to_string(kHoldMs));
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::string> vLines = program.Command(strCommand);
        ASSERT_FALSE(vLines.empty()) << strCommand;
        EXPECT_EQ(vLines.front().rfind("dialog ", 0), 0u) << vLines.front();
        EXPECT_EQ(vLines.back(), vLines.front() + " cancelled");
        EXPECT_GE(SecondsSince(start), kHoldMs / 1000.0) << strCommand;
    };

    // Port Setup is greyed while connected: the settings dialog held open is Channel Setup.
    expectNothingDroppedWhile("Channel Setup open", [&] { holdDialog("command 32781"); });
    expectNothingDroppedWhile("the Save dialog open", [&] {
        program.Command("save-as ");
        program.Command("hold " + std::to_string(kHoldMs));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(program.Command("command 57603").empty());
        EXPECT_GE(SecondsSince(start), kHoldMs / 1000.0);
    });
    expectNothingDroppedWhile("Print Preview open", [&] { holdDialog("command 57609"); });
    expectNothingDroppedWhile("a resize storm", [&] {
        const auto start = std::chrono::steady_clock::now();
        std::set<std::vector<std::string>> vSizes;
        for (int i = 0; SecondsSince(start) < kHoldMs / 1000.0; ++i) {
            vSizes.insert(program.Command("resize " + std::to_string(500 + (i * 37) % 700) + " " +
                                          std::to_string(300 + (i * 53) % 500)));
        }
        // The plot really took many sizes.
        EXPECT_GT(vSizes.size(), 10u);
    });
    expectNothingDroppedWhile("an export of " + std::to_string(kHistoryValues) + " values", [&] {
        program.Command("key F8");
        const auto start = std::chrono::steady_clock::now();
        std::string strStatus = program.Status();
        // An export that runs in the background reports when it ends.
        while (strStatus.rfind("Channels dumped to ", 0) != 0 && SecondsSince(start) < 120.0) {
            std::this_thread::sleep_for(20ms);
            strStatus = program.Status();
        }
        ASSERT_EQ(strStatus.rfind("Channels dumped to ", 0), 0u) << strStatus;
        const std::string strExport = directory.Path() + "/" + strStatus.substr(19);
        // "0.00,\t" or "0.00\r\n" per value.
        EXPECT_GE(std::filesystem::file_size(strExport), 6u * kHistoryValues);
        std::filesystem::remove(strExport);
    });

    // Every set the board sent while the program had the port open arrives. (Counted before
    // the board stops: a hang-up discards what the pseudo-terminal had not yet delivered.)
    const CBoardCounts sent = board.Counts();
    const long nExpected = static_cast<long>(sent.nSetsSent - connected.nSetsSent) * 10;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (program.Caption().first - kHistoryValues < nExpected &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    program.Command("key F3");
    const long nArrived = program.Caption().first - kHistoryValues;
    EXPECT_GE(nArrived, nExpected);
    EXPECT_LE(nArrived, static_cast<long>(board.Stop().nSetsSent) * 10);
    EXPECT_EQ(program.Quit(), 0);
}

} // namespace
