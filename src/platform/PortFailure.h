#pragma once

#include "BasicTypes.h"

#include <string>
#include <vector>

// Why a port could not be connected, in the user's words: decided from the step that failed
// and the errno behind its result code (LastSystemErrno(), read right after the failure).

enum class EPortStep {
    kOpen,     // opening the device
    kSettings, // giving it the line settings
};

struct CPortFailure {
    EPortStep eStep = EPortStep::kOpen;
    int nCode = 0;
    int nErrno = 0;
    // What the settings step asked for.
    DWORD dwSpeed = 0;
    BYTE nParity = 0;   // 0 none, 1 odd, 2 even
    BYTE nStopBits = 0; // 0 one, 2 two
};

// A process that has a device open.
struct CPortHolder {
    int nPid = 0;
    std::string strProgram;
};

// The other processes that have the device open, from /proc/<pid>/fd; processes whose
// descriptors this one may not look at are missing.
std::vector<CPortHolder> FindPortHolders(const std::string& strDevice);

// The words that follow "Error Connecting..", for example "/dev/ttyACM0 is used by another
// program: minicom (process 4242)". szName is the port as the user chose it ("COM1", a device
// path), or null when no port was chosen.
std::string DescribePortFailure(const char* szName, const CPortFailure& failure);
