#include "TimeStampedName.h"

#include "OutputFile.h"

#include <cerrno>

namespace {

// Past this many files of one second something else is wrong; give up rather than loop.
constexpr int kMaxNumberedNames = 1000;

} // namespace

std::tm LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tmLocal{};
    ::localtime_r(&now, &tmLocal);
    return tmLocal;
}

std::string MakeTimeStampedName(const std::tm& tmLocal, std::string_view strExtension) {
    char szStamp[64];
    const std::size_t n = std::strftime(szStamp, sizeof szStamp, "%y%m%d_%I-%M-%S", &tmLocal);
    std::string strName = "KovraPlot_";
    strName.append(szStamp, n);
    strName.append(strExtension);
    return strName;
}

std::string MakeNumberedName(const std::tm& tmLocal, std::string_view strExtension, int n) {
    if (n <= 1) {
        return MakeTimeStampedName(tmLocal, strExtension);
    }
    std::string strName = MakeTimeStampedName(tmLocal, {});
    strName += '_';
    strName += std::to_string(n);
    strName.append(strExtension);
    return strName;
}

bool CreateTimeStampedFile(COutputFile& file, const std::tm& tmLocal, std::string_view strExtension,
                           const std::string& strDirectory, std::string& strPath) {
    std::string strPrefix = strDirectory;
    if (!strPrefix.empty() && strPrefix.back() != '/') {
        strPrefix += '/';
    }
    for (int n = 1; n <= kMaxNumberedNames; ++n) {
        strPath = strPrefix + MakeNumberedName(tmLocal, strExtension, n);
        if (file.OpenNew(strPath)) {
            return true;
        }
        if (file.Error() != EEXIST) {
            return false;
        }
    }
    return false;
}
