#include "link/SendBar.h"
#include "commands/CommandIds.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "AppTestSupport.h"
#include "PortNames.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// What is typed reaches the board as typed with the line end chosen, or is refused with the
// reason and nothing goes; Up brings back only the lines that went.
TEST(SendBarTest, ALineReachesTheBoardOrIsRefusedWithTheReason) {
    CPtyPair board;
    CAppFixture app;
    SetPortMapping("COM1", board.PathText());
    app.Frame().Action(ID_VIEW_SENDBAR)->trigger();
    CSendBar& bar = app.View().SendBar();
    EXPECT_TRUE(bar.isVisible());
    // Connected, typed, line end, status, bytes sent.
    const std::tuple<bool, QString, ELineEnd, QString, std::string> cases[] = {
        {false, "gain 2", ELineEnd::kLf, "Not connected: nothing sent", ""},
        {true, "gain 2", ELineEnd::kLf, "Sent 7 bytes: gain 2\\n", "gain 2\n"},
        {true, "go\\q", ELineEnd::kLf,
         "Not sent: unknown escape \\q at column 3: use \\n, \\r, \\t, \\\\ or \\xNN", ""},
        {true, "\\x01\\x00A\\t", ELineEnd::kCrLf, "Sent 6 bytes: \\x01\\x00A\\t\\r\\n",
         std::string("\x01\0A\t\r\n", 6)},
        {true, "", ELineEnd::kNone, "Nothing to send", ""},
    };
    std::string strAllSent;
    for (const auto& [bConnected, strTyped, eLineEnd, strStatus, strSent] : cases) {
        if (bConnected != app.View().Session().m_bConnected) {
            Press(app.View(), bConnected ? Qt::Key_F2 : Qt::Key_F3);
        }
        bar.SetLineEnd(eLineEnd);
        bar.Line().setText(strTyped);
        QTest::keyClick(&bar.Line(), Qt::Key_Return);
        EXPECT_EQ(app.Status(), strStatus) << strTyped.toStdString();
        strAllSent += strSent;
    }
    EXPECT_EQ(board.Receive(strAllSent.size() + 1, 300), strAllSent);
    QTest::keyClick(&bar.Line(), Qt::Key_Up);
    QTest::keyClick(&bar.Line(), Qt::Key_Up);
    EXPECT_EQ(bar.Line().text(), "gain 2");
}

} // namespace
