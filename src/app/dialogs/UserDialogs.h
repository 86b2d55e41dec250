#pragma once

#include <QString>

class CProgressDlg;
class QDialog;
class QWidget;

// Every modal exchange with the user goes through this object, so that tests can answer
// message boxes and dialogs without a person at the screen.
class CUserDialogs {
public:
    virtual ~CUserDialogs() = default;

    // Yes/No box with the question icon and the caption "Confirmation"; true for Yes.
    virtual bool Confirm(QWidget* pParent, const QString& strText);
    // Box with an OK button and the application's title as caption.
    virtual void Notify(QWidget* pParent, const QString& strText);
    // Runs a dialog modally and returns its result (QDialog::Accepted for OK).
    virtual int Run(QDialog& dialog);
    // A save dialog that asks before replacing a file; empty when cancelled.
    virtual QString GetSaveFileName(QWidget* pParent, const QString& strFilter,
                                    const QString& strDefaultSuffix);
    // An open dialog for an existing file; empty when cancelled.
    virtual QString GetOpenFileName(QWidget* pParent, const QString& strFilter);
    // Shows the progress of work that goes on meanwhile: returns at once, the dialog blocking
    // input to its window until its owner closes it.
    virtual void ShowProgress(CProgressDlg& dialog);
};

// The one instance the program uses; tests replace it.
CUserDialogs& UserDialogs();
void SetUserDialogs(CUserDialogs* pDialogs);
