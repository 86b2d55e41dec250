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
    // A text of any length (a readout of ten channels).
    void SetText(const QString& strText) { emit TextShown(strText); }
    // A text that lasts only while the pointer is over the plot (the values under it): the
    // status bar goes back to what it said when EndTransient comes.
    void ShowTransient(const QString& strText) { emit TransientShown(strText); }
    void EndTransient() { emit TransientEnded(); }

signals:
    void TextShown(const QString& strText);
    void TransientShown(const QString& strText);
    void TransientEnded();
};
