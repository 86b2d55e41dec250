#include "ProgramDriver.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr auto kCommandTimeout = 20s;

// Where the program's display comes from.
enum class EScreen { kOffscreen, kNone };

// The environment for the program: off-screen (or, for kNone, without any display as in a
// plain terminal), no sysfs unless the test gives one, its settings in the test's directory
// (never the user's), and the test's own variables on top.
std::vector<std::string> ProgramEnvironment(const std::string& strDirectory,
                                            const std::vector<std::string>& vExtra,
                                            EScreen eScreen) {
    std::vector<std::string> vEnvironment = vExtra;
    const auto add = [&vEnvironment](const std::string& strVariable) {
        const std::string strName = strVariable.substr(0, strVariable.find('=') + 1);
        if (std::none_of(vEnvironment.begin(), vEnvironment.end(),
                         [&](const std::string& str) { return str.rfind(strName, 0) == 0; })) {
            vEnvironment.push_back(strVariable);
        }
    };
    if (eScreen == EScreen::kOffscreen) {
        add("QT_QPA_PLATFORM=offscreen");
    }
    add("KOVRA_SYSFS_ROOT=/nonexistent");
    add("KOVRA_SETTINGS=" + strDirectory + "/" + kSettingsFile);
    for (char** p = environ; *p != nullptr; ++p) {
        const std::string_view variable(*p);
        const bool bDisplay = variable.starts_with("DISPLAY=") ||
                              variable.starts_with("WAYLAND_DISPLAY=") ||
                              variable.starts_with("QT_QPA_PLATFORM=");
        if (eScreen == EScreen::kOffscreen || !bDisplay) {
            add(*p);
        }
    }
    return vEnvironment;
}

std::vector<char*> Pointers(std::vector<std::string>& vStrings) {
    std::vector<char*> vPointers;
    for (std::string& str : vStrings) {
        vPointers.push_back(str.data());
    }
    vPointers.push_back(nullptr);
    return vPointers;
}

// Starts the program in strDirectory with its standard streams on the descriptors given.
pid_t Spawn(const std::string& strDirectory, const std::vector<std::string>& vArguments,
            std::vector<std::string> vEnvironment, int hInput, int hOutput, int hError) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, hInput, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, hOutput, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, hError, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, strDirectory.c_str());
    std::vector<std::string> vAll = {KOVRA_PROGRAM};
    vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
    std::vector<char*> argv = Pointers(vAll);
    std::vector<char*> envp = Pointers(vEnvironment);
    pid_t pid = -1;
    const int nError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        throw std::runtime_error(std::string("cannot start the program: ") + strerror(nError));
    }
    return pid;
}

// The exit status of a process that ends within the time-out; -1 after a crash or a
// time-out (the process is then killed).
int WaitForProcess(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int nStatus = 0;
    while (waitpid(pid, &nStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(10ms);
    }
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

} // namespace

CProgram::CProgram(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                   const std::vector<std::string>& vExtraEnvironment) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> vAll = {"--control"};
    vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
    try {
        m_nPid = Spawn(strDirectory, vAll,
                       ProgramEnvironment(strDirectory, vExtraEnvironment, EScreen::kOffscreen),
                       toChild[0], fromChild[1], STDERR_FILENO);
    } catch (...) {
        for (int hEnd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) {
            close(hEnd);
        }
        throw;
    }
    close(toChild[0]);
    close(fromChild[1]);
    m_hInput = toChild[1];
    m_hOutput = fromChild[0];
}

