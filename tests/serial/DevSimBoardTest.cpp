#include "DevSimBoard.h"
#include "SerialTestSupport.h"
#include "SignalGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <numbers>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& strSet) {
    std::vector<std::string> vValues;
    std::istringstream values(strSet);
    std::string strValue;
    while (values >> strValue) {
        vValues.push_back(strValue);
    }
    return vValues;
}

std::string Printed(double fValue) {
    char szValue[64];
    std::snprintf(szValue, sizeof szValue, "%0.3f", fValue);
    return szValue;
}

TEST(SignalGeneratorTest, SetsArePrintedValuesEndedByHashCrLf) {
    CGeneratorSettings settings;
    settings.nChannels = 4;
    settings.vWaveforms = {EWaveform::Sine, EWaveform::Square, EWaveform::Sawtooth};
    settings.fPeriodSets = 8.0;
    settings.fAmplitude = 1.5;
    CSignalGenerator generator(settings);
    for (int n = 0; n < 40; ++n) {
        const std::string strSet = generator.NextSet();
        ASSERT_GE(strSet.size(), 3u);
        ASSERT_EQ(strSet.substr(strSet.size() - 3), "#\r\n");
        const std::vector<std::string> vValues = Split(strSet.substr(0, strSet.size() - 3));
        ASSERT_EQ(vValues.size(), 4u);
        const auto phase = [n](double fPeriod) {
            const double fCycles = n / fPeriod;
            return fCycles - std::floor(fCycles);
        };
        EXPECT_EQ(vValues[0], Printed(1.5 * std::sin(2.0 * std::numbers::pi * phase(8.0))));
        EXPECT_EQ(vValues[1], Printed(phase(12.0) < 0.5 ? 1.5 : -1.5));
        EXPECT_EQ(vValues[2], Printed(1.5 * (2.0 * phase(16.0) - 1.0)));
        // The waveform list repeats: channel 4 is a sine again, with its own period.
        EXPECT_EQ(vValues[3], Printed(1.5 * std::sin(2.0 * std::numbers::pi * phase(20.0))));
    }
    EXPECT_EQ(generator.GetSetCount(), 40u);
}

TEST(SignalGeneratorTest, NoiseStaysInRangeAndFollowsItsSeed) {
    CGeneratorSettings settings;
    settings.nChannels = 10;
    settings.vWaveforms = {EWaveform::Noise};
    settings.fAmplitude = 3.0;
    CSignalGenerator first(settings);
    CSignalGenerator same(settings);
    settings.nSeed = 2;
    CSignalGenerator other(settings);
    bool bDiffers = false;
    for (int n = 0; n < 50; ++n) {
        const std::string strSet = first.NextSet();
        EXPECT_EQ(strSet, same.NextSet());
        bDiffers = bDiffers || strSet != other.NextSet();
        const std::vector<std::string> vValues = Split(strSet.substr(0, strSet.size() - 3));
        ASSERT_EQ(vValues.size(), 10u);
        for (const std::string& strValue : vValues) {
            const double fValue = std::stod(strValue);
            EXPECT_LE(std::fabs(fValue), 3.0);
        }
    }
    EXPECT_TRUE(bDiffers);
}

TEST(SignalGeneratorTest, UsesAPointWhateverTheLocale) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale here";
    }
    CGeneratorSettings settings;
    settings.nChannels = 1;
    settings.vWaveforms = {EWaveform::Square};
    settings.fAmplitude = 0.25;
    CSignalGenerator generator(settings);
    const std::string strSet = generator.NextSet();
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(strSet, "0.250#\r\n");
}

