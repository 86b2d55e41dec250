#include "settings/SettingsStore.h"
#include "shell/KovraPlotterApp.h"
#include "shell/MainFrame.h"
#include "shell/QuitSignals.h"
#include "view/KovraPlotterView.h"

#include <QApplication>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

void SetApplicationNames() {
    QCoreApplication::setApplicationName(QStringLiteral("KovraPlotter"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOVRA_VERSION_TEXT));
}

// Reads the command line before any window system is needed, so that --help, --version and
// a bad option answer in a plain terminal. -1 to go on, else the process's exit status.
int ParseOrAnswer(int argc, char* argv[], SCommandLine* pCommandLine) {
    QCoreApplication core(argc, argv);
    SetApplicationNames();
    QString strError;
    QString strHelp;
    if (!ParseCommandLine(QCoreApplication::arguments(), pCommandLine, &strError, &strHelp)) {
        std::fprintf(stderr, "kovraplotter: %s\nTry 'kovraplotter --help'.\n",
                     qPrintable(strError));
        return 2;
    }
    if (pCommandLine->m_bHelp) {
        std::fputs(qPrintable(strHelp), stdout);
        return 0;
    }
    if (pCommandLine->m_bVersion) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[]) {
    // A file-size limit then fails a write with EFBIG, which the exports report, instead of
    // ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    SCommandLine commandLine;
    if (const int nStatus = ParseOrAnswer(argc, argv, &commandLine); nStatus >= 0) {
        return nStatus;
    }
    // The demo never touches the user's settings.
    if (commandLine.m_strSettingsPath.isEmpty() && !commandLine.m_bDemo) {
        commandLine.m_strSettingsPath = CSettingsStore::UserSettingsPath();
    }
    QApplication application(argc, argv);
    SetApplicationNames();

    CKovraPlotterApp app;
    if (!app.InitInstance(commandLine)) {
        return 1;
    }
    // Ctrl+C, kill or a closed terminal end the program as closing its window does, also from
    // within a dialog (whose loop the exit ends too).
    const CQuitSignals quitSignals([&app] {
        app.MainFrame()->View()->DestroyWindow();
        QApplication::exit(0);
    });
    return QApplication::exec();
}
