#include "dialogs/XAxisDlg.h"

#include "ui_XAxisDlg.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QShowEvent>

CXAxisDlg::CXAxisDlg(QWidget* pParent) : QDialog(pParent), m_pUi(std::make_unique<Ui::XAxisDlg>()) {
    m_pUi->setupUi(this);
    // ASCII digits only, typed or pasted, and no length limit: the caller saturates.
    m_pUi->editPpd->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    // The dialog opens on the first control of the tab order, as the button row leads it.
    m_pUi->buttonOk->setFocus();
}

CXAxisDlg::~CXAxisDlg() = default;

void CXAxisDlg::showEvent(QShowEvent* pEvent) {
    // A window restored by the window manager keeps what the user typed.
    if (!pEvent->spontaneous()) {
        m_pUi->editPpd->setText(m_strPpd);
        m_pUi->editUnit->clear();
        m_pUi->checkDoublePpd->setChecked(m_bDoublePpd);
    }
    QDialog::showEvent(pEvent);
}

void CXAxisDlg::accept() {
    m_strPpd = m_pUi->editPpd->text();
    m_bDoublePpd = m_pUi->checkDoublePpd->isChecked();
    QDialog::accept();
}
