#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

struct SRecordingOptions {
    std::chrono::milliseconds m_writeDelay{50};
    std::chrono::milliseconds m_syncInterval{5000};
    std::size_t m_nMaxPending = 1'000'000;
    // How long Stop waits for a writer that the system does not let finish (a stalled network
    // file system, a pipe nobody reads): then it gives the writer up (ETIMEDOUT) and says how
    // many sets did not reach the file.
    std::chrono::milliseconds m_stopTimeout{3000};
    // A pipe or a device is refused (ENOTSUP, EISDIR for a directory) unless this is set; then
    // it is written as a file is, and its header is never widened.
    bool m_bPipesAllowed = false;
};

// How a recording ended (or stands).
struct SRecordingEnd {
    bool m_bOk = true;            // every set handed over reached the file, which is where it was
    int m_nErrno = 0;             // why not
    bool m_bLost = false;         // the file was deleted, moved or replaced while it was recorded
    std::uint64_t m_nWritten = 0; // sets in the file
    std::uint64_t m_nLost = 0;    // sets handed over that did not reach it
};

// Appends every set handed to it to a CSV log, on a thread of its own: the caller only hands
// over completed sets and never waits for the disk.
//
// The file: a header line "time_s,ch1,ch2,..." naming as many channels as the widest set so
// far (a channel given a name by SetNames is called by it: "time_s,temp,hum"), then one line
// per set: the time the set completed, in seconds since the recording began with three
// decimals, and its values, each in the shortest form that reads back as the same float ("1.5",
// "-0", "inf", "1e+20"); a gap (NaN) is an empty cell, also the last one. An empty set is a line
// with the time alone. LF line ends, '.' as the decimal point whatever the locale. A set wider
// than every earlier one, or a name that changes the header, has the file written anew with the
// new header; the lines before keep their columns (padded with gaps after an aligned set: see
// AddSet). The header is written with the first set, so
// a recording without sets is an empty file.
//
// Durability: a set is written to the file within the write delay of its hand-over (50 ms by
// default), so a killed program loses at most that much; written data is flushed to the disk
// (fdatasync) at least every sync interval (5 s) and when the recording stops, so a power cut
// loses at most that much. Hidden temporary files that a killed program left beside a
// recording while widening its header are removed when the next recording starts there.
//
// A write that fails (disk full, device gone), a header that cannot be written anew, and a file
// that is no longer the one recorded (deleted, moved, replaced: checked at every write) end the
// recording: the file keeps every whole line written until then under a header that names them
// all (a line cut short by the failure is taken off again), sets handed over later are dropped,
// and fnFailed runs on the writer's thread so that its owner can say so. The same happens when
// the disk falls so far behind that more than m_nMaxPending sets wait (ENOBUFS), so that a
// stalled disk cannot take all memory.
class CRecordingWriter {
public:
    static constexpr int kMaxValues = 10;

    CRecordingWriter() = default;
    // Stops as Stop does.
    ~CRecordingWriter();
    CRecordingWriter(const CRecordingWriter&) = delete;
    CRecordingWriter& operator=(const CRecordingWriter&) = delete;

    // Creates strPath, or empties the file of that name (the caller has asked the user), and
    // starts the writer's thread. False, with Error() set (the system's reason), when the file
    // cannot be opened, is write-protected (EACCES, as for an export), or is not a plain file.
    bool Start(const std::string& strPath, std::function<void()> fnFailed = {},
               const SRecordingOptions& options = SRecordingOptions());
    // Hands over one completed set, nMs milliseconds after the recording began; values beyond
    // the tenth are not recorded. An aligned set covers every channel in use (SSetBatch): when
    // it widens the header, the lines before it get empty cells (gaps) up to the new width, so
    // that a channel that joined late keeps its rows.
    void AddSet(std::int64_t nMs, std::span<const float> values, bool bAligned = false);
    // The names of channels 1, 2, ... for the header ("" for none: "chN"); they may come at any
    // time, and the header follows.
    void SetNames(std::vector<std::string> vNames);
    // Writes what is still pending, flushes it to the disk and closes the file, waiting at most
    // the stop time-out. True when every set handed over reached the file. Does nothing when
    // not recording. For the end of the program.
    bool Stop();
    // The same without waiting: returns at once; fnStopped runs with the outcome on the writer's
    // thread once the file is closed (here, at once, when the writer had already ended). A later
    // Start, Stop or the destructor collects the thread.
    void StopAsync(std::function<void(const SRecordingEnd&)> fnStopped);

    // Started, and neither stopped nor asked to stop.
    bool Recording() const;
    // The writer has stopped on a failure; Error() says why, Lost() whether the file went.
    bool Failed() const;
    int Error() const;
    bool Lost() const;
    SRecordingEnd End() const;
    const std::string& Path() const { return m_strPath; }
    // Whether strPath names the file being recorded (through links too): a save onto it would
    // replace the recording.
    bool IsRecordingFile(const std::string& strPath) const;

private:
    class CCore;

    std::string m_strPath;
    std::shared_ptr<CCore> m_pCore;
    std::thread m_thread;
};
