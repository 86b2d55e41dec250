// The whole receive path through a pseudo-terminal: a device thread writes as fast as the
// pseudo-terminal takes it, a CSerialWnd posts a message per completed event wait, and this
// thread reads each notification the way the view does (100-byte reads until a short one).
// Reported: MB/s, bytes lost or corrupted, notifications per MB and the listener's CPU time per
// MB, beside a reference in the same run: the same pseudo-terminal read directly with poll and
// 100-byte reads. A second case measures the listener's CPU time over 10 idle seconds with the
// port open, beside a thread that sleeps in poll for as long.
#include "MessageQueue.h"
#include "PtyPair.h"
#include "SerialWnd.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::size_t kBytesPerIteration = 4 << 20;
constexpr std::size_t kPatternPeriod = 251;
constexpr std::size_t kWriteChunk = 4096;
constexpr double kMB = 1024.0 * 1024.0;

std::uint64_t ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ULL +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

// Writes nBytes of a counting pattern that goes on from nStart, waiting for room whenever the
// port is full.
class CDeviceWriter {
public:
    CDeviceWriter(int hMaster, std::size_t nStart, std::size_t nBytes)
        : m_thread([hMaster, nStart, nBytes] {
              std::string strPattern;
              for (std::size_t i = 0; i < kWriteChunk + kPatternPeriod; ++i) {
                  strPattern.push_back(static_cast<char>(i % kPatternPeriod));
              }
              std::size_t nSent = 0;
              while (nSent < nBytes) {
                  const std::size_t nOffset = (nStart + nSent) % kPatternPeriod;
                  const std::size_t nWant = std::min(kWriteChunk, nBytes - nSent);
                  const ssize_t n = write(hMaster, strPattern.data() + nOffset, nWant);
                  if (n > 0) {
                      nSent += static_cast<std::size_t>(n);
                  } else if (n < 0 && errno == EAGAIN) {
                      pollfd pfd{hMaster, POLLOUT, 0};
                      poll(&pfd, 1, 100);
                  } else if (n < 0 && errno != EINTR) {
                      break;
                  }
              }
          }) {}
    ~CDeviceWriter() { m_thread.join(); }
    CDeviceWriter(const CDeviceWriter&) = delete;
    CDeviceWriter& operator=(const CDeviceWriter&) = delete;

private:
    std::thread m_thread;
};

// Checks received bytes against the pattern.
struct CChecker {
    std::size_t nNext = 0;
    std::size_t nWrong = 0;
    void Take(const char* pData, std::size_t nCount) {
        for (std::size_t i = 0; i < nCount; ++i) {
            if (static_cast<unsigned char>(pData[i]) != nNext % kPatternPeriod) {
                ++nWrong;
            }
            ++nNext;
        }
    }
};

// Counts what the listener posts; the reader may leave some unread at the end of a round.
class CCountingQueue final : public CNotifyTarget {
public:
    void Post(UINT nMessage, WPARAM wParam, LPARAM lParam) noexcept override {
        ++m_nPosts;
        m_queue.Post(nMessage, wParam, lParam);
    }
    CMessageQueue m_queue;
    std::atomic<std::uint64_t> m_nPosts{0};
};

class CBenchSerialWnd : public CSerialWnd {
public:
    ~CBenchSerialWnd() override { Close(); }
    std::uint64_t ListenerCpuNs() const {
        std::uint64_t nNs = 0;
        if (m_hListenerThread) {
            m_hListenerThread->GetCpuTimeNs(&nNs);
        }
        return nNs;
    }
};

