#include "commands/CommandIds.h"
#include "dialogs/PortSetupDlg.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "AppTestSupport.h"
#include "KernelTtySpeed.h"
#include "MessageQueue.h"
#include "PlotData.h"
#include "PortNames.h"
#include "ScratchDirectory.h"
#include "SerialWnd.h"
#include "ui_PortSetupDlg.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <tuple>
#include <unistd.h>

namespace {

// Stands in for the port to see exactly what the view asks of it.
class CRecordingSerial : public CSerialWnd {
public:
    int Open(const char* szPort, CNotifyTarget* pTarget, UINT nMessage, LPARAM lParam,
             DWORD dwInQueue, DWORD dwOutQueue) override {
        m_strOpened = szPort;
        m_bTargetGiven = pTarget != nullptr && nMessage == 0 && dwInQueue == 0 && dwOutQueue == 0;
        m_lParam = lParam;
        m_bOpen = m_nOpenResult == 0;
        return m_nOpenResult;
    }
    int Configure(DWORD dwBaudRate, BYTE nDataBits, BYTE nParity, BYTE nStopBits) override {
        m_vConfigured = {static_cast<int>(dwBaudRate), nDataBits, nParity, nStopBits};
        return m_bOpen ? m_nConfigureResult : 6;
    }
    int SetReadMode(int nMode) override {
        m_nReadMode = nMode;
        return m_bOpen ? 0 : 6;
    }
    int Close() override {
        ++m_nCloses;
        m_bOpen = false;
        return 0;
    }
    int Read(void*, DWORD, DWORD* pnRead, OVERLAPPED*, DWORD) override {
        if (pnRead != nullptr) {
            *pnRead = 0;
        }
        return m_bOpen ? m_nReadResult : 6;
    }

    std::string m_strOpened;
    bool m_bTargetGiven = false;
    LPARAM m_lParam = 0;
    bool m_bOpen = false;
    int m_nOpenResult = 0;
    int m_nConfigureResult = 0;
    std::vector<int> m_vConfigured;
    int m_nReadMode = -1;
    int m_nCloses = 0;
    int m_nReadResult = 0;
};

struct CRecordingApp {
    CRecordingApp() {
        delete g_pSerial;
        g_pSerial = pSerial = new CRecordingSerial;
    }
    CAppFixture app;
    CRecordingSerial* pSerial;
};

TEST(ConnectionTest, ConnectUsesTheChosenSettings) {
    CRecordingApp recording;
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.pSerial->m_strOpened, "COM1");
    EXPECT_TRUE(recording.pSerial->m_bTargetGiven);
    // Its notices carry the connection's number, so that a late one is known for one.
    EXPECT_EQ(recording.pSerial->m_lParam, recording.app.View().Session().Connection().lNumber);
    EXPECT_EQ(recording.pSerial->m_vConfigured, (std::vector<int>{9600, 8, 0, 0}));
    EXPECT_EQ(recording.pSerial->m_nReadMode, 0);
    EXPECT_EQ(recording.app.Status(), "Connected..");

