#include "shell/KovraPlotterApp.h"

#include "DevSimBoard.h"
#include "MemoryBudget.h"
#include "PlotData.h"
#include "PortChoice.h"
#include "PortDiscovery.h"
#include "PortNames.h"
#include "commands/CommandIds.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/UserDialogs.h"
#include "settings/SettingsKeeper.h"
#include "shell/MainFrame.h"
#include "shell/TestControl.h"
#include "view/KovraPlotterView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPageSetupDialog>
#include <QTimer>

#include <cstdio>

namespace {

const QString kDocumentTitle = QStringLiteral("Untitled");

// DEVICE and --speed; false with a message on bad input.
bool ParseConnectArguments(const QStringList& vPositional, const QString& strSpeed, bool bSpeedSet,
                           SCommandLine* pCommandLine, QString* pstrError) {
    if (vPositional.size() > 1) {
        *pstrError = QStringLiteral("Unexpected argument: ") + vPositional[1];
        return false;
    }
    if (bSpeedSet) {
        DWORD dwSpeed = 0;
        if (!ParseSpeedText(strSpeed.toStdString(), &dwSpeed)) {
            *pstrError = QStringLiteral("Bad --speed '%1': expected bits per second, such as "
                                        "115200")
                             .arg(strSpeed);
            return false;
        }
        pCommandLine->m_dwSpeed = dwSpeed;
    }
    if (vPositional.isEmpty()) {
        return true;
    }
    const QString& strDevice = vPositional[0];
    for (int nPort = 0; nPort < kPortChoiceCount; ++nPort) {
        if (strDevice.compare(QLatin1String(PortOfChoice(nPort)), Qt::CaseInsensitive) == 0) {
            pCommandLine->m_nConnectPort = nPort;
            return true;
        }
    }
    if (!strDevice.contains(QLatin1Char('/'))) {
        *pstrError = QStringLiteral("Bad DEVICE '%1': expected a device path such as "
                                    "/dev/ttyACM0, or COM1..COM4")
                         .arg(strDevice);
        return false;
    }
    pCommandLine->m_nConnectPort = 0;
    pCommandLine->m_strDevicePath = QDir::cleanPath(QDir::current().absoluteFilePath(strDevice));
    return true;
}

} // namespace

