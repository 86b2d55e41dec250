#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

struct SRecordingOptions {
    std::chrono::milliseconds m_writeDelay{50};
    std::chrono::milliseconds m_syncInterval{5000};
    std::size_t m_nMaxPending = 1'000'000;
};

// Appends every set handed to it to a CSV log, on a thread of its own: the caller only hands
// over completed sets and never waits for the disk.
//
// The file: a header line "time_s,ch1,ch2,..." naming as many channels as the widest set so
// far, then one line per set: the time the set completed, in seconds since the recording began
// with three decimals, and its values, each in the shortest form that reads back as the same
// float ("1.5", "-0", "inf", "1e+20"). An empty set is a line with the time alone. LF line
// ends, '.' as the decimal point whatever the locale. A set wider than every earlier one
// widens the header; the lines before it keep their columns. The header is written with the
// first set, so a recording without sets is an empty file.
//
// Durability: a set is written to the file within the write delay of its hand-over (50 ms by
// default), so a killed program loses at most that much; written data is flushed to the disk
// (fdatasync) at least every sync interval (5 s) and when the recording stops, so a power cut
// loses at most that much.
//
// A write that fails (disk full, device gone) ends the recording: the file keeps every whole
// line written until then (a line cut short by the failure is taken off again), sets handed
// over later are dropped, and fnFailed runs on the writer's thread so that its owner can say
// so. The same happens when the disk falls so far behind that more than m_nMaxPending sets
// wait (ENOBUFS), so that a stalled disk cannot take all memory.
class CRecordingWriter {
public:
    static constexpr int kMaxValues = 10;

    CRecordingWriter() = default;
    // Stops as Stop does.
    ~CRecordingWriter();
    CRecordingWriter(const CRecordingWriter&) = delete;
    CRecordingWriter& operator=(const CRecordingWriter&) = delete;

    // Creates strPath, or empties the file of that name (the caller has asked the user), and
    // starts the writer's thread. False, with Error() set, when the file cannot be opened or
    // is write-protected (EACCES, as for an export).
    bool Start(const std::string& strPath, std::function<void()> fnFailed = {},
               const SRecordingOptions& options = SRecordingOptions());
    // Hands over one completed set, nMs milliseconds after the recording began; values beyond
    // the tenth are not recorded.
    void AddSet(std::int64_t nMs, std::span<const float> values);
    // Writes what is still pending, flushes it to the disk and closes the file. True when
    // every set handed over reached the file. Does nothing when not recording.
    bool Stop();

    bool Recording() const { return m_thread.joinable(); }
    // The writer has stopped on a failure; Error() says why.
    bool Failed() const;
    int Error() const;
    const std::string& Path() const { return m_strPath; }

private:
    struct SSet {
        std::int64_t m_nMs = 0;
        int m_nCount = 0;
        std::array<float, kMaxValues> m_v{};
    };

    void Run();
    bool WriteSets(const std::vector<SSet>& vSets);
    bool WriteText(const char* p, std::size_t n);
    bool Widen(int nWidth);
    bool Sync();
    void FailLocked(int nErrno);

    std::string m_strPath;
    SRecordingOptions m_options;
    std::function<void()> m_fnFailed;

    // Shared with the writer's thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<SSet> m_vPending;
    std::chrono::steady_clock::time_point m_firstPending;
    bool m_bStop = false;
    bool m_bFailed = false;
    int m_nErrno = 0;

    // The writer's thread only.
    int m_hFile = -1;
    int m_nHeaderWidth = -1; // no header yet
    std::uint64_t m_nHeaderBytes = 0;
    std::uint64_t m_nFileSize = 0;
    bool m_bUnsynced = false;
    std::chrono::steady_clock::time_point m_lastSync;
    std::string m_strText;

    std::thread m_thread;
};
