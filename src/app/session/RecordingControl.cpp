#include "session/RecordingControl.h"

#include "dialogs/StatusSink.h"
#include "dialogs/UserDialogs.h"

#include <QFileInfo>
#include <QTimer>

#include <cstring>

namespace {

constexpr int kPaneIntervalMs = 250;

} // namespace

CRecordingControl::CRecordingControl(QWidget& window, CStatusSink& status)
    : m_window(window), m_status(status), m_pPaneTimer(new QTimer(this)) {
    m_pPaneTimer->setSingleShot(true);
    connect(m_pPaneTimer, &QTimer::timeout, this, &CRecordingControl::PaneChanged);
}

CRecordingControl::~CRecordingControl() {
    Stop();
}

void CRecordingControl::OnRecord() {
    const QString strPath = UserDialogs().GetSaveFileName(
        &m_window, QStringLiteral("Comma separated files (*.csv);;All files (*)"),
        QStringLiteral("csv"));
    // The dialog's own event loop may have seen the program end.
    if (strPath.isEmpty() || m_bClosed) {
        return;
    }
    if (Recording()) {
        OnStopRecording();
    }
    m_strName = QFileInfo(strPath).fileName();
    m_nSets = 0;
    m_start = std::chrono::steady_clock::now();
    // The failure is noticed on the writer's thread; it is reported on this one.
    const bool bStarted = m_writer.Start(
        strPath.toStdString(),
        [this] {
            QMetaObject::invokeMethod(this, &CRecordingControl::OnWriterFailed,
                                      Qt::QueuedConnection);
        },
        m_options);
    if (!bStarted) {
        UserDialogs().Notify(&m_window, QStringLiteral("Problem opening file.."));
        return;
    }
    m_status.SetStatusText("Recording to %s", qPrintable(m_strName));
    emit PaneChanged();
    emit StateChanged();
}

void CRecordingControl::OnStopRecording() {
    if (!Recording()) {
        return;
    }
    if (!m_writer.Stop()) {
        ReportFailure();
    } else {
        m_status.SetStatusText("Recording stopped: %llu sets in %s",
                               static_cast<unsigned long long>(m_nSets), qPrintable(m_strName));
    }
    emit PaneChanged();
    emit StateChanged();
}

void CRecordingControl::Stop() {
    if (Recording()) {
        m_writer.Stop();
        emit PaneChanged();
        emit StateChanged();
    }
}

void CRecordingControl::Close() {
    m_bClosed = true;
    Stop();
}

void CRecordingControl::OnWriterFailed() {
    // A recording that has ended meanwhile (the user stopped it) was reported then.
    if (!Recording() || !m_writer.Failed()) {
        return;
    }
    m_writer.Stop();
    ReportFailure();
    emit PaneChanged();
    emit StateChanged();
}

void CRecordingControl::ReportFailure() {
    UserDialogs().Notify(
        &m_window, QStringLiteral("Recording stopped: %1 could not be written (%2). The "
                                  "sets recorded until then are in %3")
                       .arg(m_strName, QString::fromLocal8Bit(std::strerror(m_writer.Error())),
                            QString::fromStdString(m_writer.Path())));
}

void CRecordingControl::Feed(const char* pBytes, std::size_t nBytes) {
    m_interpreter.Feed(pBytes, nBytes, *this);
}

void CRecordingControl::OnPortOpened(bool bEndSetsAtLineEnd) {
    m_interpreter.DiscardPartialSet();
    m_interpreter.SetEndSetsAtLineEnd(bEndSetsAtLineEnd);
}

void CRecordingControl::SetEndSetsAtLineEnd(bool bEndSetsAtLineEnd) {
    m_interpreter.SetEndSetsAtLineEnd(bEndSetsAtLineEnd);
}

void CRecordingControl::OnSet(const Sample* pValues, int nCount) {
    AddSet(std::span<const float>(pValues, static_cast<std::size_t>(nCount)));
}

void CRecordingControl::AddSet(std::span<const float> values) {
    if (!Recording()) {
        return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_start);
    m_writer.AddSet(elapsed.count(), values);
    ++m_nSets;
    if (!m_pPaneTimer->isActive()) {
        m_pPaneTimer->start(kPaneIntervalMs);
    }
}