    recording.app.Frame().Action(ID_CONNECTION_DISCONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Disconnected..");
    CKovraPlotterView& view = recording.app.View();
    const std::pair<int, std::vector<int>> cases[] = {
        {0, {2400, 8, 2, 2}},  // "2400 bps", "2" stop bits, "Even"
        {1, {57600, 8, 1, 0}}, // "57600 bps", "1", "Odd"
    };
    for (const auto& [nCase, expected] : cases) {
        view.Session().m_nSpeed = nCase == 0 ? 0 : 4;
        view.Session().m_nStopBits = nCase == 0 ? 1 : 0;
        view.Session().m_nParity = nCase == 0 ? 1 : 2;
        view.Session().m_nPort = 3;
        ASSERT_TRUE(view.Session().OpenSerialPort());
        EXPECT_EQ(recording.pSerial->m_strOpened, "COM4");
        EXPECT_EQ(recording.pSerial->m_vConfigured, expected);
        ASSERT_TRUE(view.Session().CloseSerialPort());
    }
    view.Session().m_nSpeed = 14;
    ASSERT_TRUE(view.Session().OpenSerialPort());
    EXPECT_EQ(recording.pSerial->m_vConfigured[0], 9600);
    EXPECT_EQ(view.Session().SelectedSpeedBps(), 9600u);
    ASSERT_TRUE(view.Session().CloseSerialPort());
    // A typed speed wins over the list.
    view.Session().m_nSpeed = -1;
    view.Session().m_nTypedSpeed = 74880;
    EXPECT_EQ(view.Session().SelectedSpeedBps(), 74880u);
    ASSERT_TRUE(view.Session().OpenSerialPort());
    EXPECT_EQ(recording.pSerial->m_vConfigured[0], 74880);
}

TEST(ConnectionTest, FailuresLeaveTheViewDisconnectedAndThePortClosed) {
    CRecordingApp recording;
    CKovraPlotterView& view = recording.app.View();
    recording.pSerial->m_nOpenResult = 2;
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Error Connecting.. no device is behind COM1");
    EXPECT_FALSE(view.Session().m_bConnected);
    SetPortMapping("COM1", "/dev/ttyKOVRA3");
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Error Connecting.. /dev/ttyKOVRA3 does not exist");

    recording.pSerial->m_nOpenResult = 0;
    view.Session().m_nPort = 4;
    recording.pSerial->m_strOpened.clear();
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Error Connecting.. no port is chosen");
    EXPECT_TRUE(recording.pSerial->m_strOpened.empty());

    // A port that rejects its settings is closed again, so a later Connect can succeed.
    view.Session().m_nPort = 0;
    recording.pSerial->m_nConfigureResult = 87;
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Error Connecting.. /dev/ttyKOVRA3 refused the settings "
                                      "9600 bps, 8 data bits, no parity, 1 stop bit");
    EXPECT_FALSE(recording.pSerial->m_bOpen);
    EXPECT_FALSE(view.Session().m_bConnected);
    recording.pSerial->m_nConfigureResult = 0;
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Connected..");
}

TEST(ConnectionTest, MenuFollowsTheConnectionState) {
    CPtyPair terminal;
    CAppFixture app;
    SetPortMapping("COM1", terminal.Path().c_str());
    auto enabled = [&](int nId) { return app.Frame().Action(nId)->isEnabled(); };
    EXPECT_TRUE(enabled(ID_CONNECTION_PORTSETUP));
    EXPECT_TRUE(enabled(ID_CONNECTION_CONNECT));
    EXPECT_FALSE(enabled(ID_CONNECTION_DISCONNECT));
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    ASSERT_EQ(app.Status(), "Connected..");
    EXPECT_FALSE(enabled(ID_CONNECTION_PORTSETUP));
    EXPECT_FALSE(enabled(ID_CONNECTION_CONNECT));
    EXPECT_TRUE(enabled(ID_CONNECTION_DISCONNECT));
    app.Frame().Action(ID_CONNECTION_DISCONNECT)->trigger();
    EXPECT_EQ(app.Status(), "Disconnected..");
    EXPECT_TRUE(enabled(ID_CONNECTION_CONNECT));
    EXPECT_FALSE(enabled(ID_CONNECTION_DISCONNECT));
}

TEST(ConnectionTest, MissingOrBusyDevicesFailToConnect) {
    CAppFixture app;
    SetPortMapping("COM1", "/dev/kovra-no-such-device");
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(app.Status(), "Error Connecting.. /dev/kovra-no-such-device does not exist");

    CPtyPair terminal;
    SetPortMapping("COM1", terminal.Path().c_str());
    CSerialWnd other;
    CMessageQueue queue;
    ASSERT_EQ(other.Open(terminal.Path().c_str(), &queue, 0, 0, 0, 0), 0);
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(app.Status(), "Error Connecting.. " + QString::fromStdString(terminal.Path()) +
                                " is used by another program");
    other.Close();
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(app.Status(), "Connected..");
}