bool ParseCommandLine(const QStringList& vArguments, SCommandLine* pCommandLine, QString* pstrError,
                      QString* pstrHelp) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plots numbers arriving as text on a serial port."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Start a simulated board, map it to COM1 and connect to it."));
    const QCommandLineOption portMapOption(
        QStringLiteral("port-map"),
        QStringLiteral("Map a port name to a device, for example COM1=/dev/ttyACM0. "
                       "May be given more than once."),
        QStringLiteral("NAME=DEVICE"));
    const QCommandLineOption snapshotOption(
        QStringLiteral("snapshot-after"),
        QStringLiteral("After the given seconds, save a screenshot (as F9) and the data (as "
                       "F8), print the file names and quit."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption controlOption(
        QStringLiteral("control"),
        QStringLiteral("Take commands on standard input and answer on standard output, for "
                       "automated tests (key NAME, command ID, answer yes|no, save-as PATH, "
                       "open PATH, progress cancel|keep, dialog-set NAME TEXT, dialog-ok, "
                       "hold MS, resize W H, window [X Y W H], status, pane, caption, "
                       "paint-time, paints, quit)."));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"),
        QStringLiteral("The speed in bits per second for connecting to DEVICE, for example "
                       "115200."),
        QStringLiteral("BPS"));
    parser.addPositionalArgument(
        QStringLiteral("DEVICE"),
        QStringLiteral("Connect at start to this device (a path such as /dev/ttyACM0, which "
                       "becomes COM1), or to COM1..COM4."),
        QStringLiteral("[DEVICE]"));
    const QCommandLineOption memoryBudgetOption(
        QStringLiteral("memory-budget"),
        QStringLiteral("The most memory the received values may take, for example 512M or 4G. "
                       "Collection stops when it is full. Default: as much as leaves 10 % of "
                       "physical memory and of the address-space limit unused."),
        QStringLiteral("SIZE"));
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("Keep the settings in FILE instead of ~/.config/KovraPlotter/"
                       "KovraPlotter.conf (also from the environment variable %1). --demo "
                       "keeps none unless this is given.")
            .arg(QLatin1String(kSettingsVariable)),
        QStringLiteral("FILE"));
    parser.addOption(demoOption);
    parser.addOption(speedOption);
    parser.addOption(settingsOption);
    parser.addOption(controlOption);
    parser.addOption(portMapOption);
    parser.addOption(snapshotOption);
    parser.addOption(memoryBudgetOption);
    if (pstrHelp != nullptr) {
        *pstrHelp = parser.helpText();
    }
    if (!parser.parse(vArguments)) {
        *pstrError = parser.errorText();
        return false;
    }
    if (!ParseConnectArguments(parser.positionalArguments(), parser.value(speedOption),
                               parser.isSet(speedOption), pCommandLine, pstrError)) {
        return false;
    }
    if (parser.isSet(demoOption) && pCommandLine->m_nConnectPort >= 0) {
        *pstrError = QStringLiteral("--demo connects to a board of its own: give no DEVICE");
        return false;
    }
    // --help-all too, which would otherwise start the program.
    pCommandLine->m_bHelp = parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"));
    pCommandLine->m_bVersion = parser.isSet(versionOption);
    pCommandLine->m_bDemo = parser.isSet(demoOption);
    pCommandLine->m_bControl = parser.isSet(controlOption);
    pCommandLine->m_vPortMaps = parser.values(portMapOption);
    pCommandLine->m_strSettingsPath = parser.isSet(settingsOption)
                                          ? parser.value(settingsOption)
                                          : qEnvironmentVariable(kSettingsVariable);
    for (const QString& strMap : pCommandLine->m_vPortMaps) {
        const qsizetype nEquals = strMap.indexOf(QLatin1Char('='));
        if (nEquals <= 0 || !strMap.mid(nEquals + 1).startsWith(QLatin1Char('/'))) {
            *pstrError =
                QStringLiteral("Bad --port-map '%1': expected NAME=/path/to/device").arg(strMap);
            return false;
        }
    }
    if (parser.isSet(snapshotOption)) {
        bool bOk = false;
        const int nSeconds = parser.value(snapshotOption).toInt(&bOk);
        if (!bOk || nSeconds < 0) {
            *pstrError = QStringLiteral("Bad --snapshot-after '%1': expected a number of seconds")
                             .arg(parser.value(snapshotOption));
            return false;
        }
        pCommandLine->m_nSnapshotAfterSeconds = nSeconds;
    }
    if (parser.isSet(memoryBudgetOption)) {
        std::size_t nBytes = 0;
        if (!ParseMemorySize(parser.value(memoryBudgetOption).toStdString(), &nBytes) ||
            nBytes == 0) {
            *pstrError = QStringLiteral("Bad --memory-budget '%1': expected a size such as 512M")
                             .arg(parser.value(memoryBudgetOption));
            return false;
        }
        pCommandLine->m_nMemoryBudget = nBytes;
    }
    return true;
}

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
    m_pSettings = std::make_unique<CSettingsKeeper>(*m_pFrame, commandLine.m_strSettingsPath);
    m_pSettings->Restore();
    m_pFrame->show();
    ConnectFromCommandLine(commandLine);
    if (commandLine.m_nSnapshotAfterSeconds >= 0) {
        QTimer::singleShot(commandLine.m_nSnapshotAfterSeconds * 1000, m_pFrame.get(),
                           [this] { TakeSnapshotAndQuit(); });
    }
    return true;
}

void CKovraPlotterApp::ConnectFromCommandLine(const SCommandLine& commandLine) {
    CKovraPlotterView* pView = m_pFrame->View();
    if (commandLine.m_dwSpeed != 0) {
        ChooseSpeed(commandLine.m_dwSpeed, &pView->m_nSpeed, &pView->m_nTypedSpeed);
    }
    if (!commandLine.m_bDemo && commandLine.m_nConnectPort < 0) {
        return;
    }
    pView->m_nPort = commandLine.m_bDemo ? 0 : commandLine.m_nConnectPort;
    pView->OnConnectionConnect();
    m_pFrame->UpdateCommandUI();
    // Whoever started the program from a terminal is told there too.
    if (!pView->m_bConnected) {
        std::fprintf(stderr, "kovraplotter: %s\n", qPrintable(m_pFrame->MessageText()));
    }
}

// What F9 and F8 write, for a run without a person at the screen.
void CKovraPlotterApp::TakeSnapshotAndQuit() {
    CKovraPlotterView* pView = m_pFrame->View();
    std::string strScreenshot;
    std::string strData;
    const bool bScreenshot = pView->SaveViewAsBmp(&strScreenshot);
    const bool bData = pView->QuickCsv(&strData);
    std::printf("%s %s\n%s %s\n",
                bScreenshot ? "Screenshot:" : "Screenshot failed:", strScreenshot.c_str(),
                bData ? "Data:" : "Data failed:", strData.c_str());
    std::fflush(stdout);
    pView->DestroyWindow();
    QApplication::exit(bScreenshot && bData ? 0 : 1);
}

void CKovraPlotterApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&CKovraPlotterView::Printer(), m_pFrame.get());
    UserDialogs().Run(dialog);
}

void CKovraPlotterApp::OnAppAbout() {
    CAboutDlg dialog(m_pFrame.get());
    UserDialogs().Run(dialog);
}
