#pragma once

#include <cstdio>

// Opens a log file for appending text without being led astray by what is at the path: the
// open never blocks (a FIFO without a reader), never follows a symbolic link (whose target it
// would create or write), and only a regular file is taken. Null when that fails; the
// caller then goes on without a log.
std::FILE* OpenLogFile(const char* szPath) noexcept;
