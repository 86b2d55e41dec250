#pragma once

#include "NotifyTarget.h"
#include "commands/CmdUI.h"
#include "session/MemoryShortage.h"
#include "view/DirectCanvas.h"

#include "PaintReplay.h"
#include "PlotGeometry.h"
#include "SeriesSummary.h"
#include "SetEndHint.h"
#include "SetSizeLog.h"

#include <QAbstractScrollArea>
#include <QImage>

#include <array>
#include <span>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDrawContext;
struct CCsvSnapshot;
class CFileOpener;
class CFramePacer;
class CPlotScrollBar;
struct CExportResult;
class CJobProgress;
class CJobRunner;
class CRecordingControl;
class CPlotData;
class QPrinter;
struct CScrollResult;
enum class ScrollAction;
class CSerialWnd;
class CMainFrame;

extern CPlotData* g_pPlotData;
extern CSerialWnd* g_pSerial;
extern std::FILE* g_pDebugLog;
extern float g_fTestPhase1;
extern float g_fTestPhase2;
extern int g_nLastTrackPos;

// The plot view: owns the acquisition objects, the port settings and every plot setting,
// and handles the program's commands. Serial notifications reach it as posted events.
class CKovraPlotterView : public QAbstractScrollArea, public CNotifyTarget {
    Q_OBJECT

public:
    explicit CKovraPlotterView(QWidget* pParent = nullptr);
    ~CKovraPlotterView() override;

    void OnInitialUpdate();
    // The teardown: port closed (listener joined), log closed, store freed. Runs once,
    // whichever way the program ends.
    void DestroyWindow();

    // Command routing: true when the view handles the command.
    bool OnCmdMsg(int nId);
    bool OnUpdateCmdUI(CCmdUI& cmdUI) const;

    // Called on the listener thread; the message reaches OnSerialMsg on this thread.
    void Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept override;
    LRESULT OnSerialMsg(WPARAM wParam, LPARAM lParam);

    void OnTogglePlot();
    void OnFileNew();
    void ResetData();
    void GenerateTestSet();
    void OnConnectionPortSetup();
    void OnConnectionConnect();
    void OnConnectionDisconnect();
    // Connects with the chosen settings; on failure the reason is kept for the status text.
    bool OpenSerialPort();
    bool CloseSerialPort();
    // Whether a line end also ends a set, here and in the store.
    void SetEndSetsAtLineEnd(bool bEndSetsAtLineEnd);
    // What Connect uses: the speed in bits per second, and the port name (null when the
    // index names none).
    DWORD SelectedSpeedBps() const;
    const char* SelectedPortName() const;
    void OnChannelToggle(int nChannel);
    void OnFileSave();
    void OnQuickCsv();
    void OnCopyView();
    // The quick export and the screenshot to a new time-stamped file, written before they
    // return; false on failure. The name tried is returned either way.
    bool QuickCsv(std::string* pstrName);
    bool SaveViewAsBmp(std::string* pstrName);
    // F8 and F9: the same, with their status texts.
    void OnKeyQuickCsv();
    void OnKeyScreenshot();
    void OnPlotXAxis();
    void OnPlotYAxis();
    void OnChannelSetup();
    // Y Max and Y Min once to the values in view, with a margin.
    void OnFitYRange();
    void OnKeepCollectingWhenScrolled();
    void OnAppExit();

    // How the paint puts its layers on the picture: the fast way, or every layer in order and
    // every sample one by one, the reference the fast way is held to.
    enum class EDrawOrder { kLayered, kOneByOne };
    // The paint: the whole plot into the picture, as large as the client area.
    void OnDraw(QImage& picture, EDrawOrder eOrder = EDrawOrder::kLayered);
    QImage RenderPicture();
    // The picture on screen now, as the last paint left it (drawn without any side effect
    // when there was none yet).
    QImage ShownPicture();
    // Paints of the view so far, and what paces those that new data asks for.
    int PaintCount() const { return m_nPaints; }
    const CDirectCanvas& Canvas() const { return m_canvas; }
    CFramePacer& Pacer() const { return *m_pPacer; }
    void UpdateScrollBar();
    // "N values in M channels", as the plot shows it.
    QString CaptionText() const;
    void OnHScroll(int nAction);
    void ScrollBy(ScrollAction eAction);
    void OnFilePrint();
    void OnFilePrintPreview();
    void PrintPicture(QPrinter& printer);
    static void PrintImage(QPrinter& printer, const QImage& picture);
    // The printer that Print, Print Preview and Print Setup share.
    static QPrinter& Printer();

