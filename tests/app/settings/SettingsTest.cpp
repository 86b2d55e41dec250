#include "commands/CommandIds.h"
#include "dialogs/ChannelSetupDlg.h"
#include "dialogs/XAxisDlg.h"
#include "dialogs/YAxisDlg.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"

#include "AppTestSupport.h"
#include "PlotData.h"
#include "ui_ChannelSetupDlg.h"
#include "ui_XAxisDlg.h"
#include "ui_YAxisDlg.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

// Types into the dialog's fields as a user would, then presses OK or Cancel.
template <class Dialog>
std::function<int(QDialog&)> Answer(std::function<void(Dialog&)> fnEdit, bool bOk = true) {
    return [fnEdit, bOk](QDialog& dialog) {
        fnEdit(static_cast<Dialog&>(dialog));
        if (bOk) {
            dialog.accept();
        } else {
            dialog.reject();
        }
        return dialog.result();
    };
}

TEST(SettingsTest, XAxisTakesAPositivePpdAndAlwaysTheCheckBox) {
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    QString strShown;
    app.m_dialogs.m_fnRunDialog = Answer<CXAxisDlg>([&](CXAxisDlg& dialog) {
        strShown = dialog.Controls().editPpd->text();
        dialog.Controls().editPpd->setText("10");
    });
    app.Frame().Action(ID_PLOT_XAXIS)->trigger();
    EXPECT_EQ(strShown, "5");
    EXPECT_EQ(view.Plot().m_fPointsPerDiv, 10.0f);
    EXPECT_EQ(app.Status(), "STATUS: Updated ppd");

    for (const char* szText : {"", "0"}) {
        app.m_dialogs.m_fnRunDialog = Answer<CXAxisDlg>([&](CXAxisDlg& dialog) {
            dialog.Controls().editPpd->setText(szText);
            dialog.Controls().checkDoublePpd->setChecked(true);
        });
        view.Plot().m_bDoublePpdAtMax = false;
        app.Frame().Action(ID_PLOT_XAXIS)->trigger();
        EXPECT_EQ(view.Plot().m_fPointsPerDiv, 10.0f);
        EXPECT_TRUE(view.Plot().m_bDoublePpdAtMax);
        EXPECT_EQ(app.Status(), "ERROR: Incorrect ppd value");
    }
    // A ppd far beyond any window still leaves a program that paints.
    app.m_dialogs.m_fnRunDialog = Answer<CXAxisDlg>(
        [](CXAxisDlg& dialog) { dialog.Controls().editPpd->setText("2000000000"); });
    app.Frame().Action(ID_PLOT_XAXIS)->trigger();
    EXPECT_EQ(view.Plot().m_fPointsPerDiv, 2e9f);
    g_pPlotData->Interpret("1#2#3#");
    QImage picture(300, 200, QImage::Format_RGB32);
    view.OnDraw(picture);
}

TEST(SettingsTest, YAxisKeepsALimitWhoseTextIsNotANumber) {
    CAppFixture app;
    CKovraPlotterView& view = app.View();
    QStringList vShown;
    app.m_dialogs.m_fnRunDialog = Answer<CYAxisDlg>([&](CYAxisDlg& dialog) {
        vShown = {dialog.Controls().editYMax->text(), dialog.Controls().editYMin->text()};
        dialog.Controls().editYMax->setText("abc");
        dialog.Controls().editYMin->setText("-1,5");
        dialog.Controls().checkAutoScaling->setChecked(true);
    });
    app.Frame().Action(ID_PLOT_YAXIS)->trigger();
    EXPECT_EQ(vShown, (QStringList{"2.5", "-2.5"}));
    EXPECT_EQ(view.Plot().m_fYMax, 2.5f);
    EXPECT_EQ(view.Plot().m_fYMin, -1.0f);
    EXPECT_TRUE(view.Plot().m_bAutoScale);
    EXPECT_EQ(app.Status(), "Error: Invalid character found in ymax");

    app.m_dialogs.m_fnRunDialog = Answer<CYAxisDlg>([&](CYAxisDlg& dialog) {
        dialog.Controls().editYMax->setText("+1");
        dialog.Controls().editYMin->setText("");
    });
    app.Frame().Action(ID_PLOT_YAXIS)->trigger();
    EXPECT_EQ(app.Status(), "Error: Invalid character found in ymin");

    // Cancel changes nothing; OK without edits writes the shown one-decimal texts back.
    view.Plot().m_fYMax = 3.3000002f;
    app.m_dialogs.m_fnRunDialog = Answer<CYAxisDlg>(
        [](CYAxisDlg& dialog) { dialog.Controls().editYMax->setText("7"); }, false);
    app.Frame().Action(ID_PLOT_YAXIS)->trigger();
    EXPECT_EQ(view.Plot().m_fYMax, 3.3000002f);
    app.m_dialogs.m_fnRunDialog = Answer<CYAxisDlg>([](CYAxisDlg&) {});
    app.Frame().Action(ID_PLOT_YAXIS)->trigger();
    EXPECT_EQ(view.Plot().m_fYMax, 3.3f);
}

TEST(SettingsTest, ChannelSetupWritesEveryChannelBackOnlyOnOk) {
    CAppFixture app;
    g_pPlotData->SetBeepLimitMax(4, 1.5f);
    auto edit = [](CChannelSetupDlg& dialog) {
        auto& controls = dialog.Controls();
        controls.comboChannel->setCurrentIndex(2);
        emit controls.comboChannel->activated(2);
        controls.comboColor->setCurrentIndex(5);
        emit controls.comboColor->activated(5);
        controls.comboChannel->setCurrentIndex(4);
        emit controls.comboChannel->activated(4);
        controls.comboPointType->setCurrentIndex(3);
        emit controls.comboPointType->activated(3);
        controls.checkSoundEnabled->click();
        controls.editBeepLimitMin->setText("-2.5V");
    };
    app.m_dialogs.m_fnRunDialog = Answer<CChannelSetupDlg>(edit, false);
    app.Frame().Action(ID_PLOT_CHANNELSETUP)->trigger();
    EXPECT_EQ(g_pPlotData->GetColor(2), 4);
    EXPECT_EQ(g_pPlotData->GetPointType(4), 0);

    app.m_dialogs.m_fnRunDialog = Answer<CChannelSetupDlg>(edit);
    app.Frame().Action(ID_PLOT_CHANNELSETUP)->trigger();
    EXPECT_EQ(g_pPlotData->GetColor(2), 5);
    EXPECT_EQ(g_pPlotData->GetPointType(2), 0);
    EXPECT_EQ(g_pPlotData->GetPointType(4), 3);
    EXPECT_TRUE(g_pPlotData->GetSoundEnabled(4));
    EXPECT_EQ(g_pPlotData->GetBeepLimitMin(4), -2.5f);
    EXPECT_EQ(g_pPlotData->GetBeepLimitMax(4), 1.5f);
    const int colours[] = {0, 1, 5, 3, 2, 5, 6, 0, 1, 2};
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        EXPECT_EQ(g_pPlotData->GetColor(i), colours[i]) << i;
        EXPECT_TRUE(g_pPlotData->GetInterpolate(i)) << i;
        EXPECT_FALSE(g_pPlotData->GetMarkMinMax(i)) << i;
    }
}

} // namespace
