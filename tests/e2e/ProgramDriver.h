#pragma once

// The real program in a process of its own, driven through --control; the test plays the
// board on a pseudo-terminal (CPtyPair).
#include "PtyPair.h"

#include <chrono>
#include <string>
#include <vector>

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
    // The caption's value count and channel count.
    std::pair<long, int> Caption();
    // Waits until the caption shows nValues values; false after the time-out.
    bool WaitForValues(long nValues, std::chrono::milliseconds timeout);
    // Waits until the caption has stopped changing for half a second.
    void WaitUntilSettled();
    // Ends the program with "quit"; its exit status (-1 for a crash or a hang).
    int Quit();

private:
    std::string ReadLine(std::chrono::milliseconds timeout);

    int m_nPid = -1;
    int m_hInput = -1;
    int m_hOutput = -1;
    std::string m_strBuffered;
};

// Runs kovraplotter off-screen with the arguments, without the driver, for a start that ends
// at once: its exit status (-1 for a crash or a hang) and what it wrote to standard error.
std::pair<int, std::string> RunToEnd(const std::vector<std::string>& vArguments);

// Writes the bytes as the device at about fBytesPerSecond.
void SendPaced(const CPtyPair& device, const std::string& strData, double fBytesPerSecond);

// A directory of its own for a test, removed afterwards.
class CScratchDirectory {
public:
    CScratchDirectory();
    ~CScratchDirectory();
    const std::string& Path() const { return m_strPath; }
    std::string Read(const std::string& strName) const;

private:
    std::string m_strPath;
};