TEST(ConnectionTest, ADeviceThatGoesAwayIsReportedAndCanComeBack) {
    auto terminal = std::make_unique<CPtyPair>();
    CAppFixture app;
    SetPortMapping("COM1", terminal->Path().c_str());
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    terminal->Send("1 2#3 4#");
    // (Closing a pseudo-terminal drops what it holds unread, as a real unplug may not.)
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(1) == 2; }));
    terminal->CloseMaster();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !app.View().Session().m_bConnected; }));
    // What was sent before the device went away is all there.
    ASSERT_EQ(g_pPlotData->GetSampleCount(1), 2);
    EXPECT_EQ(g_pPlotData->GetSample(0, 1), 3.0f);
    EXPECT_EQ(g_pPlotData->GetSample(1, 1), 4.0f);
    EXPECT_EQ(app.Status(), "Error: port closed by the device..");
    EXPECT_TRUE(app.Frame().Action(ID_CONNECTION_CONNECT)->isEnabled());
    EXPECT_TRUE(app.m_dialogs.m_vNotified.empty());

    terminal = std::make_unique<CPtyPair>();
    SetPortMapping("COM1", terminal->Path().c_str());
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(app.Status(), "Connected..");
    terminal->Send("5 6#");
    ASSERT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(0) == 3; }));
    EXPECT_EQ(g_pPlotData->GetSample(0, 2), 5.0f);
}

// A device-gone notice still queued when the user disconnected and connected again belongs to
// the port closed since: the port open now stays open.
TEST(ConnectionTest, ALateDeviceGoneNoticeLeavesTheNewPortOpen) {
    CPtyPair first;
    CPtyPair second;
    CAppFixture app;
    CAcquisitionSession& session = app.View().Session();
    SetPortMapping("COM1", first.PathText());
    Press(app.View(), Qt::Key_F2);
    const LPARAM lFirst = session.Connection().lNumber;
    Press(app.View(), Qt::Key_F3);
    SetPortMapping("COM1", second.PathText());
    Press(app.View(), Qt::Key_F2);
    session.Post(g_nDefaultComMsg, MAKEWPARAM(EV_KOVRA_DEVICE_GONE, 0), lFirst);
    CAppFixture::Pump(50);
    EXPECT_TRUE(session.m_bConnected);
    EXPECT_EQ(app.Status(), "Connected..");
    second.Send("1 2#");
    EXPECT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(1) == 1; }));
}

TEST(ConnectionTest, PortSetupChangesTheSettingsOnlyOnOk) {
    CAppFixture app;
    SetPortMapping("COM2", "/dev/ttyKOVRA7");
    QStringList vPortItems;
    app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        auto& controls = static_cast<CPortSetupDlg&>(dialog).Controls();
        vPortItems.clear();
        for (int k = 0; k < controls.comboPort->count(); ++k) {
            vPortItems << controls.comboPort->itemText(k);
        }
        EXPECT_EQ(controls.comboSpeed->currentText(), "9600 bps");
        controls.comboPort->setCurrentIndex(1);
        controls.comboSpeed->setCurrentIndex(4);
        controls.comboStopBits->setCurrentIndex(1);
        controls.comboParity->setCurrentIndex(2);
        return int(QDialog::Rejected);
    };
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    CKovraPlotterView& view = app.View();
    EXPECT_EQ(std::vector<int>({view.Session().m_nPort, view.Session().m_nSpeed,
                                view.Session().m_nStopBits, view.Session().m_nParity}),
              std::vector<int>({0, 1, 0, 0}));
    EXPECT_EQ(vPortItems.size(), 4);
    EXPECT_EQ(vPortItems[1], "COM2  (/dev/ttyKOVRA7)");

    auto reject = app.m_dialogs.m_fnRunDialog;
    app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        reject(dialog);
        dialog.accept();
        return dialog.result();
    };
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(std::vector<int>({view.Session().m_nPort, view.Session().m_nSpeed,
                                view.Session().m_nStopBits, view.Session().m_nParity}),
              std::vector<int>({1, 4, 1, 2}));
}

// A read that fails while the device is still there is worth a box; only a device that went
// away (its own notice follows) is not.
TEST(ConnectionTest, AReadFailureOtherThanAnUnplugIsShown) {
    CRecordingApp recording;
    SetPortMapping("COM1", "/dev/ttyKOVRA3");
    ASSERT_TRUE(recording.app.View().Session().OpenSerialPort());
    recording.pSerial->m_nReadResult = 31;
    recording.app.View().Session().Post(g_nDefaultComMsg, MAKEWPARAM(EV_RXCHAR, 0), 0);
    ASSERT_TRUE(
        CAppFixture::WaitFor([&] { return !recording.app.m_dialogs.m_vNotified.empty(); }, 2000));
    EXPECT_EQ(recording.app.m_dialogs.m_vNotified, std::vector<QString>{"read error"});
}

