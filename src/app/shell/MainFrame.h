#pragma once

#include <QHash>
#include <QMainWindow>

class CKovraPlotterView;
class CStatusPane;
class QAction;
class QLabel;

// The main window: menu bar, accelerators, status bar, and the view as its client.
// Commands go to the view first, then to the application.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    explicit CMainFrame(QWidget* pParent = nullptr);

    CKovraPlotterView* View() const { return m_pView; }
    QAction* Action(int nId) const { return m_actions.value(nId); }
    // The permanent pane: connection, collection and recording at a glance.
    CStatusPane* StatusPane() const { return m_pStatusPane; }

    void SetMessageText(const QString& strText);
    QString MessageText() const;
    // Re-evaluates which commands are enabled and checked.
    void UpdateCommandUI();
    void RouteCommand(int nId);
    void UpdateLockIndicators();

signals:
    // A command the application object handles (About, Print Setup).
    void AppCommand(int nId);
    // A command has been carried out (whoever handled it).
    void CommandRouted(int nId);

protected:
    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QAction* CommandAction(int nId);
    void BuildMenus();
    void BuildAccelerators();
    void BuildStatusBar();
    void OnMessageChanged(const QString& strMessage);
    void UpdateStatusPane();
    void UpdateRecordingPane();

    CKovraPlotterView* m_pView;
    QHash<int, QAction*> m_actions;
    CStatusPane* m_pStatusPane = nullptr;
    QLabel* m_pCapsIndicator = nullptr;
    QLabel* m_pNumIndicator = nullptr;
    QLabel* m_pScrollIndicator = nullptr;
    // The values under the mouse are shown: the text they stand in front of.
    bool m_bTransient = false;
    QString m_strBeforeTransient;
};
