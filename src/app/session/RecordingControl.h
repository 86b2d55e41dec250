#pragma once

#include "RecordingWriter.h"
#include "SetInterpreter.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <span>

class CStatusSink;
class QTimer;
class QWidget;

// File > "Record to file..": every set received while connected goes to a CSV log as it
// arrives, whether collection is on or off, written by CRecordingWriter on its own thread.
// The sets come from an interpreter of its own, fed with every byte read from the port, so
// that it is in step with the board when a recording starts: the first set recorded is the
// first one that ends after the start.
// The recording goes on across Disconnect and Connect, and ends with "Stop recording", with
// the program, or when the disk fails (then a message says so and where the file is;
// collection goes on). The status pane shows "REC name.csv" and the number of sets
// (PaneChanged).
class CRecordingControl : public QObject, private CSetSink {
    Q_OBJECT

public:
    // window parents the dialogs; status takes the results.
    CRecordingControl(QWidget& window, CStatusSink& status);
    ~CRecordingControl() override;

    // The save dialog (which asks before replacing a file), then recording to the file
    // chosen; a recording already running ends first.
    void OnRecord();
    void OnStopRecording();
    // Ends the recording with every set on the disk; nothing is shown.
    void Stop();
    // Stop, for good: the program is ending, and a save dialog still open starts nothing.
    void Close();

    bool Recording() const { return m_writer.Recording(); }
    // Bytes read from the port, collection on or off.
    void Feed(const char* pBytes, std::size_t nBytes);
    // A port was opened: what was half received before is dropped; sets end as the store's.
    void OnPortOpened(bool bEndSetsAtLineEnd);
    void SetEndSetsAtLineEnd(bool bEndSetsAtLineEnd);
    // A set completed from the bytes read while connected; its time is now.
    void AddSet(std::span<const float> values);
    std::uint64_t SetCount() const { return m_nSets; }
    // The file's name, without its folder.
    const QString& FileName() const { return m_strName; }

    SRecordingOptions m_options;

signals:
    // Recording started or stopped: the menu's check mark follows.
    void StateChanged();
    // The count of sets recorded or the recording's state changed, a few times a second at
    // most: the status pane follows.
    void PaneChanged();

private:
    void OnSet(const Sample* pValues, int nCount) override;
    void OnWriterFailed();
    void ReportFailure();

    QWidget& m_window;
    CStatusSink& m_status;
    CSetInterpreter m_interpreter;
    CRecordingWriter m_writer;
    QString m_strName;
    std::chrono::steady_clock::time_point m_start;
    std::uint64_t m_nSets = 0;
    bool m_bClosed = false;
    // The count is shown a few times a second, not for every set.
    QTimer* m_pPaneTimer;
};
