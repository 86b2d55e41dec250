#include "shell/QuitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The handler's only way out: a byte on a pipe, which is async-signal-safe.
volatile std::sig_atomic_t g_hSignalWrite = -1;

} // namespace

CQuitSignals::CQuitSignals(std::function<void()> fnQuit) : m_fnQuit(std::move(fnQuit)) {
    int hPipe[2];
    if (pipe2(hPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        return; // the signals keep their default handling
    }
    m_hRead = hPipe[0];
    g_hSignalWrite = hPipe[1];
    m_pNotifier = new QSocketNotifier(m_hRead, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CQuitSignals::OnReadable);
    struct sigaction action {};
    action.sa_handler = &CQuitSignals::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int nSignal : kSignals) {
        sigaction(nSignal, &action, nullptr);
    }
}

CQuitSignals::~CQuitSignals() {
    if (m_hRead < 0) {
        return;
    }
    for (const int nSignal : kSignals) {
        std::signal(nSignal, SIG_DFL);
    }
    close(g_hSignalWrite);
    g_hSignalWrite = -1;
    close(m_hRead);
}

void CQuitSignals::OnSignal(int /*nSignal*/) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(g_hSignalWrite, &byte, 1);
}

void CQuitSignals::OnReadable() {
    char buffer[16];
    while (read(m_hRead, buffer, sizeof buffer) > 0) {
    }
    // Should the orderly end hang, the next signal ends the process.
    for (const int nSignal : kSignals) {
        std::signal(nSignal, SIG_DFL);
    }
    m_pNotifier->setEnabled(false);
    m_fnQuit();
}
