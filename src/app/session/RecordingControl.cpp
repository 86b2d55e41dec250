#include "session/RecordingControl.h"

#include "dialogs/StatusSink.h"
#include "dialogs/UserDialogs.h"
#include "session/AcquisitionSession.h"

#include "PlotData.h"

#include <QFileInfo>
#include <QTimer>

#include <cstring>
#include <utility>

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
        UserDialogs().Notify(&m_window, OpeningFailedText(m_writer.Error()));
        return;
    }
    UpdateNames();
    m_writer.SetNames(m_vNames);
    m_status.SetStatusText("Recording to %s", qPrintable(m_strName));
    emit PaneChanged();
    emit StateChanged();
}

void CRecordingControl::OnStopRecording() {
    if (!Recording()) {
        return;
    }
    // The last flush to the disk takes its time on the writer's thread, not on this one.
    m_bStopping = true;
    m_writer.StopAsync([this](const SRecordingEnd& end) {
        QMetaObject::invokeMethod(
            this,
            [this, end] {
                m_bStopping = false;
                Report(end);
            },
            Qt::QueuedConnection);
    });
    m_status.SetStatusText("Recording stopped: %llu sets in %s",
                           static_cast<unsigned long long>(m_nSets), qPrintable(m_strName));
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
    m_status.SetStatusText("Recording stopped: %s could not be written", qPrintable(m_strName));
    emit PaneChanged();
    emit StateChanged();
    Report(m_writer.End());
}

void CRecordingControl::Report(const SRecordingEnd& end) {
    const QString strPath = QString::fromStdString(m_writer.Path());
    if (end.m_bLost) {
        m_status.SetStatusText("Recording lost: %s was deleted or replaced", qPrintable(m_strName));
        UserDialogs().Notify(&m_window,
                             QStringLiteral("Recording lost or moved: %1 was deleted or replaced "
                                            "while it was recorded; the sets written to it are "
                                            "not in %2")
                                 .arg(m_strName, strPath));
    } else if (!end.m_bOk) {
        UserDialogs().Notify(
            &m_window,
            QStringLiteral("Recording stopped: %1 could not be written (%2). The sets recorded "
                           "until then are in %3")
                .arg(m_strName, QString::fromLocal8Bit(std::strerror(end.m_nErrno)), strPath));
    }
}

void CRecordingControl::Feed(const char* pBytes, std::size_t nBytes) {
    m_interpreter.Feed(pBytes, nBytes, *this);
}

void CRecordingControl::OnPortOpened(EBoardFormat eFormat) {
    m_interpreter.DiscardPartialSet();
    m_interpreter.SetFormat(eFormat);
}

void CRecordingControl::SetBoardFormat(EBoardFormat eFormat) {
    m_interpreter.SetFormat(eFormat);
}

void CRecordingControl::FollowStore() {
    m_interpreter.ForgetSession();
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        if (g_pPlotData->GetSampleCount(i) > 0 || !g_pPlotData->GetStreamChannelName(i).empty()) {
            m_interpreter.AdoptChannel(i, g_pPlotData->GetStreamChannelName(i));
        }
    }
    UpdateNames();
}

void CRecordingControl::OnChannelName(int, std::string_view) {
    UpdateNames();
}

void CRecordingControl::UpdateNames() {
    std::vector<std::string> vNames(CRecordingWriter::kMaxValues);
    for (int i = 0; i < CRecordingWriter::kMaxValues; ++i) {
        vNames[static_cast<std::size_t>(i)] =
            g_pPlotData != nullptr && g_pPlotData->IsChannelNameTyped(i)
                ? g_pPlotData->GetChannelName(i)
                : std::string(m_interpreter.ChannelName(i));
    }
    if (vNames != m_vNames) {
        m_vNames = std::move(vNames);
        if (Recording()) {
            m_writer.SetNames(m_vNames);
        }
    }
}

void CRecordingControl::OnSet(const Sample* pValues, int nCount) {
    AddSet(std::span<const float>(pValues, static_cast<std::size_t>(nCount)));
}

// Line-format sets are aligned: the writer then pads the lines before a channel that joins.
void CRecordingControl::OnSets(const SSetBatch& batch) {
    for (int k = 0; k < batch.m_nSets; ++k) {
        AddSet(std::span<const float>(batch.m_pValues +
                                          static_cast<std::ptrdiff_t>(k) * SSetBatch::kStride,
                                      batch.m_pCounts[k]),
               batch.m_bAligned);
    }
}

void CRecordingControl::AddSet(std::span<const float> values, bool bAligned) {
    if (!Recording()) {
        return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_start);
    m_writer.AddSet(elapsed.count(), values, bAligned);
    ++m_nSets;
    if (!m_pPaneTimer->isActive()) {
        m_pPaneTimer->start(kPaneIntervalMs);
    }
}
