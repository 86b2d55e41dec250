#include "dialogs/StatusSink.h"

#include <cstdarg>
#include <cstdio>

void CStatusSink::SetStatusText(const char* szFormat, ...) {
    char szText[256];
    va_list args;
    va_start(args, szFormat);
    std::vsnprintf(szText, sizeof szText, szFormat, args);
    va_end(args);
    emit TextShown(QString::fromUtf8(szText));
}