TEST(ConnectionTest, AReadThatFailsBecauseTheDeviceWentAwayIsLeftToItsNotice) {
    CPtyPair terminal;
    CAppFixture app;
    SetPortMapping("COM1", terminal.Path().c_str());
    ASSERT_TRUE(app.View().Session().OpenSerialPort());
    terminal.CloseMaster();
    // Read before the listener's notice is handled: the read fails for the unplug.
    app.View().Session().OnSerialMsg(MAKEWPARAM(EV_RXCHAR, 0), 0);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !app.View().Session().m_bConnected; }));
    EXPECT_EQ(app.Status(), "Error: port closed by the device..");
    EXPECT_TRUE(app.m_dialogs.m_vNotified.empty());
}

QStringList Items(const QComboBox* pCombo) {
    QStringList vItems;
    for (int k = 0; k < pCombo->count(); ++k) {
        vItems << pCombo->itemText(k);
    }
    return vItems;
}

TEST(ConnectionTest, PortSetupListsHoldTheirChoicesInOrder) {
    CPortSetupDlg dialog;
    dialog.show();
    Ui::PortSetupDlg& ui = dialog.Controls();
    EXPECT_EQ(dialog.windowTitle(), "Port Setup");
    EXPECT_EQ(Items(ui.comboSpeed),
              (QStringList{"2400 bps", "9600 bps", "19200 bps", "38400 bps", "57600 bps",
                           "115200 bps", "230400 bps", "250000 bps", "460800 bps", "500000 bps",
                           "921600 bps", "1000000 bps", "2000000 bps", "3000000 bps"}));
    EXPECT_EQ(Items(ui.comboStopBits), (QStringList{"1", "2"}));
    EXPECT_EQ(Items(ui.comboParity), (QStringList{"None", "Even", "Odd"}));
    EXPECT_EQ(ui.labelFormat->text(), "Board sends:");
    EXPECT_EQ(Items(ui.comboFormat), (QStringList{"Sets ended by '#'", "One set per line"}));
    EXPECT_TRUE(ui.comboSpeed->isEditable());
    EXPECT_FALSE(ui.comboParity->isEditable());
}

// Runs Port Setup through the menu, choosing by the texts a user reads, and ends it with OK.
void ChooseInPortSetup(CAppFixture& app, const QString& strSpeed, const QString& strStopBits,
                       const QString& strParity) {
    app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        auto& ui = static_cast<CPortSetupDlg&>(dialog).Controls();
        ui.comboSpeed->setCurrentIndex(ui.comboSpeed->findText(strSpeed));
        ui.comboStopBits->setCurrentIndex(ui.comboStopBits->findText(strStopBits));
        ui.comboParity->setCurrentIndex(ui.comboParity->findText(strParity));
        dialog.accept();
        return dialog.result();
    };
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
}

TEST(ConnectionTest, EachChoiceInPortSetupReachesThePortAsItReads) {
    CRecordingApp recording;
    CAppFixture& app = recording.app;
    SetPortMapping("COM1", "/dev/ttyKOVRA3");
    const std::vector<std::tuple<QString, QString, QString, std::vector<int>>> cases = {
        {"2400 bps", "1", "None", {2400, 8, 0, 0}},
        {"250000 bps", "2", "Even", {250000, 8, 2, 2}},
        {"3000000 bps", "1", "Odd", {3000000, 8, 1, 0}},
    };
    for (const auto& [strSpeed, strStop, strParity, expected] : cases) {
        ChooseInPortSetup(app, strSpeed, strStop, strParity);
        ASSERT_TRUE(app.View().Session().OpenSerialPort());
        EXPECT_EQ(recording.pSerial->m_vConfigured, expected) << strSpeed.toStdString();
        ASSERT_TRUE(app.View().Session().CloseSerialPort());
    }
    const std::vector<int> vSpeeds = {2400,   9600,   19200,  38400,  57600,   115200,  230400,
                                      250000, 460800, 500000, 921600, 1000000, 2000000, 3000000};
    for (int i = 0; i < static_cast<int>(vSpeeds.size()); ++i) {
        const int nSpeed = vSpeeds[static_cast<std::size_t>(i)];
        ChooseInPortSetup(app, QString::number(nSpeed) + " bps", "1", "None");
        EXPECT_EQ(app.View().Session().m_nSpeed, i);
        ASSERT_TRUE(app.View().Session().OpenSerialPort());
        EXPECT_EQ(recording.pSerial->m_vConfigured[0], nSpeed);
        ASSERT_TRUE(app.View().Session().CloseSerialPort());
    }
}

