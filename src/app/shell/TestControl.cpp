#include "shell/TestControl.h"

#include "dialogs/ProgressDlg.h"
#include "link/SendBar.h"
#include "shell/MainFrame.h"
#include "shell/StatusPane.h"
#include "view/KovraPlotterView.h"
#include "view/PlotScreen.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>
#include <utility>

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
    } else if (strVerb == QLatin1String("save-check")) {
        m_vSaveChecks.push_back(strArgument == QLatin1String("on"));
    } else if (strVerb == QLatin1String("open")) {
        m_vOpenPaths.push_back(strArgument);
    } else if (strVerb == QLatin1String("progress")) {
        m_vProgressCancels.push_back(strArgument == QLatin1String("cancel"));
    } else if (strVerb == QLatin1String("dialog-set")) {
        m_vDialogFields.emplace_back(strArgument.section(QLatin1Char(' '), 0, 0),
                                     strArgument.section(QLatin1Char(' '), 1));
    } else if (strVerb == QLatin1String("dialog-ok")) {
        m_bDialogOk = true;
    } else if (strVerb == QLatin1String("hold")) {
        bool bOk = false;
        const int nMs = strArgument.toInt(&bOk);
        if (!bOk || nMs < 0) {
            Print(QStringLiteral("error hold takes milliseconds"));
        } else {
            m_nHoldMs = nMs;
        }
    } else if (strVerb == QLatin1String("resize")) {
        const int nWidth = strArgument.section(QLatin1Char(' '), 0, 0).toInt();
        const int nHeight = strArgument.section(QLatin1Char(' '), 1, 1).toInt();
        if (nWidth <= 0 || nHeight <= 0) {
            Print(QStringLiteral("error resize takes a width and a height"));
        } else {
            m_frame.resize(nWidth, nHeight);
            m_frame.repaint();
            Print(QStringLiteral("plot %1 %2")
                      .arg(view.viewport()->width())
                      .arg(view.viewport()->height()));
        }
    } else if (strVerb == QLatin1String("window")) {
        const QStringList vNumbers = strArgument.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (vNumbers.size() == 4) {
            m_frame.setGeometry(vNumbers[0].toInt(), vNumbers[1].toInt(), vNumbers[2].toInt(),
                                vNumbers[3].toInt());
        }
        PrintWindow();
    } else if (strVerb == QLatin1String("send")) {
        QLineEdit& line = view.SendBar().Line();
        line.setText(strArgument);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(&line, &enter);
    } else if (strVerb == QLatin1String("mouse")) {
        QWidget* pPlot = view.viewport();
        if (strArgument == QLatin1String("leave")) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(pPlot, &leave);
        } else {
            const QPointF at(strArgument.section(QLatin1Char(' '), 0, 0).toInt(),
                             strArgument.section(QLatin1Char(' '), 1, 1).toInt());
            QMouseEvent move(QEvent::MouseMove, at, pPlot->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(pPlot, &move);
        }
    } else if (strVerb == QLatin1String("status")) {
        Print(QStringLiteral("status ") + m_frame.MessageText());
    } else if (strVerb == QLatin1String("pane")) {
        m_frame.UpdateCommandUI();
        Print(QStringLiteral("pane ") + m_frame.StatusPane()->text());
    } else if (strVerb == QLatin1String("caption")) {
        Print(QStringLiteral("caption ") + view.Painter().CaptionText());
    } else if (strVerb == QLatin1String("paint-time")) {
        QElapsedTimer timer;
        timer.start();
        const QImage picture = view.Screen().RenderPicture();
        Print(QStringLiteral("paint-time %1 ms")
                  .arg(static_cast<double>(timer.nsecsElapsed()) / 1e6));
    } else if (strVerb == QLatin1String("paints")) {
        Print(QStringLiteral("paints %1").arg(view.Screen().PaintCount()));
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

void CTestControl::HoldOpen(bool bAccept, const std::function<void()>& run, QDialog* pDialog) {
    const int nHoldMs = std::exchange(m_nHoldMs, -1);
    // The dialog runs its own event loop meanwhile, so this fires inside it. A dialog made
    // elsewhere is the modal one by then.
    QTimer::singleShot(
        nHoldMs, pDialog != nullptr ? static_cast<QObject*>(pDialog) : this, [bAccept, pDialog] {
            QDialog* pHeld = pDialog != nullptr
                                 ? pDialog
                                 : qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (pHeld != nullptr) {
                pHeld->done(bAccept ? QDialog::Accepted : QDialog::Rejected);
            }
        });
    run();
}

int CTestControl::Run(QDialog& dialog) {
    Print(QStringLiteral("dialog ") + dialog.windowTitle());
    dialog.show();
    PrintFields(dialog);
    for (const auto& [strName, strText] : m_vDialogFields) {
        SetField(dialog, strName, strText);
    }
    m_vDialogFields.clear();
    const bool bOk = std::exchange(m_bDialogOk, false);
    if (m_nHoldMs >= 0) {
        HoldOpen(
            bOk, [&dialog] { dialog.exec(); }, &dialog);
    } else if (bOk) {
        dialog.accept();
    } else {
        dialog.reject();
    }
    dialog.hide();
    Print(QStringLiteral("dialog ") + dialog.windowTitle() +
          (dialog.result() == QDialog::Accepted ? QStringLiteral(" accepted")
                                                : QStringLiteral(" cancelled")));
    return dialog.result();
}

void CTestControl::PrintFields(QDialog& dialog) {
    for (QWidget* pWidget : dialog.findChildren<QWidget*>()) {
        const QString strName = pWidget->objectName();
        // A list one may type in has a text field of its own, with no name.
        if (strName.isEmpty() || qobject_cast<QComboBox*>(pWidget->parentWidget()) != nullptr) {
            continue;
        }
        if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
            Print(QStringLiteral("field %1 = %2").arg(strName, pCombo->currentText()));
            for (int k = 0; k < pCombo->count(); ++k) {
                Print(QStringLiteral("option %1 %2").arg(strName, pCombo->itemText(k)));
            }
        } else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) {
            Print(QStringLiteral("field %1 = %2").arg(strName, pEdit->text()));
        } else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget);
                   pButton != nullptr && pButton->isCheckable()) {
            Print(QStringLiteral("field %1 = %2")
                      .arg(strName,
                           pButton->isChecked() ? QStringLiteral("on") : QStringLiteral("off")));
        }
    }
}

