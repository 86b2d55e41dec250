#pragma once

#include "RecordingWriter.h"
#include "SetInterpreter.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CStatusSink;
class QTimer;
class QWidget;

// File > "Record to file..": every set received while connected goes to a CSV log as it
// arrives, whether collection is on or off, written by CRecordingWriter on its own thread.
// The sets come from an interpreter of its own, fed with every byte read from the port, so
// that it is in step with the board when a recording starts: the first set recorded is the
// first one that ends after the start.
// The header names the channels (UpdateNames).
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
    // Stop recording was asked for, and the file is not closed yet.
    bool Stopping() const { return m_bStopping; }
    // Bytes read from the port, collection on or off.
    void Feed(const char* pBytes, std::size_t nBytes);
    // A port was opened: what was half received before is dropped; sets are read as the
    // store's.
    void OnPortOpened(EBoardFormat eFormat);
    void SetBoardFormat(EBoardFormat eFormat);
    // The store began a new session (cleared, or a file opened into it): labels go to the
    // same channels in the recording as in the plot from now on.
    void FollowStore();
    // The header names each channel by the name the user typed, else by the one the board
    // gave (a label or a header line): call when the typed names may have changed.
    void UpdateNames();
    // A set completed from the bytes read while connected; its time is now. bAligned: see
    // CRecordingWriter::AddSet.
    void AddSet(std::span<const float> values, bool bAligned = false);
    std::uint64_t SetCount() const { return m_nSets; }
    // Whether strPath names the file being recorded.
    bool IsRecordingFile(const std::string& strPath) const {
        return Recording() && m_writer.IsRecordingFile(strPath);
    }
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
    void OnSets(const SSetBatch& batch) override;
    void OnChannelName(int nChannel, std::string_view strName) override;
    void OnWriterFailed();
    // Says how the recording ended, unless it ended as asked with every set in its file.
    void Report(const SRecordingEnd& end);

    QWidget& m_window;
    CStatusSink& m_status;
    CSetInterpreter m_interpreter;
    CRecordingWriter m_writer;
    QString m_strName;
    std::chrono::steady_clock::time_point m_start;
    std::uint64_t m_nSets = 0;
    // The header's names ("" for "chN").
    std::vector<std::string> m_vNames;
    bool m_bClosed = false;
    bool m_bStopping = false;
    // The count is shown a few times a second, not for every set.
    QTimer* m_pPaneTimer;
};
