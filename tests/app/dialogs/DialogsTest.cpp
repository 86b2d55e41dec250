#include "dialogs/ChannelSetupDlg.h"
#include "dialogs/XAxisDlg.h"
#include "dialogs/YAxisDlg.h"

#include "AppTestSupport.h"
#include "ui_ChannelSetupDlg.h"
#include "ui_XAxisDlg.h"
#include "ui_YAxisDlg.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace {

// The widget focused when the dialog opens, then each one Tab moves to, once round.
QStringList FocusOrder(QDialog& dialog) {
    dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&dialog)) {
        return {"(dialog not active)"};
    }
    QStringList names;
    QWidget* const pFirst = QApplication::focusWidget();
    for (QWidget* pWidget = pFirst; pWidget != nullptr && names.size() < 20;) {
        names << pWidget->objectName();
        QTest::keyClick(pWidget, Qt::Key_Tab);
        pWidget = QApplication::focusWidget();
        if (pWidget == pFirst) {
            break;
        }
    }
    return names;
}

// What a user's choice in a drop-down list does; offscreen the popup cannot be opened.
void Choose(QComboBox* pCombo, int nIndex) {
    pCombo->setCurrentIndex(nIndex);
    emit pCombo->activated(nIndex);
}

void Retype(QLineEdit* pField, const QString& strText) {
    pField->selectAll();
    QTest::keyClick(pField, Qt::Key_Delete);
    QTest::keyClicks(pField, strText);
}

TEST(DialogsTest, XAxisTakesDigitsOnlyAndReturnsTheTexts) {
    CXAxisDlg dialog;
    dialog.m_strPpd = QStringLiteral("5");
    dialog.m_bDoublePpd = true;
    dialog.show();
    Ui::XAxisDlg& ui = dialog.Controls();
    EXPECT_EQ(dialog.windowTitle(), "X Axis");
    EXPECT_EQ(ui.editPpd->text(), "5");
    EXPECT_TRUE(ui.checkDoublePpd->isChecked());
    EXPECT_TRUE(ui.buttonOk->isDefault());
    EXPECT_EQ(FocusOrder(dialog),
              (QStringList{"buttonOk", "buttonCancel", "editPpd", "editUnit", "checkDoublePpd"}));

    Retype(ui.editPpd, QStringLiteral("1a2-3.4 +5e6"));
    EXPECT_EQ(ui.editPpd->text(), "123456");
    ui.editPpd->insert(QStringLiteral("9x")); // a paste with a letter is refused whole
    EXPECT_EQ(ui.editPpd->text(), "123456");
    ui.checkDoublePpd->click();
    ui.buttonOk->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strPpd, "123456");
    EXPECT_FALSE(dialog.m_bDoublePpd);
}

TEST(DialogsTest, XAxisUnitStartsEmptyAndCancelKeepsTheMembers) {
    CXAxisDlg dialog;
    dialog.m_strPpd = QStringLiteral("10");
    dialog.show();
    QTest::keyClicks(dialog.Controls().editUnit, QStringLiteral("ms"));
    Retype(dialog.Controls().editPpd, QStringLiteral("20"));
    dialog.Controls().buttonOk->click();
    EXPECT_EQ(dialog.m_strPpd, "20");

    dialog.show();
    EXPECT_EQ(dialog.Controls().editUnit->text(), "");
    EXPECT_EQ(dialog.Controls().editPpd->text(), "20");
    Retype(dialog.Controls().editPpd, QStringLiteral("7"));
    dialog.Controls().checkDoublePpd->click();
    dialog.Controls().buttonCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.m_strPpd, "20");
    EXPECT_FALSE(dialog.m_bDoublePpd);
}

