#include "dialogs/ChannelSetupDlg.h"

#include "ui_ChannelSetupDlg.h"

#include <QShowEvent>
#include <QSignalBlocker>

#include <charconv>
#include <cstdlib>
#include <locale.h>
#include <string>

CChannelSetupDlg::CChannelSetupDlg(QWidget* pParent)
    : QDialog(pParent), m_pUi(std::make_unique<Ui::ChannelSetupDlg>()) {
    m_pUi->setupUi(this);
    for (int i = 0; i < kChannelCount; ++i) {
        m_pUi->comboChannel->addItem(QStringLiteral("Channel %1").arg(i + 1));
    }
    // Only the user's actions notify: activated and clicked are not emitted when the
    // program selects an entry or checks a box. The fields notify on every change of their
    // text, also the program's own (see SetLimitField).
    connect(m_pUi->comboChannel, &QComboBox::activated, this,
            &CChannelSetupDlg::OnSelChangeChannel);
    connect(m_pUi->editName, &QLineEdit::textEdited, this, &CChannelSetupDlg::OnEditName);
    connect(m_pUi->comboColor, &QComboBox::activated, this, &CChannelSetupDlg::OnSelChangeColor);
    connect(m_pUi->comboPointType, &QComboBox::activated, this,
            &CChannelSetupDlg::OnSelChangePointType);
    connect(m_pUi->checkInterpolate, &QCheckBox::clicked, this, &CChannelSetupDlg::OnInterpolate);
    connect(m_pUi->checkMarkMinMax, &QCheckBox::clicked, this, &CChannelSetupDlg::OnMarkMinMax);
    connect(m_pUi->checkSoundEnabled, &QCheckBox::clicked, this, &CChannelSetupDlg::OnSoundEnabled);
    connect(m_pUi->editBeepLimitMin, &QLineEdit::textChanged, this,
            &CChannelSetupDlg::OnUpdateBeepLimitMin);
    connect(m_pUi->editBeepLimitMax, &QLineEdit::textChanged, this,
            &CChannelSetupDlg::OnUpdateBeepLimitMax);
}

CChannelSetupDlg::~CChannelSetupDlg() = default;

QString CChannelSetupDlg::LimitText(float fLimit) {
    // to_chars formats as printf does in the "C" locale; room for FLT_MAX in full.
    char szText[64];
    const auto result = std::to_chars(szText, szText + sizeof szText, static_cast<double>(fLimit),
                                      std::chars_format::fixed, 2);
    return QString::fromLatin1(szText, static_cast<qsizetype>(result.ptr - szText));
}

float CChannelSetupDlg::LimitValue(const QString& strText) {
    // strtod_l with a "C" locale object reads exactly as atof does there, whatever locale the
    // process runs in (Qt sets it from the environment).
    static const locale_t hCLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (hCLocale == locale_t{}) {
        return 0.0f;
    }
    // Only the characters a decimal number is made of reach strtod, which would also read
    // hexadecimal, infinity and NaN forms; the longest decimal number is among them.
    const std::string strText8 = strText.toStdString();
    const std::size_t nStart = strText8.find_first_not_of(" \t\n\v\f\r");
    if (nStart == std::string::npos) {
        return 0.0f;
    }
    const std::size_t nEnd = strText8.find_first_not_of("0123456789+-.eE", nStart);
    const std::string strNumber = strText8.substr(nStart, nEnd - nStart);
    // Beyond the float range the narrowing gives +-inf, as on this platform's atof.
    return static_cast<float>(strtod_l(strNumber.c_str(), nullptr, hCLocale));
}

void CChannelSetupDlg::showEvent(QShowEvent* pEvent) {
    // A window restored by the window manager keeps the channel the user is editing.
    if (!pEvent->spontaneous()) {
        OnInitDialog();
    }
    QDialog::showEvent(pEvent);
}

void CChannelSetupDlg::OnInitDialog() {
    m_nCurChannel = 0;
    m_pUi->comboChannel->setCurrentIndex(0);
    ShowChannel(0);
}

void CChannelSetupDlg::ShowChannel(int nChannel) {
    const auto i = static_cast<std::size_t>(nChannel);
    m_pUi->editName->setText(m_strName[i]);
    m_pUi->editName->setPlaceholderText(m_strBoardName[i]);
    m_pUi->comboPointType->setCurrentIndex(m_nPointType[i]);
    m_pUi->comboColor->setCurrentIndex(m_nColor[i]);
    m_pUi->checkInterpolate->setChecked(m_bInterpolate[i]);
    m_pUi->checkSoundEnabled->setChecked(m_bSoundEnabled[i]);
    m_pUi->checkMarkMinMax->setChecked(m_bMarkMinMax[i]);
    SetLimitField(true, m_fBeepLimitMax[i]);
    SetLimitField(false, m_fBeepLimitMin[i]);
}

void CChannelSetupDlg::SetLimitField(bool bMax, float fLimit) {
    QLineEdit* pField = bMax ? m_pUi->editBeepLimitMax : m_pUi->editBeepLimitMin;
    {
        const QSignalBlocker blocker(pField);
        pField->setText(LimitText(fLimit));
    }
    // Filling a field counts as a change even when its text stays the same, so showing a
    // channel always stores its limits back as the two-decimal values shown.
    if (bMax) {
        OnUpdateBeepLimitMax();
    } else {
        OnUpdateBeepLimitMin();
    }
}

void CChannelSetupDlg::OnSelChangeChannel(int nIndex) {
    if (nIndex < 0 || nIndex >= kChannelCount) {
        return;
    }
    // First, so that the field handlers run by ShowChannel act on the new channel.
    m_nCurChannel = nIndex;
    ShowChannel(nIndex);
}

void CChannelSetupDlg::OnEditName(const QString& strText) {
    m_strName[static_cast<std::size_t>(m_nCurChannel)] = strText;
}

void CChannelSetupDlg::OnSelChangeColor(int nIndex) {
    m_nColor[static_cast<std::size_t>(m_nCurChannel)] = nIndex;
}

void CChannelSetupDlg::OnSelChangePointType(int nIndex) {
    m_nPointType[static_cast<std::size_t>(m_nCurChannel)] = nIndex;
}

void CChannelSetupDlg::OnInterpolate() {
    m_bInterpolate[static_cast<std::size_t>(m_nCurChannel)] =
        m_pUi->checkInterpolate->checkState() != Qt::Unchecked;
}

void CChannelSetupDlg::OnMarkMinMax() {
    m_bMarkMinMax[static_cast<std::size_t>(m_nCurChannel)] =
        m_pUi->checkMarkMinMax->checkState() != Qt::Unchecked;
}

void CChannelSetupDlg::OnSoundEnabled() {
    m_bSoundEnabled[static_cast<std::size_t>(m_nCurChannel)] =
        m_pUi->checkSoundEnabled->checkState() != Qt::Unchecked;
}

void CChannelSetupDlg::OnUpdateBeepLimitMin() {
    m_fBeepLimitMin[static_cast<std::size_t>(m_nCurChannel)] =
        LimitValue(m_pUi->editBeepLimitMin->text());
}

void CChannelSetupDlg::OnUpdateBeepLimitMax() {
    m_fBeepLimitMax[static_cast<std::size_t>(m_nCurChannel)] =
        LimitValue(m_pUi->editBeepLimitMax->text());
}
