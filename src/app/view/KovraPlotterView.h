#pragma once

#include "commands/CommandMap.h"
#include "dialogs/StatusSink.h"
#include "view/PlotPainter.h"

#include <QAbstractScrollArea>

#include <cstdint>
#include <memory>
#include <vector>

class CAcquisitionSession;
class CFileCommands;
class CInstrument;
class CLegendOverlay;
class CPictureCommands;
class CPlotCommands;
class CPlotNavigator;
class CPlotScreen;
class CSendBar;

// The plot view: the window the plot is drawn in, and the front through which the program's
// commands, keys and mouse reach their owners: the acquisition session (port, reading,
// collection, recording), the painter and the screen (the picture and what the window shows),
// navigation (scrolling), the plot commands, the file and picture commands, and the
// instrument (the values under the mouse, cursors, zoom, trigger, statistics and set times).
// It holds no state of its own beyond them.
class CKovraPlotterView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CKovraPlotterView(QWidget* pParent = nullptr);
    ~CKovraPlotterView() override;

    // The acquisition objects and every setting at its start value; only the first call counts.
    void OnInitialUpdate();
    // The teardown: exports stopped, the session torn down (port closed, store freed). Runs
    // once, whichever way the program ends.
    void DestroyWindow();

    // Command routing: true when an owner of the view handles the command.
    bool OnCmdMsg(int nId) { return m_commands.Execute(nId); }
    bool OnUpdateCmdUI(CCmdUI& cmdUI) const { return m_commands.Update(cmdUI); }

    // Where the commands' results go.
    CStatusSink& Status() const { return *m_pStatus; }
    CAcquisitionSession& Session() const { return *m_pSession; }
    CPlotPainter& Painter() const { return *m_pPainter; }
    SPlotSettings& Plot() const { return m_pPainter->Settings(); }
    CPlotScreen& Screen() const { return *m_pScreen; }
    CPlotNavigator& Navigator() const { return *m_pNavigator; }
    CPlotCommands& PlotCommands() const { return *m_pPlotCommands; }
    CFileCommands& Files() const { return *m_pFiles; }
    CPictureCommands& Pictures() const { return *m_pPictures; }
    // A widget of its own, which the frame places.
    CSendBar& SendBar() const { return *m_pSendBar; }
    CInstrument& Instrument() const { return *m_pInstrument; }
    CLegendOverlay& Legend() const { return *m_pLegend; }

    // The paint: the whole plot into the picture.
    void OnDraw(QImage& picture,
                CPlotPainter::EDrawOrder eOrder = CPlotPainter::EDrawOrder::kLayered) {
        m_pPainter->Draw(picture, eOrder);
    }
    void ResetData();
    void GenerateTestSet();
    void OnFileNew();
    void OnAppExit();

signals:
    // The program should end with this status (Exit, or the window closed).
    void ExitRequested(int nStatus);
    // The connection or collection state changed: menu items may change.
    void CommandStateChanged();
    // The teardown is about to run: the last moment the acquisition objects can be read.
    void TearingDown();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    bool viewportEvent(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // An opened file's values took the store's place.
    void ShowLoadedData(const std::vector<std::uint32_t>& vTimesMs);

    CStatusSink* m_pStatus;
    std::unique_ptr<CPlotPainter> m_pPainter;
    CAcquisitionSession* m_pSession;
    std::unique_ptr<CPlotScreen> m_pScreen;
    std::unique_ptr<CPlotNavigator> m_pNavigator;
    std::unique_ptr<CPlotCommands> m_pPlotCommands;
    std::unique_ptr<CFileCommands> m_pFiles;
    std::unique_ptr<CPictureCommands> m_pPictures;
    CSendBar* m_pSendBar;
    std::unique_ptr<CInstrument> m_pInstrument;
    std::unique_ptr<CLegendOverlay> m_pLegend;
    CCommandMap m_commands;
    bool m_bClosing = false;
};
