#include "PlatformError.h"

#include "BasicTypes.h"

#include <cerrno>

int ErrorFromErrno(int nErrno) noexcept {
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
