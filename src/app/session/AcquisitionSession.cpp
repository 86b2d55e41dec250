#include "session/AcquisitionSession.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/PortSetupDlg.h"
#include "dialogs/StatusSink.h"
#include "dialogs/UserDialogs.h"
#include "session/Reconnector.h"
#include "session/RecordingControl.h"
#include "session/SerialMessageEvent.h"

#include "CsvWriter.h"
#include "LogFile.h"
#include "PlatformError.h"
#include "PlotData.h"
#include "PortChoice.h"
#include "PortConnection.h"
#include "PortDiscovery.h"
#include "SerialWnd.h"

#include <QEvent>
#include <QPointer>

#include <cmath>
#include <cstdint>
#include <cstring>

CPlotData* g_pPlotData = nullptr;
CSerialWnd* g_pSerial = nullptr;
std::FILE* g_pDebugLog = nullptr;
float g_fTestPhase1 = 0.0f;
float g_fTestPhase2 = 0.0f;

namespace {

constexpr int kReadChunk = 100;
constexpr std::size_t kMaxBytesPerNotification = 64 * 1024;
// The parameter of the notification a read posts to itself; the port's own carry the
// connection's number, which is never this small.
constexpr LPARAM kFollowUpParam = 1;
const char kDeviceGoneText[] = "Error: port closed by the device..";

} // namespace

CAcquisitionSession::CAcquisitionSession(QWidget& window, CStatusSink& status)
    : m_window(window), m_status(status), m_pRecording(new CRecordingControl(window, status)),
      m_pReconnector(new CReconnector(
          [this](const std::string& strPath) { return ReconnectTo(strPath); }, this)) {
    m_pRecording->setParent(this);
    connect(m_pRecording, &CRecordingControl::StateChanged, this,
            &CAcquisitionSession::StateChanged);
}

CAcquisitionSession::~CAcquisitionSession() {
    Teardown();
}

void CAcquisitionSession::Initialize(CSetSizeLog* pSetLog) {
    // Only one set of acquisition objects may ever exist.
    if (m_bInitialized) {
        return;
    }
    m_bInitialized = true;
    m_nSpeed = 1;
    m_nTypedSpeed = 0;
    m_nPort = 0;
    m_nParity = 0;
    m_nStopBits = 0;
    // Appending keeps whatever a user already has in a file of that name.
    g_pDebugLog = OpenLogFile("debug.txt");
    g_pSerial = new CSerialWnd;
    m_bConnected = false;
    g_pPlotData = new CPlotData;
    g_pPlotData->m_cLimiter = '#';
    g_pPlotData->CreateChannels();
    g_pPlotData->m_pSetLog = pSetLog;
    m_bCollecting = true;
    SetBoardFormat(EBoardFormat::kHashSets);
}

void CAcquisitionSession::Teardown() {
    if (!m_bInitialized || m_bTornDown) {
        return;
    }
    m_bTornDown = true;
    // A recording ends with every set on the disk, and none starts any more.
    m_pRecording->Close();
    m_pReconnector->Stop();
    if (g_pSerial != nullptr) {
        g_pSerial->Close();
        delete g_pSerial;
        g_pSerial = nullptr;
    }
    m_bConnected = false;
    if (g_pDebugLog != nullptr) {
        std::fclose(g_pDebugLog);
        g_pDebugLog = nullptr;
    }
    if (g_pPlotData != nullptr) {
        g_pPlotData->DestroyChannels();
        delete g_pPlotData;
        g_pPlotData = nullptr;
    }
}

void CAcquisitionSession::RegisterCommands(CCommandMap& commands) {
    const auto whileDisconnected = [this](CCmdUI& cmdUI) { cmdUI.Enable(!m_bConnected); };
    commands.Add(
        ID_CONNECTION_PORTSETUP, [this] { OnConnectionPortSetup(); }, whileDisconnected);
    commands.Add(
        ID_CONNECTION_CONNECT, [this] { OnConnectionConnect(); }, whileDisconnected);
    commands.Add(
        ID_CONNECTION_DISCONNECT, [this] { OnConnectionDisconnect(); },
        [this](CCmdUI& cmdUI) { cmdUI.Enable(m_bConnected || Waiting()); });
    commands.Add(
        ID_CONNECTION_RECONNECT, [this] { OnToggleReconnect(); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(ReconnectOn());
        });
    commands.Add(
        ID_OTHER_TOGGLEPLOT, [this] { OnTogglePlot(); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(m_bCollecting);
        });
    commands.Add(
        ID_FILE_RECORD, [this] { m_pRecording->OnRecord(); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(m_pRecording->Recording());
        });
    commands.Add(
        ID_FILE_STOPRECORDING, [this] { m_pRecording->OnStopRecording(); },
        [this](CCmdUI& cmdUI) { cmdUI.Enable(m_pRecording->Recording()); });
}

