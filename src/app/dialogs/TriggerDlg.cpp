#include "dialogs/TriggerDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QComboBox* MakeList(QWidget* pParent, const char* szName, const QStringList& vItems) {
    auto* pList = new QComboBox(pParent);
    pList->setObjectName(QLatin1String(szName));
    pList->addItems(vItems);
    return pList;
}

QLineEdit* MakeField(QWidget* pParent, const char* szName, const QString& strPattern) {
    auto* pField = new QLineEdit(pParent);
    pField->setObjectName(QLatin1String(szName));
    pField->setValidator(new QRegularExpressionValidator(QRegularExpression(strPattern), pField));
    return pField;
}

} // namespace

CTriggerDlg::CTriggerDlg(QWidget* pParent, const QStringList& vChannels) : QDialog(pParent) {
    setWindowTitle(QStringLiteral("Trigger"));
    m_pOn = new QCheckBox(QStringLiteral("Trigger on"), this);
    m_pOn->setObjectName(QStringLiteral("checkOn"));
    m_pChannel = MakeList(this, "comboChannel", vChannels);
    m_pLevel =
        MakeField(this, "editLevel", QStringLiteral("[-+]?[0-9]*[.]?[0-9]*([eE][-+]?[0-9]*)?"));
    m_pEdge =
        MakeList(this, "comboEdge",
                 {QStringLiteral("Rising"), QStringLiteral("Falling"), QStringLiteral("Either")});
    m_pPosition = MakeField(this, "editPosition", QStringLiteral("[0-9]{0,3}"));
    m_pMode = MakeList(this, "comboMode", {QStringLiteral("Normal"), QStringLiteral("Single")});
    auto* pForm = new QFormLayout;
    pForm->addRow(m_pOn);
    pForm->addRow(QStringLiteral("Channel"), m_pChannel);
    pForm->addRow(QStringLiteral("Level"), m_pLevel);
    pForm->addRow(QStringLiteral("Edge"), m_pEdge);
    pForm->addRow(QStringLiteral("Position in window (%)"), m_pPosition);
    pForm->addRow(QStringLiteral("Mode"), m_pMode);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CTriggerDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CTriggerDlg::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);
}

void CTriggerDlg::showEvent(QShowEvent* pEvent) {
    if (!pEvent->spontaneous()) {
        const QLocale c = QLocale::c();
        m_pOn->setChecked(m_settings.m_bOn);
        m_pChannel->setCurrentIndex(m_settings.m_nChannel);
        m_pLevel->setText(c.toString(m_settings.m_fLevel, 'g', 7));
        m_pEdge->setCurrentIndex(static_cast<int>(m_settings.m_eEdge));
        m_pPosition->setText(QString::number(m_settings.m_nPositionPercent));
        m_pMode->setCurrentIndex(static_cast<int>(m_settings.m_eMode));
    }
    QDialog::showEvent(pEvent);
}

void CTriggerDlg::accept() {
    const QLocale c = QLocale::c();
    m_settings.m_bOn = m_pOn->isChecked();
    m_settings.m_nChannel = std::max(0, m_pChannel->currentIndex());
    bool bOk = false;
    const float fLevel = c.toFloat(m_pLevel->text(), &bOk);
    if (bOk && std::isfinite(fLevel)) {
        m_settings.m_fLevel = fLevel;
    }
    m_settings.m_eEdge = static_cast<ETriggerEdge>(std::max(0, m_pEdge->currentIndex()));
    const int nPosition = m_pPosition->text().toInt(&bOk);
    if (bOk) {
        m_settings.m_nPositionPercent = std::clamp(nPosition, 0, 100);
    }
    m_settings.m_eMode = static_cast<ETriggerMode>(std::max(0, m_pMode->currentIndex()));
    QDialog::accept();
}
