#pragma once

// The one table that turns a failing system call's errno into a result code:
// ENOENT -> 2 (file not found), EACCES and EBUSY -> 5 (access denied), anything else -> 31
// (device not functioning). Every part of the platform layer goes through here.
int ErrorFromErrno(int nErrno) noexcept;

// The code for the errno the last system call left behind.
int LastError() noexcept;

// The errno behind the last code this thread got from ErrorFromErrno, 0 before any: the
// detail that a code leaves out (5 is both "no permission" and "in use"), for telling a user
// why. A failure found without a system call records its nearest errno here itself.
int LastSystemErrno() noexcept;
void SetLastSystemErrno(int nErrno) noexcept;
