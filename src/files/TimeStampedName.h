#pragma once

#include <ctime>
#include <string>
#include <string_view>

class COutputFile;

// The local time, read once: the date and the time of one name come from the same reading.
std::tm LocalTimeNow();

// "KovraPlot_" + "%y%m%d" + "_" + "%I-%M-%S" + extension, for example
// KovraPlot_051231_01-02-03.csv for 31 December 2005 at 13:02:03.
std::string MakeTimeStampedName(const std::tm& tmLocal, std::string_view strExtension);

// The n-th candidate for a taken name: n = 1 gives the name itself, n = 2 adds "_2" before
// the extension, and so on.
std::string MakeNumberedName(const std::tm& tmLocal, std::string_view strExtension, int n);

// Creates a new file with the time-stamped name in strDirectory (the current directory when
// empty), never replacing anything: a taken name gets the next "_n". On success
// strPath is the name used (with strDirectory in front when one was given).
bool CreateTimeStampedFile(COutputFile& file, const std::tm& tmLocal, std::string_view strExtension,
                           const std::string& strDirectory, std::string& strPath);
