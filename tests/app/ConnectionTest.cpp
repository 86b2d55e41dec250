#include "AppTestSupport.h"
#include "CommandIds.h"
#include "KovraPlotterView.h"
#include "MessageQueue.h"
#include "PlotData.h"
#include "PortNames.h"
#include "PortSetupDlg.h"
#include "SerialWnd.h"
#include "ui_PortSetupDlg.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

// Stands in for the port to see exactly what the view asks of it.
class CRecordingSerial : public CSerialWnd {
public:
    int Open(const char* szPort, CNotifyTarget* pTarget, UINT nMessage, LPARAM lParam,
             DWORD dwInQueue, DWORD dwOutQueue) override {
        m_strOpened = szPort;
        m_bTargetGiven =
            pTarget != nullptr && nMessage == 0 && lParam == 0 && dwInQueue == 0 && dwOutQueue == 0;
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

    std::string m_strOpened;
    bool m_bTargetGiven = false;
    bool m_bOpen = false;
    int m_nOpenResult = 0;
    int m_nConfigureResult = 0;
    std::vector<int> m_vConfigured;
    int m_nReadMode = -1;
    int m_nCloses = 0;
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
        view.m_nSpeed = nCase == 0 ? 0 : 4;
        view.m_nStopBits = nCase == 0 ? 1 : 0;
        view.m_nParity = nCase == 0 ? 1 : 2;
        view.m_nPort = 3;
        ASSERT_TRUE(view.OpenSerialPort());
        EXPECT_EQ(recording.pSerial->m_strOpened, "COM4");
        EXPECT_EQ(recording.pSerial->m_vConfigured, expected);
        ASSERT_TRUE(view.CloseSerialPort());
    }
    view.m_nSpeed = 9;
    ASSERT_TRUE(view.OpenSerialPort());
    EXPECT_EQ(recording.pSerial->m_vConfigured[0], 9600);
}

TEST(ConnectionTest, FailuresLeaveTheViewDisconnectedAndThePortClosed) {
    CRecordingApp recording;
    CKovraPlotterView& view = recording.app.View();
    recording.pSerial->m_nOpenResult = 2;
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Error Connecting..");
    EXPECT_FALSE(view.m_bConnected);

    recording.pSerial->m_nOpenResult = 0;
    view.m_nPort = 4;
    recording.pSerial->m_strOpened.clear();
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Error Connecting..");
    EXPECT_TRUE(recording.pSerial->m_strOpened.empty());

    // A port that rejects its settings is closed again, so a later Connect can succeed.
    view.m_nPort = 0;
    recording.pSerial->m_nConfigureResult = 87;
    recording.app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(recording.app.Status(), "Error Connecting..");
    EXPECT_FALSE(recording.pSerial->m_bOpen);
    EXPECT_FALSE(view.m_bConnected);
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
    EXPECT_EQ(app.Status(), "Error Connecting..");

    CPtyPair terminal;
    SetPortMapping("COM1", terminal.Path().c_str());
    CSerialWnd other;
    CMessageQueue queue;
    ASSERT_EQ(other.Open(terminal.Path().c_str(), &queue, 0, 0, 0, 0), 0);
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(app.Status(), "Error Connecting..");
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
    terminal->CloseMaster();
    ASSERT_TRUE(CAppFixture::WaitFor([&] { return !app.View().m_bConnected; }));
    EXPECT_EQ(app.Status(), "Error: port closed by the device..");
    EXPECT_TRUE(app.Frame().Action(ID_CONNECTION_CONNECT)->isEnabled());
    EXPECT_TRUE(app.m_dialogs.m_vNotified.empty());

    terminal = std::make_unique<CPtyPair>();
    SetPortMapping("COM1", terminal->Path().c_str());
    app.Frame().Action(ID_CONNECTION_CONNECT)->trigger();
    EXPECT_EQ(app.Status(), "Connected..");
    terminal->Send("5 6#");
    EXPECT_TRUE(CAppFixture::WaitFor([] {
        return g_pPlotData->GetSample(0, 0) == 5.0f || g_pPlotData->GetSampleCount(0) == 3;
    }));
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
    EXPECT_EQ(std::vector<int>({view.m_nPort, view.m_nSpeed, view.m_nStopBits, view.m_nParity}),
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
    EXPECT_EQ(std::vector<int>({view.m_nPort, view.m_nSpeed, view.m_nStopBits, view.m_nParity}),
              std::vector<int>({1, 4, 1, 2}));
}

} // namespace
