#include "dialogs/YAxisDlg.h"

#include "ui_YAxisDlg.h"

#include <QShowEvent>

CYAxisDlg::CYAxisDlg(QWidget* pParent) : QDialog(pParent), m_pUi(std::make_unique<Ui::YAxisDlg>()) {
    m_pUi->setupUi(this);
    // The dialog opens on the first control of the tab order, as the button row leads it.
    m_pUi->buttonOk->setFocus();
}

CYAxisDlg::~CYAxisDlg() = default;

void CYAxisDlg::showEvent(QShowEvent* pEvent) {
    // A window restored by the window manager keeps what the user typed.
    if (!pEvent->spontaneous()) {
        m_pUi->editYMax->setText(m_strYMax);
        m_pUi->editYMin->setText(m_strYMin);
        m_pUi->checkAutoScaling->setChecked(m_bAutoScaling);
    }
    QDialog::showEvent(pEvent);
}

void CYAxisDlg::accept() {
    m_strYMax = m_pUi->editYMax->text();
    m_strYMin = m_pUi->editYMin->text();
    m_bAutoScaling = m_pUi->checkAutoScaling->isChecked();
    QDialog::accept();
}
