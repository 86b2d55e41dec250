#include "KovraPlotterApp.h"
#include "MainFrame.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char* argv[]) {
    // A file-size limit then fails a write with EFBIG, which the exports report, instead of
    // ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KovraPlotter"));
    QApplication::setApplicationVersion(QStringLiteral("1.1b"));

    SCommandLine commandLine;
    QString strError;
    QString strHelp;
    if (!ParseCommandLine(QApplication::arguments(), &commandLine, &strError, &strHelp)) {
        std::fprintf(stderr, "kovraplotter: %s\nTry 'kovraplotter --help'.\n",
                     qPrintable(strError));
        return 2;
    }
    if (commandLine.m_bHelp) {
        std::fputs(qPrintable(strHelp), stdout);
        return 0;
    }
    if (commandLine.m_bVersion) {
        std::printf("%s %s\n", qPrintable(QApplication::applicationName()),
                    qPrintable(QApplication::applicationVersion()));
        return 0;
    }

    CKovraPlotterApp app;
    if (!app.InitInstance(commandLine)) {
        return 1;
    }
    return QApplication::exec();
}
