#include "PlatformError.h"

#include "BasicTypes.h"

#include <cerrno>

namespace {

thread_local int t_nLastSystemErrno = 0;

} // namespace

int ErrorFromErrno(int nErrno) noexcept {
    t_nLastSystemErrno = nErrno;
    switch (nErrno) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EBUSY:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

int LastError() noexcept {
    return ErrorFromErrno(errno);
}

int LastSystemErrno() noexcept {
    return t_nLastSystemErrno;
}

void SetLastSystemErrno(int nErrno) noexcept {
    t_nLastSystemErrno = nErrno;
}
