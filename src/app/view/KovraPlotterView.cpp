#include "view/KovraPlotterView.h"

#include "commands/CommandIds.h"
#include "dialogs/UserDialogs.h"
#include "files/FileCommands.h"
#include "files/JobRunner.h"
#include "files/PictureCommands.h"
#include "link/SendBar.h"
#include "measure/Instrument.h"
#include "session/AcquisitionSession.h"
#include "session/RecordingControl.h"
#include "view/PlotCommands.h"
#include "view/PlotNavigator.h"
#include "view/PlotScreen.h"
#include "view/overlays/LegendOverlay.h"

#include "PlotScroll.h"
#include "SerialWnd.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>

#include <utility>

namespace {

constexpr std::pair<int, ScrollAction> kScrollKeys[] = {
    {Qt::Key_Right, ScrollAction::OneNewer},   {Qt::Key_Left, ScrollAction::OneOlder},
    {Qt::Key_PageUp, ScrollAction::PageNewer}, {Qt::Key_PageDown, ScrollAction::PageOlder},
    {Qt::Key_End, ScrollAction::Newest},       {Qt::Key_Home, ScrollAction::Oldest},
};

} // namespace

CKovraPlotterView::CKovraPlotterView(QWidget* pParent)
    : QAbstractScrollArea(pParent), m_pStatus(new CStatusSink(this)),
      m_pPainter(std::make_unique<CPlotPainter>([this] { m_pNavigator->UpdateScrollBar(); })),
      m_pSession(new CAcquisitionSession(*this, *m_pStatus)),
      m_pScreen(std::make_unique<CPlotScreen>(*this, *m_pPainter, *m_pStatus)),
      m_pNavigator(std::make_unique<CPlotNavigator>(
          *this, *m_pPainter, [this] { m_pSession->StopCollecting(); },
          [this] { m_pScreen->Repaint(); })),
      m_pPlotCommands(std::make_unique<CPlotCommands>(
          *this, *m_pStatus, *m_pPainter, [this] { m_pScreen->Repaint(); },
          [this] { emit CommandStateChanged(); })),
      m_pFiles(std::make_unique<CFileCommands>(
          *this, *m_pStatus, [this] { ResetData(); },
          [this](const std::vector<std::uint32_t>& vTimesMs) { ShowLoadedData(vTimesMs); },
          [this](const std::string& strPath) {
              return m_pSession->Recording().IsRecordingFile(strPath);
          })),
      m_pPictures(std::make_unique<CPictureCommands>(*this, *m_pStatus, *m_pScreen)),
      m_pSendBar(new CSendBar(
          *m_pStatus,
          [this]() -> CSerialBase* { return m_pSession->m_bConnected ? g_pSerial : nullptr; },
          this)),
      m_pInstrument(std::make_unique<CInstrument>(*this, *m_pPainter, *m_pScreen, *m_pStatus,
                                                  *m_pSession,
                                                  [this] { m_pSession->StopCollecting(); })),
      m_pLegend(std::make_unique<CLegendOverlay>(*m_pPainter, *m_pStatus,
                                                 [this] { m_pScreen->Repaint(); })) {
    m_pSession->setParent(this);
    connect(m_pSession, &CAcquisitionSession::StateChanged, this,
            &CKovraPlotterView::CommandStateChanged);
    connect(m_pSession, &CAcquisitionSession::SetsCompleted, this, [this](int nNewSamples) {
        m_pPainter->OnSetsCompleted(nNewSamples);
        m_pInstrument->OnSetsCompleted(nNewSamples);
        m_pLegend->OnNamesMaybeArrived();
        m_pScreen->RequestPaint();
    });
    m_pPlotCommands->m_fnNamesChanged = [this] { m_pSession->Recording().UpdateNames(); };
    m_pNavigator->SetScrolledHandler([this] { m_pInstrument->OnScrolled(); });
    m_commands.Add(ID_FILE_NEW, [this] { OnFileNew(); });
    m_commands.Add(ID_APP_EXIT, [this] { OnAppExit(); });
    m_pSession->RegisterCommands(m_commands);
    m_pPlotCommands->RegisterCommands(m_commands);
    m_pFiles->RegisterCommands(m_commands);
    m_pPictures->RegisterCommands(m_commands);
    m_pSendBar->RegisterCommands(m_commands);
    m_pInstrument->RegisterCommands(m_commands);
    m_pLegend->RegisterCommands(m_commands);

    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The paint covers every pixel itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    // The wheel over the bar scrolls as it does over the plot (eventFilter). The scroll area
    // watches its bars anyway; this says so.
    horizontalScrollBar()->installEventFilter(this);
}

CKovraPlotterView::~CKovraPlotterView() {
    DestroyWindow();
}

void CKovraPlotterView::OnInitialUpdate() {
    if (!m_pSession->Initialized()) {
        Plot() = SPlotSettings();
    }
    m_pSession->Initialize(&m_pPainter->SetLog());
}

