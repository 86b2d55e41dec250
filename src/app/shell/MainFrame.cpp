#include "shell/MainFrame.h"

#include "commands/CommandTable.h"
#include "dialogs/StatusSink.h"
#include "link/SendBar.h"
#include "measure/Instrument.h"
#include "measure/StatisticsControl.h"
#include "measure/TriggerControl.h"
#include "session/AcquisitionSession.h"
#include "session/EventHandOver.h"
#include "session/RecordingControl.h"
#include "shell/LockKeys.h"
#include "shell/StatusPane.h"
#include "view/KovraPlotterView.h"

#include "PlotData.h"
#include "PortNames.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <utility>

namespace {

const QString kReady = QStringLiteral("Ready");

} // namespace

CMainFrame::CMainFrame(QWidget* pParent) : QMainWindow(pParent), m_pView(new CKovraPlotterView) {
    // The statistics panel beside the plot and the send bar under both; hidden, they take no
    // room.
    auto* pClient = new QWidget(this);
    auto* pColumn = new QVBoxLayout(pClient);
    pColumn->setContentsMargins(0, 0, 0, 0);
    pColumn->setSpacing(0);
    auto* pRow = new QHBoxLayout;
    pRow->setContentsMargins(0, 0, 0, 0);
    pRow->setSpacing(0);
    pRow->addWidget(m_pView, 1);
    CStatisticsControl& statistics = m_pView->Instrument().Statistics();
    pRow->addWidget(statistics.Panel());
    statistics.Panel()->setVisible(statistics.Shown());
    pColumn->addLayout(pRow, 1);
    pColumn->addWidget(&m_pView->SendBar());
    setCentralWidget(pClient);
    // The plot's keys work while one types in the send bar; Escape goes back to the plot.
    connect(&m_pView->SendBar(), &CSendBar::KeyNotTaken, this, [this](QKeyEvent* pEvent) {
        if (pEvent->key() == Qt::Key_Escape) {
            m_pView->setFocus();
        } else {
            QCoreApplication::sendEvent(m_pView, pEvent);
        }
    });
    BuildMenus();
    BuildAccelerators();
    BuildStatusBar();
    connect(m_pView, &CKovraPlotterView::CommandStateChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&m_pView->Status(), &CStatusSink::TextShown, this, [this](const QString& strText) {
        // Shown now, and what the status bar goes back to when the pointer leaves the plot.
        m_strBeforeTransient = strText;
        SetMessageText(strText);
    });
    connect(&m_pView->Status(), &CStatusSink::TransientShown, this, [this](const QString& strText) {
        if (!std::exchange(m_bTransient, true)) {
            m_strBeforeTransient = MessageText();
        }
        SetMessageText(strText);
    });
    connect(&m_pView->Status(), &CStatusSink::TransientEnded, this, [this] {
        if (std::exchange(m_bTransient, false)) {
            SetMessageText(m_strBeforeTransient);
        }
    });
    connect(&m_pView->Session().Recording(), &CRecordingControl::PaneChanged, this,
            &CMainFrame::UpdateRecordingPane);
    // Like an idle handler: menu items and their keys follow the state whenever the
    // program waits for input.
    if (auto* pDispatcher = QAbstractEventDispatcher::instance()) {
        connect(pDispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &CMainFrame::UpdateCommandUI);
    }
    qApp->installEventFilter(this);
    UpdateCommandUI();
    m_pView->setFocus();
}

QAction* CMainFrame::CommandAction(int nId) {
    if (QAction* pAction = m_actions.value(nId)) {
        return pAction;
    }
    auto* pAction = new QAction(this);
    pAction->setStatusTip(QString::fromLatin1(MenuPrompt(nId)));
    pAction->setShortcutContext(Qt::WindowShortcut);
    connect(pAction, &QAction::triggered, this, [this, nId] { RouteCommand(nId); });
    addAction(pAction);
    m_actions.insert(nId, pAction);
    return pAction;
}

void CMainFrame::BuildMenus() {
    for (const SMenuPopup& popup : MenuBar()) {
        QMenu* pMenu = menuBar()->addMenu(QString::fromLatin1(popup.szLabel));
        for (const SMenuItem& item : popup.items) {
            if (item.szLabel == nullptr) {
                pMenu->addSeparator();
                continue;
            }
            QAction* pAction = CommandAction(item.nId);
            // The text after the tab is shown as the item's shortcut text.
            QString strText = QString::fromLatin1(item.szLabel);
            if (item.szShortcutText != nullptr) {
                strText += QLatin1Char('\t') + QString::fromLatin1(item.szShortcutText);
            }
            pAction->setText(strText);
            pMenu->addAction(pAction);
        }
        // The highlighted item's prompt, also when it has none: then the pane is empty.
        connect(pMenu, &QMenu::hovered, this,
                [this](QAction* pAction) { SetMessageText(pAction->statusTip()); });
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        connect(pMenu, &QMenu::aboutToHide, this, [this] { SetMessageText(kReady); });
    }
}

