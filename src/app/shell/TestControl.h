#pragma once

#include "dialogs/UserDialogs.h"

#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>
#include <utility>
#include <vector>

class CMainFrame;
class QSocketNotifier;

// Drives the running program from standard input, one command a line, and answers on
// standard output, so that automated tests can use it as a person would:
//   key NAME [MODIFIERS]   a key press on the plot ("F8", "Home", "Ctrl+Home")
//   command ID             a menu command or accelerator by its id
//   answer yes|no          the answer to the next question
//   save-as PATH           the file chosen in the next save dialog ("" cancels)
//   save-check on|off      the state the next save dialog's check box is left in
//   open PATH              the file chosen in the next open dialog ("" cancels)
//   progress cancel|keep   whether the next progress dialog is cancelled as it shows
//   dialog-set NAME TEXT   in the next dialog, the field NAME takes TEXT: the list item of
//                          that text (or TEXT typed, in a list one may type in), the text of
//                          a text field, "on" or "off" for a check box
//   dialog-ok              the next dialog ends with OK (else it is cancelled)
//   hold MS                the next dialog (a save dialog too) stays open MS milliseconds in
//                          its own event loop, as a person looking at it would keep it,
//                          before it ends as above or is answered
//   resize W H             resizes the main window and paints it at once, as one step of
//                          a resize by the window manager does; prints "plot W H", the size
//                          of the plot's area then
//   window [X Y W H]       moves and resizes the main window when given numbers; prints
//                          "window X Y W H", its place and size
//   send TEXT              types TEXT in the send bar (shown or not) and presses Enter there
//   mouse X Y | leave      the pointer moves to X Y of the plot (no button pressed), or
//                          leaves it
//   status                 prints "status TEXT", the status bar's text
//   pane                   prints "pane TEXT", the status bar's permanent pane
//   caption                prints "caption TEXT", the plot's caption
//   paint-time             prints "paint-time MS ms", the time of painting the view once
//   paints                 prints "paints N", the number of paints of the view so far
//   quit                   ends the program as Exit does, without the question
// Message boxes print "message TEXT" and are dismissed. A dialog prints "dialog TITLE", then
// what it shows: "field NAME = TEXT" for each list, text field and check box, and "option
// NAME TEXT" for each item of a list; then "dialog TITLE accepted" or "... cancelled". A
// progress dialog prints "progress TEXT" when it shows, while the program goes on. Every
// command ends with "done".
class CTestControl : public QObject, public CUserDialogs {
    Q_OBJECT

public:
    explicit CTestControl(CMainFrame& frame);
    ~CTestControl() override;

    bool Confirm(QWidget* pParent, const QString& strText) override;
    void Notify(QWidget* pParent, const QString& strText) override;
    int Run(QDialog& dialog) override;
    QString GetSaveFileName(QWidget* pParent, const QString& strFilter,
                            const QString& strDefaultSuffix,
                            SSaveCheckBox* pCheckBox = nullptr) override;
    QString GetOpenFileName(QWidget* pParent, const QString& strFilter) override;
    void ShowProgress(CProgressDlg& dialog) override;

private:
    // Runs a modal dialog (pDialog, or the one that run opens), which is ended (accepted or
    // cancelled) after the hold.
    void HoldOpen(bool bAccept, const std::function<void()>& run, QDialog* pDialog = nullptr);
    void OnReadable();
    void Execute(const QString& strLine);
    void PrintWindow();
    static void Print(const QString& strLine);
    // The answer to the next file dialog: the first path queued, or none.
    static QString NextPath(std::deque<QString>& vPaths);
    static void PrintFields(QDialog& dialog);
    static void SetField(QDialog& dialog, const QString& strName, const QString& strText);

    CMainFrame& m_frame;
    QSocketNotifier* m_pNotifier;
    QByteArray m_pending;
    std::deque<bool> m_vAnswers;
    std::deque<QString> m_vSavePaths;
    std::deque<bool> m_vSaveChecks;
    std::deque<QString> m_vOpenPaths;
    std::deque<bool> m_vProgressCancels;
    std::vector<std::pair<QString, QString>> m_vDialogFields;
    bool m_bDialogOk = false;
    int m_nHoldMs = -1;
};
