#include "shell/CommandLine.h"

#include "MemoryBudget.h"
#include "PortChoice.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

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
        QStringLiteral(
            "Take commands on standard input and answer on standard output, for "
            "automated tests (key NAME, command ID, answer yes|no, save-as PATH, "
            "save-check on|off, open PATH, progress cancel|keep, dialog-set NAME TEXT, dialog-ok, "
            "hold MS, resize W H, window [X Y W H], send TEXT, mouse X Y|leave, status, pane, "
            "caption, paint-time, paints, quit)."));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"),
        QStringLiteral("The speed in bits per second for connecting to DEVICE, for example "
                       "115200."),
        QStringLiteral("BPS"));
    const QCommandLineOption reconnectOption(
        QStringLiteral("reconnect"),
        QStringLiteral("Reconnect when the board returns after it went away, for this run (as "
                       "Connection > Reconnect When the Board Returns, which is not changed)."));
    parser.addPositionalArgument(
        QStringLiteral("DEVICE"),
        QStringLiteral("Connect at start to this device (a path such as /dev/ttyACM0, which "
                       "becomes COM1), or to COM1..COM4."),
        QStringLiteral("[DEVICE]"));
    const QCommandLineOption formatOption(
        QStringLiteral("format"),
        QStringLiteral("What the board sends, for this run: hash (sets ended by '#', the "
                       "default) or lines (one set per line: values separated by commas, "
                       "semicolons, TABs or spaces, or name:value fields)."),
        QStringLiteral("FORMAT"));
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
    parser.addOption(reconnectOption);
    parser.addOption(formatOption);
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
    pCommandLine->m_bReconnect = parser.isSet(reconnectOption);
    pCommandLine->m_vPortMaps = parser.values(portMapOption);
    if (parser.isSet(settingsOption) && parser.value(settingsOption).isEmpty()) {
        *pstrError = QStringLiteral("Bad --settings '': expected a file, such as /dev/null to "
                                    "start from the defaults and keep nothing");
        return false;
    }
    pCommandLine->m_strSettingsPath = parser.isSet(settingsOption)
                                          ? parser.value(settingsOption)
                                          : qEnvironmentVariable(kSettingsVariable);
    for (const QString& strMap : pCommandLine->m_vPortMaps) {
        const qsizetype nEquals = strMap.indexOf(QLatin1Char('='));
        const QString strName = strMap.left(std::max<qsizetype>(nEquals, 0));
        bool bKnownName = false;
        for (int nPort = 0; nPort < kPortChoiceCount; ++nPort) {
            bKnownName |=
                strName.compare(QLatin1String(PortOfChoice(nPort)), Qt::CaseInsensitive) == 0;
        }
        if (nEquals <= 0 || !bKnownName || strMap.size() == nEquals + 2 ||
            !strMap.mid(nEquals + 1).startsWith(QLatin1Char('/'))) {
            *pstrError =
                QStringLiteral("Bad --port-map '%1': expected NAME=/path/to/device, NAME one "
                               "of COM1..COM4")
                    .arg(strMap);
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
    if (parser.isSet(formatOption)) {
        const QString strFormat = parser.value(formatOption);
        if (strFormat != QLatin1String("hash") && strFormat != QLatin1String("lines")) {
            *pstrError = QStringLiteral("Bad --format '%1': expected hash (sets ended by '#') "
                                        "or lines (one set per line)")
                             .arg(strFormat);
            return false;
        }
        pCommandLine->m_bFormatGiven = true;
        pCommandLine->m_eFormat =
            strFormat == QLatin1String("lines") ? EBoardFormat::kLines : EBoardFormat::kHashSets;
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