void CTestControl::SetField(QDialog& dialog, const QString& strName, const QString& strText) {
    QWidget* pWidget = dialog.findChild<QWidget*>(strName);
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
        const int nIndex = pCombo->findText(strText, Qt::MatchExactly);
        if (nIndex >= 0) {
            pCombo->setCurrentIndex(nIndex);
            // As a user's choice: the dialog's own handlers see it.
            emit pCombo->activated(nIndex);
        } else if (pCombo->isEditable()) {
            pCombo->setEditText(strText);
        } else {
            Print(QStringLiteral("error no option %1 in %2").arg(strText, strName));
        }
    } else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) {
        pEdit->setText(strText);
    } else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget);
               pButton != nullptr && pButton->isCheckable()) {
        // A click, as a user's: the dialog's own handlers see it.
        if (pButton->isChecked() != (strText == QLatin1String("on"))) {
            pButton->click();
        }
    } else {
        Print(QStringLiteral("error no field ") + strName);
    }
}

QString CTestControl::NextPath(std::deque<QString>& vPaths) {
    if (vPaths.empty()) {
        return {};
    }
    const QString strPath = vPaths.front();
    vPaths.pop_front();
    return strPath;
}

QString CTestControl::GetSaveFileName(QWidget* pParent, const QString& strFilter,
                                      const QString& strDefaultSuffix, SSaveCheckBox* pCheckBox) {
    if (m_nHoldMs >= 0) {
        SSaveCheckBox shown = pCheckBox != nullptr ? *pCheckBox : SSaveCheckBox();
        HoldOpen(false, [&] {
            CUserDialogs::GetSaveFileName(pParent, strFilter, strDefaultSuffix,
                                          pCheckBox != nullptr ? &shown : nullptr);
        });
    }
    const QString strPath = NextPath(m_vSavePaths);
    if (pCheckBox != nullptr && !m_vSaveChecks.empty()) {
        // Only a dialog that ends with a file changes the box.
        if (!strPath.isEmpty()) {
            pCheckBox->m_bChecked = m_vSaveChecks.front();
        }
        m_vSaveChecks.pop_front();
    }
    return strPath;
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
