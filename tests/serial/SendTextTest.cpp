#include "SendText.h"
#include "SendHistory.h"
#include "SerialTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(SendTextTest, EscapesAndLineEndsMakeTheBytes) {
    struct SCase {
        const char* szTyped;
        ELineEnd eLineEnd;
        std::string strBytes;
    };
    const SCase cases[] = {
        {"gain 2", kDefaultLineEnd, "gain 2\n"},
        {"gain 2", ELineEnd::kNone, "gain 2"},
        {"gain 2", ELineEnd::kCr, "gain 2\r"},
        {"gain 2", ELineEnd::kCrLf, "gain 2\r\n"},
        {"a\\tb\\r\\n\\\\", ELineEnd::kNone, "a\tb\r\n\\"},
        {"\\x00\\xfF\\x7e", ELineEnd::kNone, std::string("\x00\xff\x7e", 3)},
        {"\\x411", ELineEnd::kNone, "A1"},
        {"", kDefaultLineEnd, "\n"},
        {"Ω \\n", ELineEnd::kNone, "Ω \n"},
    };
    for (const SCase& c : cases) {
        std::string strBytes;
        std::string strError;
        EXPECT_TRUE(EncodeSendText(c.szTyped, c.eLineEnd, &strBytes, &strError)) << strError;
        EXPECT_EQ(strBytes, c.strBytes) << c.szTyped;
        // What kovra-devsim --echo prints of them types them again.
        std::string strAgain;
        EXPECT_TRUE(EncodeSendText(EscapeBytes(strBytes), ELineEnd::kNone, &strAgain, &strError));
        EXPECT_EQ(strAgain, strBytes);
    }
    EXPECT_EQ(EscapeBytes(std::string("ok \\\t\r\n\x01\xc3", 9)), "ok \\\\\\t\\r\\n\\x01\\xc3");
    for (const ELineEnd eLineEnd : kLineEnds) { // as the settings file keeps them
        ELineEnd eRead = ELineEnd::kNone;
        EXPECT_TRUE(ParseLineEndName(LineEndName(eLineEnd), &eRead) && eRead == eLineEnd);
    }
}

TEST(SendTextTest, AMalformedEscapeSaysWhichAndWhereAndMakesNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"set \\q1", "unknown escape \\q at column 5: use \\n, \\r, \\t, \\\\ or \\xNN"},
        {"äö\\é", "unknown escape \\é at column 3: use \\n, \\r, \\t, \\\\ or \\xNN"},
        {"\\x4", "\\x at column 1 needs two hex digits"},
        {"ab\\xg0", "\\x at column 3 needs two hex digits"},
        {"\\n\\", "\\ at column 3 ends the line: write \\\\ for a backslash"},
    };
    for (const auto& [szTyped, szError] : cases) {
        std::string strBytes = "untouched";
        std::string strError;
        EXPECT_FALSE(EncodeSendText(szTyped, kDefaultLineEnd, &strBytes, &strError)) << szTyped;
        EXPECT_EQ(strError, szError);
        EXPECT_EQ(strBytes, "untouched");
    }
}

// Each step: a key ('U' Up, 'D' Down, 'S' send what is typed) with what the line edit holds,
// and what it holds afterwards.
TEST(SendHistoryTest, UpAndDownWalkTheLinesSentAsAShellDoes) {
    struct SStep {
        char cKey;
        const char* szTyped;
        const char* szShown;
    };
    const SStep steps[] = {
        {'U', "draft", "draft"}, // nothing sent yet
        {'S', "one", ""},        {'S', "two", ""},    {'S', "two", ""},
        {'S', "", ""},           {'D', "new", "new"}, {'U', "new", "two"},
        {'U', "two", "one"},     {'U', "one", "one"}, // the oldest stays
        {'D', "one", "two"},     {'D', "two", "new"}, // past the newest: what was typed
        {'D', "new", "new"},     {'U', "x", "two"},   {'S', "one", ""}, // sending ends a walk
        {'U', "", "one"},        {'U', "one", "two"},
    };
    CSendHistory history;
    for (const SStep& step : steps) {
        std::string strShown;
        if (step.cKey == 'S') {
            history.Add(step.szTyped);
        } else {
            strShown = step.cKey == 'U' ? history.Up(step.szTyped) : history.Down(step.szTyped);
        }
        EXPECT_EQ(strShown, step.szShown) << step.cKey << " " << step.szTyped;
    }
    EXPECT_EQ(history.Lines(), (std::vector<std::string>{"one", "two", "one"}));
}

TEST(SendHistoryTest, KeepsTheNewestFiftyLinesAndReadsThemBackFromTheSettings) {
    std::vector<std::string> vSaved = {"", "older"};
    for (int n = 1; n <= 51; ++n) {
        vSaved.push_back("line " + std::to_string(n));
    }
    CSendHistory history;
    history.SetLines(vSaved);
    history.Add("line 52");
    vSaved.push_back("line 52");
    EXPECT_EQ(history.Lines(), std::vector<std::string>(vSaved.end() - 50, vSaved.end()));
}

TEST(SendToPortTest, ABoardThatTakesNothingFailsTheSendInTimeWithWhatWentCounted) {
    CPtyPair board;
    CSerialWnd port;
    CMessageQueue queue;
    DWORD nSent = 0;
    ASSERT_EQ(port.Open(board.PathText(), &queue, 0, 0, 0, 0), ERROR_SUCCESS);
    ASSERT_EQ(SendToPort(port, "gain 2\n", &nSent), ERROR_SUCCESS);
    EXPECT_EQ(board.Receive(7, 5000), "gain 2\n");
    // The board reads no more: a pseudo-terminal holds some KB, then takes nothing.
    const std::string strFlood(1 << 20, 'x');
    EXPECT_EQ(SendToPort(port, strFlood, &nSent), ERROR_TIMEOUT);
    EXPECT_GT(nSent, 0u);
    EXPECT_LT(nSent, strFlood.size());
    EXPECT_EQ(port.GetBytesWritten(), 7 + nSent);
}

} // namespace
