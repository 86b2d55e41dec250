// Recording and opening files with the real program: a board sends, the program records what
// it receives, is killed or runs out of disk, and what it wrote is opened again.
#include "ProgramDriver.h"
#include "SmallDisk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Set = std::vector<float>;

constexpr auto kArrival = 60s;
constexpr int kRecord = 32810;
constexpr int kStopRecording = 32811;
constexpr int kOpen = 57601;

// Random sets as a board might send them: 0 to 10 values of different lengths and signs,
// mixed separators; and the floats the program stores for them.
std::string RandomSets(int nSets, std::mt19937& random, std::vector<Set>& vSets) {
    std::uniform_int_distribution<int> size(0, 10);
    std::uniform_int_distribution<int> digits(1, 9);
    std::uniform_int_distribution<int> point(-1, 8);
    std::uniform_int_distribution<int> digit(0, 9);
    const char* separators[] = {" ", "\t", ";", "\r\n", " | "};
    std::uniform_int_distribution<std::size_t> separator(0, std::size(separators) - 1);
    std::string strText;
    for (int s = 0; s < nSets; ++s) {
        Set& set = vSets.emplace_back();
        for (int k = size(random); k > 0; --k) {
            std::string strNumber = digit(random) < 4 ? "-" : "";
            const int nDigits = digits(random);
            const int nPoint = point(random);
            for (int d = 0; d < nDigits; ++d) {
                strNumber += d == nPoint ? "." : "";
                strNumber += static_cast<char>('0' + digit(random));
            }
            set.push_back(static_cast<float>(std::strtod(strNumber.c_str(), nullptr)));
            strText += strNumber + separators[separator(random)];
        }
        strText += "#";
    }
    return strText;
}

std::vector<std::string> Lines(const std::string& strText) {
    std::vector<std::string> vLines;
    std::istringstream lines(strText);
    for (std::string strLine; std::getline(lines, strLine);) {
        vLines.push_back(strLine);
    }
    return vLines;
}

// A recording's lines: the time in milliseconds and the values.
struct SRecorded {
    long m_nMs = -1;
    Set m_values;
};

std::vector<SRecorded> ReadRecording(const std::string& strText) {
    std::vector<SRecorded> vRecorded;
    std::vector<std::string> vLines = Lines(strText);
    for (std::size_t n = 1; n < vLines.size(); ++n) {
        SRecorded& recorded = vRecorded.emplace_back();
        std::istringstream cells(vLines[n]);
        std::string strCell;
        std::getline(cells, strCell, ',');
        recorded.m_nMs = std::lround(std::strtod(strCell.c_str(), nullptr) * 1000.0);
        while (std::getline(cells, strCell, ',')) {
            float v = 0.0f;
            std::from_chars(strCell.data(), strCell.data() + strCell.size(), v);
            recorded.m_values.push_back(v);
        }
    }
    return vRecorded;
}

std::size_t LineCount(const std::string& strText) {
    return static_cast<std::size_t>(std::count(strText.begin(), strText.end(), '\n'));
}

void StartRecording(CProgram& program, const std::string& strPath) {
    program.Command("save-as " + strPath);
    program.Command("command " + std::to_string(kRecord));
    ASSERT_EQ(program.Status(), "Recording to " + strPath.substr(strPath.rfind('/') + 1));
}

// Opens the file in the program (whose store is empty) and returns the status it ends with.
std::string OpenFile(CProgram& program, const std::string& strPath) {
    const std::string strBefore = program.Status();
    program.Command("open " + strPath);
    program.Command("command " + std::to_string(kOpen));
    return program.WaitForNewStatus(strBefore, kArrival);
}

