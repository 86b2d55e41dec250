#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// The window of a long operation that runs while the program goes on: what it does, how far
// it has come, and Cancel. Cancel, Escape and the close box all end in rejected(); the dialog
// then stays up, saying it is stopping, until its owner closes it.
class CProgressDlg : public QDialog {
    Q_OBJECT

public:
    CProgressDlg(const QString& strText, QWidget* pParent);

    QString Text() const;
    // 0 to 1.
    void SetFraction(double fDone);

    void reject() override;

private:
    QLabel* m_pLabel;
    QProgressBar* m_pBar;
    bool m_bCancelled = false;
};
