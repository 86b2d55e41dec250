#include "PortSetupDlg.h"

#include "PortNames.h"
#include "ui_PortSetupDlg.h"

CPortSetupDlg::CPortSetupDlg(QWidget* pParent)
    : QDialog(pParent), m_pUi(std::make_unique<Ui::PortSetupDlg>()) {
    m_pUi->setupUi(this);
    // Each name with the device it stands for on this machine.
    for (const char* szName : {"COM1", "COM2", "COM3", "COM4"}) {
        m_pUi->comboPort->addItem(QString::fromStdString(DescribePortName(szName)));
    }
}

CPortSetupDlg::~CPortSetupDlg() = default;

void CPortSetupDlg::showEvent(QShowEvent* pEvent) {
    m_pUi->comboParity->setCurrentIndex(m_nParity);
    m_pUi->comboPort->setCurrentIndex(m_nPort);
    m_pUi->comboSpeed->setCurrentIndex(m_nSpeed);
    m_pUi->comboStopBits->setCurrentIndex(m_nStopBits);
    QDialog::showEvent(pEvent);
}

void CPortSetupDlg::accept() {
    m_nParity = m_pUi->comboParity->currentIndex();
    m_nPort = m_pUi->comboPort->currentIndex();
    m_nSpeed = m_pUi->comboSpeed->currentIndex();
    m_nStopBits = m_pUi->comboStopBits->currentIndex();
    QDialog::accept();
}