TEST(DialogsTest, YAxisRoundTripsTheTextsAndTheCheckBox) {
    CYAxisDlg dialog;
    dialog.m_strYMax = QStringLiteral("2.5");
    dialog.m_strYMin = QStringLiteral("-2.5");
    dialog.show();
    Ui::YAxisDlg& ui = dialog.Controls();
    EXPECT_EQ(dialog.windowTitle(), "Y Axis");
    EXPECT_EQ(ui.editYMax->text(), "2.5");
    EXPECT_EQ(ui.editYMin->text(), "-2.5");
    EXPECT_FALSE(ui.checkAutoScaling->isChecked());
    EXPECT_LT(ui.editYMax->geometry().y(), ui.editYMin->geometry().y());
    EXPECT_EQ(FocusOrder(dialog), (QStringList{"buttonOk", "buttonCancel", "editYMin", "editYMax",
                                               "checkAutoScaling"}));

    // The texts are checked by the caller, so anything typed comes back as typed.
    Retype(ui.editYMax, QStringLiteral("abc"));
    Retype(ui.editYMin, QString());
    ui.checkAutoScaling->click();
    ui.buttonOk->click();
    EXPECT_EQ(dialog.m_strYMax, "abc");
    EXPECT_EQ(dialog.m_strYMin, "");
    EXPECT_TRUE(dialog.m_bAutoScaling);

    dialog.show();
    EXPECT_TRUE(ui.checkAutoScaling->isChecked());
    ui.checkAutoScaling->click();
    Retype(ui.editYMax, QStringLiteral("9"));
    ui.buttonCancel->click();
    EXPECT_EQ(dialog.m_strYMax, "abc");
    EXPECT_TRUE(dialog.m_bAutoScaling);
}

// The settings every channel has after start-up.
void SetStartSettings(CChannelSetupDlg& dialog) {
    dialog.m_nColor.fill(0);
    dialog.m_nPointType.fill(0);
    dialog.m_bInterpolate.fill(true);
    dialog.m_fBeepLimitMin.fill(0.0f);
    dialog.m_fBeepLimitMax.fill(0.0f);
    dialog.m_bSoundEnabled.fill(false);
    dialog.m_bMarkMinMax.fill(false);
}

struct CChannelSettings {
    int nColor, nPointType;
    bool bInterpolate, bMarkMinMax, bSoundEnabled;
    float fMin, fMax;
    bool operator==(const CChannelSettings&) const = default;
};

void PrintTo(const CChannelSettings& settings, std::ostream* pStream) {
    *pStream << "{colour " << settings.nColor << ", point " << settings.nPointType
             << ", interpolate " << settings.bInterpolate << ", mark " << settings.bMarkMinMax
             << ", sound " << settings.bSoundEnabled << ", min " << settings.fMin << ", max "
             << settings.fMax << "}";
}

CChannelSettings Settings(const CChannelSetupDlg& dialog, int i) {
    const auto k = static_cast<std::size_t>(i);
    return {dialog.m_nColor[k],       dialog.m_nPointType[k],    dialog.m_bInterpolate[k],
            dialog.m_bMarkMinMax[k],  dialog.m_bSoundEnabled[k], dialog.m_fBeepLimitMin[k],
            dialog.m_fBeepLimitMax[k]};
}

CChannelSettings Shown(CChannelSetupDlg& dialog) {
    Ui::ChannelSetupDlg& ui = dialog.Controls();
    return {ui.comboColor->currentIndex(),
            ui.comboPointType->currentIndex(),
            ui.checkInterpolate->isChecked(),
            ui.checkMarkMinMax->isChecked(),
            ui.checkSoundEnabled->isChecked(),
            CChannelSetupDlg::LimitValue(ui.editBeepLimitMin->text()),
            CChannelSetupDlg::LimitValue(ui.editBeepLimitMax->text())};
}

TEST(DialogsTest, ChannelSetupOpensOnChannelOneWithItsSettings) {
    CChannelSetupDlg dialog;
    SetStartSettings(dialog);
    dialog.m_nCurChannel = 4;
    dialog.show();
    Ui::ChannelSetupDlg& ui = dialog.Controls();
    EXPECT_EQ(dialog.windowTitle(), "Channel Setup");
    EXPECT_EQ(dialog.m_nCurChannel, 0);
    EXPECT_EQ(ui.comboChannel->currentText(), "Channel 1");
    EXPECT_EQ(ui.comboChannel->itemText(9), "Channel 10");
    EXPECT_EQ(ui.comboColor->currentText(), "BLACK");
    EXPECT_EQ(ui.comboPointType->currentText(), "CROSS");
    EXPECT_TRUE(ui.checkInterpolate->isChecked());
    EXPECT_FALSE(ui.checkMarkMinMax->isChecked());
    EXPECT_FALSE(ui.checkSoundEnabled->isChecked());
    EXPECT_EQ(ui.editBeepLimitMin->text(), "0.00");
    EXPECT_EQ(ui.editBeepLimitMax->text(), "0.00");
    EXPECT_TRUE(ui.buttonOk->isDefault());
    EXPECT_EQ(FocusOrder(dialog),
              (QStringList{"comboChannel", "editName", "comboColor", "comboPointType",
                           "checkInterpolate", "checkMarkMinMax", "checkSoundEnabled",
                           "editBeepLimitMin", "editBeepLimitMax", "buttonCancel", "buttonOk"}));
}