void BM_SerialWndReceive(benchmark::State& state) {
    CPtyPair pty;
    CCountingQueue target;
    CMessageQueue& queue = target.m_queue;
    CBenchSerialWnd port;
    if (port.Open(pty.PathText(), &target, 0, 0, 0, 0) != ERROR_SUCCESS) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    std::size_t nReceived = 0;
    std::size_t nExpected = 0;
    CChecker checker;
    const std::uint64_t nCpuBefore = port.ListenerCpuNs();
    for (auto _ : state) {
        CDeviceWriter writer(pty.Master(), nExpected, kBytesPerIteration);
        nExpected += kBytesPerIteration;
        CMessage message;
        char buffer[100];
        // A notification that does not come within a few seconds means bytes were lost.
        while (nReceived < nExpected && queue.Get(&message, 3000)) {
            if (LOWORD(message.wParam) != EV_RXCHAR) {
                continue;
            }
            DWORD nRead = 0;
            do {
                if (port.Read(buffer, sizeof buffer, &nRead, nullptr, INFINITE) != ERROR_SUCCESS) {
                    state.SkipWithError("read error");
                    return;
                }
                checker.Take(buffer, nRead);
                nReceived += nRead;
            } while (nRead == sizeof buffer);
        }
    }
    const double fMB = static_cast<double>(nReceived) / kMB;
    state.SetBytesProcessed(static_cast<std::int64_t>(nReceived));
    state.counters["lost_bytes"] = static_cast<double>(nExpected - nReceived);
    state.counters["wrong_bytes"] = static_cast<double>(checker.nWrong);
    state.counters["notifications_per_MB"] = static_cast<double>(target.m_nPosts) / fMB;
    state.counters["listener_cpu_ms_per_MB"] =
        static_cast<double>(port.ListenerCpuNs() - nCpuBefore) * 1e-6 / fMB;
}

void BM_RawPtyReadReference(benchmark::State& state) {
    CPtyPair pty;
    fcntl(pty.Slave(), F_SETFL, fcntl(pty.Slave(), F_GETFL) | O_NONBLOCK);
    std::size_t nReceived = 0;
    std::size_t nExpected = 0;
    std::size_t nWakeUps = 0;
    CChecker checker;
    const std::uint64_t nCpuBefore = ThreadCpuNs();
    for (auto _ : state) {
        CDeviceWriter writer(pty.Master(), nExpected, kBytesPerIteration);
        nExpected += kBytesPerIteration;
        char buffer[100];
        while (nReceived < nExpected) {
            pollfd pfd{pty.Slave(), POLLIN, 0};
            if (poll(&pfd, 1, 3000) <= 0) {
                break;
            }
            ++nWakeUps;
            ssize_t n = 0;
            while ((n = read(pty.Slave(), buffer, sizeof buffer)) > 0) {
                checker.Take(buffer, static_cast<std::size_t>(n));
                nReceived += static_cast<std::size_t>(n);
            }
        }
    }
    const double fMB = static_cast<double>(nReceived) / kMB;
    state.SetBytesProcessed(static_cast<std::int64_t>(nReceived));
    state.counters["lost_bytes"] = static_cast<double>(nExpected - nReceived);
    state.counters["wrong_bytes"] = static_cast<double>(checker.nWrong);
    state.counters["wakeups_per_MB"] = static_cast<double>(nWakeUps) / fMB;
    state.counters["reader_cpu_ms_per_MB"] =
        static_cast<double>(ThreadCpuNs() - nCpuBefore) * 1e-6 / fMB;
}

constexpr int kIdleSeconds = 10;

void BM_ListenerIdleCpu(benchmark::State& state) {
    CPtyPair pty;
    CMessageQueue queue;
    CBenchSerialWnd port;
    if (port.Open(pty.PathText(), &queue, 0, 0, 0, 0) != ERROR_SUCCESS) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    std::uint64_t nCpu = 0;
    for (auto _ : state) {
        const std::uint64_t nBefore = port.ListenerCpuNs();
        std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
        nCpu += port.ListenerCpuNs() - nBefore;
    }
    state.counters["listener_cpu_us_per_10s"] =
        static_cast<double>(nCpu) * 1e-3 / static_cast<double>(state.iterations());
    state.counters["notifications"] = static_cast<double>(queue.GetCount());
}

void BM_SleepingThreadIdleCpuReference(benchmark::State& state) {
    std::uint64_t nCpu = 0;
    for (auto _ : state) {
        std::atomic<std::uint64_t> nThreadCpu{0};
        std::thread sleeper([&nThreadCpu] {
            const std::uint64_t nBefore = ThreadCpuNs();
            poll(nullptr, 0, kIdleSeconds * 1000);
            nThreadCpu = ThreadCpuNs() - nBefore;
        });
        sleeper.join();
        nCpu += nThreadCpu;
    }
    state.counters["sleeper_cpu_us_per_10s"] =
        static_cast<double>(nCpu) * 1e-3 / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(BM_SerialWndReceive)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawPtyReadReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListenerIdleCpu)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_SleepingThreadIdleCpuReference)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

BENCHMARK_MAIN();
