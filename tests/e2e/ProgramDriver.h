#pragma once

// The real program in a process of its own, driven through --control, and a simulated board
// on a pseudo-terminal, written to by the test.
#include <chrono>
#include <string>
#include <vector>

class CProgram {
public:
    // Starts kovraplotter off-screen in strDirectory with the given extra arguments.
    CProgram(const std::string& strDirectory, const std::vector<std::string>& vArguments);
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

class CDevice {
public:
    CDevice();
    ~CDevice();
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    const std::string& Path() const { return m_strPath; }
    // Writes all of the bytes, waiting while the port is full.
    void Write(const std::string& strData) const;
    // Writes at about nBytesPerSecond.
    void WritePaced(const std::string& strData, double fBytesPerSecond) const;
    // Unplugs the board: the port side sees a hang-up.
    void HangUp();

private:
    int m_hMaster = -1;
    int m_hSlave = -1;
    std::string m_strPath;
};

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
