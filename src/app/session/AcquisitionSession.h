#pragma once

#include "session/MemoryShortage.h"
#include "session/ReadReport.h"

#include "BasicTypes.h"
#include "BoardFormat.h"
#include "NotifyTarget.h"
#include "PortConnection.h"
#include "SetEndHint.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class CCommandMap;
class CPlotData;
class CReconnector;
class CRecordingControl;
class CSerialWnd;
class CSetSizeLog;
class CStatusSink;
class QWidget;

// The program's one store and one port, which the session creates and frees.
extern CPlotData* g_pPlotData;
extern CSerialWnd* g_pSerial;
extern std::FILE* g_pDebugLog;
extern float g_fTestPhase1;
extern float g_fTestPhase2;

// The acquisition session: the store and the port with their lifetime, Port Setup's choices,
// connecting and disconnecting, the reading of the port's notifications into the store and
// the recording, collection on and off, and what the program says when memory runs short, no
// set ends, or the reader drops values or skips lines. The port's notifications are posted to
// this object. With the reconnect on, a board that goes away is waited for (CReconnector) and
// connected again when it returns.
class CAcquisitionSession : public QObject, public CNotifyTarget {
    Q_OBJECT

public:
    // window parents the dialogs and message boxes; status takes the results.
    CAcquisitionSession(QWidget& window, CStatusSink& status);
    ~CAcquisitionSession() override;

    // The acquisition objects with their start values; only the first call counts. The store
    // tells pSetLog the size of every set it completes.
    void Initialize(CSetSizeLog* pSetLog);
    // The port closed (its listener joined), the recording ended, the log closed, the store
    // freed. Runs once, whichever way the program ends.
    void Teardown();
    bool Initialized() const { return m_bInitialized && !m_bTornDown; }

    void RegisterCommands(CCommandMap& commands);

    // Called on the listener thread; the message reaches OnSerialMsg on this object's thread.
    void Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept override;
    LRESULT OnSerialMsg(WPARAM wParam, LPARAM lParam);

    void OnConnectionPortSetup();
    void OnConnectionConnect();
    // Disconnect ends the waiting for a board that went away too.
    void OnConnectionDisconnect();
    void OnToggleReconnect();
    // Connects with the chosen settings; on failure the reason is kept for the status text.
    bool OpenSerialPort();
    bool CloseSerialPort();
    // What the board sends, here, in the store and in the recording.
    void SetBoardFormat(EBoardFormat eFormat);
    // What Connect uses: the speed in bits per second, and the port name (null when the
    // index names none).
    DWORD SelectedSpeedBps() const;
    const char* SelectedPortName() const;

    // Whether a board that goes away is waited for, and the device waited for now ("" when
    // none).
    bool ReconnectOn() const { return m_bReconnect || m_bReconnectThisRun; }
    bool Waiting() const;
    std::string WaitingFor() const;
    // The connection made last (its number, device and identity).
    const SConnection& Connection() const { return m_connection; }

    // F2, F3 and F5, with their status texts.
    void OnKeyConnect();
    void OnKeyDisconnect();
    void OnKeyTogglePlot();
    void OnTogglePlot();
    // Scrolling back stops collection.
    void StopCollecting();
    // The store's part of clearing the data: emptied, and collecting again if it was full.
    void ClearStore();
    // Feeds one synthetic set through the interpreter, as the Backspace key does.
    void GenerateTestSet();

    // Record to file.
    CRecordingControl& Recording() const { return *m_pRecording; }

    // Notifications of the port that told of line errors (framing, parity, overrun, break),
    // since the program started.
    std::uint64_t LineErrors() const { return m_nLineErrors; }

    // Port settings (list positions) and connection.
    int m_nPort = 0;
    int m_nSpeed = 1;
    // A speed typed in Port Setup that its list does not have (with m_nSpeed -1), in bits per
    // second; 0 when the list's speed applies.
    int m_nTypedSpeed = 0;
    int m_nStopBits = 0;
    int m_nParity = 0;
    bool m_bConnected = false;
    // Sets ended by '#' (the default) or one set per line.
    EBoardFormat m_eBoardFormat = EBoardFormat::kHashSets;
    bool m_bCollecting = true;
    // Reconnect When the Board Returns: as remembered, and as the command line turns it on for
    // one run.
    bool m_bReconnect = false;
    bool m_bReconnectThisRun = false;

signals:
    // Connection, collection or recording changed: menu items may change.
    void StateChanged();
    // nBytes were read from the port (at each read, also when they complete no set).
    void BytesRead(std::uint64_t nBytes);
    // Sets were completed; the first channel has nNewSamples more.
    void SetsCompleted(int nNewSamples);
    // The user chose the port's settings in Port Setup.
    void PortChosen();

protected:
    bool event(QEvent* pEvent) override;

private:
    bool PostMessageEvent(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept;
    void OnDeviceGone();
    // What follows any port opened: a fresh start for what was half received, waiting ended.
    void OnPortOpened();
    bool ReconnectTo(const std::string& strPath);
    CPortSelection Selection() const;
    // Reads at most about nMaxBytes, and leaves the rest to a notification posted to itself.
    bool ReadAndInterpret(bool bReportErrors, std::size_t nMaxBytes);
    void CheckStoreMemory();
    int FirstChannelCount() const;

    QWidget& m_window;
    CStatusSink& m_status;
    CRecordingControl* m_pRecording;
    CReconnector* m_pReconnector;
    SConnection m_connection;
    std::string m_strConnectFailure;
    // A read left the rest of a flood to a notification posted to ourselves, not yet handled.
    bool m_bFollowUpPending = false;
    CSetEndHint m_setEndHint;
    CReadReport m_readReport;
    CMemoryShortage m_memoryShortage;
    bool m_bInitialized = false;
    bool m_bTornDown = false;
    std::uint64_t m_nLineErrors = 0;
};