TEST(SignalGeneratorTest, LineFormatsPrintTheSameValuesAndLeaveGapsInTurn) {
    const std::pair<ESetFormat, std::vector<std::string>> cases[] = {
        {ESetFormat::Spaces,
         {"1.500 1.500 1.500", "nan 1.500 1.500", "1.500 1.500 1.500", "1.500 nan 1.500"}},
        {ESetFormat::Csv,
         {"1.500,1.500,1.500", ",1.500,1.500", "1.500,1.500,1.500", "1.500,,1.500"}},
        {ESetFormat::Tsv,
         {"1.500\t1.500\t1.500", "\t1.500\t1.500", "1.500\t1.500\t1.500", "1.500\t\t1.500"}},
        {ESetFormat::Labels,
         {"square:1.500 square2:1.500 square3:1.500", "square2:1.500 square3:1.500",
          "square:1.500 square2:1.500 square3:1.500", "square:1.500 square3:1.500"}},
    };
    for (const auto& [eFormat, vLines] : cases) {
        CGeneratorSettings settings;
        settings.vWaveforms = {EWaveform::Square};
        settings.fAmplitude = 1.5;
        settings.eFormat = eFormat;
        settings.nGapEvery = 2;
        ASSERT_EQ(CheckGeneratorSettings(settings), "");
        CSignalGenerator generator(settings);
        for (const std::string& strLine : vLines) {
            EXPECT_EQ(generator.NextSet(), strLine + "\r\n");
        }
    }
    CGeneratorSettings settings;
    settings.nGapEvery = 2;
    EXPECT_NE(CheckGeneratorSettings(settings), "");
    ESetFormat eFormat = ESetFormat::Hash;
    EXPECT_TRUE(ParseSetFormat("labels", &eFormat));
    EXPECT_EQ(eFormat, ESetFormat::Labels);
    EXPECT_FALSE(ParseSetFormat("json", &eFormat));
}

TEST(SignalGeneratorTest, SettingsAreChecked) {
    std::vector<EWaveform> vWaveforms;
    EXPECT_TRUE(ParseWaveforms("noise,sine,square,sawtooth", &vWaveforms));
    EXPECT_EQ(vWaveforms.size(), 4u);
    EXPECT_EQ(vWaveforms[0], EWaveform::Noise);
    EXPECT_FALSE(ParseWaveforms("sine,triangle", &vWaveforms));
    EXPECT_FALSE(ParseWaveforms("", &vWaveforms));
    EXPECT_EQ(vWaveforms.size(), 4u);

    CGeneratorSettings settings;
    EXPECT_EQ(CheckGeneratorSettings(settings), "");
    settings.nChannels = 11;
    EXPECT_NE(CheckGeneratorSettings(settings), "");
    settings.nChannels = 0;
    EXPECT_NE(CheckGeneratorSettings(settings), "");
    settings.nChannels = 1;
    settings.fPeriodSets = 0.5;
    EXPECT_NE(CheckGeneratorSettings(settings), "");
    settings.fPeriodSets = NAN;
    EXPECT_NE(CheckGeneratorSettings(settings), "");
}