void Retype(QComboBox* pCombo, const QString& strText) {
    pCombo->lineEdit()->selectAll();
    QTest::keyClick(pCombo->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(pCombo->lineEdit(), strText);
}

TEST(ConnectionTest, ASpeedTheListDoesNotHaveCanBeTyped) {
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    QString strTyped = QStringLiteral("74880");
    QString strShown;
    app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        auto& ui = static_cast<CPortSetupDlg&>(dialog).Controls();
        strShown = ui.comboSpeed->currentText();
        Retype(ui.comboSpeed, strTyped);
        dialog.accept();
        return dialog.result();
    };
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(std::make_pair(view.Session().m_nSpeed, view.Session().m_nTypedSpeed),
              std::make_pair(-1, 74880));
    EXPECT_EQ(view.Session().SelectedSpeedBps(), 74880u);

    // Shown as typed next time; a speed the list has, typed, is the list's.
    strTyped = QStringLiteral("115200 bps");
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(strShown, "74880");
    EXPECT_EQ(std::make_pair(view.Session().m_nSpeed, view.Session().m_nTypedSpeed),
              std::make_pair(5, 0));

    // Letters are not taken, and no speed at all keeps the one there was.
    strTyped = QStringLiteral("fast");
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(std::make_pair(view.Session().m_nSpeed, view.Session().m_nTypedSpeed),
              std::make_pair(5, 0));
    strTyped = QStringLiteral("0");
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(view.Session().SelectedSpeedBps(), 115200u);
}

// Minimised and restored by the window manager, the dialog keeps what the user chose so far.
TEST(ConnectionTest, PortSetupKeepsTheUsersChoicesWhenShownAgain) {
    CAppFixture app;
    app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        auto& ui = static_cast<CPortSetupDlg&>(dialog).Controls();
        ui.comboPort->setCurrentIndex(2);
        ui.comboSpeed->setCurrentIndex(6);
        ui.comboStopBits->setCurrentIndex(1);
        ui.comboParity->setCurrentIndex(1);
        ui.comboFormat->setCurrentIndex(1);
        dialog.setWindowState(Qt::WindowMinimized);
        dialog.setWindowState(Qt::WindowNoState);
        EXPECT_TRUE(dialog.isVisible());
        dialog.accept();
        return dialog.result();
    };
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    CKovraPlotterView& view = app.View();
    EXPECT_EQ(std::vector<int>({view.Session().m_nPort, view.Session().m_nSpeed,
                                view.Session().m_nStopBits, view.Session().m_nParity}),
              std::vector<int>({2, 6, 1, 1}));
    EXPECT_EQ(view.Session().m_eBoardFormat, EBoardFormat::kLines);
}

// The choice reaches the store at once; Cancel keeps the one there was.
TEST(ConnectionTest, WhatTheBoardSendsIsChosenInPortSetup) {
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    int nShown = -1;
    int nChoose = 1;
    bool bOk = true;
    app.m_dialogs.m_fnRunDialog = [&](QDialog& dialog) {
        auto& ui = static_cast<CPortSetupDlg&>(dialog).Controls();
        nShown = ui.comboFormat->currentIndex();
        ui.comboFormat->setCurrentIndex(nChoose);
        bOk ? dialog.accept() : dialog.reject();
        return dialog.result();
    };
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(nShown, 0);
    EXPECT_EQ(g_pPlotData->GetBoardFormat(), EBoardFormat::kLines);
    nChoose = 0;
    bOk = false;
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(nShown, 1);
    EXPECT_EQ(view.Session().m_eBoardFormat, EBoardFormat::kLines);
    bOk = true;
    app.Frame().Action(ID_CONNECTION_PORTSETUP)->trigger();
    EXPECT_EQ(g_pPlotData->GetBoardFormat(), EBoardFormat::kHashSets);
}

