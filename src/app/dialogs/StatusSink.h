#pragma once

#include <QString>

// Where a command's result goes: one line in the status bar. Whoever shows it (the main
// window) implements ShowStatus; the commands only know this face.
class CStatusSink {
public:
    // printf-style; at most 255 characters are shown.
    void SetStatusText(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    virtual void ShowStatus(const QString& strText) = 0;

protected:
    ~CStatusSink() = default;
};