TEST(RecordingTest, EverySetOfARandomStreamIsRecordedInOrderCollectingOrNot) {
    CScratchDirectory directory;
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    StartRecording(program, directory.Path() + "/rec.csv");
    EXPECT_NE(program.Pane().find(" | REC rec.csv, 0 sets"), std::string::npos) << program.Pane();
    std::mt19937 random(1313);
    std::vector<Set> vSets;
    const std::string strText = RandomSets(100'000, random, vSets);
    // Pieces of random length, so that numbers and sets are split anywhere; collection is
    // switched off half way.
    std::uniform_int_distribution<std::size_t> piece(1, 700);
    bool bPaused = false;
    for (std::size_t at = 0; at < strText.size();) {
        if (!bPaused && at >= strText.size() / 2) {
            program.Command("key F5");
            bPaused = true;
        }
        const std::size_t n = std::min(piece(random), strText.size() - at);
        device.Send(strText.substr(at, n));
        at += n;
    }
    const auto deadline = std::chrono::steady_clock::now() + kArrival;
    while (LineCount(directory.Read("rec.csv")) < vSets.size() + 1 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    program.Command("command " + std::to_string(kStopRecording));
    EXPECT_EQ(program.Status(), "Recording stopped: 100000 sets in rec.csv");

    const std::string strRecording = directory.Read("rec.csv");
    EXPECT_EQ(Lines(strRecording).front(), "time_s,ch1,ch2,ch3,ch4,ch5,ch6,ch7,ch8,ch9,ch10");
    const std::vector<SRecorded> vRecorded = ReadRecording(strRecording);
    ASSERT_EQ(vRecorded.size(), vSets.size());
    int nMismatches = 0;
    long nLastMs = 0;
    for (std::size_t s = 0; s < vSets.size(); ++s) {
        if ((vRecorded[s].m_values != vSets[s] || vRecorded[s].m_nMs < nLastMs) &&
            ++nMismatches < 10) {
            ADD_FAILURE() << "set " << s << " recorded as line " << s + 2;
        }
        nLastMs = vRecorded[s].m_nMs;
    }
    EXPECT_EQ(nMismatches, 0);
    EXPECT_EQ(program.Quit(), 0);
}

TEST(RecordingTest, AKilledProgramLosesAtMostTheLast200msAndItsRecordingOpens) {
    CScratchDirectory directory;
    CPtyPair device;
    auto program = std::make_unique<CProgram>(
        directory.Path(), std::vector<std::string>{"--port-map", "COM1=" + device.Path()});
    program->Command("key F2");
    StartRecording(*program, directory.Path() + "/rec.csv");

    // A set every 2 ms for two seconds, its number and half of it; a pause; then one more
    // set, which starts the writer anew, and the kill 200 ms after it was sent.
    constexpr int kSets = 1000;
    auto send = [&device](int k) {
        device.Send(std::to_string(k) + " " + std::to_string(k / 2.0) + "#\r\n");
    };
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < kSets; ++k) {
        std::this_thread::sleep_until(start + k * 2ms);
        send(k);
    }
    std::this_thread::sleep_for(300ms);
    const auto sent = std::chrono::steady_clock::now();
    send(kSets);
    const std::string strLastLine = "," + std::to_string(kSets) + ",500\n";
    auto arrived = sent + 1h;
    while (std::chrono::steady_clock::now() < sent + 200ms) {
        const std::string strText = directory.Read("rec.csv");
        if (arrived > sent + 1min && strText.size() > strLastLine.size() &&
            strText.compare(strText.size() - strLastLine.size(), strLastLine.size(), strLastLine) ==
                0) {
            arrived = std::chrono::steady_clock::now();
        }
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(::kill(program->Pid(), SIGKILL), 0);
    program.reset(); // waits for the end

    const std::vector<SRecorded> vRecorded = ReadRecording(directory.Read("rec.csv"));
    ASSERT_EQ(vRecorded.size(), kSets + 1u);
    for (std::size_t k = 0; k < vRecorded.size(); ++k) {
        ASSERT_EQ(vRecorded[k].m_values, (Set{static_cast<float>(k), static_cast<float>(k) / 2}));
    }
    const double fWrittenMs = std::chrono::duration<double, std::milli>(arrived - sent).count();
    std::printf("the last set was in the file %.0f ms after it was sent; killed after 200 ms\n",
                fWrittenMs);
    RecordProperty("set_in_file_ms_after_sending", std::to_string(fWrittenMs));
    const std::size_t nLast = kSets;

    // Opened again, it is there to see and export.
    program = std::make_unique<CProgram>(directory.Path(), std::vector<std::string>{});
    EXPECT_EQ(OpenFile(*program, directory.Path() + "/rec.csv"),
              "Loaded " + std::to_string(vRecorded.size()) + " rows from rec.csv (0 skipped)");
    EXPECT_EQ(program->Caption(), std::make_pair(static_cast<long>(2 * vRecorded.size()), 2));
    const std::string strExport = directory.Read(program->QuickExport());
    char szRow[64];
    std::snprintf(szRow, sizeof szRow, "%zu.00,\t%.2f\r\n", nLast, static_cast<double>(nLast) / 2);
    EXPECT_EQ(strExport.substr(strExport.size() - std::strlen(szRow)), szRow);
    EXPECT_EQ(program->Quit(), 0);
}

TEST(RecordingTest, AFullDiskStopsTheRecordingWithAMessageAndCollectionGoesOn) {
    CScratchDirectory directory;
    CSmallDisk disk(128 * 1024);
    CPtyPair device;
    CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
    program.Command("key F2");
    // Without the superuser to mount a small disk, a file size limit makes the program's writes
    // fail as a full disk does.
    std::string strPath = disk.Path("rec.csv");
    std::string strReason = "No space left on device";
    if (!disk.Mounted()) {
        strPath = directory.Path() + "/rec.csv";
        strReason = "File too large";
        const rlimit limit{64 * 1024, 64 * 1024};
        ASSERT_EQ(::prlimit(program.Pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
    }
    StartRecording(program, strPath);

    const std::string strSet = "1234.5678 -8765.4321 1111.2222 3333.4444#\r\n";
    long nSent = 0;
    std::vector<std::string> vMessages;
    for (int nBurst = 0; vMessages.empty() && nBurst < 200; ++nBurst) {
        std::string strBurst;
        for (int k = 0; k < 100; ++k, ++nSent) {
            strBurst += strSet;
        }
        device.Send(strBurst);
        std::this_thread::sleep_for(20ms);
        for (const std::string& strLine : program.Command("status")) {
            if (strLine.rfind("message ", 0) == 0) {
                vMessages.push_back(strLine);
            }
        }
    }
    ASSERT_EQ(vMessages.size(), 1u);
    EXPECT_EQ(vMessages[0], "message Recording stopped: rec.csv could not be written (" +
                                strReason + "). The sets recorded until then are in " + strPath);
    EXPECT_EQ(
        program.Command("command " + std::to_string(kStopRecording)),
        std::vector<std::string>{"error command not available " + std::to_string(kStopRecording)});
    // Collection went on: every set sent is in the store.
    device.Send(strSet);
    ++nSent;
    EXPECT_TRUE(program.WaitForValues(4 * nSent, kArrival));
    // The file holds whole lines only.
    const std::string strText = [&] {
        std::ifstream file(strPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }();
    ASSERT_FALSE(strText.empty());
    EXPECT_EQ(strText.back(), '\n');
    for (const SRecorded& recorded : ReadRecording(strText)) {
        EXPECT_EQ(recorded.m_values, (Set{1234.5678f, -8765.4321f, 1111.2222f, 3333.4444f}));
    }
    EXPECT_EQ(program.Quit(), 0);
}

TEST(RecordingTest, AnExportOpensAgainAsItWasShown) {
    CScratchDirectory directory;
    CPtyPair device;
    std::string strExport;
    std::pair<long, int> caption;
    {
        CProgram program(directory.Path(), {"--port-map", "COM1=" + device.Path()});
        program.Command("key F2");
        std::string strSets;
        for (int k = 0; k < 5000; ++k) {
            strSets += std::to_string(k * 0.001) + " " + std::to_string(-k) + " 3.14159#";
        }
        device.Send(strSets);
        ASSERT_TRUE(program.WaitForValues(15'000, kArrival));
        caption = program.Caption();
        strExport = program.QuickExport();
        EXPECT_EQ(program.Quit(), 0);
    }
    CProgram program(directory.Path(), {});
    EXPECT_EQ(OpenFile(program, directory.Path() + "/" + strExport),
              "Loaded 5000 rows from " + strExport + " (0 skipped)");
    EXPECT_EQ(program.Caption(), caption);
    const std::string strAgain = program.QuickExport();
    EXPECT_EQ(directory.Read(strAgain), directory.Read(strExport));
    EXPECT_EQ(program.Quit(), 0);
}

} // namespace
