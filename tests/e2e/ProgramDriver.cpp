#include "ProgramDriver.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr auto kCommandTimeout = 20s;

// The environment for the program: off-screen, no sysfs unless the test gives one, and the
// test's own variables on top.
std::vector<std::string> ProgramEnvironment(const std::vector<std::string>& vExtra) {
    std::vector<std::string> vEnvironment = vExtra;
    const auto add = [&vEnvironment](const std::string& strVariable) {
        const std::string strName = strVariable.substr(0, strVariable.find('=') + 1);
        if (std::none_of(vEnvironment.begin(), vEnvironment.end(),
                         [&](const std::string& str) { return str.rfind(strName, 0) == 0; })) {
            vEnvironment.push_back(strVariable);
        }
    };
    add("QT_QPA_PLATFORM=offscreen");
    add("KOVRA_SYSFS_ROOT=/nonexistent");
    for (char** p = environ; *p != nullptr; ++p) {
        add(*p);
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

CProgram::CProgram(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                   const std::vector<std::string>& vExtraEnvironment) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, strDirectory.c_str());
    std::vector<std::string> vAll = {KOVRA_PROGRAM, "--control"};
    vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
    std::vector<char*> argv = Pointers(vAll);
    std::vector<std::string> vEnvironment = ProgramEnvironment(vExtraEnvironment);
    std::vector<char*> envp = Pointers(vEnvironment);
    pid_t pid = -1;
    const int nError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    if (nError != 0) {
        throw std::runtime_error(std::string("cannot start the program: ") + strerror(nError));
    }
    m_nPid = pid;
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
    const auto deadline = std::chrono::steady_clock::now() + kCommandTimeout;
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

std::pair<int, std::string> RunToEnd(const std::vector<std::string>& vArguments) {
    int fromChild[2];
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDERR_FILENO);
    std::vector<std::string> vAll = {KOVRA_PROGRAM};
    vAll.insert(vAll.end(), vArguments.begin(), vArguments.end());
    std::vector<char*> argv = Pointers(vAll);
    std::vector<std::string> vEnvironment = ProgramEnvironment({});
    std::vector<char*> envp = Pointers(vEnvironment);
    pid_t pid = -1;
    const int nError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fromChild[1]);
    if (nError != 0) {
        close(fromChild[0]);
        throw std::runtime_error(std::string("cannot start the program: ") + strerror(nError));
    }
    std::string strError;
    const auto deadline = std::chrono::steady_clock::now() + kCommandTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fromChild[0], POLLIN, 0};
        char buffer[4096];
        ssize_t n = 0;
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0 ||
            (n = read(fromChild[0], buffer, sizeof buffer)) <= 0) {
            break;
        }
        strError.append(buffer, static_cast<std::size_t>(n));
    }
    close(fromChild[0]);
    int nStatus = 0;
    while (waitpid(pid, &nStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &nStatus, 0);
            return {-1, strError};
        }
        std::this_thread::sleep_for(10ms);
    }
    return {WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, strError};
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

CScratchDirectory::CScratchDirectory() {
    char szTemplate[] = "/tmp/kovra-e2e-XXXXXX";
    if (mkdtemp(szTemplate) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_strPath = szTemplate;
}

CScratchDirectory::~CScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_strPath, ignored);
}

std::string CScratchDirectory::Read(const std::string& strName) const {
    std::ifstream file(m_strPath + "/" + strName, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}
