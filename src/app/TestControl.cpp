#include "TestControl.h"

#include "KovraPlotterView.h"
#include "MainFrame.h"
#include "ProgressDlg.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

CTestControl::CTestControl(CMainFrame& frame)
    : m_frame(frame), m_pNotifier(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this)) {
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CTestControl::OnReadable);
    SetUserDialogs(this);
}

CTestControl::~CTestControl() {
    SetUserDialogs(nullptr);
}

void CTestControl::Print(const QString& strLine) {
    std::fputs(qPrintable(strLine + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void CTestControl::OnReadable() {
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // The driver went away: nobody is left to answer for the program.
        m_pNotifier->setEnabled(false);
        Execute(QStringLiteral("quit"));
        return;
    }
    m_pending.append(buffer, n);
    qsizetype nEnd;
    while ((nEnd = m_pending.indexOf('\n')) >= 0) {
        const QString strLine = QString::fromUtf8(m_pending.left(nEnd)).trimmed();
        m_pending.remove(0, nEnd + 1);
        if (!strLine.isEmpty()) {
            Execute(strLine);
        }
    }
}

void CTestControl::Execute(const QString& strLine) {
    const QString strVerb = strLine.section(QLatin1Char(' '), 0, 0);
    const QString strArgument = strLine.section(QLatin1Char(' '), 1);
    CKovraPlotterView& view = *m_frame.View();
    if (strVerb == QLatin1String("key")) {
        const QKeySequence sequence(strArgument);
        if (sequence.isEmpty()) {
            Print(QStringLiteral("error unknown key ") + strArgument);
        } else {
            const QKeyCombination combination = sequence[0];
            QKeyEvent event(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
            QCoreApplication::sendEvent(&view, &event);
        }
    } else if (strVerb == QLatin1String("command")) {
        QAction* pAction = m_frame.Action(strArgument.toInt());
        m_frame.UpdateCommandUI();
        if (pAction == nullptr || !pAction->isEnabled()) {
            Print(QStringLiteral("error command not available ") + strArgument);
        } else {
            pAction->trigger();
        }
    } else if (strVerb == QLatin1String("answer")) {
        m_vAnswers.push_back(strArgument == QLatin1String("yes"));
    } else if (strVerb == QLatin1String("save-as")) {
        m_vSavePaths.push_back(strArgument);
    } else if (strVerb == QLatin1String("open")) {
        m_vOpenPaths.push_back(strArgument);
    } else if (strVerb == QLatin1String("progress")) {
        m_vProgressCancels.push_back(strArgument == QLatin1String("cancel"));
    } else if (strVerb == QLatin1String("status")) {
        Print(QStringLiteral("status ") + m_frame.MessageText());
    } else if (strVerb == QLatin1String("caption")) {
        Print(QStringLiteral("caption ") + view.CaptionText());
    } else if (strVerb == QLatin1String("paint-time")) {
        QElapsedTimer timer;
        timer.start();
        const QImage picture = view.RenderPicture();
        Print(QStringLiteral("paint-time %1 ms")
                  .arg(static_cast<double>(timer.nsecsElapsed()) / 1e6));
    } else if (strVerb == QLatin1String("paints")) {
        Print(QStringLiteral("paints %1").arg(view.PaintCount()));
    } else if (strVerb == QLatin1String("quit")) {
        view.DestroyWindow();
        Print(QStringLiteral("done"));
        QCoreApplication::exit(0);
        return;
    } else {
        Print(QStringLiteral("error unknown command ") + strVerb);
    }
    Print(QStringLiteral("done"));
}

bool CTestControl::Confirm(QWidget*, const QString& strText) {
    const bool bYes = !m_vAnswers.empty() && m_vAnswers.front();
    if (!m_vAnswers.empty()) {
        m_vAnswers.pop_front();
    }
    Print(QStringLiteral("question ") + strText +
          (bYes ? QStringLiteral(" yes") : QStringLiteral(" no")));
    return bYes;
}

void CTestControl::Notify(QWidget*, const QString& strText) {
    Print(QStringLiteral("message ") + strText);
}

int CTestControl::Run(QDialog& dialog) {
    Print(QStringLiteral("dialog ") + dialog.windowTitle() + QStringLiteral(" cancelled"));
    return QDialog::Rejected;
}

QString CTestControl::NextPath(std::deque<QString>& vPaths) {
    if (vPaths.empty()) {
        return {};
    }
    const QString strPath = vPaths.front();
    vPaths.pop_front();
    return strPath;
}

QString CTestControl::GetSaveFileName(QWidget*, const QString&, const QString&) {
    return NextPath(m_vSavePaths);
}

QString CTestControl::GetOpenFileName(QWidget*, const QString&) {
    return NextPath(m_vOpenPaths);
}

void CTestControl::ShowProgress(CProgressDlg& dialog) {
    Print(QStringLiteral("progress ") + dialog.Text());
    const bool bCancel = !m_vProgressCancels.empty() && m_vProgressCancels.front();
    if (!m_vProgressCancels.empty()) {
        m_vProgressCancels.pop_front();
    }
    if (bCancel) {
        dialog.reject();
    } else {
        CUserDialogs::ShowProgress(dialog);
    }
}
