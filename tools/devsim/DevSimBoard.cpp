#include "DevSimBoard.h"

#include "Deadline.h"
#include "PlatformError.h"
#include "SendText.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = 4096;
constexpr std::uint64_t kFastBatchSets = 256;
constexpr std::size_t kMaxReceiveBuffer = std::size_t{1} << 30;
// A line sent without a line end is printed once the program pauses this long, or is this long.
constexpr std::int64_t kEchoPauseNs = 200000000;
constexpr std::size_t kMaxEchoLine = 4096;

bool RateOk(double fRate) {
    return std::isfinite(fRate) && fRate >= 0.0 && fRate <= 1e9;
}

std::uint64_t CountSets(const char* pData, std::size_t nCount, char cSetEnd) {
    return static_cast<std::uint64_t>(std::count(pData, pData + nCount, cSetEnd));
}

} // namespace

std::string CheckBoardSettings(const CBoardSettings& settings) {
    if (std::string strProblem = CheckGeneratorSettings(settings.generator); !strProblem.empty()) {
        return strProblem;
    }
    if (!RateOk(settings.fSetsPerSecond)) {
        return "the set rate must be 0 or a positive number";
    }
    if (!RateOk(settings.fBytesPerSecond)) {
        return "the byte rate must be 0 or a positive number";
    }
    if (!std::isfinite(settings.fHangUpAfterSeconds) || settings.fHangUpAfterSeconds < 0.0) {
        return "the hang-up time must be 0 or a positive number";
    }
    if (settings.nSetsPerWrite < 1 || settings.nSetsPerWrite > 10000) {
        return "the sets per write must be 1 to 10000";
    }
    if (!(settings.fDelaySeconds >= 0.0 && settings.fDelaySeconds <= 1e7)) {
        return "the delay must be 0 or a positive number of seconds";
    }
    // Unpaced, a board without flow control would do nothing but write and drop.
    const bool bPaced = settings.fBytesPerSecond > 0.0 ||
                        (settings.strReplayFile.empty() && settings.fSetsPerSecond > 0.0);
    if (settings.bOverrun && !bPaced) {
        return "without flow control the board needs a rate (--rate or --byte-rate)";
    }
    if (settings.bOverrun &&
        (settings.nReceiveBuffer == 0 || settings.nReceiveBuffer > kMaxReceiveBuffer)) {
        return "the receive buffer must hold 1 byte to 1 GiB";
    }
    return {};
}

bool UpdatePortLink(const std::string& strLink, const std::string& strTarget) {
    const std::string strTemporary = strLink + ".new";
    unlink(strTemporary.c_str());
    if (symlink(strTarget.c_str(), strTemporary.c_str()) != 0) {
        return false;
    }
    char szOld[8];
    if (access(strLink.c_str(), F_OK) == 0 && readlink(strLink.c_str(), szOld, 1) < 0) {
        unlink(strTemporary.c_str());
        errno = EEXIST;
        return false;
    }
    return rename(strTemporary.c_str(), strLink.c_str()) == 0;
}

CBoardCounts& CBoardCounts::operator+=(const CBoardCounts& other) {
    nBytesSent += other.nBytesSent;
    nSetsSent += other.nSetsSent;
    nBytesDropped += other.nBytesDropped;
    nSetsDropped += other.nSetsDropped;
    return *this;
}

CDevSimBoard::~CDevSimBoard() {
    Stop();
}

