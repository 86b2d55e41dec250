#include "shell/KovraPlotterApp.h"

#include "commands/CommandIds.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/UserDialogs.h"
#include "files/FileCommands.h"
#include "files/PictureCommands.h"
#include "session/AcquisitionSession.h"
#include "settings/SettingsKeeper.h"
#include "shell/MainFrame.h"
#include "shell/TestControl.h"
#include "view/KovraPlotterView.h"

#include "DevSimBoard.h"
#include "PlotData.h"
#include "PortChoice.h"
#include "PortDiscovery.h"
#include "PortNames.h"

#include <QApplication>
#include <QPageSetupDialog>
#include <QTimer>

#include <cstdio>

namespace {

const QString kDocumentTitle = QStringLiteral("Untitled");

} // namespace

CKovraPlotterApp::CKovraPlotterApp() {
    // The icon and the dialogs' pictures live in a static library, whose resources nothing
    // else would pull into the program.
    Q_INIT_RESOURCE(kovraplotter);
}

CKovraPlotterApp::~CKovraPlotterApp() = default;

// The demo board: a few lively channels on a pseudo-terminal, mapped to COM1.
bool CKovraPlotterApp::StartDemoBoard() {
    CBoardSettings settings;
    settings.generator.nChannels = 4;
    settings.generator.vWaveforms = {EWaveform::Sine, EWaveform::Square, EWaveform::Noise,
                                     EWaveform::Sawtooth};
    settings.generator.fPeriodSets = 50.0;
    settings.generator.fAmplitude = 2.0;
    settings.fSetsPerSecond = 25.0;
    m_pDemoBoard = std::make_unique<CDevSimBoard>();
    if (m_pDemoBoard->Start(settings) != 0) {
        std::fprintf(stderr, "kovraplotter: cannot start the demo board: %s\n",
                     m_pDemoBoard->GetError().c_str());
        return false;
    }
    return SetPortMapping("COM1", m_pDemoBoard->GetPortPath().c_str());
}

bool CKovraPlotterApp::InitInstance(const SCommandLine& commandLine) {
    for (const QString& strMap : commandLine.m_vPortMaps) {
        SetPortMappingFromText(strMap.toLocal8Bit().constData());
    }
    if (!commandLine.m_strDevicePath.isEmpty()) {
        SetPortMapping("COM1", commandLine.m_strDevicePath.toLocal8Bit().constData());
    }
    if (commandLine.m_bDemo && !StartDemoBoard()) {
        return false;
    }
    // After the mappings, so that a mapped device does not take a second name.
    RediscoverPorts();
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->setWindowTitle(kDocumentTitle + QStringLiteral(" - ") +
                             QApplication::applicationName());
    m_pFrame->setWindowIcon(QIcon(QStringLiteral(":/icons/kovraplotter-256.png")));
    QObject::connect(m_pFrame.get(), &CMainFrame::AppCommand, [this](int nId) {
        if (nId == ID_APP_ABOUT) {
            OnAppAbout();
        } else if (nId == ID_FILE_PRINT_SETUP) {
            OnFilePrintSetup();
        }
    });
    QObject::connect(m_pFrame->View(), &CKovraPlotterView::ExitRequested,
                     [](int nStatus) { QApplication::exit(nStatus); });
    m_pFrame->View()->OnInitialUpdate();
    // A budget given by the user replaces the default rule: it is what they asked for.
    if (commandLine.m_nMemoryBudget != 0) {
        g_pPlotData->SetMemoryBudget(commandLine.m_nMemoryBudget);
    } else {
        g_pPlotData->SetMemoryGauge(std::make_unique<CSystemMemoryGauge>());
    }
    if (commandLine.m_bControl) {
        m_pControl = std::make_unique<CTestControl>(*m_pFrame);
    }
    // Wide enough for the longer status texts beside the status pane; settings may change it.
    m_pFrame->resize(1000, 700);
    m_pSettings = std::make_unique<CSettingsKeeper>(*m_pFrame, *m_pFrame->View(),
                                                    commandLine.m_strSettingsPath);
    QObject::connect(m_pFrame.get(), &CMainFrame::CommandRouted, m_pSettings.get(),
                     &CSettingsKeeper::SaveIfChanged);
    m_pSettings->Restore();
    m_pFrame->View()->Session().m_bReconnectThisRun = commandLine.m_bReconnect;
    m_pFrame->show();
    if (commandLine.m_bDemo || commandLine.m_nConnectPort >= 0 || commandLine.m_dwSpeed != 0) {
        m_pSettings->HoldPortForThisRun();
    }
    if (commandLine.m_bFormatGiven) {
        m_pSettings->HoldFormatForThisRun();
    }
    ConnectFromCommandLine(commandLine);
    if (commandLine.m_nSnapshotAfterSeconds >= 0) {
        QTimer::singleShot(commandLine.m_nSnapshotAfterSeconds * 1000, m_pFrame.get(),
                           [this] { TakeSnapshotAndQuit(); });
    }
    return true;
}

void CKovraPlotterApp::ConnectFromCommandLine(const SCommandLine& commandLine) {
    CAcquisitionSession& session = m_pFrame->View()->Session();
    if (commandLine.m_bFormatGiven) {
        session.SetBoardFormat(commandLine.m_eFormat);
    }
    if (commandLine.m_dwSpeed != 0) {
        ChooseSpeed(commandLine.m_dwSpeed, &session.m_nSpeed, &session.m_nTypedSpeed);
    }
    if (!commandLine.m_bDemo && commandLine.m_nConnectPort < 0) {
        return;
    }
    session.m_nPort = commandLine.m_bDemo ? 0 : commandLine.m_nConnectPort;
    session.OnConnectionConnect();
    m_pFrame->UpdateCommandUI();
    // Whoever started the program from a terminal is told there too.
    if (!session.m_bConnected) {
        std::fprintf(stderr, "kovraplotter: %s\n", qPrintable(m_pFrame->MessageText()));
    }
}

// What F9 and F8 write, for a run without a person at the screen.
void CKovraPlotterApp::TakeSnapshotAndQuit() {
    CKovraPlotterView* pView = m_pFrame->View();
    std::string strScreenshot;
    std::string strData;
    const bool bScreenshot = pView->Pictures().SaveViewAsBmp(&strScreenshot);
    const bool bData = pView->Files().QuickCsv(&strData);
    std::printf("%s %s\n%s %s\n",
                bScreenshot ? "Screenshot:" : "Screenshot failed:", strScreenshot.c_str(),
                bData ? "Data:" : "Data failed:", strData.c_str());
    std::fflush(stdout);
    pView->DestroyWindow();
    QApplication::exit(bScreenshot && bData ? 0 : 1);
}

void CKovraPlotterApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&CPictureCommands::Printer(), m_pFrame.get());
    UserDialogs().Run(dialog);
}

void CKovraPlotterApp::OnAppAbout() {
    CAboutDlg dialog(m_pFrame.get());
    UserDialogs().Run(dialog);
}
