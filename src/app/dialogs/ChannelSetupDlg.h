#pragma once

#include "PlotData.h"

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

namespace Ui {
class ChannelSetupDlg;
}

// Edits a copy of the names and the drawing and alarm settings of all channels. Every change
// goes at once into the entry of the channel shown (m_nCurChannel); the caller copies the
// arrays back on OK. The name field shows the name the user typed; the board's stands in it
// greyed while it is empty.
class CChannelSetupDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kChannelCount = CPlotData::kChannelCount;

    explicit CChannelSetupDlg(QWidget* pParent = nullptr);
    ~CChannelSetupDlg() override;

    std::array<int, kChannelCount> m_nColor{};
    std::array<int, kChannelCount> m_nPointType{};
    std::array<bool, kChannelCount> m_bInterpolate{};
    int m_nCurChannel = 0;
    std::array<float, kChannelCount> m_fBeepLimitMin{};
    std::array<float, kChannelCount> m_fBeepLimitMax{};
    std::array<bool, kChannelCount> m_bSoundEnabled{};
    std::array<bool, kChannelCount> m_bMarkMinMax{};
    std::array<QString, kChannelCount> m_strName;
    std::array<QString, kChannelCount> m_strBoardName;

    Ui::ChannelSetupDlg& Controls() { return *m_pUi; }

    // A limit as the fields show it: printf's "%0.2f" with '.' in any locale.
    static QString LimitText(float fLimit);
    // A field's text as atof reads it in the "C" locale, narrowed to float: leading white
    // space, then the longest decimal number with optional sign, fraction and exponent (no
    // hexadecimal, infinity or NaN); the rest is ignored and a text without a number gives 0.0.
    static float LimitValue(const QString& strText);

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnInitDialog();
    void ShowChannel(int nChannel);
    void SetLimitField(bool bMax, float fLimit);

    void OnSelChangeChannel(int nIndex);
    void OnEditName(const QString& strText);
    void OnSelChangeColor(int nIndex);
    void OnSelChangePointType(int nIndex);
    void OnInterpolate();
    void OnMarkMinMax();
    void OnSoundEnabled();
    void OnUpdateBeepLimitMin();
    void OnUpdateBeepLimitMax();

    std::unique_ptr<Ui::ChannelSetupDlg> m_pUi;
};
