#include "LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* OpenLogFile(const char* szPath) noexcept {
    const int hFile =
        open(szPath, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
             0666);
    if (hFile < 0) {
        return nullptr;
    }
    struct stat status {};
    if (fstat(hFile, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(hFile);
        return nullptr;
    }
    std::FILE* pFile = fdopen(hFile, "a");
    if (pFile == nullptr) {
        close(hFile);
    }
    return pFile;
}
