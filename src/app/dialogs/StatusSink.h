#pragma once

#include <QObject>
#include <QString>

// Where a command's result goes: one line in the status bar. The commands write to it; the
// main window shows what it says (TextShown).
class CStatusSink : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // printf-style; at most 255 characters are shown.
    void SetStatusText(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));

signals:
    void TextShown(const QString& strText);
};
