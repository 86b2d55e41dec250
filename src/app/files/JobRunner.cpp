#include "files/JobRunner.h"

#include "dialogs/ProgressDlg.h"
#include "dialogs/UserDialogs.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kProgressIntervalMs = 100;

} // namespace

CJobRunner::CJobRunner(QWidget* pWindow) : QObject(pWindow), m_pWindow(pWindow) {}

CJobRunner::~CJobRunner() {
    CancelAll();
}

void CJobRunner::Start(const QString& strText, CBackgroundJob::Work work,
                       std::function<void()> fnDone, EAtClose eAtClose) {
    const std::uint64_t nId = m_nNextId++;
    // The end is posted from the job's thread; a job this runner no longer knows (it ended
    // within the quiet wait, or was cancelled) is not found then.
    auto pJob = std::make_unique<CBackgroundJob>(std::move(work), [this, nId] {
        QMetaObject::invokeMethod(
            this, [this, nId] { OnFinished(nId); }, Qt::QueuedConnection);
    });
    if (pJob->WaitFor(m_quietWait)) {
        pJob.reset();
        fnDone();
        return;
    }
    auto pRunning = std::make_unique<SRunning>();
    pRunning->m_nId = nId;
    pRunning->m_strText = strText;
    pRunning->m_fnDone = std::move(fnDone);
    pRunning->m_eAtClose = eAtClose;
    pRunning->m_pJob = std::move(pJob);
    pRunning->m_pTimer = new QTimer(this);
    pRunning->m_pTimer->setSingleShot(true);
    connect(pRunning->m_pTimer, &QTimer::timeout, this, [this, nId] { OnTimer(nId); });
    pRunning->m_pTimer->start(std::max(m_dialogDelay - m_quietWait, std::chrono::milliseconds(0)));
    m_vRunning.push_back(std::move(pRunning));
}

CJobRunner::SRunning* CJobRunner::Find(std::uint64_t nId) {
    const auto it = std::find_if(m_vRunning.begin(), m_vRunning.end(),
                                 [nId](const auto& pRunning) { return pRunning->m_nId == nId; });
    return it == m_vRunning.end() ? nullptr : it->get();
}

std::unique_ptr<CJobRunner::SRunning> CJobRunner::Take(std::uint64_t nId) {
    const auto it = std::find_if(m_vRunning.begin(), m_vRunning.end(),
                                 [nId](const auto& pRunning) { return pRunning->m_nId == nId; });
    if (it == m_vRunning.end()) {
        return nullptr;
    }
    std::unique_ptr<SRunning> pRunning = std::move(*it);
    m_vRunning.erase(it);
    delete pRunning->m_pTimer;
    return pRunning;
}

void CJobRunner::OnTimer(std::uint64_t nId) {
    SRunning* pRunning = Find(nId);
    if (pRunning == nullptr) {
        return;
    }
    if (!pRunning->m_pDialog) {
        pRunning->m_pDialog = std::make_unique<CProgressDlg>(pRunning->m_strText, m_pWindow);
        CBackgroundJob* pJob = pRunning->m_pJob.get();
        connect(pRunning->m_pDialog.get(), &QDialog::rejected, this, [pJob] { pJob->Cancel(); });
        pRunning->m_pTimer->setSingleShot(false);
        pRunning->m_pTimer->start(kProgressIntervalMs);
        UserDialogs().ShowProgress(*pRunning->m_pDialog);
    }
    pRunning->m_pDialog->SetFraction(pRunning->m_pJob->Progress().Fraction());
}

void CJobRunner::OnFinished(std::uint64_t nId) {
    std::unique_ptr<SRunning> pRunning = Take(nId);
    if (!pRunning) {
        return;
    }
    pRunning->m_pDialog.reset();
    pRunning->m_pJob.reset();
    pRunning->m_fnDone();
}

void CJobRunner::FinishBeforeClose() {
    std::vector<std::uint64_t> vToStop;
    for (const auto& pRunning : m_vRunning) {
        if (pRunning->m_eAtClose == EAtClose::kCancel) {
            pRunning->m_pJob->Cancel();
            vToStop.push_back(pRunning->m_nId);
        }
    }
    for (const std::uint64_t nId : vToStop) {
        Take(nId);
    }
    for (const auto& pRunning : m_vRunning) {
        OnTimer(pRunning->m_nId);
    }
    // The ends are posted from the jobs' threads; nothing else wakes this loop.
    while (!m_vRunning.empty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void CJobRunner::CancelAll() {
    for (const auto& pRunning : m_vRunning) {
        pRunning->m_pJob->Cancel();
    }
    while (!m_vRunning.empty()) {
        Take(m_vRunning.back()->m_nId);
    }
}