CProgram::~CProgram() {
    if (m_nPid > 0) {
        kill(m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
    }
    close(m_hInput);
    close(m_hOutput);
}

std::string CProgram::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t nEnd = m_strBuffered.find('\n');
        if (nEnd != std::string::npos) {
            std::string strLine = m_strBuffered.substr(0, nEnd);
            m_strBuffered.erase(0, nEnd + 1);
            return strLine;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{m_hOutput, POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
            throw std::runtime_error("the program did not answer in time");
        }
        char buffer[4096];
        const ssize_t n = read(m_hOutput, buffer, sizeof buffer);
        if (n <= 0) {
            throw std::runtime_error("the program ended");
        }
        m_strBuffered.append(buffer, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> CProgram::Command(const std::string& strCommand) {
    const std::string strLine = strCommand + "\n";
    if (write(m_hInput, strLine.data(), strLine.size()) != static_cast<ssize_t>(strLine.size())) {
        throw std::runtime_error("the program does not take commands");
    }
    std::vector<std::string> vLines;
    for (std::string strAnswer; (strAnswer = ReadLine(kCommandTimeout)) != "done";) {
        vLines.push_back(strAnswer);
    }
    return vLines;
}

std::string CProgram::Status() {
    for (const std::string& strLine : Command("status")) {
        if (strLine.rfind("status ", 0) == 0) {
            return strLine.substr(7);
        }
    }
    return {};
}

std::string CProgram::Pane() {
    for (const std::string& strLine : Command("pane")) {
        if (strLine.rfind("pane ", 0) == 0) {
            return strLine.substr(5);
        }
    }
    return {};
}

std::pair<long, int> CProgram::Caption() {
    for (const std::string& strLine : Command("caption")) {
        long nValues = -1;
        int nChannels = -1;
        if (std::sscanf(strLine.c_str(), "caption %ld values in %d channels", &nValues,
                        &nChannels) == 2) {
            return {nValues, nChannels};
        }
    }
    return {-1, -1};
}

void CProgram::WaitUntilSettled() {
    auto last = Caption();
    for (int nSame = 0; nSame < 10;) {
        std::this_thread::sleep_for(50ms);
        const auto now = Caption();
        nSame = now == last ? nSame + 1 : 0;
        last = now;
    }
}

bool CProgram::WaitForValues(long nValues, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Caption().first != nValues) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

int CProgram::Quit() {
    Command("quit");
    return WaitForExit();
}

void CProgram::Signal(int nSignal) const {
    kill(m_nPid, nSignal);
}

int CProgram::WaitForExit() {
    const int nStatus = WaitForProcess(m_nPid, kCommandTimeout);
    m_nPid = -1;
    return nStatus;
}

SProgramRun RunToEnd(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                     bool bPlainTerminal) {
    int toOutput[2];
    int toError[2];
    if (pipe2(toOutput, O_CLOEXEC) != 0 || pipe2(toError, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const int hNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    SProgramRun run;
    pid_t pid = -1;
    try {
        pid = Spawn(strDirectory, vArguments,
                    ProgramEnvironment(strDirectory, {},
                                       bPlainTerminal ? EScreen::kNone : EScreen::kOffscreen),
                    hNull, toOutput[1], toError[1]);
    } catch (...) {
        for (int hEnd : {hNull, toOutput[0], toOutput[1], toError[0], toError[1]}) {
            close(hEnd);
        }
        throw;
    }
    close(hNull);
    close(toOutput[1]);
    close(toError[1]);
    // The output is small; read both streams to their ends, then collect the status.
    pollfd streams[] = {{toOutput[0], POLLIN, 0}, {toError[0], POLLIN, 0}};
    std::string* pTexts[] = {&run.m_strOutput, &run.m_strError};
    const auto deadline = std::chrono::steady_clock::now() + kCommandTimeout;
    while (streams[0].fd >= 0 || streams[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || poll(streams, 2, static_cast<int>(left.count())) <= 0) {
            break;
        }
        for (std::size_t k = 0; k < 2; ++k) {
            if (streams[k].fd < 0 || streams[k].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(streams[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                pTexts[k]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(streams[k].fd);
                streams[k].fd = -1; // poll skips it from now on
            }
        }
    }
    for (const pollfd& stream : streams) {
        if (stream.fd >= 0) {
            close(stream.fd);
        }
    }
    run.m_nStatus = WaitForProcess(pid, 1s);
    return run;
}

void SendPaced(const CPtyPair& device, const std::string& strData, double fBytesPerSecond) {
    constexpr std::size_t kPiece = 64;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t nDone = 0; nDone < strData.size(); nDone += kPiece) {
        if (!device.Send(std::string_view(strData).substr(nDone, kPiece))) {
            throw std::runtime_error("the device cannot write");
        }
        std::this_thread::sleep_until(
            start +
            std::chrono::duration<double>(static_cast<double>(nDone + kPiece) / fBytesPerSecond));
    }
}
