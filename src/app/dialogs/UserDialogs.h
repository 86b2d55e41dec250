#pragma once

#include <QString>

class CProgressDlg;
class QDialog;
class QWidget;

// A check box that a save dialog shows under its fields: its text, and its state, shown and
// then as the user left it (only when the dialog ends with a file).
struct SSaveCheckBox {
    QString m_strText;
    bool m_bChecked = false;
};

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
    // A save dialog that asks before replacing a file, with the check box when one is given;
    // empty when cancelled.
    virtual QString GetSaveFileName(QWidget* pParent, const QString& strFilter,
                                    const QString& strDefaultSuffix,
                                    SSaveCheckBox* pCheckBox = nullptr);
    // An open dialog for an existing file; empty when cancelled.
    virtual QString GetOpenFileName(QWidget* pParent, const QString& strFilter);
    // Shows the progress of work that goes on meanwhile: returns at once, the dialog blocking
    // input to its window until its owner closes it.
    virtual void ShowProgress(CProgressDlg& dialog);
};

// "Problem opening file.." with the system's reason after it.
QString OpeningFailedText(int nErrno);

// The one instance the program uses; tests replace it.
CUserDialogs& UserDialogs();
void SetUserDialogs(CUserDialogs* pDialogs);
