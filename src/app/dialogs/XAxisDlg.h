#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class XAxisDlg;
}

// Points per division as typed (digits only) and the "double ppd at max" rule; the caller
// checks the text after OK.
class CXAxisDlg : public QDialog {
    Q_OBJECT

public:
    explicit CXAxisDlg(QWidget* pParent = nullptr);
    ~CXAxisDlg() override;

    QString m_strPpd;
    bool m_bDoublePpd = false;

    Ui::XAxisDlg& Controls() { return *m_pUi; }

protected:
    void showEvent(QShowEvent* pEvent) override;

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::XAxisDlg> m_pUi;
};