void CKovraPlotterView::DestroyWindow() {
    if (!m_pSession->Initialized() || m_bClosing) {
        return;
    }
    m_bClosing = true;
    // An export the user asked for is written first (the progress dialog's Cancel is theirs);
    // a file being loaded is let go.
    m_pFiles->Jobs().FinishBeforeClose();
    emit TearingDown();
    m_pSession->Teardown();
}

void CKovraPlotterView::ResetData() {
    m_pPainter->CatchUpSkippedPaints(true);
    m_pSession->ClearStore();
    m_pPainter->ResetAutoRange();
    m_pInstrument->OnStoreCleared();
}

void CKovraPlotterView::ShowLoadedData(const std::vector<std::uint32_t>& vTimesMs) {
    m_pInstrument->OnLoaded(vTimesMs);
    m_pSession->Recording().FollowStore();
    m_pSession->StopCollecting();
    Plot().m_nScrollBack = 0;
    m_pLegend->OnNamesMaybeArrived();
    m_pScreen->Repaint();
}

void CKovraPlotterView::GenerateTestSet() {
    // The paints skipped so far decided with the window where it was.
    m_pPainter->CatchUpSkippedPaints(true);
    m_pSession->GenerateTestSet();
    Plot().m_nScrollBack = 0;
}

void CKovraPlotterView::OnFileNew() {
    if (UserDialogs().Confirm(this,
                              QStringLiteral("Are you sure you want to teamkill all data?")) &&
        m_pSession->Initialized()) {
        ResetData();
        m_pScreen->Repaint();
    }
}

void CKovraPlotterView::OnAppExit() {
    if (!UserDialogs().Confirm(this, QStringLiteral("Close Kovra?"))) {
        return;
    }
    DestroyWindow();
    emit ExitRequested(0);
}

void CKovraPlotterView::keyPressEvent(QKeyEvent* pEvent) {
    // Keys with Alt belong to the menus; Shift and Ctrl make no difference.
    if ((pEvent->modifiers() & Qt::AltModifier) == 0) {
        for (const auto& [nKey, eAction] : kScrollKeys) {
            if (pEvent->key() == nKey) {
                m_pNavigator->ScrollBy(eAction);
            }
        }
        switch (pEvent->key()) {
        case Qt::Key_Backspace:
            m_pScreen->Repaint();
            GenerateTestSet();
            break;
        case Qt::Key_F2:
            m_pSession->OnKeyConnect();
            break;
        case Qt::Key_F3:
            m_pSession->OnKeyDisconnect();
            break;
        case Qt::Key_F5:
            m_pSession->OnKeyTogglePlot();
            break;
        case Qt::Key_F8:
            m_pFiles->OnKeyQuickCsv();
            break;
        case Qt::Key_F9:
            m_pPictures->OnKeyScreenshot();
            break;
        case Qt::Key_F12:
            ResetData();
            m_pScreen->Repaint();
            break;
        default:
            break;
        }
        m_pInstrument->OnKey(pEvent->key());
    }
    // Not consumed: the key goes on to the normal handling.
    pEvent->ignore();
}

void CKovraPlotterView::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) {
        m_pInstrument->OnPress(pEvent->position().toPoint(), pEvent->modifiers());
    }
}

void CKovraPlotterView::mouseMoveEvent(QMouseEvent* pEvent) {
    m_pInstrument->OnMove(pEvent->position().toPoint());
}

void CKovraPlotterView::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) {
        m_pInstrument->OnRelease(pEvent->position().toPoint());
    }
}

bool CKovraPlotterView::viewportEvent(QEvent* pEvent) {
    if (pEvent->type() == QEvent::Leave) {
        m_pInstrument->OnLeave();
    }
    return QAbstractScrollArea::viewportEvent(pEvent);
}

void CKovraPlotterView::paintEvent(QPaintEvent* pEvent) {
    m_pScreen->Paint(pEvent->region());
}

bool CKovraPlotterView::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == horizontalScrollBar() && pEvent->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(pEvent));
        return true;
    }
    return QAbstractScrollArea::eventFilter(pWatched, pEvent);
}

void CKovraPlotterView::wheelEvent(QWheelEvent* pEvent) {
    const QPoint delta = pEvent->angleDelta();
    m_pNavigator->OnWheel(delta.y() != 0 ? delta.y() : delta.x());
    pEvent->accept();
}

void CKovraPlotterView::showEvent(QShowEvent* pEvent) {
    if (QScreen* pScreen = screen()) {
        m_pScreen->SetRefreshRate(pScreen->refreshRate());
    }
    QAbstractScrollArea::showEvent(pEvent);
}

void CKovraPlotterView::resizeEvent(QResizeEvent* pEvent) {
    if (!window()->isMinimized()) {
        m_pNavigator->UpdateScrollBar();
    }
    QAbstractScrollArea::resizeEvent(pEvent);
}

void CKovraPlotterView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    // The paint draws the window of samples itself; nothing is moved.
}
