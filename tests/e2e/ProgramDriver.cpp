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

// The program keeps its settings in the test's directory, never in the user's.
std::string SettingsVariable(const std::string& strDirectory) {
    return "KOVRA_SETTINGS=" + strDirectory + "/" + kSettingsFile;
}

// This process's environment without the variables named, plus the ones given.
std::vector<std::string> Environment(const std::vector<std::string>& vRemoved,
                                     const std::vector<std::string>& vAdded) {
    std::vector<std::string> vEnvironment = vAdded;
    for (char** p = environ; *p != nullptr; ++p) {
        const std::string_view variable(*p);
        const std::string_view name = variable.substr(0, variable.find('='));
        if (std::find(vRemoved.begin(), vRemoved.end(), name) == vRemoved.end()) {
            vEnvironment.emplace_back(variable);
        }
    }
    return vEnvironment;
}

// Starts the program in strDirectory with its standard input and output on the descriptors
// given (standard error stays the test's).
pid_t Spawn(const std::string& strDirectory, const std::vector<std::string>& vArguments,
            std::vector<std::string> vEnvironment, int hInput, int hOutput) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, hInput, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, hOutput, STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, strDirectory.c_str());
    std::vector<std::string> vAll = {KOVRA_PROGRAM};
    vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
    std::vector<char*> argv;
    for (std::string& strArgument : vAll) {
        argv.push_back(strArgument.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& strVariable : vEnvironment) {
        envp.push_back(strVariable.data());
    }
    envp.push_back(nullptr);
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

CProgram::CProgram(const std::string& strDirectory, const std::vector<std::string>& vArguments) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> vAll = {"--control"};
    vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
    try {
        m_nPid = Spawn(strDirectory, vAll,
                       Environment({"QT_QPA_PLATFORM", "KOVRA_SETTINGS"},
                                   {"QT_QPA_PLATFORM=offscreen", SettingsVariable(strDirectory)}),
                       toChild[0], fromChild[1]);
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

SProgramRun RunToEnd(const std::string& strDirectory, const std::vector<std::string>& vArguments) {
    int fromChild[2];
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const int hNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    SProgramRun run;
    pid_t pid = -1;
    try {
        pid = Spawn(strDirectory, vArguments,
                    Environment({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "KOVRA_SETTINGS"},
                                {SettingsVariable(strDirectory)}),
                    hNull, fromChild[1]);
    } catch (...) {
        close(hNull);
        close(fromChild[0]);
        close(fromChild[1]);
        throw;
    }
    close(hNull);
    close(fromChild[1]);
    // The output is small; read it all, then collect the status.
    const auto deadline = std::chrono::steady_clock::now() + kCommandTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fromChild[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[4096];
        const ssize_t n = read(fromChild[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        run.m_strOutput.append(buffer, static_cast<std::size_t>(n));
    }
    close(fromChild[0]);
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