TEST(DialogsTest, ChannelSetupChangesGoToTheChannelShown) {
    CChannelSetupDlg dialog;
    SetStartSettings(dialog);
    dialog.m_nColor[4] = 5;
    dialog.m_nColor[7] = 7; // beyond the list: shown as no entry, kept as it is
    dialog.m_bMarkMinMax[4] = true;
    dialog.m_bSoundEnabled[4] = true;
    dialog.m_fBeepLimitMin[4] = -1.5f;
    dialog.m_fBeepLimitMax[4] = 1.75f;
    dialog.show();
    Ui::ChannelSetupDlg& ui = dialog.Controls();

    Choose(ui.comboChannel, 2);
    Choose(ui.comboColor, 1); // BLUE
    Choose(ui.comboChannel, 4);
    EXPECT_EQ(dialog.m_nCurChannel, 4);
    EXPECT_EQ(Shown(dialog), (CChannelSettings{5, 0, true, true, true, -1.5f, 1.75f}));
    EXPECT_EQ(ui.editBeepLimitMin->text(), "-1.50");
    Choose(ui.comboPointType, 3); // POINT
    ui.checkInterpolate->click();
    Choose(ui.comboChannel, 7);
    EXPECT_EQ(ui.comboColor->currentIndex(), -1);
    ui.buttonOk->click();

    for (int i = 0; i < CChannelSetupDlg::kChannelCount; ++i) {
        CChannelSettings expected{0, 0, true, false, false, 0.0f, 0.0f};
        if (i == 2) {
            expected.nColor = 1;
        } else if (i == 7) {
            expected.nColor = 7;
        } else if (i == 4) {
            expected = {5, 3, false, true, true, -1.5f, 1.75f};
        }
        EXPECT_EQ(Settings(dialog, i), expected) << "channel index " << i;
    }
}

TEST(DialogsTest, ChannelSetupStoresTheListIndexesAndBoxStates) {
    CChannelSetupDlg dialog;
    SetStartSettings(dialog);
    dialog.show();
    Ui::ChannelSetupDlg& ui = dialog.Controls();
    Choose(ui.comboColor, ui.comboColor->findText("YELLOW"));
    EXPECT_EQ(dialog.m_nColor[0], 6);
    Choose(ui.comboColor, ui.comboColor->findText("BLUE"));
    EXPECT_EQ(dialog.m_nColor[0], 1);
    Choose(ui.comboPointType, ui.comboPointType->findText("POINT"));
    EXPECT_EQ(dialog.m_nPointType[0], 3);
    // The keyboard reaches the same handlers as the mouse.
    QTest::keyClick(ui.comboPointType, Qt::Key_Up);
    EXPECT_EQ(dialog.m_nPointType[0], 2);
    QTest::keyClick(ui.comboChannel, Qt::Key_Down);
    EXPECT_EQ(dialog.m_nCurChannel, 1);
    ui.checkMarkMinMax->click();
    ui.checkSoundEnabled->click();
    ui.checkInterpolate->click();
    EXPECT_EQ(Settings(dialog, 1), (CChannelSettings{0, 0, false, true, true, 0.0f, 0.0f}));
    EXPECT_EQ(Settings(dialog, 0), (CChannelSettings{1, 2, true, false, false, 0.0f, 0.0f}));
}