TEST(DevSimBoardTest, RefusesUnusableSettings) {
    CDevSimBoard board;
    CBoardSettings settings;
    settings.generator.nChannels = 12;
    EXPECT_EQ(board.Start(settings), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(board.GetError().empty());
    settings.generator.nChannels = 2;
    settings.fSetsPerSecond = -1.0;
    EXPECT_EQ(board.Start(settings), ERROR_INVALID_PARAMETER);
    settings.fSetsPerSecond = 10.0;
    settings.strReplayFile = "/tmp/kovra-no-such-file";
    EXPECT_EQ(board.Start(settings), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(board.GetPortPath().empty());
}

// The reference a board's output must be a piece of: what it sent before the port was opened
// was flushed by Open, so the received text starts somewhere inside it.
std::string GeneratedText(const CGeneratorSettings& settings, int nSets) {
    CSignalGenerator generator(settings);
    std::string strText;
    for (int i = 0; i < nSets; ++i) {
        generator.AppendSet(&strText);
    }
    return strText;
}

TEST(DevSimBoardTest, AFastBoardReachesTheReaderWithoutLossOrReordering) {
    CBoardSettings settings;
    settings.generator.nChannels = 5;
    settings.generator.vWaveforms = {EWaveform::Sine, EWaveform::Noise};
    settings.fSetsPerSecond = 0.0;
    CDevSimBoard board;
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    CMessageQueue queue;
    CSerialWnd port;
    ASSERT_EQ(port.Open(board.GetPortPath().c_str(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
    const std::string strReceived = ReadNotified(port, queue, 200000);
    ASSERT_GE(strReceived.size(), 200000u);
    // A reader that keeps up may take far more than it asked for before a read comes up
    // short; what Open flushed is at most a pseudo-terminal's buffer more.
    const int nSets = static_cast<int>(strReceived.size() / 30) + 40000;
    const std::string strReference = GeneratedText(settings.generator, nSets);
    EXPECT_NE(strReference.find(strReceived), std::string::npos);
    port.Close();
    board.Stop();
}

// A board that waits before writing lets a program open the port first, and then sends exactly
// the sets asked for: the reader gets all of them and nothing more, however long it waits.
// A board that waits before it writes sends exactly its sets, which it counts, to a port
// opened meanwhile.
void ExpectExactSetsFromADelayedBoard(bool bLineEnded) {
    CBoardSettings settings;
    settings.generator.nChannels = 3;
    settings.generator.eFormat = bLineEnded ? ESetFormat::Spaces : ESetFormat::Hash;
    settings.fSetsPerSecond = 2000.0;
    settings.nSetsPerWrite = 10;
    settings.fDelaySeconds = 0.4;
    settings.nSetLimit = 205;
    CDevSimBoard board;
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    // Long enough for the board to send every set had it not waited.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    CMessageQueue queue;
    CSerialWnd port;
    ASSERT_EQ(port.Open(board.GetPortPath().c_str(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
    const std::string strExpected = GeneratedText(settings.generator, 205);
    std::string strReceived;
    CMessage message;
    // Until the port has been quiet for a second, or more than the sets asked for came.
    while (strReceived.size() <= strExpected.size() && queue.Get(&message, 1000)) {
        ASSERT_TRUE(ReadWaiting(port, &strReceived));
    }
    EXPECT_EQ(strReceived, strExpected);
    EXPECT_EQ(board.GetSetsWritten(), 205u);
    port.Close();
    board.Stop();
}

TEST(DevSimBoardTest, ADelayedBoardSendsExactlyItsSetsToAPortOpenedMeanwhile) {
    ExpectExactSetsFromADelayedBoard(false);
}

// A board told to send for a time stops when it is over, sent or not, and keeps its port open:
// everything it wrote can still be read, and nothing more comes.
TEST(DevSimBoardTest, ABoardThatSendsForATimeThenStaysIdleWithThePortOpen) {
    CBoardSettings settings;
    settings.fSetsPerSecond = 0.0; // as fast as the port takes them
    // Nothing is sent before the port is open (opening discards what waits), and the time
    // counts from then.
    settings.fDelaySeconds = 0.4;
    settings.fSendSeconds = 0.2;
    CDevSimBoard board;
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    CMessageQueue queue;
    CSerialWnd port;
    ASSERT_EQ(port.Open(board.GetPortPath().c_str(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
    std::string strReceived;
    CMessage message;
    // Until the port has been quiet for half a second; a board still sending is never quiet.
    const auto start = std::chrono::steady_clock::now();
    while (queue.Get(&message, 500)) {
        ASSERT_EQ(LOWORD(message.wParam) & EV_KOVRA_DEVICE_GONE, 0u);
        ASSERT_TRUE(ReadWaiting(port, &strReceived));
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    }
    const auto nSets =
        static_cast<std::uint64_t>(std::count(strReceived.begin(), strReceived.end(), '#'));
    EXPECT_GT(nSets, 0u);
    EXPECT_EQ(nSets, board.GetSetsWritten());
    EXPECT_FALSE(port.IsDeviceGone());
    port.Close();
    board.Stop();
}

TEST(DevSimBoardTest, ALineEndedBoardPrintsOneSetALineWithoutHashAndCountsByLine) {
    CGeneratorSettings settings;
    settings.eFormat = ESetFormat::Spaces;
    const std::string strSet = CSignalGenerator(settings).NextSet();
    EXPECT_EQ(strSet.find('#'), std::string::npos);
    EXPECT_EQ(strSet.substr(strSet.size() - 2), "\r\n");
    ExpectExactSetsFromADelayedBoard(true);
}

TEST(DevSimBoardTest, AReplayArrivesByteForByte) {
    char szFile[] = "/tmp/kovra-replay-XXXXXX";
    const int hFile = mkstemp(szFile);
    ASSERT_GE(hFile, 0);
    std::string strContent;
    for (int i = 0; i < 300000; ++i) {
        strContent.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    }
    ASSERT_EQ(write(hFile, strContent.data(), strContent.size()),
              static_cast<ssize_t>(strContent.size()));
    close(hFile);

    CBoardSettings settings;
    settings.strReplayFile = szFile;
    CDevSimBoard board;
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    CMessageQueue queue;
    CSerialWnd port;
    ASSERT_EQ(port.Open(board.GetPortPath().c_str(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
    // Read per notification until the whole file was sent and the port has gone quiet.
    std::string strReceived;
    CMessage message;
    // A board that stops short of the file must fail the test, not hang it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (queue.Get(&message, 500) || board.GetBytesWritten() < strContent.size()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline)
            << board.GetBytesWritten() << " of " << strContent.size() << " bytes written";
        ASSERT_TRUE(ReadWaiting(port, &strReceived));
    }
    unlink(szFile);
    ASSERT_GE(strReceived.size(), strContent.size() / 2);
    EXPECT_EQ(strReceived, strContent.substr(strContent.size() - strReceived.size()));
}

TEST(DevSimBoardTest, HangingUpMakesThePortSayTheDeviceIsGone) {
    CBoardSettings settings;
    settings.fSetsPerSecond = 200.0;
    settings.fHangUpAfterSeconds = 0.3;
    CDevSimBoard board;
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    CMessageQueue queue;
    CSerialWnd port;
    ASSERT_EQ(port.Open(board.GetPortPath().c_str(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
    CMessage message;
    int nGone = 0;
    while (queue.Get(&message, 10000)) {
        if ((LOWORD(message.wParam) & EV_KOVRA_DEVICE_GONE) != 0) {
            ++nGone;
            break;
        }
    }
    EXPECT_EQ(nGone, 1);
    EXPECT_TRUE(board.WaitHungUp(10000));
    EXPECT_EQ(port.Close(), ERROR_SUCCESS);
    board.Stop();
}

TEST(DevSimBoardTest, StopEndsABoardThatNobodyReads) {
    CBoardSettings settings;
    settings.fSetsPerSecond = 0.0;
    for (int i = 0; i < 20; ++i) {
        CDevSimBoard board;
        ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
        board.Stop();
        board.Stop();
        EXPECT_TRUE(board.WaitHungUp(0));
    }
}

// The port side as a reader that has not read yet: raw, so that what waits is not cooked.
int OpenPortSide(const std::string& strPath) {
    const int hFd = open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (hFd >= 0 && tcgetattr(hFd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(hFd, TCSANOW, &tio);
    }
    return hFd;
}

int Unread(int hFd) {
    int nWaiting = -1;
    ioctl(hFd, FIONREAD, &nWaiting);
    return nWaiting;
}

// kovra-devsim --echo: what the program sends is printed a line at a time, never sent back.
TEST(DevSimBoardTest, AListeningBoardPrintsEachLineItReceives) {
    CBoardSettings settings;
    settings.nSetLimit = 0;
    settings.pEcho = std::tmpfile();
    CDevSimBoard board;
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    const int hPort = OpenPortSide(board.GetPortPath());
    ASSERT_GE(hPort, 0);
    const std::string strSent = "gain 2\r\n" + std::string(1, '\x01') + "cmd\nA\rB\n\r\nno end";
    ASSERT_EQ(write(hPort, strSent.data(), strSent.size()), static_cast<ssize_t>(strSent.size()));
    const std::string strExpected = "gain 2\n\\x01cmd\nA\nB\n\nno end\n";
    std::string strPrinted;
    for (int nTry = 0; nTry < 500 && strPrinted.size() < strExpected.size(); ++nTry) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        char buffer[256];
        const ssize_t n = pread(fileno(settings.pEcho), buffer, sizeof buffer, 0);
        strPrinted.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    EXPECT_EQ(strPrinted, strExpected);
    EXPECT_EQ(Unread(hPort), 0);
    close(hPort);
    board.Stop();
    std::fclose(settings.pEcho);
}

TEST(DevSimOverrunTest, WithoutFlowControlWhatDoesNotFitIsDroppedAndCounted) {
    CBoardSettings settings;
    settings.bOverrun = true;
    settings.fBytesPerSecond = 20000.0;
    settings.nReceiveBuffer = 1000;
    CDevSimBoard board;
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    const int hPort = OpenPortSide(board.GetPortPath());
    ASSERT_GE(hPort, 0);
    // Nobody reads: the queue fills up to the model's buffer and everything after is dropped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (board.GetCounts().nBytesDropped < 2000 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Once full, nothing more goes in while nobody reads.
    const CBoardCounts full = board.GetCounts();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const CBoardCounts counts = board.GetCounts();
    EXPECT_EQ(counts.nBytesSent, full.nBytesSent);
    EXPECT_GT(counts.nBytesDropped, full.nBytesDropped);
    // A set is at most 23 bytes here: one more would not have fitted. (A pseudo-terminal shows
    // a write in FIONREAD a moment later, so on a busy machine a few more may slip in.)
    EXPECT_GT(counts.nBytesSent, 1000u - 23u);
    // What the counts call sent is exactly what waits in the port, in whole sets.
    while (Unread(hPort) < static_cast<int>(counts.nBytesSent) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string strQueued(4096, '\0');
    const ssize_t nQueued = read(hPort, strQueued.data(), strQueued.size());
    ASSERT_EQ(nQueued, static_cast<ssize_t>(counts.nBytesSent));
    strQueued.resize(static_cast<std::size_t>(nQueued));
    EXPECT_EQ(static_cast<std::uint64_t>(std::count(strQueued.begin(), strQueued.end(), '#')),
              counts.nSetsSent);
    EXPECT_EQ(strQueued.substr(strQueued.size() - 3), "#\r\n");
    // Dropped writes are whole sets too: what was dropped is the sets' worth of text.
    const std::string strAll =
        GeneratedText(settings.generator, static_cast<int>(counts.nSetsSent + counts.nSetsDropped));
    EXPECT_EQ(strAll.size(), counts.nBytesSent + counts.nBytesDropped);
    close(hPort);
    board.Stop();
}

TEST(DevSimOverrunTest, AReaderThatKeepsUpLosesNothingAndTheLineKeepsItsPace) {
    CBoardSettings settings;
    settings.bOverrun = true;
    settings.fBytesPerSecond = 11520.0;
    CDevSimBoard board;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(board.Start(settings), ERROR_SUCCESS);
    const int hPort = OpenPortSide(board.GetPortPath());
    ASSERT_GE(hPort, 0);
    // Whatever was dropped before the reader came is not the reader's loss.
    const CBoardCounts before = board.GetCounts();
    std::string strReceived(before.nBytesSent, '\0');
    ASSERT_EQ(read(hPort, strReceived.data(), strReceived.size()),
              static_cast<ssize_t>(strReceived.size()));
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    while (std::chrono::steady_clock::now() < end) {
        pollfd pfd{hPort, POLLIN, 0};
        poll(&pfd, 1, 50);
        char buffer[4096];
        const ssize_t n = read(hPort, buffer, sizeof buffer);
        if (n > 0) {
            strReceived.append(buffer, static_cast<std::size_t>(n));
        }
    }
    const CBoardCounts after = board.GetCounts();
    const double fSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    board.Stop();
    close(hPort);
    EXPECT_EQ(after.nBytesDropped, before.nBytesDropped);
    // Never ahead of the line: a set goes out once its first byte is due.
    EXPECT_LE(static_cast<double>(after.nBytesSent + after.nBytesDropped),
              11520.0 * fSeconds + 40.0);
    EXPECT_GT(after.nBytesSent, before.nBytesSent);
    // From the moment the reader came, the text is the generator's, set for set. (A write is
    // counted just after it is made: the reader may have a set or two more.)
    const auto nSets = [](const CBoardCounts& c) {
        return static_cast<int>(c.nSetsSent + c.nSetsDropped);
    };
    const std::string strExpected =
        GeneratedText(settings.generator, nSets(after) + 10)
            .substr(GeneratedText(settings.generator, nSets(before)).size());
    const std::string strSinceReader = strReceived.substr(before.nBytesSent);
    EXPECT_GT(strSinceReader.size(), 0u);
    EXPECT_EQ(strSinceReader, strExpected.substr(0, strSinceReader.size()));
}

TEST(DevSimOverrunTest, ABoardWithoutFlowControlNeedsAPaceAndARealBuffer) {
    CBoardSettings settings;
    settings.bOverrun = true;
    settings.fSetsPerSecond = 0.0;
    EXPECT_NE(CheckBoardSettings(settings), "");
    settings.fBytesPerSecond = 11520.0;
    EXPECT_EQ(CheckBoardSettings(settings), "");
    settings.nReceiveBuffer = 0;
    EXPECT_NE(CheckBoardSettings(settings), "");
    settings.nReceiveBuffer = 4096;
    // A replay is paced by bytes only.
    settings.strReplayFile = "/dev/null";
    settings.fSetsPerSecond = 100.0;
    settings.fBytesPerSecond = 0.0;
    EXPECT_NE(CheckBoardSettings(settings), "");
    CDevSimBoard board;
    EXPECT_EQ(board.Start(settings), ERROR_INVALID_PARAMETER);
}

} // namespace
