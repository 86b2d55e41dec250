#pragma once

#include "BackgroundJob.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CProgressDlg;
class QTimer;
class QWidget;

// Runs long work (exports, loading a file) off the user-interface thread. Start waits a
// moment for the work, so that a short one ends before Start returns, as if it had run in
// place; otherwise the window goes on, a progress dialog with Cancel appears once the work has
// taken m_dialogDelay, and the work's end is reported on the user-interface thread.
class CJobRunner : public QObject {
    Q_OBJECT

public:
    explicit CJobRunner(QWidget* pWindow);
    // Stops whatever still runs, as CancelAll does.
    ~CJobRunner() override;

    // What becomes of a job when the program ends while it runs.
    enum class EAtClose {
        kCancel, // it is stopped (a file being loaded)
        kFinish, // it is waited for (an export the user asked for)
    };
    // Runs work on a thread of its own; fnDone runs on this thread once it has returned
    // (also after a cancel), unless CancelAll comes first. strText says what the work does.
    void Start(const QString& strText, CBackgroundJob::Work work, std::function<void()> fnDone,
               EAtClose eAtClose = EAtClose::kCancel);
    // Stops every job and waits for it; their fnDone callbacks do not run.
    void CancelAll();
    // Before the program ends: the jobs to be finished are waited for, their progress shown at
    // once (its Cancel stops a job, as the user's choice), their fnDone callbacks run; the
    // others are stopped.
    void FinishBeforeClose();
    bool Busy() const { return !m_vRunning.empty(); }

    std::chrono::milliseconds m_quietWait{50};
    std::chrono::milliseconds m_dialogDelay{200};

private:
    struct SRunning {
        std::uint64_t m_nId = 0;
        QString m_strText;
        std::function<void()> m_fnDone;
        EAtClose m_eAtClose = EAtClose::kCancel;
        std::unique_ptr<CBackgroundJob> m_pJob;
        std::unique_ptr<CProgressDlg> m_pDialog;
        QTimer* m_pTimer = nullptr;
    };
    SRunning* Find(std::uint64_t nId);
    void OnTimer(std::uint64_t nId);
    void OnFinished(std::uint64_t nId);
    std::unique_ptr<SRunning> Take(std::uint64_t nId);

    QWidget* m_pWindow;
    std::uint64_t m_nNextId = 1;
    std::vector<std::unique_ptr<SRunning>> m_vRunning;
};