int CDevSimBoard::Start(const CBoardSettings& settings) {
    if (m_hThread || m_hMaster >= 0) {
        m_strError = "the board is already running";
        return ERROR_INVALID_PARAMETER;
    }
    m_strError = CheckBoardSettings(settings);
    if (!m_strError.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    m_settings = settings;
    m_pGenerator = std::make_unique<CSignalGenerator>(settings.generator);
    m_bReplayEnded = false;
    {
        std::lock_guard lock(m_countsMutex);
        m_counts = CBoardCounts{};
    }
    m_strPending.clear();
    m_nPendingOffset = 0;
    if (!settings.strReplayFile.empty()) {
        m_pReplay = std::fopen(settings.strReplayFile.c_str(), "rb");
        if (m_pReplay == nullptr) {
            m_strError = "cannot open " + settings.strReplayFile;
            return LastError();
        }
    }

    int nResult = ERROR_SUCCESS;
    m_hMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char szName[128] = {};
    if (m_hMaster < 0 || grantpt(m_hMaster) != 0 || unlockpt(m_hMaster) != 0 ||
        ptsname_r(m_hMaster, szName, sizeof szName) != 0) {
        nResult = LastError();
    }
    if (nResult == ERROR_SUCCESS &&
        fcntl(m_hMaster, F_SETFL, fcntl(m_hMaster, F_GETFL) | O_NONBLOCK) != 0) {
        nResult = LastError();
    }
    if (nResult == ERROR_SUCCESS) {
        m_hSlave = open(szName, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio{};
        if (m_hSlave < 0 || tcgetattr(m_hSlave, &tio) != 0) {
            nResult = LastError();
        } else {
            // Raw from the start, so that what waits for the first Open is not cooked or echoed.
            cfmakeraw(&tio);
            tcsetattr(m_hSlave, TCSANOW, &tio);
        }
    }
    if (nResult == ERROR_SUCCESS) {
        nResult = CManualEvent::Create(&m_hStop);
    }
    if (nResult == ERROR_SUCCESS) {
        nResult = CManualEvent::Create(&m_hHungUp);
    }
    if (nResult == ERROR_SUCCESS) {
        m_strPortPath = szName;
        m_nScheduleStartNs =
            CDeadline::NowNs() + static_cast<std::int64_t>(settings.fDelaySeconds * 1e9);
        m_nScheduled = 0;
        m_nGenerated = 0;
        nResult = CThread::Start(&CDevSimBoard::ThreadRoutine, this, &m_hThread);
    }
    if (nResult != ERROR_SUCCESS) {
        m_strError = "cannot create the pseudo-terminal";
        CloseTerminal();
        m_strPortPath.clear();
    }
    return nResult;
}

void CDevSimBoard::Stop() {
    if (m_hThread) {
        m_hStop->Set();
        m_hThread->Wait(INFINITE);
        m_hThread.reset();
    }
    CloseTerminal();
    if (m_hHungUp) {
        m_hHungUp->Set();
    }
}

bool CDevSimBoard::WaitHungUp(DWORD dwTimeoutMs) {
    return m_hHungUp && m_hHungUp->Wait(dwTimeoutMs) == WAIT_OBJECT_0;
}

void CDevSimBoard::CloseTerminal() {
    if (m_hMaster >= 0) {
        close(m_hMaster);
        m_hMaster = -1;
    }
    if (m_hSlave >= 0) {
        close(m_hSlave);
        m_hSlave = -1;
    }
    if (m_pReplay != nullptr) {
        std::fclose(m_pReplay);
        m_pReplay = nullptr;
    }
}

DWORD CDevSimBoard::ThreadRoutine(void* pThis) {
    return static_cast<CDevSimBoard*>(pThis)->Run();
}

CBoardCounts CDevSimBoard::GetCounts() const {
    std::lock_guard lock(m_countsMutex);
    return m_counts;
}

std::int64_t CDevSimBoard::Produce(std::int64_t nNowNs) {
    const bool bReplay = m_pReplay != nullptr;
    const bool bByBytes = bReplay || m_settings.fBytesPerSecond > 0.0;
    const double fRate = bByBytes ? m_settings.fBytesPerSecond : m_settings.fSetsPerSecond;
    const std::uint64_t nBatch = bByBytes ? kChunk : kFastBatchSets;
    // Sets paced by a set rate go out in whole groups, a write each.
    const std::uint64_t nGroup =
        bByBytes || fRate <= 0.0 ? 1 : static_cast<std::uint64_t>(m_settings.nSetsPerWrite);
    std::uint64_t nDue = nBatch;
    if (fRate > 0.0) {
        const double fElapsed = static_cast<double>(nNowNs - m_nScheduleStartNs) * 1e-9;
        const auto nShouldHave = static_cast<std::uint64_t>(fElapsed * fRate);
        nDue = nShouldHave > m_nScheduled ? nShouldHave - m_nScheduled : 0;
        // More than a second behind (the port was full): carry on from now, without a burst.
        if (static_cast<double>(nDue) > std::max(1.0, fRate)) {
            m_nScheduleStartNs = nNowNs;
            m_nScheduled = 0;
            nDue = nGroup;
        }
        nDue = std::min(nDue, std::max(nBatch, nGroup));
    }
    nDue = nDue / nGroup * nGroup;
    if (bReplay) {
        char buffer[kChunk];
        std::size_t nWanted = static_cast<std::size_t>(nDue);
        while (nWanted > 0 && !m_bReplayEnded) {
            const std::size_t nRead = std::fread(buffer, 1, nWanted, m_pReplay);
            m_strPending.append(buffer, nRead);
            nWanted -= nRead;
            m_nScheduled += nRead;
            if (nRead == 0) {
                // An empty file is not replayed for ever.
                if (m_settings.bLoop && std::ftell(m_pReplay) > 0) {
                    std::rewind(m_pReplay);
                } else {
                    m_bReplayEnded = true;
                }
            }
        }
        if (m_bReplayEnded) {
            return -1;
        }
    } else if (bByBytes) {
        // Whole sets, each sent once its first byte is due.
        for (std::uint64_t nSets = 0; nDue > 0 && nSets < kFastBatchSets; ++nSets) {
            const std::size_t nBefore = m_strPending.size();
            m_pGenerator->AppendSet(&m_strPending);
            const std::uint64_t nAdded = m_strPending.size() - nBefore;
            m_nScheduled += nAdded;
            nDue = nAdded < nDue ? nDue - nAdded : 0;
        }
    } else {
        if (m_settings.nSetLimit >= 0) {
            nDue = std::min(nDue, static_cast<std::uint64_t>(m_settings.nSetLimit) - m_nGenerated);
        }
        for (std::uint64_t i = 0; i < nDue; ++i) {
            m_pGenerator->AppendSet(&m_strPending);
        }
        m_nScheduled += nDue;
        m_nGenerated += nDue;
        if (m_settings.nSetLimit >= 0 &&
            m_nGenerated == static_cast<std::uint64_t>(m_settings.nSetLimit)) {
            return -1;
        }
    }
    if (fRate <= 0.0) {
        return -1;
    }
    const double fNext = static_cast<double>(m_nScheduled + nGroup) / fRate;
    return m_nScheduleStartNs + static_cast<std::int64_t>(std::ceil(fNext * 1e9));
}

DWORD CDevSimBoard::Run() {
    const std::int64_t nHangUpNs =
        m_settings.fHangUpAfterSeconds > 0.0
            ? CDeadline::NowNs() + static_cast<std::int64_t>(m_settings.fHangUpAfterSeconds * 1e9)
            : -1;
    // The first sets are due when the delay is over.
    std::int64_t nNextNs = m_nScheduleStartNs;
    const std::int64_t nSendEndNs =
        m_settings.fSendSeconds > 0.0
            ? m_nScheduleStartNs + static_cast<std::int64_t>(m_settings.fSendSeconds * 1e9)
            : -1;
    char scratch[kChunk];
    for (;;) {
        const std::int64_t nNow = CDeadline::NowNs();
        if (nHangUpNs >= 0 && nNow >= nHangUpNs) {
            break;
        }
        if (m_nEchoDueNs >= 0 && nNow >= m_nEchoDueNs) {
            FlushReceivedLine();
        }
        if (m_nPendingOffset == m_strPending.size()) {
            m_strPending.clear();
            m_nPendingOffset = 0;
            if (nNextNs < 0 || nNow >= nNextNs) {
                // Once the sending time is over nothing more is due: the board stays idle.
                nNextNs = nSendEndNs >= 0 && nNow >= nSendEndNs ? -1 : Produce(nNow);
            }
        }
        bool bHavePending = m_nPendingOffset < m_strPending.size();
        if (bHavePending && m_settings.bOverrun) {
            WriteOrDrop();
            bHavePending = false;
        }

        int nTimeout = -1;
        const auto limitTo = [&nTimeout](std::int64_t nEndNs) {
            if (nEndNs >= 0) {
                const int nMs = CDeadline::MsUntil(nEndNs);
                nTimeout = nTimeout < 0 ? nMs : std::min(nTimeout, nMs);
            }
        };
        limitTo(nHangUpNs);
        limitTo(m_nEchoDueNs);
        if (!bHavePending) {
            limitTo(nNextNs);
        }
        pollfd fds[2] = {
            {m_hStop->GetFd(), POLLIN, 0},
            {m_hMaster, static_cast<short>(POLLIN | (bHavePending ? POLLOUT : 0)), 0},
        };
        if (poll(fds, 2, nTimeout) < 0 && errno != EINTR) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            FlushReceivedLine();
            return ERROR_SUCCESS;
        }
        if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            // What the program sends is always read, so that it never blocks.
            const ssize_t n = read(m_hMaster, scratch, sizeof scratch);
            if (n > 0) {
                Receive(scratch, static_cast<std::size_t>(n), CDeadline::NowNs());
            }
        }
        if (bHavePending && (fds[1].revents & POLLOUT) != 0) {
            const ssize_t n = write(m_hMaster, m_strPending.data() + m_nPendingOffset,
                                    m_strPending.size() - m_nPendingOffset);
            if (n > 0) {
                Count(m_strPending.data() + m_nPendingOffset, static_cast<std::size_t>(n), 0);
                m_nPendingOffset += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break;
            }
        }
    }
    // Hang-up: the port side sees the device go away.
    FlushReceivedLine();
    CloseTerminal();
    m_hHungUp->Set();
    return ERROR_SUCCESS;
}

