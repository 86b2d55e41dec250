#include "TestControl.h"

#include "KovraPlotterView.h"
#include "MainFrame.h"
#include "StatusPane.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
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
    } else if (strVerb == QLatin1String("fill")) {
        m_vFills.push_back(strArgument.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    } else if (strVerb == QLatin1String("window")) {
        const QStringList vNumbers = strArgument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (vNumbers.size() == 4) {
            m_frame.setGeometry(vNumbers[0].toInt(), vNumbers[1].toInt(), vNumbers[2].toInt(),
                                vNumbers[3].toInt());
        }
        PrintWindow();
    } else if (strVerb == QLatin1String("status")) {
        Print(QStringLiteral("status ") + m_frame.MessageText());
    } else if (strVerb == QLatin1String("pane")) {
        m_frame.UpdateCommandUI();
        Print(QStringLiteral("pane ") + m_frame.StatusPane()->text());
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

void CTestControl::PrintWindow() {
    const QRect place = m_frame.geometry();
    Print(QStringLiteral("window %1 %2 %3 %4")
              .arg(place.x())
              .arg(place.y())
              .arg(place.width())
              .arg(place.height()));
}

int CTestControl::Run(QDialog& dialog) {
    // Shown, so that it fills its fields as it does for a person.
    dialog.show();
    for (const QWidget* pField : dialog.findChildren<QWidget*>()) {
        if (const auto* pEdit = qobject_cast<const QLineEdit*>(pField)) {
            Print(QStringLiteral("field %1 %2").arg(pEdit->objectName(), pEdit->text()));
        } else if (const auto* pList = qobject_cast<const QComboBox*>(pField)) {
            Print(
                QStringLiteral("field %1 %2").arg(pList->objectName()).arg(pList->currentIndex()));
        } else if (const auto* pBox = qobject_cast<const QCheckBox*>(pField)) {
            Print(QStringLiteral("field %1 %2").arg(pBox->objectName()).arg(pBox->isChecked()));
        }
    }
    if (m_vFills.empty()) {
        dialog.reject();
        Print(QStringLiteral("dialog ") + dialog.windowTitle() + QStringLiteral(" cancelled"));
        return QDialog::Rejected;
    }
    const QStringList vFill = m_vFills.front();
    m_vFills.pop_front();
    for (const QString& strSetting : vFill) {
        const QString strName = strSetting.section(QLatin1Char('='), 0, 0);
        const QString strValue = strSetting.section(QLatin1Char('='), 1);
        QWidget* pField = dialog.findChild<QWidget*>(strName);
        if (auto* pEdit = qobject_cast<QLineEdit*>(pField)) {
            pEdit->setText(strValue);
        } else if (auto* pList = qobject_cast<QComboBox*>(pField)) {
            pList->setCurrentIndex(strValue.toInt());
            emit pList->activated(pList->currentIndex());
        } else if (auto* pBox = qobject_cast<QCheckBox*>(pField)) {
            if (pBox->isChecked() != (strValue == QLatin1String("1"))) {
                pBox->click();
            }
        } else {
            Print(QStringLiteral("error no field ") + strName);
        }
    }
    dialog.accept();
    Print(QStringLiteral("dialog ") + dialog.windowTitle() + QStringLiteral(" accepted"));
    return dialog.result();
}

QString CTestControl::GetSaveFileName(QWidget*, const QString&, const QString&) {
    if (m_vSavePaths.empty()) {
        return {};
    }
    const QString strPath = m_vSavePaths.front();
    m_vSavePaths.pop_front();
    return strPath;
}
