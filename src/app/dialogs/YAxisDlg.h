#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class YAxisDlg;
}

// The Y range as texts and the automatic-scaling switch; the caller checks the texts after OK.
class CYAxisDlg : public QDialog {
    Q_OBJECT

public:
    explicit CYAxisDlg(QWidget* pParent = nullptr);
    ~CYAxisDlg() override;

    QString m_strYMax;
    QString m_strYMin;
    bool m_bAutoScaling = false;

    Ui::YAxisDlg& Controls() { return *m_pUi; }

protected:
    void showEvent(QShowEvent* pEvent) override;

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::YAxisDlg> m_pUi;
};