TEST(ConnectionTest, TheCommandLineNamesADeviceAndASpeed) {
    const auto parse = [](const QStringList& vArguments, SCommandLine* pCommandLine) {
        QString strError;
        const bool bOk =
            ParseCommandLine(QStringList{"kovraplotter"} + vArguments, pCommandLine, &strError);
        return bOk ? QString() : strError;
    };
    SCommandLine commandLine;
    EXPECT_EQ(parse({"--speed", "115200", "/dev/ttyACM0"}, &commandLine), "");
    EXPECT_EQ(commandLine.m_nConnectPort, 0);
    EXPECT_EQ(commandLine.m_strDevicePath, "/dev/ttyACM0");
    EXPECT_EQ(commandLine.m_dwSpeed, 115200u);
    commandLine = {};
    EXPECT_EQ(parse({"com3"}, &commandLine), "");
    EXPECT_EQ(commandLine.m_nConnectPort, 2);
    EXPECT_EQ(commandLine.m_strDevicePath, "");
    EXPECT_EQ(commandLine.m_dwSpeed, 0u);
    commandLine = {};
    EXPECT_EQ(parse({"./board"}, &commandLine), "");
    EXPECT_EQ(commandLine.m_strDevicePath, QDir::currentPath() + "/board");

    const std::vector<std::pair<QStringList, QString>> bad = {
        {{"--speed", "fast", "COM1"},
         "Bad --speed 'fast': expected bits per second, such as "
         "115200"},
        {{"--speed", "0"}, "Bad --speed '0': expected bits per second, such as 115200"},
        {{"ttyACM0"},
         "Bad DEVICE 'ttyACM0': expected a device path such as /dev/ttyACM0, or "
         "COM1..COM4"},
        {{"COM5"},
         "Bad DEVICE 'COM5': expected a device path such as /dev/ttyACM0, or "
         "COM1..COM4"},
        {{"/dev/ttyACM0", "/dev/ttyACM1"}, "Unexpected argument: /dev/ttyACM1"},
        {{"--demo", "COM2"}, "--demo connects to a board of its own: give no DEVICE"},
    };
    for (const auto& [vArguments, strError] : bad) {
        commandLine = {};
        EXPECT_EQ(parse(vArguments, &commandLine), strError);
    }
}

// As if F2 were pressed at start, at the speed given: the board is plotted at once.
TEST(ConnectionTest, ADeviceOnTheCommandLineIsConnectedAtStart) {
    CPtyPair board;
    SCommandLine commandLine;
    commandLine.m_nConnectPort = 0;
    commandLine.m_strDevicePath = QString::fromStdString(board.Path());
    commandLine.m_dwSpeed = 250000;
    CAppFixture app(commandLine);
    EXPECT_EQ(app.Status(), "Connected..");
    EXPECT_EQ(KernelTtySpeed(board.Slave()), 250000u);
    EXPECT_EQ(app.View().Session().m_nSpeed, 7);
    EXPECT_FALSE(app.Frame().Action(ID_CONNECTION_CONNECT)->isEnabled());
    board.Send("1 2 3#");
    EXPECT_TRUE(CAppFixture::WaitFor([] { return g_pPlotData->GetSampleCount(2) == 1; }));
}

} // namespace

// A board that comes back is opened as it was before it went, whatever Port Setup says since.
TEST(ConnectionTest, AReconnectKeepsTheSettingsOfTheConnectionThatWentAway) {
    CScratchDirectory directory;
    const std::string strLink = directory.PathOf("board");
    auto pFirst = std::make_unique<CPtyPair>();
    ASSERT_EQ(symlink(pFirst->PathText(), strLink.c_str()), 0);
    CAppFixture app;
    CAcquisitionSession& session = app.View().Session();
    session.m_bReconnectThisRun = true;
    SetPortMapping("COM1", strLink.c_str());
    ChooseInPortSetup(app, "115200 bps", "1", "None");
    Press(app.View(), Qt::Key_F2);
    ASSERT_TRUE(session.m_bConnected);
    pFirst->CloseMaster();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return session.Waiting(); }));
    ChooseInPortSetup(app, "9600 bps", "1", "None");

    const CPtyPair second;
    ASSERT_EQ(symlink(second.PathText(), (strLink + ".new").c_str()), 0);
    ASSERT_EQ(rename((strLink + ".new").c_str(), strLink.c_str()), 0);
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return session.m_bConnected; }));
    EXPECT_EQ(KernelTtySpeed(second.Slave()), 115200u);
}
