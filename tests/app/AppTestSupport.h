#pragma once

#include "dialogs/ProgressDlg.h"
#include "dialogs/UserDialogs.h"
#include "session/AcquisitionSession.h"
#include "shell/KovraPlotterApp.h"
#include "shell/MainFrame.h"
#include "view/KovraPlotterView.h"

#include "PtyPair.h"
#include "SerialWnd.h"

#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QString>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Readable failure messages for texts.
inline void PrintTo(const QString& strText, std::ostream* pStream) {
    *pStream << '"' << strText.toStdString() << '"';
}

// Answers the program's questions from a script and records what it asked.
class CScriptedDialogs : public CUserDialogs {
public:
    bool Confirm(QWidget*, const QString& strText) override {
        DuringModal();
        m_vAsked.push_back(strText);
        if (m_vConfirmAnswers.empty()) {
            return false;
        }
        const bool bAnswer = m_vConfirmAnswers.front();
        m_vConfirmAnswers.pop_front();
        return bAnswer;
    }
    void Notify(QWidget*, const QString& strText) override {
        DuringModal();
        m_vNotified.push_back(strText);
    }
    int Run(QDialog& dialog) override {
        DuringModal();
        dialog.show();
        const int nResult = m_fnRunDialog ? m_fnRunDialog(dialog) : QDialog::Rejected;
        dialog.hide();
        return nResult;
    }
    QString GetSaveFileName(QWidget*, const QString& strFilter, const QString& strSuffix,
                            SSaveCheckBox* pCheckBox) override {
        DuringModal();
        m_vAsked.push_back(strFilter + QStringLiteral(" / ") + strSuffix);
        if (pCheckBox != nullptr) {
            m_vSaveChecksShown.emplace_back(pCheckBox->m_strText, pCheckBox->m_bChecked);
            if (m_nSaveCheckAnswer >= 0 && !m_strSaveFileName.isEmpty()) {
                pCheckBox->m_bChecked = m_nSaveCheckAnswer == 1;
            }
        }
        return m_strSaveFileName;
    }

    QString GetOpenFileName(QWidget*, const QString& strFilter) override {
        DuringModal();
        m_vAsked.push_back(strFilter);
        return m_strOpenFileName;
    }
    void ShowProgress(CProgressDlg& dialog) override {
        m_vProgress.push_back(dialog.Text());
        if (m_bCancelProgress) {
            dialog.reject();
        }
    }

    void DuringModal() {
        if (auto fnDuring = std::exchange(m_fnDuringModal, nullptr)) {
            fnDuring();
        }
    }

    std::deque<bool> m_vConfirmAnswers;
    std::function<int(QDialog&)> m_fnRunDialog;
    // Runs inside the next modal exchange, as an event handled in its own loop would.
    std::function<void()> m_fnDuringModal;
    QString m_strSaveFileName;
    // How the save dialog's check box is left: -1 as shown, 0 off, 1 on; and what was shown.
    int m_nSaveCheckAnswer = -1;
    std::vector<std::pair<QString, bool>> m_vSaveChecksShown;
    QString m_strOpenFileName;
    bool m_bCancelProgress = false;
    std::vector<QString> m_vProgress;
    std::vector<QString> m_vAsked;
    std::vector<QString> m_vNotified;
};

// A started program (frame, view, acquisition objects) with scripted dialogs, torn down at
// the end of the test.
class CAppFixture {
public:
    explicit CAppFixture(const SCommandLine& commandLine = {});
    ~CAppFixture();

    CMainFrame& Frame() const { return *m_app.MainFrame(); }
    CKovraPlotterView& View() const;
    QString Status() const { return Frame().MessageText(); }
    // Lets posted events run until the condition holds or the time is up.
    static bool WaitFor(const std::function<bool()>& fnCondition, int nTimeoutMs = 5000);
    // Lets posted events run for a while.
    static void Pump(int nMs) {
        WaitFor([] { return false; }, nMs);
    }

    CScriptedDialogs m_dialogs;

private:
    CKovraPlotterApp m_app;
};

// A port that hands out one prepared text per read.
class CScriptedSerial : public CSerialWnd {
public:
    int Read(void* pBuffer, DWORD nSize, DWORD* pnRead, OVERLAPPED*, DWORD) override {
        const std::size_t n = std::min<std::size_t>(nSize, m_strNext.size());
        std::memcpy(pBuffer, m_strNext.data(), n);
        m_strNext.erase(0, n);
        *pnRead = static_cast<DWORD>(n);
        return 0;
    }
    std::string m_strNext;
};

// Puts a scripted port in place of the program's and counts the view as connected to it.
inline CScriptedSerial* ConnectScriptedPort(CKovraPlotterView& view) {
    auto* pSerial = new CScriptedSerial;
    delete g_pSerial;
    g_pSerial = pSerial;
    view.Session().m_bConnected = true;
    return pSerial;
}

// A key press on the view, without modifiers.
inline void Press(QWidget& view, int nKey) {
    QKeyEvent event(QEvent::KeyPress, nKey, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
}

// Threads of this process, to see that none is left behind.
int ThreadCount();
