#include "shell/StatusPane.h"
#include "commands/CommandIds.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "AppTestSupport.h"
#include "PortNames.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

TEST(StatusPaneTest, TextTellsConnectionCollectionAndRecording) {
    SStatusPaneState connected;
    connected.m_bConnected = true;
    connected.m_strPortName = "COM1";
    connected.m_strDevice = "/dev/ttyACM0";
    connected.m_nSpeedBps = 115200;
    EXPECT_EQ(StatusPaneText(connected), "COM1 /dev/ttyACM0 115200 | collecting");
    SStatusPaneState noDevice = connected;
    noDevice.m_strDevice.clear();
    EXPECT_EQ(StatusPaneText(noDevice), "COM1 115200 | collecting");

    // The chosen port is shown only while connected.
    SStatusPaneState paused = connected;
    paused.m_bConnected = false;
    paused.m_bCollecting = false;
    EXPECT_EQ(StatusPaneText(paused), "Not connected | paused: not collecting (F5)");
    paused.m_bConnected = true;
    EXPECT_EQ(StatusPaneText(paused), "COM1 /dev/ttyACM0 115200 | paused: not collecting (F5)");

    // A full memory stops collection whatever F5 says.
    for (const bool bCollecting : {true, false}) {
        SStatusPaneState full = connected;
        full.m_bCollecting = bCollecting;
        full.m_bMemoryFull = true;
        EXPECT_EQ(StatusPaneText(full), "COM1 /dev/ttyACM0 115200 | memory full: not collecting");
    }

    SStatusPaneState recording = connected;
    recording.m_bRecording = true;
    recording.m_strRecordingName = "run.csv";
    const std::pair<std::uint64_t, const char*> counts[] = {
        {0, "0 sets"}, {1, "1 set"}, {2, "2 sets"}, {1234567, "1234567 sets"}};
    for (const auto& [nSets, szCount] : counts) {
        recording.m_nRecordedSets = nSets;
        EXPECT_EQ(StatusPaneText(recording),
                  std::string("COM1 /dev/ttyACM0 115200 | collecting | REC run.csv, ") + szCount);
    }
    recording.m_bCollecting = false;
    recording.m_bConnected = false;
    recording.m_nRecordedSets = 5;
    EXPECT_EQ(StatusPaneText(recording),
              "Not connected | paused: not collecting (F5) | REC run.csv, 5 sets");
}

TEST(StatusPaneTest, SettersChangeOnlyTheirPart) {
    CStatusPane pane;
    EXPECT_EQ(pane.text(), "Not connected | collecting");
    pane.SetConnection(true, "COM2", "/dev/ttyUSB0", 9600);
    pane.SetRecording("a.csv", 3);
    pane.SetMemoryFull(true);
    EXPECT_EQ(pane.text(),
              "COM2 /dev/ttyUSB0 9600 | memory full: not collecting | REC a.csv, 3 sets");
    pane.SetMemoryFull(false);
    pane.SetCollecting(false);
    pane.StopRecording();
    EXPECT_EQ(pane.text(), "COM2 /dev/ttyUSB0 9600 | paused: not collecting (F5)");
}

TEST(StatusPaneTest, FollowsTheProgramIncludingAScrollKeyThatStopsCollection) {
    CPtyPair terminal;
    CAppFixture app;
    SetPortMapping("COM1", terminal.PathText());
    auto paneText = [&] { return app.Frame().StatusPane()->text(); };
    EXPECT_EQ(paneText(), "Not connected | collecting");

    app.View().Session().m_nSpeed = 4;
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    ASSERT_TRUE(app.View().Session().m_bConnected);
    EXPECT_EQ(paneText(), QString("COM1 %1 57600 | collecting").arg(terminal.PathText()));

    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QCoreApplication::sendEvent(&app.View(), &left);
    EXPECT_EQ(paneText(),
              QString("COM1 %1 57600 | paused: not collecting (F5)").arg(terminal.PathText()));
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QCoreApplication::sendEvent(&app.View(), &f5);
    EXPECT_EQ(paneText(), QString("COM1 %1 57600 | collecting").arg(terminal.PathText()));

    app.Frame().Action(ID_CONNECTION_DISCONNECT)->trigger();
    EXPECT_EQ(paneText(), "Not connected | collecting");
}

} // namespace
