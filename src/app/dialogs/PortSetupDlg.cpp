#include "dialogs/PortSetupDlg.h"

#include "PortChoice.h"
#include "PortNames.h"
#include "ui_PortSetupDlg.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QShowEvent>

CPortSetupDlg::CPortSetupDlg(QWidget* pParent)
    : QDialog(pParent), m_pUi(std::make_unique<Ui::PortSetupDlg>()) {
    m_pUi->setupUi(this);
    // Each name with the device it stands for on this machine.
    for (int nPort = 0; nPort < kPortChoiceCount; ++nPort) {
        m_pUi->comboPort->addItem(QString::fromStdString(DescribePortName(PortOfChoice(nPort))));
    }
    m_pUi->comboSpeed->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\s*[0-9]{1,10}\\s*(bps)?\\s*"),
                           QRegularExpression::CaseInsensitiveOption),
        this));
}

CPortSetupDlg::~CPortSetupDlg() = default;

void CPortSetupDlg::showEvent(QShowEvent* pEvent) {
    // A window restored by the window manager keeps what the user chose.
    if (!pEvent->spontaneous()) {
        m_pUi->comboParity->setCurrentIndex(m_nParity);
        m_pUi->comboPort->setCurrentIndex(m_nPort);
        m_pUi->comboSpeed->setCurrentIndex(m_nTypedSpeed > 0 ? -1 : m_nSpeed);
        if (m_nTypedSpeed > 0) {
            m_pUi->comboSpeed->setEditText(QString::number(m_nTypedSpeed));
        }
        m_pUi->comboStopBits->setCurrentIndex(m_nStopBits);
        m_pUi->comboFormat->setCurrentIndex(m_eBoardFormat == EBoardFormat::kLines ? 1 : 0);
    }
    QDialog::showEvent(pEvent);
}

void CPortSetupDlg::accept() {
    m_nParity = m_pUi->comboParity->currentIndex();
    m_nPort = m_pUi->comboPort->currentIndex();
    // The text decides, whether chosen from the list or typed.
    const std::string strSpeed = m_pUi->comboSpeed->currentText().toStdString();
    if (DWORD dwSpeed = 0; ParseSpeedText(strSpeed, &dwSpeed)) {
        ChooseSpeed(dwSpeed, &m_nSpeed, &m_nTypedSpeed);
    }
    m_nStopBits = m_pUi->comboStopBits->currentIndex();
    m_eBoardFormat =
        m_pUi->comboFormat->currentIndex() == 1 ? EBoardFormat::kLines : EBoardFormat::kHashSets;
    QDialog::accept();
}