TEST(DialogsTest, ChannelSetupReadsTheLimitFieldsAsAtofDoes) {
    CChannelSetupDlg dialog;
    SetStartSettings(dialog);
    dialog.show();
    Ui::ChannelSetupDlg& ui = dialog.Controls();
    Choose(ui.comboChannel, 3);
    Retype(ui.editBeepLimitMax, QStringLiteral("2.5V"));
    EXPECT_EQ(dialog.m_fBeepLimitMax[3], 2.5f);
    Retype(ui.editBeepLimitMax, QStringLiteral("abc"));
    EXPECT_EQ(dialog.m_fBeepLimitMax[3], 0.0f);
    Retype(ui.editBeepLimitMin, QStringLiteral("-7"));
    EXPECT_EQ(dialog.m_fBeepLimitMin[3], -7.0f);
    Retype(ui.editBeepLimitMin, QString());
    EXPECT_EQ(dialog.m_fBeepLimitMin[3], 0.0f);

    EXPECT_EQ(CChannelSetupDlg::LimitValue(" \t-1.5e2x"), -150.0f);
    EXPECT_EQ(CChannelSetupDlg::LimitValue("+.5"), 0.5f);
    EXPECT_EQ(CChannelSetupDlg::LimitValue("1,5"), 1.0f);
    EXPECT_EQ(CChannelSetupDlg::LimitValue("- 1"), 0.0f);
    EXPECT_EQ(CChannelSetupDlg::LimitValue("1e400"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(CChannelSetupDlg::LimitValue("0.1"), 0.1f);
    // Only decimal numbers: no hexadecimal, infinity or NaN forms, a bare exponent is left.
    const std::pair<const char*, float> decimalOnly[] = {
        {"0x10", 0.0f},   {" 0X1p4", 0.0f}, {"inf", 0.0f},        {"-Infinity", 0.0f},
        {"nan", 0.0f},    {"NAN(1)", 0.0f}, {"2e", 2.0f},         {"2e+", 2.0f},
        {"1.e2", 100.0f}, {".", 0.0f},      {"-.25e-1", -0.025f}, {"\n3", 3.0f},
    };
    for (const auto& [szText, fExpected] : decimalOnly) {
        EXPECT_EQ(CChannelSetupDlg::LimitValue(QString::fromLatin1(szText)), fExpected) << szText;
    }
    EXPECT_EQ(CChannelSetupDlg::LimitText(-0.001f), "-0.00");
    EXPECT_EQ(CChannelSetupDlg::LimitText(2.675f), "2.67"); // 2.67499995..., as printf rounds
    EXPECT_EQ(CChannelSetupDlg::LimitText(99.995f), "100.00");
    EXPECT_EQ(CChannelSetupDlg::LimitText(-std::numeric_limits<float>::infinity()), "-inf");
}

TEST(DialogsTest, ChannelSetupShowingAChannelStoresTheLimitsAsShown) {
    CChannelSetupDlg dialog;
    SetStartSettings(dialog);
    dialog.m_fBeepLimitMax[1] = -4.5678f;
    dialog.m_fBeepLimitMax[2] = 1.2345f;
    dialog.show();
    Ui::ChannelSetupDlg& ui = dialog.Controls();
    EXPECT_EQ(dialog.m_fBeepLimitMax[1], -4.5678f); // not shown yet, kept in full
    Retype(ui.editBeepLimitMax, QStringLiteral("1.234"));
    EXPECT_EQ(dialog.m_fBeepLimitMax[0], 1.234f);

    Choose(ui.comboChannel, 1);
    EXPECT_EQ(ui.editBeepLimitMax->text(), "-4.57");
    EXPECT_EQ(dialog.m_fBeepLimitMax[1], -4.57f);
    EXPECT_EQ(dialog.m_fBeepLimitMax[0], 1.234f);

    // Channel 3 shows the text the field already holds, and is stored as shown all the same.
    Retype(ui.editBeepLimitMax, QStringLiteral("1.23"));
    Choose(ui.comboChannel, 2);
    EXPECT_EQ(ui.editBeepLimitMax->text(), "1.23");
    EXPECT_EQ(dialog.m_fBeepLimitMax[2], 1.23f);

    Choose(ui.comboChannel, 0);
    EXPECT_EQ(ui.editBeepLimitMax->text(), "1.23");
    EXPECT_EQ(dialog.m_fBeepLimitMax[0], 1.23f);
    EXPECT_EQ(dialog.m_fBeepLimitMax[1], 1.23f);
}

TEST(DialogsTest, ChannelSetupTextsDoNotFollowTheProcessLocale) {
    const std::string strPrevious = std::setlocale(LC_ALL, nullptr);
    // The build compiles a German locale into LOCPATH for this test.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma available";
    }
    CChannelSetupDlg dialog;
    SetStartSettings(dialog);
    dialog.m_fBeepLimitMin[0] = -1.8f;
    dialog.m_fBeepLimitMax[0] = 1234.5f;
    dialog.show();
    const QString strMin = dialog.Controls().editBeepLimitMin->text();
    const QString strMax = dialog.Controls().editBeepLimitMax->text();
    const float fRead = CChannelSetupDlg::LimitValue("2.5");
    const float fComma = CChannelSetupDlg::LimitValue("2,5");
    std::setlocale(LC_ALL, strPrevious.c_str());
    EXPECT_EQ(strMin, "-1.80");
    EXPECT_EQ(strMax, "1234.50");
    EXPECT_EQ(fRead, 2.5f);
    EXPECT_EQ(fComma, 2.0f);
}

} // namespace
