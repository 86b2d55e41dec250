#include "view/KovraPlotterView.h"

#include "AxisSettings.h"
#include "CsvWriter.h"
#include "LogFile.h"
#include "PaintReplay.h"
#include "PlotData.h"
#include "PlotScroll.h"
#include "PortChoice.h"
#include "PortConnection.h"
#include "PortDiscovery.h"
#include "SerialWnd.h"
#include "commands/CommandIds.h"
#include "dialogs/ChannelSetupDlg.h"
#include "dialogs/PortSetupDlg.h"
#include "dialogs/UserDialogs.h"
#include "dialogs/XAxisDlg.h"
#include "dialogs/YAxisDlg.h"
#include "files/FileOpener.h"
#include "files/JobRunner.h"
#include "session/EventHandOver.h"
#include "session/RecordingControl.h"
#include "shell/MainFrame.h"
#include "view/FramePacer.h"
#include "view/PlotScrollBar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <new>

CPlotData* g_pPlotData = nullptr;
CSerialWnd* g_pSerial = nullptr;
std::FILE* g_pDebugLog = nullptr;
float g_fTestPhase1 = 0.0f;
float g_fTestPhase2 = 0.0f;

namespace {

// A serial notification on its way from the listener thread to the view.
class CSerialMessageEvent : public QEvent {
public:
    CSerialMessageEvent(UINT nMessage, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_nMessage(nMessage), m_wParam(wParam), m_lParam(lParam) {}

    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    UINT m_nMessage;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

constexpr int kReadChunk = 100;
constexpr std::size_t kMaxBytesPerNotification = 64 * 1024;
// The parameter of the notification a read posts to itself; the port's own carry 0.
constexpr LPARAM kFollowUpParam = 1;

} // namespace

CKovraPlotterView::CKovraPlotterView(QWidget* pParent)
    : QAbstractScrollArea(pParent), m_pJobs(new CJobRunner(this)),
      m_pOpener(std::make_unique<CFileOpener>(*this)), m_pRecording(new CRecordingControl(*this)) {
    connect(m_pRecording, &CRecordingControl::StateChanged, this,
            &CKovraPlotterView::CommandStateChanged);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pScrollBar = new CPlotScrollBar;
    setHorizontalScrollBar(m_pScrollBar);
    // The paint covers every pixel itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            &CKovraPlotterView::OnHScroll);
    connect(horizontalScrollBar(), &QScrollBar::sliderReleased, this,
            &CKovraPlotterView::UpdateScrollBar);
    // The wheel over the bar scrolls as it does over the plot (eventFilter). The scroll area
    // watches its bars anyway; this says so.
    horizontalScrollBar()->installEventFilter(this);
    m_pPacer = new CFramePacer([this] { viewport()->update(); }, this);
}

CKovraPlotterView::~CKovraPlotterView() {
    DestroyWindow();
}

CMainFrame* CKovraPlotterView::Frame() const {
    return qobject_cast<CMainFrame*>(window());
}

void CKovraPlotterView::OnInitialUpdate() {
    // Only one set of acquisition objects may ever exist.
    if (m_bInitialized) {
        return;
    }
    m_bInitialized = true;
    m_fYMax = 2.5f;
    m_fYMin = -2.5f;
    m_fPointsPerDiv = 5.0f;
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
    g_pPlotData->m_pSetLog = &m_setLog;
    m_bCollecting = true;
    m_bEndSetsAtLineEnd = false;
    g_pPlotData->SetEndSetsAtLineEnd(m_bEndSetsAtLineEnd);
    m_bDoublePpdAtMax = false;
    m_bAutoScale = false;
    m_fAutoMin = 0.0f;
    m_fAutoMax = 0.0f;
    m_nScrollBack = 0;
}

void CKovraPlotterView::DestroyWindow() {
    if (!m_bInitialized || m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    emit TearingDown();
    // An export in progress is stopped and its file removed; an older file stays. A
    // recording ends with every set on the disk.
    m_pJobs->CancelAll();
    m_pRecording->Stop();
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

void CKovraPlotterView::Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept {
    PostMessageEvent(nMessage, wParam, lParam);
}

// Without memory the notice is lost, not the data: the bytes wait in the port and the next
// arrival posts again.
bool CKovraPlotterView::PostMessageEvent(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept {
    auto* pEvent = new (std::nothrow) CSerialMessageEvent(nMessage, wParam, lParam);
    if (pEvent == nullptr) {
        return false;
    }
    ReleaseToEventQueue(pEvent);
    try {
        QCoreApplication::postEvent(this, pEvent);
    } catch (const std::bad_alloc&) {
        // The queue deletes an event it could not take.
        return false;
    }
    return true;
}

bool CKovraPlotterView::event(QEvent* pEvent) {
    AcquireFromEventQueue(pEvent);
    if (pEvent->type() == CSerialMessageEvent::EventType()) {
        const auto* pMessage = static_cast<CSerialMessageEvent*>(pEvent);
        if (pMessage->m_nMessage == g_nDefaultComMsg) {
            OnSerialMsg(pMessage->m_wParam, pMessage->m_lParam);
        }
        return true;
    }
    return QAbstractScrollArea::event(pEvent);
}

LRESULT CKovraPlotterView::OnSerialMsg(WPARAM wParam, LPARAM lParam) {
    if (lParam == kFollowUpParam) {
        m_bFollowUpPending = false;
    }
    // A notification still queued when the user disconnected has nothing to read.
    if (!m_bConnected || g_pSerial == nullptr) {
        return 0;
    }
    const WORD events = LOWORD(wParam);
    if ((events & EV_KOVRA_DEVICE_GONE) != 0) {
        OnDeviceGone();
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

// Reads in chunks until the port has no more, so that a burst longer than one chunk is not
// left waiting in the port until the device sends again. A device that keeps the port full
// would keep this loop going for ever: after a while the rest is left to a notification
// posted to ourselves, which comes after the paint and the user's input.
bool CKovraPlotterView::ReadAndInterpret(bool bReportErrors, std::size_t nMaxBytes) {
    bool bSetCompleted = false;
    bool bInterpreted = false;
    const int nFirstCount = FirstChannelCount();
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
            UserDialogs().Notify(this, QStringLiteral("read error"));
        }
        m_pRecording->Feed(buffer, nRead);
        if (nRead > 0 && m_bCollecting) {
            bSetCompleted |= g_pPlotData->Interpret(buffer, nRead);
            bInterpreted = true;
        }
        if (nResult != 0 || nRead < kReadChunk || g_pSerial == nullptr) {
            break;
        }
    }
    if (bInterpreted && m_setEndHint.OnBytesInterpreted(CSetEndHint::Clock::now(), bSetCompleted)) {
        SetStatusText("%s", CSetEndHint::Text(g_pPlotData->GetEndSetsAtLineEnd()));
    }
    if (bSetCompleted) {
        if (m_bKeepCollectingWhenScrolled) {
            m_nScrollBack = FollowScrollBack(m_nScrollBack, FirstChannelCount() - nFirstCount,
                                             MaxScrollBack(FirstChannelCount(), m_fPointsPerDiv));
        }
        // A window that is not painted (hidden, minimised) still decides as it goes.
        constexpr std::size_t kMaxLoggedRuns = 4096;
        if (m_setLog.Runs().size() > kMaxLoggedRuns) {
            const int nLastSize = m_setLog.Runs().back().m_nSize;
            CatchUpSkippedPaints(false);
            m_setLog.Add(nLastSize);
        }
        m_pPacer->RequestPaint();
    }
    CheckStoreMemory();
    return bSetCompleted;
}

void CKovraPlotterView::CheckStoreMemory() {
    if (m_memoryShortage.StoreBecameFull(*g_pPlotData)) {
        m_bCollecting = false;
        SetStatusText("%s", CMemoryShortage::kStoreFullText);
        emit CommandStateChanged();
    }
}

void CKovraPlotterView::OnDeviceGone() {
    // Whatever arrived before the device went away is still taken, all of it: the port
    // closes next.
    ReadAndInterpret(false, SIZE_MAX);
    g_pSerial->Close();
    m_bConnected = false;
    SetStatusText("Error: port closed by the device..");
    emit CommandStateChanged();
}

void CKovraPlotterView::Repaint() {
    viewport()->update();
}

void CKovraPlotterView::OnTogglePlot() {
    m_bCollecting = !m_bCollecting;
    // A full store is asked to try again; collection stays off while it has no room.
    if (m_bCollecting && g_pPlotData->IsMemoryFull() && !m_memoryShortage.Resume(*g_pPlotData)) {
        m_bCollecting = false;
    }
    emit CommandStateChanged();
}

void CKovraPlotterView::ResetData() {
    CatchUpSkippedPaints(true);
    // Collection that stopped because memory was full goes on once the memory is free.
    const bool bWasFull = g_pPlotData->IsMemoryFull();
    g_pPlotData->ClearAll();
    m_fAutoMin = 0.0f;
    m_fAutoMax = 0.0f;
    m_memoryShortage.StoreCleared();
    if (bWasFull) {
        m_bCollecting = true;
        SetStatusText("Plot ON (collecting)");
        emit CommandStateChanged();
    }
}

void CKovraPlotterView::OnFileNew() {
    if (UserDialogs().Confirm(this,
                              QStringLiteral("Are you sure you want to teamkill all data?"))) {
        ResetData();
        Repaint();
    }
}

void CKovraPlotterView::GenerateTestSet() {
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
    m_nScrollBack = 0;
}

void CKovraPlotterView::OnConnectionPortSetup() {
    // A board plugged in since the last look is offered too.
    RediscoverPorts();
    CPortSetupDlg dialog(this);
    dialog.m_nSpeed = m_nSpeed;
    dialog.m_nTypedSpeed = m_nTypedSpeed;
    dialog.m_nParity = m_nParity;
    dialog.m_nPort = m_nPort;
    dialog.m_nStopBits = m_nStopBits;
    dialog.m_bEndSetsAtLineEnd = m_bEndSetsAtLineEnd;
    if (UserDialogs().Run(dialog) == QDialog::Accepted) {
        m_nSpeed = dialog.m_nSpeed;
        m_nTypedSpeed = dialog.m_nTypedSpeed;
        m_nParity = dialog.m_nParity;
        m_nPort = dialog.m_nPort;
        m_nStopBits = dialog.m_nStopBits;
        // Applies at once to a connected board too.
        SetEndSetsAtLineEnd(dialog.m_bEndSetsAtLineEnd);
    }
}

void CKovraPlotterView::OnConnectionConnect() {
    if (OpenSerialPort()) {
        SetStatusText("Connected..");
    } else {
        SetStatusText("Error Connecting.. %s", m_strConnectFailure.c_str());
    }
}

void CKovraPlotterView::OnConnectionDisconnect() {
    SetStatusText(CloseSerialPort() ? "Disconnected.." : "Error Disconnecting..");
}

DWORD CKovraPlotterView::SelectedSpeedBps() const {
    return SpeedOfChoice(m_nSpeed, m_nTypedSpeed);
}

const char* CKovraPlotterView::SelectedPortName() const {
    return PortOfChoice(m_nPort);
}

bool CKovraPlotterView::OpenSerialPort() {
    const CPortSelection selection{m_nPort, m_nSpeed, m_nTypedSpeed, m_nStopBits, m_nParity};
    if (!ConnectPort(*g_pSerial, this, selection, &m_strConnectFailure)) {
        return false;
    }
    // Whatever was half received before belongs to another connection.
    g_pPlotData->DiscardPartialSet();
    g_pPlotData->SetEndSetsAtLineEnd(m_bEndSetsAtLineEnd);
    m_pRecording->OnPortOpened(m_bEndSetsAtLineEnd);
    m_setEndHint.Reset();
    m_bConnected = true;
    emit CommandStateChanged();
    return true;
}

void CKovraPlotterView::SetEndSetsAtLineEnd(bool bEndSetsAtLineEnd) {
    m_bEndSetsAtLineEnd = bEndSetsAtLineEnd;
    m_pRecording->SetEndSetsAtLineEnd(bEndSetsAtLineEnd);
    if (g_pPlotData != nullptr) {
        g_pPlotData->SetEndSetsAtLineEnd(bEndSetsAtLineEnd);
    }
}

bool CKovraPlotterView::CloseSerialPort() {
    if (g_pSerial->Close() != 0) {
        return false;
    }
    m_bConnected = false;
    emit CommandStateChanged();
    return true;
}

void CKovraPlotterView::OnChannelToggle(int nChannel) {
    CatchUpSkippedPaints(true);
    g_pPlotData->ToggleHidden(nChannel);
    Repaint();
}

void CKovraPlotterView::OnPlotXAxis() {
    CXAxisDlg dialog(this);
    dialog.m_strPpd = QString::fromStdString(PpdDialogText(m_fPointsPerDiv));
    dialog.m_bDoublePpd = m_bDoublePpdAtMax;
    if (UserDialogs().Run(dialog) != QDialog::Accepted) {
        return;
    }
    CatchUpSkippedPaints(true);
    const CXAxisResult result =
        ApplyXAxisDialog(m_fPointsPerDiv, dialog.m_strPpd.toStdString(), dialog.m_bDoublePpd);
    m_fPointsPerDiv = result.m_fPointsPerDiv;
    m_bDoublePpdAtMax = result.m_bDoublePpdAtMax;
    SetStatusText("%s", result.m_szStatus);
    Repaint();
}

void CKovraPlotterView::OnPlotYAxis() {
    CYAxisDlg dialog(this);
    dialog.m_strYMax = QString::fromStdString(YLimitDialogText(m_fYMax));
    dialog.m_strYMin = QString::fromStdString(YLimitDialogText(m_fYMin));
    dialog.m_bAutoScaling = m_bAutoScale;
    if (UserDialogs().Run(dialog) != QDialog::Accepted) {
        return;
    }
    CatchUpSkippedPaints(true);
    const CYAxisResult result =
        ApplyYAxisDialog(m_fYMax, m_fYMin, dialog.m_strYMax.toStdString(),
                         dialog.m_strYMin.toStdString(), dialog.m_bAutoScaling);
    m_fYMax = result.m_fYMax;
    m_fYMin = result.m_fYMin;
    m_bAutoScale = result.m_bAutoScale;
    if (result.m_szStatus != nullptr) {
        SetStatusText("%s", result.m_szStatus);
    }
    Repaint();
}

void CKovraPlotterView::OnChannelSetup() {
    CChannelSetupDlg dialog(this);
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        const auto k = static_cast<std::size_t>(i);
        dialog.m_nColor[k] = g_pPlotData->GetColor(i);
        dialog.m_nPointType[k] = g_pPlotData->GetPointType(i);
        dialog.m_bInterpolate[k] = g_pPlotData->GetInterpolate(i);
        dialog.m_bSoundEnabled[k] = g_pPlotData->GetSoundEnabled(i);
        dialog.m_fBeepLimitMax[k] = g_pPlotData->GetBeepLimitMax(i);
        dialog.m_fBeepLimitMin[k] = g_pPlotData->GetBeepLimitMin(i);
        dialog.m_bMarkMinMax[k] = g_pPlotData->GetMarkMinMax(i);
    }
    if (UserDialogs().Run(dialog) == QDialog::Accepted) {
        for (int i = 0; i < CPlotData::kChannelCount; ++i) {
            const auto k = static_cast<std::size_t>(i);
            g_pPlotData->SetColor(i, dialog.m_nColor[k]);
            g_pPlotData->SetPointType(i, dialog.m_nPointType[k]);
            g_pPlotData->SetInterpolate(i, dialog.m_bInterpolate[k]);
            g_pPlotData->SetSoundEnabled(i, dialog.m_bSoundEnabled[k]);
            g_pPlotData->SetBeepLimitMax(i, dialog.m_fBeepLimitMax[k]);
            g_pPlotData->SetBeepLimitMin(i, dialog.m_fBeepLimitMin[k]);
            g_pPlotData->SetMarkMinMax(i, dialog.m_bMarkMinMax[k]);
        }
    }
    Repaint();
}

void CKovraPlotterView::OnAppExit() {
    if (!UserDialogs().Confirm(this, QStringLiteral("Close Kovra?"))) {
        return;
    }
    DestroyWindow();
    emit ExitRequested(0);
}

void CKovraPlotterView::SetStatusText(const char* szFormat, ...) {
    char szText[256];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(szText, sizeof szText, szFormat, args);
    va_end(args);
    if (CMainFrame* pFrame = Frame()) {
        pFrame->SetMessageText(QString::fromUtf8(szText));
    }
}

void CKovraPlotterView::keyPressEvent(QKeyEvent* pEvent) {
    // Keys with Alt belong to the menus; Shift and Ctrl make no difference.
    if ((pEvent->modifiers() & Qt::AltModifier) == 0) {
        switch (pEvent->key()) {
        case Qt::Key_Backspace:
            Repaint();
            GenerateTestSet();
            break;
        case Qt::Key_Right:
            ScrollBy(ScrollAction::OneNewer);
            break;
        case Qt::Key_Left:
            ScrollBy(ScrollAction::OneOlder);
            break;
        case Qt::Key_PageUp:
            ScrollBy(ScrollAction::PageNewer);
            break;
        case Qt::Key_PageDown:
            ScrollBy(ScrollAction::PageOlder);
            break;
        case Qt::Key_End:
            ScrollBy(ScrollAction::Newest);
            break;
        case Qt::Key_Home:
            ScrollBy(ScrollAction::Oldest);
            break;
        case Qt::Key_F2:
            if (m_bConnected) {
                SetStatusText("Already Connected..");
            } else {
                OnConnectionConnect();
            }
            break;
        case Qt::Key_F3:
            if (m_bConnected) {
                OnConnectionDisconnect();
            } else {
                SetStatusText("Not Connected..");
            }
            break;
        case Qt::Key_F5:
            OnTogglePlot();
            SetStatusText("%s", m_bCollecting ? "Plot ON (collecting)"
                                : g_pPlotData->IsMemoryFull()
                                    ? CMemoryShortage::kStoreFullText
                                    : "Plot OFF (not collecting new data)");
            break;
        case Qt::Key_F8:
            OnKeyQuickCsv();
            break;
        case Qt::Key_F9:
            OnKeyScreenshot();
            break;
        case Qt::Key_F12:
            ResetData();
            Repaint();
            break;
        default:
            break;
        }
    }
    // Not consumed: the key goes on to the normal handling.
    pEvent->ignore();
}

bool CKovraPlotterView::OnCmdMsg(int nId) {
    if (nId >= ID_CHANNEL_TOGGLE1 && nId <= ID_CHANNEL_TOGGLE10) {
        OnChannelToggle(nId - ID_CHANNEL_TOGGLE1);
        return true;
    }
    switch (nId) {
    case ID_FILE_NEW:
        OnFileNew();
        return true;
    case ID_APP_EXIT:
        OnAppExit();
        return true;
    case ID_CONNECTION_PORTSETUP:
        OnConnectionPortSetup();
        return true;
    case ID_CONNECTION_CONNECT:
        OnConnectionConnect();
        return true;
    case ID_CONNECTION_DISCONNECT:
        OnConnectionDisconnect();
        return true;
    case ID_OTHER_TOGGLEPLOT:
        OnTogglePlot();
        return true;
    case ID_FILE_PRINT:
        OnFilePrint();
        return true;
    case ID_PLOT_XAXIS:
        OnPlotXAxis();
        return true;
    case ID_FILE_SAVE:
        OnFileSave();
        return true;
    case ID_FILE_OPEN:
        m_pOpener->Open();
        return true;
    case ID_FILE_RECORD:
        m_pRecording->OnRecord();
        return true;
    case ID_FILE_STOPRECORDING:
        m_pRecording->OnStopRecording();
        return true;
    case ID_OTHER_QUICKCSV:
        OnQuickCsv();
        return true;
    case ID_EDIT_COPY:
        OnCopyView();
        return true;
    case ID_PLOT_YAXIS:
        OnPlotYAxis();
        return true;
    case ID_PLOT_CHANNELSETUP:
        OnChannelSetup();
        return true;
    case ID_FILE_PRINT_PREVIEW:
        OnFilePrintPreview();
        return true;
    case ID_PLOT_FITY:
        OnFitYRange();
        return true;
    case ID_PLOT_KEEPCOLLECTING:
        OnKeepCollectingWhenScrolled();
        return true;
    default:
        return false;
    }
}

bool CKovraPlotterView::OnUpdateCmdUI(CCmdUI& cmdUI) const {
    const int nId = cmdUI.m_nID;
    if (nId >= ID_CHANNEL_TOGGLE1 && nId <= ID_CHANNEL_TOGGLE10) {
        cmdUI.Enable();
        return true;
    }
    switch (nId) {
    case ID_FILE_NEW:
    case ID_APP_EXIT:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
    case ID_PLOT_XAXIS:
    case ID_PLOT_YAXIS:
    case ID_PLOT_CHANNELSETUP:
    case ID_FILE_OPEN:
    case ID_FILE_SAVE:
    case ID_OTHER_QUICKCSV:
    case ID_EDIT_COPY:
        cmdUI.Enable();
        return true;
    case ID_CONNECTION_PORTSETUP:
    case ID_CONNECTION_CONNECT:
        cmdUI.Enable(!m_bConnected);
        return true;
    case ID_CONNECTION_DISCONNECT:
        cmdUI.Enable(m_bConnected);
        return true;
    case ID_FILE_RECORD:
        cmdUI.Enable();
        cmdUI.SetCheck(m_pRecording->Recording());
        return true;
    case ID_FILE_STOPRECORDING:
        cmdUI.Enable(m_pRecording->Recording());
        return true;
    case ID_OTHER_TOGGLEPLOT:
        cmdUI.Enable();
        cmdUI.SetCheck(m_bCollecting);
        return true;
    case ID_PLOT_FITY:
        cmdUI.Enable();
        return true;
    case ID_PLOT_KEEPCOLLECTING:
        cmdUI.Enable();
        cmdUI.SetCheck(m_bKeepCollectingWhenScrolled);
        return true;
    default:
        return false;
    }
}