void CAcquisitionSession::Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept {
    PostMessageEvent(nMessage, wParam, lParam);
}

bool CAcquisitionSession::PostMessageEvent(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept {
    return CSerialMessageEvent::Post(this, nMessage, wParam, lParam);
}

bool CAcquisitionSession::event(QEvent* pEvent) {
    if (const CSerialMessageEvent* pMessage = CSerialMessageEvent::From(pEvent)) {
        if (pMessage->m_nMessage == g_nDefaultComMsg) {
            OnSerialMsg(pMessage->m_wParam, pMessage->m_lParam);
        }
        return true;
    }
    return QObject::event(pEvent);
}

LRESULT CAcquisitionSession::OnSerialMsg(WPARAM wParam, LPARAM lParam) {
    if (lParam == kFollowUpParam) {
        m_bFollowUpPending = false;
    }
    // A notification still queued when the user disconnected has nothing to read.
    if (!m_bConnected || g_pSerial == nullptr) {
        return 0;
    }
    const WORD events = LOWORD(wParam);
    if (HIWORD(wParam) != 0) {
        ++m_nLineErrors;
    }
    if ((events & EV_KOVRA_DEVICE_GONE) != 0) {
        // Only the port open now may be closed by it: a notice still queued when the user
        // disconnected and connected again belongs to a port closed since.
        if (g_pSerial->IsCurrentConnection(lParam)) {
            OnDeviceGone();
        }
        return 0;
    }
    if (events != EV_RXCHAR) {
        return 0;
    }
    // While a follow-up waits, what this notification announces is read by it. Reading here
    // too would make every notification queued during a flood a long read, and the queue is
    // handled in one go before the paint and the user's input.
    if (m_bFollowUpPending) {
        return 0;
    }
    ReadAndInterpret(true, kMaxBytesPerNotification);
    return 0;
}

int CAcquisitionSession::FirstChannelCount() const {
    return g_pPlotData != nullptr ? g_pPlotData->GetSampleCount(0) : 0;
}

// Reads in chunks until the port has no more, so that a burst longer than one chunk is not
// left waiting in the port until the device sends again. A device that keeps the port full
// would keep this loop going for ever: after a while the rest is left to a notification
// posted to ourselves, which comes after the paint and the user's input.
bool CAcquisitionSession::ReadAndInterpret(bool bReportErrors, std::size_t nMaxBytes) {
    bool bSetCompleted = false;
    bool bInterpreted = false;
    bool bHintDue = false;
    const auto tNow = CSetEndHint::Clock::now();
    const int nFirstCount = FirstChannelCount();
    std::uint64_t nBytesRead = 0;
    for (std::size_t nTaken = 0;; nTaken += kReadChunk) {
        if (nTaken >= nMaxBytes) {
            if (!m_bFollowUpPending) {
                m_bFollowUpPending =
                    PostMessageEvent(g_nDefaultComMsg, MAKEWPARAM(EV_RXCHAR, 0), kFollowUpParam);
            }
            break;
        }
        char buffer[kReadChunk];
        DWORD nRead = 0;
        const int nResult = g_pSerial->Read(buffer, kReadChunk, &nRead, nullptr, INFINITE);
        // A device that went away fails the read too; its own notice follows, and a box
        // about it would only be in the way.
        if (nResult != 0 && bReportErrors && !g_pSerial->IsDeviceGone()) {
            const QPointer<CAcquisitionSession> pAlive(this);
            UserDialogs().Notify(&m_window, QStringLiteral("read error"));
            // The box ran an event loop of its own, in which the program may have ended.
            if (pAlive == nullptr || !Initialized()) {
                return false;
            }
        }
        m_pRecording->Feed(buffer, nRead);
        nBytesRead += nRead;
        if (nRead > 0 && m_bCollecting) {
            const bool bChunkSet = g_pPlotData->Interpret(buffer, nRead);
            bHintDue |= m_setEndHint.OnBytesInterpreted(tNow, bChunkSet, buffer, nRead);
            bSetCompleted |= bChunkSet;
            bInterpreted = true;
        }
        if (nResult != 0 || nRead < kReadChunk || g_pSerial == nullptr) {
            break;
        }
    }
    if (bHintDue) {
        m_status.SetStatusText("%s", m_setEndHint.Text(m_eBoardFormat));
    } else if (bInterpreted) {
        // What is not told now stays due for the next read.
        const std::string strReport = m_readReport.Update(g_pPlotData->GetReadCounts(), tNow);
        if (!strReport.empty()) {
            m_status.SetStatusText("%s", strReport.c_str());
        }
    }
    if (nBytesRead != 0) {
        emit BytesRead(nBytesRead);
    }
    if (bSetCompleted) {
        emit SetsCompleted(FirstChannelCount() - nFirstCount);
    }
    CheckStoreMemory();
    return bSetCompleted;
}

void CAcquisitionSession::CheckStoreMemory() {
    if (m_memoryShortage.StoreBecameFull(*g_pPlotData)) {
        m_bCollecting = false;
        m_status.SetStatusText("%s", CMemoryShortage::kStoreFullText);
        emit StateChanged();
    }
}

void CAcquisitionSession::OnDeviceGone() {
    // Whatever arrived before the device went away is still taken, all of it: the port
    // closes next.
    ReadAndInterpret(false, SIZE_MAX);
    // Watching starts while the port is still open, so that its going is seen.
    const int nWatch = ReconnectOn() ? m_pReconnector->Start(m_connection.identity) : 0;
    g_pSerial->Close();
    m_bConnected = false;
    if (nWatch != 0) {
        m_status.SetStatusText("%s and it cannot be waited for (%s)", kDeviceGoneText,
                               std::strerror(LastSystemErrno()));
    } else {
        m_status.SetStatusText("%s", kDeviceGoneText);
    }
    emit StateChanged();
    // A board that is back already is connected at once.
    m_pReconnector->LookNow();
}

bool CAcquisitionSession::Waiting() const {
    return m_pReconnector->Waiting();
}

std::string CAcquisitionSession::WaitingFor() const {
    return m_pReconnector->WaitingFor();
}

void CAcquisitionSession::OnToggleReconnect() {
    // The user's choice is remembered; the command line's turn for this run is over.
    m_bReconnect = !ReconnectOn();
    m_bReconnectThisRun = false;
    if (!m_bReconnect && Waiting()) {
        m_pReconnector->Stop();
    }
    emit StateChanged();
}

// Called while waiting, when the board is back at strPath.
bool CAcquisitionSession::ReconnectTo(const std::string& strPath) {
    if (!ReconnectPort(*g_pSerial, this, strPath, &m_strConnectFailure, &m_connection)) {
        m_status.SetStatusText("Still waiting: %s", m_strConnectFailure.c_str());
        return false;
    }
    // The store, the collection state and the recording go on as they were.
    OnPortOpened();
    m_status.SetStatusText("Reconnected to %s", strPath.c_str());
    return true;
}

void CAcquisitionSession::OnTogglePlot() {
    m_bCollecting = !m_bCollecting;
    // A full store is asked to try again; collection stays off while it has no room.
    if (m_bCollecting && g_pPlotData->IsMemoryFull() && !m_memoryShortage.Resume(*g_pPlotData)) {
        m_bCollecting = false;
    }
    // The bytes dropped while paused tore the set and the number in progress: joined with
    // what comes now, they would make values the board never sent.
    if (m_bCollecting) {
        g_pPlotData->DiscardPartialSet();
    }
    emit StateChanged();
}

void CAcquisitionSession::OnKeyTogglePlot() {
    OnTogglePlot();
    m_status.SetStatusText("%s", m_bCollecting ? "Plot ON (collecting)"
                                 : g_pPlotData->IsMemoryFull()
                                     ? CMemoryShortage::kStoreFullText
                                     : "Plot OFF (not collecting new data)");
}

void CAcquisitionSession::StopCollecting() {
    m_bCollecting = false;
    emit StateChanged();
}

void CAcquisitionSession::ClearStore() {
    // Collection that stopped because memory was full goes on once the memory is free.
    const bool bWasFull = g_pPlotData->IsMemoryFull();
    g_pPlotData->ClearAll();
    m_pRecording->FollowStore();
    m_memoryShortage.StoreCleared();
    m_readReport.OnStoreCleared();
    if (bWasFull) {
        m_bCollecting = true;
        m_status.SetStatusText("Plot ON (collecting)");
        emit StateChanged();
    }
}

void CAcquisitionSession::GenerateTestSet() {
    const float x = 2.0f * static_cast<float>(std::sin(g_fTestPhase1));
    const float y = static_cast<float>(std::sin(g_fTestPhase2));
    const int z = y > 0.5f ? 1 : -1;
    // Formatted without the process locale, which may use a decimal comma.
    char text[40];
    char* p = AppendFixed2(text, x);
    *p++ = ' ';
    p = AppendFixed2(p, y);
    std::snprintf(p, static_cast<std::size_t>(text + sizeof text - p), " %d#", z);
    g_pPlotData->Interpret(text);
    CheckStoreMemory();
    g_fTestPhase1 += 0.1f;
    g_fTestPhase2 += 0.05f;
}

void CAcquisitionSession::OnConnectionPortSetup() {
    // A board plugged in since the last look is offered too.
    RediscoverPorts();
    CPortSetupDlg dialog(&m_window);
    dialog.m_nSpeed = m_nSpeed;
    dialog.m_nTypedSpeed = m_nTypedSpeed;
    dialog.m_nParity = m_nParity;
    dialog.m_nPort = m_nPort;
    dialog.m_nStopBits = m_nStopBits;
    dialog.m_eBoardFormat = m_eBoardFormat;
    if (UserDialogs().Run(dialog) == QDialog::Accepted && Initialized()) {
        m_nSpeed = dialog.m_nSpeed;
        m_nTypedSpeed = dialog.m_nTypedSpeed;
        m_nParity = dialog.m_nParity;
        m_nPort = dialog.m_nPort;
        m_nStopBits = dialog.m_nStopBits;
        // Applies at once to a connected board too.
        SetBoardFormat(dialog.m_eBoardFormat);
        emit PortChosen();
    }
}

void CAcquisitionSession::OnConnectionConnect() {
    if (OpenSerialPort()) {
        m_status.SetStatusText("Connected..");
    } else {
        m_status.SetStatusText("Error Connecting.. %s", m_strConnectFailure.c_str());
    }
}

void CAcquisitionSession::OnConnectionDisconnect() {
    if (!m_bConnected && Waiting()) {
        m_pReconnector->Stop();
        m_status.SetStatusText("Disconnected..");
        emit StateChanged();
        return;
    }
    m_status.SetStatusText(CloseSerialPort() ? "Disconnected.." : "Error Disconnecting..");
}

void CAcquisitionSession::OnKeyConnect() {
    if (m_bConnected) {
        m_status.SetStatusText("Already Connected..");
    } else {
        OnConnectionConnect();
    }
}

void CAcquisitionSession::OnKeyDisconnect() {
    if (m_bConnected || Waiting()) {
        OnConnectionDisconnect();
    } else {
        m_status.SetStatusText("Not Connected..");
    }
}

DWORD CAcquisitionSession::SelectedSpeedBps() const {
    return SpeedOfChoice(m_nSpeed, m_nTypedSpeed);
}

const char* CAcquisitionSession::SelectedPortName() const {
    return PortOfChoice(m_nPort);
}

CPortSelection CAcquisitionSession::Selection() const {
    return {m_nPort, m_nSpeed, m_nTypedSpeed, m_nStopBits, m_nParity};
}

bool CAcquisitionSession::OpenSerialPort() {
    // The ports are looked up again, for a board plugged in since the last look.
    if (!ConnectChosenPort(*g_pSerial, this, Selection(), &m_strConnectFailure, &m_connection)) {
        return false;
    }
    OnPortOpened();
    return true;
}

void CAcquisitionSession::OnPortOpened() {
    m_pReconnector->Stop();
    // Whatever was half received before belongs to another connection.
    g_pPlotData->DiscardPartialSet();
    g_pPlotData->SetBoardFormat(m_eBoardFormat);
    m_pRecording->OnPortOpened(m_eBoardFormat);
    m_setEndHint.Reset();
    m_readReport.OnPortOpened();
    m_bConnected = true;
    emit StateChanged();
}

void CAcquisitionSession::SetBoardFormat(EBoardFormat eFormat) {
    m_eBoardFormat = eFormat;
    m_pRecording->SetBoardFormat(eFormat);
    if (g_pPlotData != nullptr) {
        g_pPlotData->SetBoardFormat(eFormat);
    }
}

bool CAcquisitionSession::CloseSerialPort() {
    if (g_pSerial->Close() != 0) {
        return false;
    }
    m_bConnected = false;
    emit StateChanged();
    return true;
}
