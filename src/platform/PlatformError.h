#pragma once

// The one table that turns a failing system call's errno into a result code:
// ENOENT -> 2 (file not found), EACCES and EBUSY -> 5 (access denied), anything else -> 31
// (device not functioning). Every part of the platform layer goes through here.
int ErrorFromErrno(int nErrno) noexcept;

// The code for the errno the last system call left behind.
int LastError() noexcept;
