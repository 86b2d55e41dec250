#include "PortFailure.h"
#include "PlatformError.h"
#include "PortNames.h"
#include "PtyPair.h"
#include "SerialDevice.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// The reason a user is given when the device cannot be opened.
std::string OpenReason(const char* szPath) {
    SetLastSystemErrno(0);
    std::unique_ptr<CSerialDevice> pDevice;
    CPortFailure failure;
    failure.nCode = CSerialDevice::Open(szPath, &pDevice);
    failure.nErrno = LastSystemErrno();
    return failure.nCode == ERROR_SUCCESS ? "opened" : DescribePortFailure(szPath, failure);
}

// Runs a program with the given descriptors left open; its pid.
pid_t Start(std::vector<std::string> vArguments) {
    std::vector<char*> argv;
    for (std::string& strArgument : vArguments) {
        argv.push_back(strArgument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Runs a program to its end; what it printed, and its exit status.
std::pair<std::string, int> RunToEnd(std::vector<std::string> vArguments) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {"", -1};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& strArgument : vArguments) {
        argv.push_back(strArgument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int nError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string strOutput;
    char buffer[256];
    for (ssize_t n; nError == 0 && (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        strOutput.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int nStatus = 0;
    if (nError != 0 || waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus)) {
        return {strOutput, -1};
    }
    return {strOutput, WEXITSTATUS(nStatus)};
}

TEST(PortFailureTest, AMissingDeviceOrNameSaysSo) {
    ClearPortMappings();
    EXPECT_EQ(OpenReason("/dev/kovra-no-such-port"), "/dev/kovra-no-such-port does not exist");
    ASSERT_TRUE(SetPortMapping("COM2", "/dev/kovra-gone"));
    CPortFailure failure;
    failure.nCode = ERROR_FILE_NOT_FOUND;
    failure.nErrno = ENOENT;
    EXPECT_EQ(DescribePortFailure("COM2", failure), "/dev/kovra-gone does not exist");
    EXPECT_EQ(DescribePortFailure("COM3", failure), "no device is behind COM3");
    EXPECT_EQ(DescribePortFailure(nullptr, failure), "no port is chosen");
    ClearPortMappings();
    EXPECT_EQ(OpenReason("/dev/null"), "/dev/null is not a serial port");
}

// Another program holds the port (here "sleep", given our locked descriptor): it is named.
TEST(PortFailureTest, APortInUseNamesTheProgramThatHasIt) {
    CPtyPair pty;
    const int hHeld = open(pty.PathText(), O_RDWR | O_NOCTTY);
    ASSERT_GE(hHeld, 0);
    ASSERT_EQ(flock(hHeld, LOCK_EX | LOCK_NB), 0);
    const pid_t holder = Start({"/bin/sleep", "60"});
    close(hHeld);
    ASSERT_GT(holder, 0);

    const std::string strReason = OpenReason(pty.PathText());
    const std::vector<CPortHolder> vHolders = FindPortHolders(pty.Path());
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(strReason, pty.Path() + " is used by another program: sleep (process " +
                             std::to_string(holder) + ")");
    ASSERT_EQ(vHolders.size(), 1u); // this process has it open too, and is not counted
    EXPECT_EQ(vHolders[0].nPid, holder);
    EXPECT_EQ(OpenReason(pty.PathText()), "opened");
}

// Run as a user without rights to the device (the probe becomes nobody when started as
// root): the reason carries the usual fix.
TEST(PortFailureTest, NoPermissionSaysHowToGetIt) {
    CPtyPair pty;
    ASSERT_EQ(chmod(pty.PathText(), 0), 0);
    const auto [strOutput, nStatus] = RunToEnd({KOVRA_PORT_PROBE, pty.Path()});
    if (nStatus == 77) {
        GTEST_SKIP() << "cannot run as a user without rights here: " << strOutput;
    }
    ASSERT_EQ(nStatus, 0);
    EXPECT_EQ(strOutput, "no permission to use " + pty.Path() +
                             ": run 'sudo usermod -aG dialout $USER', then log in again\n");
}

TEST(PortFailureTest, SettingsTheDeviceRefusesAreNamed) {
    CPortFailure failure;
    failure.eStep = EPortStep::kSettings;
    failure.nCode = ERROR_INVALID_PARAMETER;
    failure.dwSpeed = 250000;
    failure.nParity = EVENPARITY;
    failure.nStopBits = TWOSTOPBITS;
    failure.nErrno = ERANGE;
    EXPECT_EQ(DescribePortFailure("/dev/ttyUSB0", failure), "/dev/ttyUSB0 refused 250000 bps");
    failure.nErrno = EINVAL;
    EXPECT_EQ(DescribePortFailure("/dev/ttyUSB0", failure),
              "/dev/ttyUSB0 refused the settings 250000 bps, 8 data bits, even parity, 2 stop "
              "bits");
    failure.nErrno = 0; // found without a system call
    EXPECT_EQ(DescribePortFailure("/dev/ttyUSB0", failure),
              "/dev/ttyUSB0 refused the settings 250000 bps, 8 data bits, even parity, 2 stop "
              "bits");
    failure.nErrno = EIO;
    EXPECT_EQ(DescribePortFailure("/dev/ttyUSB0", failure), "/dev/ttyUSB0: Input/output error");
    failure.nErrno = 0;
    failure.nCode = 1247; // a code no errno stands behind
    EXPECT_EQ(DescribePortFailure("/dev/ttyUSB0", failure), "/dev/ttyUSB0: error 1247");
}

} // namespace
