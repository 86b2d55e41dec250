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
                                            EScreen eScreen = EScreen::kOffscreen) {
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

} // namespace

CChildProcess::CChildProcess(const std::string& strDirectory,
                             const std::vector<std::string>& vArguments,
                             const std::vector<std::string>& vEnvironment,
                             const std::string& strErrorFile) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    if (!strErrorFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, strErrorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addchdir_np(&actions, strDirectory.c_str());
    std::vector<std::string> vAll = vArguments;
    std::vector<char*> argv = Pointers(vAll);
    std::vector<std::string> vVariables = vEnvironment;
    std::vector<char*> envp = Pointers(vVariables);
    pid_t pid = -1;
    const int nError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    if (nError != 0) {
        close(toChild[1]);
        close(fromChild[0]);
        throw std::runtime_error(std::string("cannot start ") + argv[0] + ": " + strerror(nError));
    }
    m_nPid = pid;
    m_hInput = toChild[1];
    m_hOutput = fromChild[0];
}

CChildProcess::~CChildProcess() {
    if (m_nPid > 0) {
        kill(m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
    }
    close(m_hInput);
    close(m_hOutput);
}

void CChildProcess::WriteLine(const std::string& strLine) {
    const std::string strData = strLine + "\n";
    if (write(m_hInput, strData.data(), strData.size()) != static_cast<ssize_t>(strData.size())) {
        throw std::runtime_error("the process does not take input");
    }
}

std::string CChildProcess::ReadLine(std::chrono::milliseconds timeout) {
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
            throw std::runtime_error("the process did not answer in time");
        }
        char buffer[4096];
        const ssize_t n = read(m_hOutput, buffer, sizeof buffer);
        if (n <= 0) {
            throw std::runtime_error("the process ended");
        }
        m_strBuffered.append(buffer, static_cast<std::size_t>(n));
    }
}

void CChildProcess::Signal(int nSignal) const {
    if (m_nPid > 0) {
        kill(m_nPid, nSignal);
    }
}

int CChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int nStatus = 0;
    while (waitpid(m_nPid, &nStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return -1;
        }
        std::this_thread::sleep_for(10ms);
    }
    m_nPid = -1;
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

CProgram::CProgram(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                   const std::vector<std::string>& vExtraEnvironment)
    : m_process(
          strDirectory,
          [&] {
              std::vector<std::string> vAll = {KOVRA_PROGRAM, "--control"};
              vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
              return vAll;
          }(),
          ProgramEnvironment(strDirectory, vExtraEnvironment)) {}

std::vector<std::string> CProgram::Command(const std::string& strCommand) {
    m_process.WriteLine(strCommand);
    std::vector<std::string> vLines;
    for (std::string strAnswer; (strAnswer = m_process.ReadLine(kCommandTimeout)) != "done";) {
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

std::string CProgram::WaitForNewStatus(const std::string& strBefore,
                                       std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string strStatus = Status();
    while (strStatus == strBefore && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        strStatus = Status();
    }
    return strStatus;
}

std::string CProgram::QuickExport() {
    const std::string strBefore = Status();
    Command("key F8");
    const std::string strStatus = WaitForNewStatus(strBefore, 60s);
    const std::string strPrefix = "Channels dumped to ";
    return strStatus.rfind(strPrefix, 0) == 0 ? strStatus.substr(strPrefix.size()) : std::string();
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

int CProgram::WaitForExit() {
    return m_process.Wait(kCommandTimeout);
}

CBoardProcess::CBoardProcess(const std::string& strDirectory,
                             const std::vector<std::string>& vArguments,
                             const std::string& strErrorFile)
    : m_process(
          strDirectory,
          [&] {
              std::vector<std::string> vAll = {KOVRA_DEVSIM};
              vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
              return vAll;
          }(),
          ProgramEnvironment(strDirectory, {}), strErrorFile),
      m_strPath(m_process.ReadLine(kCommandTimeout)) {}

CBoardCounts CBoardProcess::ReadCounts() {
    const std::string strLine = m_process.ReadLine(kCommandTimeout);
    CBoardCounts counts;
    unsigned long long n[4] = {};
    if (std::sscanf(strLine.c_str(),
                    "sent %llu bytes in %llu sets, dropped %llu bytes in %llu sets", &n[0], &n[1],
                    &n[2], &n[3]) != 4) {
        throw std::runtime_error("kovra-devsim said: " + strLine);
    }
    counts.nBytesSent = n[0];
    counts.nSetsSent = n[1];
    counts.nBytesDropped = n[2];
    counts.nSetsDropped = n[3];
    return counts;
}

CBoardCounts CBoardProcess::Counts() {
    m_process.Signal(SIGUSR1);
    return ReadCounts();
}

CBoardCounts CBoardProcess::Stop() {
    m_process.Signal(SIGTERM);
    const CBoardCounts counts = ReadCounts();
    m_process.Wait(kCommandTimeout);
    return counts;
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

SProgramRun RunToEnd(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                     bool bPlainTerminal) {
    int toOutput[2];
    int toError[2];
    if (pipe2(toOutput, O_CLOEXEC) != 0 || pipe2(toError, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, toOutput[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, toError[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, strDirectory.c_str());
    std::vector<std::string> vAll = {KOVRA_PROGRAM};
    vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
    std::vector<char*> argv = Pointers(vAll);
    std::vector<std::string> vEnvironment =
        ProgramEnvironment(strDirectory, {}, bPlainTerminal ? EScreen::kNone : EScreen::kOffscreen);
    std::vector<char*> envp = Pointers(vEnvironment);
    pid_t pid = -1;
    const int nError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(toOutput[1]);
    close(toError[1]);
    if (nError != 0) {
        close(toOutput[0]);
        close(toError[0]);
        throw std::runtime_error(std::string("cannot start the program: ") + strerror(nError));
    }
    // The output is small; read both streams to their ends, then collect the status.
    SProgramRun run;
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
    int nStatus = 0;
    while (waitpid(pid, &nStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &nStatus, 0);
            return run;
        }
        std::this_thread::sleep_for(10ms);
    }
    run.m_nStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return run;
}
