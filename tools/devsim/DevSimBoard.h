#pragma once

#include "BasicTypes.h"
#include "ManualEvent.h"
#include "SignalGenerator.h"
#include "Thread.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

struct CBoardSettings {
    CGeneratorSettings generator;
    double fSetsPerSecond = 50.0; // 0: as fast as the port takes them
    std::string strReplayFile;    // not empty: replay this file instead of generating
    // Pace in bytes, as a line of that speed carries them: of a replay (0: as fast as the port
    // takes them), and of generated sets instead of fSetsPerSecond when above 0.
    double fBytesPerSecond = 0.0;
    bool bLoop = false;               // replay the file again and again
    double fHangUpAfterSeconds = 0.0; // > 0: hang up by itself after this many seconds
    int nSetsPerWrite = 1;            // paced sets go out this many to a write (with a set rate)
    // No flow control: the board never waits for the reader. A write that would take the bytes
    // waiting unread on the port side past nReceiveBuffer is dropped and counted, as a UART
    // overruns when its receive buffer is full. Needs a rate.
    bool bOverrun = false;
    std::size_t nReceiveBuffer = 4096;
    double fDelaySeconds = 0.0;  // nothing is written before this many seconds
    std::int64_t nSetLimit = -1; // >= 0: generate this many sets, then stay idle
    double fSendSeconds = 0.0;   // > 0: generate sets for this long after the delay, then stay idle
    // Not null: each line the program sends is printed here, escaped as the send bar takes it
    // (EscapeBytes); otherwise what it sends is dropped. Never sent back to the port.
    std::FILE* pEcho = nullptr;
};

// An explanation of what is wrong with the settings, or "" when they are fine.
std::string CheckBoardSettings(const CBoardSettings& settings);

// Points the symbolic link strLink at strTarget, replacing an older link (at once, never
// leaving the name missing) but never a file that is not a link; false, with errno, when it
// cannot.
bool UpdatePortLink(const std::string& strLink, const std::string& strTarget);

// What a board sent and, without flow control, dropped; sets are counted by their '#' (by
// their LF when line-ended).
struct CBoardCounts {
    std::uint64_t nBytesSent = 0;
    std::uint64_t nSetsSent = 0;
    std::uint64_t nBytesDropped = 0;
    std::uint64_t nSetsDropped = 0;

    CBoardCounts& operator+=(const CBoardCounts& other);
};

// A simulated board on a pseudo-terminal. The board holds the master side and writes on its
// own thread; GetPortPath names the slave side, which a program opens as its serial port.
//
// Nothing is lost or torn: when the port cannot take more (nobody reads it), the board waits
// for room, and a paced board that fell behind skips ahead instead of sending a burst. Opening
// the port flushes what waited there, as a real port starts empty. Without flow control
// (bOverrun) the board drops what does not fit instead of waiting, and counts it.
//
// The board keeps a slave descriptor of its own open. Without one, the master reports a
// hang-up and EIO whenever no program has the port open, and the board's poll would spin;
// with one, the pseudo-terminal stays usable (and raw) between a program's Close and the next
// Open. Hanging up (Stop, or the hang-up time) closes both sides: a program that has the port
// open sees the device go away, and the path is gone for good. A board that "comes back" is a
// new board with a new path, as a re-plugged USB device may be (kovra-devsim --link keeps a
// stable name pointing at the current one).
class CDevSimBoard {
public:
    CDevSimBoard() = default;
    ~CDevSimBoard();
    CDevSimBoard(const CDevSimBoard&) = delete;
    CDevSimBoard& operator=(const CDevSimBoard&) = delete;

    // Creates the pseudo-terminal and starts writing; a result code (87 for unusable
    // settings, with the reason in GetError, or the code of the failing step).
    int Start(const CBoardSettings& settings);
    // The path of the port side, e.g. "/dev/pts/3"; empty before Start.
    const std::string& GetPortPath() const { return m_strPortPath; }
    const std::string& GetError() const { return m_strError; }
    // Hangs up: stops writing and closes the pseudo-terminal. Idempotent.
    void Stop();
    // Waits at most dwTimeoutMs for the board to hang up (by itself or by Stop).
    bool WaitHungUp(DWORD dwTimeoutMs);
    // Bytes handed to the pseudo-terminal since Start.
    std::uint64_t GetBytesWritten() const { return GetCounts().nBytesSent; }
    // Generated sets handed to the pseudo-terminal whole since Start.
    std::uint64_t GetSetsWritten() const { return GetCounts().nSetsSent; }
    CBoardCounts GetCounts() const;

private:
    static DWORD ThreadRoutine(void* pThis);
    DWORD Run();
    // Adds what is due by now to m_strPending; the time in ns when more will be due, or -1.
    std::int64_t Produce(std::int64_t nNowNs);
    void CloseTerminal();
    // Without flow control: writes all that is pending if it fits, or drops it.
    void WriteOrDrop();
    void Count(const char* pData, std::size_t nSent, std::size_t nDropped);
    // Takes what the program sent, for the echo: a line is printed at its end (LF, CR or
    // CR LF) or, without one, once the program pauses.
    void Receive(const char* pData, std::size_t nCount, std::int64_t nNowNs);
    void PrintReceivedLine();
    void FlushReceivedLine(); // a line begun and not ended

    CBoardSettings m_settings;
    std::unique_ptr<CSignalGenerator> m_pGenerator;
    std::FILE* m_pReplay = nullptr;
    bool m_bReplayEnded = false;
    int m_hMaster = -1;
    int m_hSlave = -1;
    std::string m_strPortPath;
    std::string m_strError;
    std::unique_ptr<CManualEvent> m_hStop;
    std::unique_ptr<CManualEvent> m_hHungUp;
    std::unique_ptr<CThread> m_hThread;

    std::string m_strPending;
    std::size_t m_nPendingOffset = 0;
    std::int64_t m_nScheduleStartNs = 0;
    std::uint64_t m_nScheduled = 0;   // sets or bytes produced since m_nScheduleStartNs
    std::uint64_t m_nGenerated = 0;   // sets produced since Start
    mutable std::mutex m_countsMutex; // the counts are read together
    CBoardCounts m_counts;

    std::string m_strReceived; // the line the program is sending
    bool m_bAfterCr = false;   // an LF now ends no line: CR LF is one line end
    std::int64_t m_nEchoDueNs = -1;
};
