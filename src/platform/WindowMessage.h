#pragma once

#include "BasicTypes.h"

// The id of a named message, the same for every caller in this process: the first name gets
// 0xC000, each new name the next id. Names compare without regard to case. 0 for an empty name
// or when the ids up to 0xFFFF are used up. Thread-safe.
UINT RegisterWindowMessage(const char* szName) noexcept;