void CMainFrame::BuildAccelerators() {
    QHash<int, QList<QKeySequence>> keys;
    for (const SAccelerator& accelerator : Accelerators()) {
        keys[accelerator.nId].append(QKeySequence(QString::fromLatin1(accelerator.szKeys)));
    }
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        CommandAction(it.key())->setShortcuts(it.value());
    }
    // Checkable only where an update handler sets a check mark.
    CommandAction(ID_OTHER_TOGGLEPLOT)->setCheckable(true);
    CommandAction(ID_PLOT_KEEPCOLLECTING)->setCheckable(true);
    CommandAction(ID_FILE_RECORD)->setCheckable(true);
    CommandAction(ID_CONNECTION_RECONNECT)->setCheckable(true);
    CommandAction(ID_VIEW_SENDBAR)->setCheckable(true);
    CommandAction(ID_PLOT_XAXISSECONDS)->setCheckable(true);
    CommandAction(ID_VIEW_STATISTICS)->setCheckable(true);
    CommandAction(ID_PLOT_LEGEND)->setCheckable(true);
}

void CMainFrame::BuildStatusBar() {
    auto makeIndicator = [this](const char* szText) {
        auto* pLabel = new QLabel(this);
        pLabel->setMinimumWidth(pLabel->fontMetrics().horizontalAdvance(QLatin1String(szText)) + 8);
        pLabel->setAlignment(Qt::AlignCenter);
        statusBar()->addPermanentWidget(pLabel);
        return pLabel;
    };
    m_pStatusPane = new CStatusPane(this);
    statusBar()->addPermanentWidget(m_pStatusPane);
    m_pCapsIndicator = makeIndicator("CAP");
    m_pNumIndicator = makeIndicator("NUM");
    m_pScrollIndicator = makeIndicator("SCRL");
    connect(statusBar(), &QStatusBar::messageChanged, this, &CMainFrame::OnMessageChanged);
    SetMessageText(kReady);
    UpdateLockIndicators();
}

void CMainFrame::SetMessageText(const QString& strText) {
    statusBar()->showMessage(strText);
}

QString CMainFrame::MessageText() const {
    return statusBar()->currentMessage();
}

void CMainFrame::OnMessageChanged(const QString& strMessage) {
    // An empty pane while a menu is open is a command without a prompt; otherwise it is idle.
    if (strMessage.isEmpty() && QApplication::activePopupWidget() == nullptr) {
        SetMessageText(kReady);
    }
}

void CMainFrame::UpdateLockIndicators() {
    const SLockKeys locks = ReadLockKeys();
    m_pCapsIndicator->setText(locks.m_bCaps ? QStringLiteral("CAP") : QString());
    m_pNumIndicator->setText(locks.m_bNum ? QStringLiteral("NUM") : QString());
    m_pScrollIndicator->setText(locks.m_bScroll ? QStringLiteral("SCRL") : QString());
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent) {
    AcquireFromEventQueue(pEvent);
    switch (pEvent->type()) {
    case QEvent::KeyRelease:
    case QEvent::ApplicationActivate:
        UpdateLockIndicators();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::UpdateStatusPane() {
    const CAcquisitionSession& session = m_pView->Session();
    std::string strDevice;
    const char* szPort = session.SelectedPortName();
    if (szPort != nullptr && ResolvePortName(szPort, &strDevice) != 0) {
        strDevice.clear();
    }
    m_pStatusPane->SetConnection(session.m_bConnected, szPort != nullptr ? szPort : "", strDevice,
                                 session.SelectedSpeedBps());
    m_pStatusPane->SetWaitingFor(session.WaitingFor());
    m_pStatusPane->SetCollecting(session.m_bCollecting);
    m_pStatusPane->SetMemoryFull(g_pPlotData != nullptr && g_pPlotData->IsMemoryFull());
    m_pStatusPane->SetTrigger(m_pView->Instrument().Trigger().StatusText());
}

void CMainFrame::UpdateRecordingPane() {
    const CRecordingControl& recording = m_pView->Session().Recording();
    if (recording.Recording()) {
        m_pStatusPane->SetRecording(recording.FileName().toStdString(), recording.SetCount());
    } else {
        m_pStatusPane->StopRecording();
    }
}

void CMainFrame::UpdateCommandUI() {
    // Whenever menu items may change, so may the connection and collection state.
    UpdateStatusPane();
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        CCmdUI cmdUI{it.key()};
        if (!m_pView->OnUpdateCmdUI(cmdUI)) {
            switch (it.key()) {
            case ID_APP_ABOUT:
            case ID_FILE_PRINT_SETUP:
            case ID_NEXT_PANE:
            case ID_PREV_PANE:
                cmdUI.Enable();
                break;
            default:
                break; // nobody handles it: greyed, and its keys do nothing
            }
        }
        it.value()->setEnabled(cmdUI.m_bEnabled);
        if (it.value()->isCheckable()) {
            it.value()->setChecked(cmdUI.m_bChecked);
        }
    }
}

void CMainFrame::RouteCommand(int nId) {
    if (!m_pView->OnCmdMsg(nId)) {
        switch (nId) {
        case ID_APP_ABOUT:
        case ID_FILE_PRINT_SETUP:
            emit AppCommand(nId);
            break;
        default:
            break; // the window has a single pane: pane switching shows nothing
        }
    }
    UpdateCommandUI();
    emit CommandRouted(nId);
}

bool CMainFrame::event(QEvent* pEvent) {
    // The menu bar sends an empty tip whenever the pointer crosses it, which would wipe the
    // last status text; an open menu's prompts come through QMenu::hovered instead.
    if (pEvent->type() == QEvent::StatusTip) {
        pEvent->accept();
        return true;
    }
    return QMainWindow::event(pEvent);
}

void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    // Closing the window ends the program as Exit does, minus the question.
    m_pView->DestroyWindow();
    pEvent->accept();
}