void CDevSimBoard::Count(const char* pData, std::size_t nSent, std::size_t nDropped) {
    // Line-ended sets have no '#': each ends with one LF.
    const char cSetEnd = m_settings.generator.IsLineEnded() ? '\n' : '#';
    const std::uint64_t nSetsSent = CountSets(pData, nSent, cSetEnd);
    const std::uint64_t nSetsDropped = CountSets(pData + nSent, nDropped, cSetEnd);
    std::lock_guard lock(m_countsMutex);
    m_counts.nBytesSent += nSent;
    m_counts.nSetsSent += nSetsSent;
    m_counts.nBytesDropped += nDropped;
    m_counts.nSetsDropped += nSetsDropped;
}

// A pseudo-terminal holds far more than a UART (and stops the writer when full), so the loss
// is modelled here: the slave side that the board keeps open shares the port's input queue,
// and FIONREAD on it tells how much the reader has left unread.
void CDevSimBoard::WriteOrDrop() {
    const char* pData = m_strPending.data() + m_nPendingOffset;
    const std::size_t nCount = m_strPending.size() - m_nPendingOffset;
    m_nPendingOffset = m_strPending.size();
    int nWaiting = 0;
    std::size_t nWritten = 0;
    if (ioctl(m_hSlave, FIONREAD, &nWaiting) == 0 && nWaiting >= 0 &&
        static_cast<std::size_t>(nWaiting) + nCount <= m_settings.nReceiveBuffer) {
        const ssize_t n = write(m_hMaster, pData, nCount);
        nWritten = n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    Count(pData, nWritten, nCount - nWritten);
}

void CDevSimBoard::Receive(const char* pData, std::size_t nCount, std::int64_t nNowNs) {
    if (m_settings.pEcho == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < nCount; ++i) {
        const char c = pData[i];
        const bool bAfterCr = m_bAfterCr;
        m_bAfterCr = c == '\r';
        if (c == '\r' || (c == '\n' && !bAfterCr)) {
            PrintReceivedLine();
        } else if (c != '\n') {
            m_strReceived += c;
            if (m_strReceived.size() >= kMaxEchoLine) {
                PrintReceivedLine();
            }
        }
    }
    m_nEchoDueNs = m_strReceived.empty() ? -1 : nNowNs + kEchoPauseNs;
}

void CDevSimBoard::PrintReceivedLine() {
    if (m_settings.pEcho != nullptr) {
        std::fprintf(m_settings.pEcho, "%s\n", EscapeBytes(m_strReceived).c_str());
        std::fflush(m_settings.pEcho);
    }
    m_strReceived.clear();
    m_nEchoDueNs = -1;
}

void CDevSimBoard::FlushReceivedLine() {
    if (!m_strReceived.empty()) {
        PrintReceivedLine();
    }
}
