#pragma once

#include <cstdint>

// The serial classes were written against the types, codes and wait results of the kernel of
// the system they first ran on. These are their equivalents here, with the same numbers, so
// that result codes keep their meaning for every caller.

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// A time-out in milliseconds that never runs out.
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

// Results of a wait on an event or a thread.
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// Result codes the platform layer gives.
inline constexpr int ERROR_SUCCESS = 0;
inline constexpr int ERROR_FILE_NOT_FOUND = 2;
inline constexpr int ERROR_ACCESS_DENIED = 5;
inline constexpr int ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr int ERROR_GEN_FAILURE = 31; // a device attached to the system is not functioning
inline constexpr int ERROR_INVALID_PARAMETER = 87;
inline constexpr int ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr int ERROR_OPERATION_ABORTED = 995;
inline constexpr int ERROR_IO_INCOMPLETE = 996;
inline constexpr int ERROR_IO_PENDING = 997;

constexpr WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
    return static_cast<WPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
