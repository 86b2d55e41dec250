#pragma once

// The real program in a process of its own, driven through --control; the test plays the
// board on a pseudo-terminal (CPtyPair), or kovra-devsim does (CBoardProcess).
#include "DevSimBoard.h"
#include "PtyPair.h"
#include "ScratchDirectory.h"

#include <chrono>
#include <string>
#include <vector>

// The settings file of a program started in a directory, unless --settings names another.
inline constexpr char kSettingsFile[] = "kovraplotter.conf";

// A child process with its standard input and output on pipes, killed if still running when
// this goes away.
class CChildProcess {
public:
    // vEnvironment is all of the child's environment ("NAME=VALUE"); its standard error goes to
    // strErrorFile when one is named.
    CChildProcess(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                  const std::vector<std::string>& vEnvironment,
                  const std::string& strErrorFile = {});
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    void WriteLine(const std::string& strLine);
    // The next line it prints; throws after the time-out or when it ended.
    std::string ReadLine(std::chrono::milliseconds timeout);
    void Signal(int nSignal) const;
    int Pid() const { return m_nPid; }
    // Waits at most the time-out for it to end; its exit status, or -1 for a crash or a hang.
    int Wait(std::chrono::milliseconds timeout);

private:
    int m_nPid = -1;
    int m_hInput = -1;
    int m_hOutput = -1;
    std::string m_strBuffered;
};

class CProgram {
public:
    // Starts kovraplotter off-screen in strDirectory with the given extra arguments and
    // environment ("NAME=VALUE"). It finds no serial device of this machine unless the
    // environment names a sysfs root of the test's own (KOVRA_SYSFS_ROOT), and keeps its
    // settings in kSettingsFile there.
    CProgram(const std::string& strDirectory, const std::vector<std::string>& vArguments,
             const std::vector<std::string>& vEnvironment = {});
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    // Sends one command and returns the lines printed before its "done".
    std::vector<std::string> Command(const std::string& strCommand);
    std::string Status();
    // The status bar's permanent pane.
    std::string Pane();
    // The caption's value count and channel count.
    std::pair<long, int> Caption();
    // Presses F8 and returns the name of the file it reports once the export has ended (a
    // long one ends after the key has returned); empty when it reports none.
    std::string QuickExport();
    // Waits until the status bar shows something else than strBefore, and returns it.
    std::string WaitForNewStatus(const std::string& strBefore, std::chrono::milliseconds timeout);
    // Waits until the caption shows nValues values; false after the time-out.
    bool WaitForValues(long nValues, std::chrono::milliseconds timeout);
    // Waits until the caption has stopped changing for half a second.
    void WaitUntilSettled();
    // Ends the program with "quit"; its exit status (-1 for a crash or a hang).
    int Quit();
    void Signal(int nSignal) const { m_process.Signal(nSignal); }
    // Waits for the program to end by itself; its exit status (-1 for a crash or a hang).
    int WaitForExit();
    int Pid() const { return m_process.Pid(); }

private:
    CChildProcess m_process;
};

// kovra-devsim in a process of its own.
class CBoardProcess {
public:
    // What it prints on standard error (--echo) goes to strErrorFile when one is named.
    CBoardProcess(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                  const std::string& strErrorFile = {});
    // The port side of its pseudo-terminal.
    const std::string& Path() const { return m_strPath; }
    // The port side it came back on after a hang-up (--come-back-after), as soon as it says so.
    std::string NextPath() { return m_process.ReadLine(std::chrono::seconds(60)); }
    // The counts so far (asked for with SIGUSR1).
    CBoardCounts Counts();
    // Stops it and returns its final counts.
    CBoardCounts Stop();

private:
    CBoardCounts ReadCounts();

    CChildProcess m_process;
    std::string m_strPath;
};

// A run of the program to its end, without the driver, in strDirectory (its settings there
// too): off-screen, or as in a plain terminal with no display and no platform chosen.
struct SProgramRun {
    int m_nStatus = -1; // -1 for a crash or a hang
    std::string m_strOutput;
    std::string m_strError;
};
SProgramRun RunToEnd(const std::string& strDirectory, const std::vector<std::string>& vArguments,
                     bool bPlainTerminal = false);

// Writes the bytes as the device at about fBytesPerSecond.
void SendPaced(const CPtyPair& device, const std::string& strData, double fBytesPerSecond);
