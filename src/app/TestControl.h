#pragma once

#include "UserDialogs.h"

#include <QObject>
#include <QStringList>

#include <deque>

class CMainFrame;
class QSocketNotifier;

// Drives the running program from standard input, one command a line, and answers on
// standard output, so that automated tests can use it as a person would:
//   key NAME [MODIFIERS]   a key press on the plot ("F8", "Home", "Ctrl+Home")
//   command ID             a menu command or accelerator by its id
//   answer yes|no          the answer to the next question
//   save-as PATH           the file chosen in the next save dialog ("" cancels)
//   fill NAME=VALUE ...    the next dialog: its fields set in this order as a user would
//                          (a list by position, a box by 1 or 0, a text field by its text;
//                          no spaces in a value), then OK; without it a dialog is cancelled
//   window [X Y W H]       moves and resizes the main window when given numbers; prints
//                          "window X Y W H", its place and size
//   status                 prints "status TEXT", the status bar's text
//   pane                   prints "pane TEXT", the status bar's permanent pane
//   caption                prints "caption TEXT", the plot's caption
//   paint-time             prints "paint-time MS ms", the time of painting the view once
//   paints                 prints "paints N", the number of paints of the view so far
//   quit                   ends the program as Exit does, without the question
// Message boxes print "message TEXT" and are dismissed; a dialog prints "field NAME VALUE"
// for each field as it opens, then "dialog TITLE accepted|cancelled". Every command ends
// with "done".
class CTestControl : public QObject, public CUserDialogs {
    Q_OBJECT

public:
    explicit CTestControl(CMainFrame& frame);
    ~CTestControl() override;

    bool Confirm(QWidget* pParent, const QString& strText) override;
    void Notify(QWidget* pParent, const QString& strText) override;
    int Run(QDialog& dialog) override;
    QString GetSaveFileName(QWidget* pParent, const QString& strFilter,
                            const QString& strDefaultSuffix) override;

private:
    void OnReadable();
    void Execute(const QString& strLine);
    void PrintWindow();
    static void Print(const QString& strLine);

    CMainFrame& m_frame;
    QSocketNotifier* m_pNotifier;
    QByteArray m_pending;
    std::deque<bool> m_vAnswers;
    std::deque<QString> m_vSavePaths;
    std::deque<QStringList> m_vFills;
};
