#pragma once

// The real program in a process of its own, driven through --control; the test plays the
// board on a pseudo-terminal (CPtyPair).
#include "PtyPair.h"
#include "ScratchDirectory.h"

#include <chrono>
#include <string>
#include <vector>

// The settings file of a program started in a directory, unless --settings names another.
inline constexpr char kSettingsFile[] = "kovraplotter.conf";

class CProgram {
public:
    // Starts kovraplotter off-screen in strDirectory with the given extra arguments and
    // environment ("NAME=VALUE"). It finds no serial device of this machine unless the
    // environment names a sysfs root of the test's own (KOVRA_SYSFS_ROOT).
    CProgram(const std::string& strDirectory, const std::vector<std::string>& vArguments,
             const std::vector<std::string>& vEnvironment = {});
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    // Sends one command and returns the lines printed before its "done".
    std::vector<std::string> Command(const std::string& strCommand);
    std::string Status();
    // The status bar's permanent pane.
    std::string Pane();
    // The caption's value count and channel count.
    std::pair<long, int> Caption();
    // Waits until the caption shows nValues values; false after the time-out.
    bool WaitForValues(long nValues, std::chrono::milliseconds timeout);
    // Waits until the caption has stopped changing for half a second.
    void WaitUntilSettled();
    // Ends the program with "quit"; its exit status (-1 for a crash or a hang).
    int Quit();
    // Sends the program a signal.
    void Signal(int nSignal) const;
    // Waits for the program to end by itself; its exit status (-1 for a crash or a hang).
    int WaitForExit();

private:
    std::string ReadLine(std::chrono::milliseconds timeout);

    int m_nPid = -1;
    int m_hInput = -1;
    int m_hOutput = -1;
    std::string m_strBuffered;
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