    // Long work off this thread: exports, loading a file.
    CJobRunner& Jobs() const { return *m_pJobs; }
    // Record to file.
    CRecordingControl& Recording() const { return *m_pRecording; }

    // printf-style; at most 255 characters reach the status bar.
    void SetStatusText(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));

    // Port settings (list indexes) and connection.
    int m_nPort = 0;
    int m_nSpeed = 1;
    // A speed typed in Port Setup that its list does not have (with m_nSpeed -1), in bits per
    // second; 0 when the list's speed applies.
    int m_nTypedSpeed = 0;
    int m_nStopBits = 0;
    int m_nParity = 0;
    bool m_bConnected = false;
    // Sets end at '#' only (the default) or also at a line end.
    bool m_bEndSetsAtLineEnd = false;
    // Acquisition and plot settings.
    bool m_bCollecting = true;
    float m_fPointsPerDiv = 5.0f;
    bool m_bDoublePpdAtMax = false;
    int m_nScrollBack = 0;
    float m_fYMax = 2.5f;
    float m_fYMin = -2.5f;
    bool m_bAutoScale = false;
    float m_fAutoMax = 0.0f;
    float m_fAutoMin = 0.0f;
    // Scrolling back leaves collection on; the window holds still on its samples.
    bool m_bKeepCollectingWhenScrolled = false;

signals:
    // The program should end with this status (Exit, or the window closed).
    void ExitRequested(int nStatus);
    // The connection or collection state changed: menu items may change.
    void CommandStateChanged();
    // The teardown is about to run: the last moment the acquisition objects can be read.
    void TearingDown();

protected:
    bool event(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    bool PostMessageEvent(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept;
    CMainFrame* Frame() const;
    void Repaint();
    // Applies what the paints skipped since the last one would have decided (see
    // ReplaySkippedPaints); bIncludingLast before the state they depend on changes.
    void CatchUpSkippedPaints(bool bIncludingLast);
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    // The channels with their summaries brought up to date.
    std::array<CReplayChannel, 10> SummarisedChannels();
    void OnDeviceGone();
    // Reads at most about nMaxBytes, and leaves the rest to a notification posted to itself.
    bool ReadAndInterpret(bool bReportErrors, std::size_t nMaxBytes);
    void CheckStoreMemory();

    // What the paint decided for one shown channel.
    struct SChannelLayer {
        std::vector<CPixel> m_vPixels;
        std::array<int, CPlotGeometry::kDivisions + 1> m_nXLabels{};
        int m_nPointType = 0;
        bool m_bLines = false;
        QRgb m_nColour = 0;
        bool m_bMinMax = false;
        int m_nMinY = 0;
        int m_nMaxY = 0;
    };
    void DrawGrid(CDrawContext& dc, const CPlotGeometry& geometry);
    void DrawXLabels(CDrawContext& dc, const CPlotGeometry& geometry, const SChannelLayer& layer);
    void DrawLayers(CDrawContext& dc, const CPlotGeometry& geometry,
                    std::span<const SChannelLayer> layers, EDrawOrder eOrder);
    int FirstChannelCount() const;
    void ApplyScroll(const CScrollResult& result);
    bool ReportCsvResult(const CExportResult& result);
    using CsvWriter = std::function<CExportResult(const CCsvSnapshot&, CJobProgress&)>;
    // Writes what the store holds now, off this thread; fnReport gets the result here.
    void StartCsvExport(const std::string& strName, CsvWriter fnWrite,
                        std::function<void(const CExportResult&)> fnReport);
    // Quick CSV export; from the F8 key with its status texts.
    void StartQuickCsv(bool bKey);

    CJobRunner* m_pJobs;
    std::unique_ptr<CFileOpener> m_pOpener;
    CRecordingControl* m_pRecording;
    std::string m_strConnectFailure;
    // The last paint's picture, unless it went straight to the window (m_canvas).
    QImage m_picture;
    CDirectCanvas m_canvas;
    CFramePacer* m_pPacer = nullptr;
    // A read left the rest of a flood to a notification posted to ourselves, not yet handled.
    bool m_bFollowUpPending = false;
    CPlotScrollBar* m_pScrollBar = nullptr;
    CSetSizeLog m_setLog;
    std::array<CSeriesSummary, 10> m_vSummaries;
    int m_nPaints = 0;
    bool m_bCapturing = false;
    std::vector<SChannelLayer> m_vLayers;
    CSetEndHint m_setEndHint;
    CMemoryShortage m_memoryShortage;
    bool m_bInitialized = false;
    bool m_bDestroyed = false;
};
