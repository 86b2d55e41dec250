#include "view/PlotCommands.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/ChannelSetupDlg.h"
#include "dialogs/StatusSink.h"
#include "dialogs/UserDialogs.h"
#include "dialogs/XAxisDlg.h"
#include "dialogs/YAxisDlg.h"
#include "session/AcquisitionSession.h"
#include "view/PlotPainter.h"

#include "AxisSettings.h"
#include "PlotData.h"
#include "YFit.h"

CPlotCommands::CPlotCommands(QWidget& window, CStatusSink& status, CPlotPainter& painter,
                             std::function<void()> fnRepaint, std::function<void()> fnStateChanged)
    : m_window(window), m_status(status), m_painter(painter), m_fnRepaint(std::move(fnRepaint)),
      m_fnStateChanged(std::move(fnStateChanged)) {}

void CPlotCommands::RegisterCommands(CCommandMap& commands) {
    commands.AddRange(ID_CHANNEL_TOGGLE1, ID_CHANNEL_TOGGLE10,
                      [this](int nId) { OnChannelToggle(nId - ID_CHANNEL_TOGGLE1); });
    commands.Add(ID_PLOT_XAXIS, [this] { OnPlotXAxis(); });
    commands.Add(ID_PLOT_YAXIS, [this] { OnPlotYAxis(); });
    commands.Add(ID_PLOT_CHANNELSETUP, [this] { OnChannelSetup(); });
    commands.Add(ID_PLOT_FITY, [this] { OnFitYRange(); });
    commands.Add(
        ID_PLOT_KEEPCOLLECTING, [this] { OnKeepCollectingWhenScrolled(); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(m_painter.Settings().m_bKeepCollectingWhenScrolled);
        });
}

void CPlotCommands::OnChannelToggle(int nChannel) {
    m_painter.CatchUpSkippedPaints(true);
    g_pPlotData->ToggleHidden(nChannel);
    m_fnRepaint();
}

void CPlotCommands::OnPlotXAxis() {
    SPlotSettings& settings = m_painter.Settings();
    CXAxisDlg dialog(&m_window);
    dialog.m_strPpd = QString::fromStdString(PpdDialogText(settings.m_fPointsPerDiv));
    dialog.m_bDoublePpd = settings.m_bDoublePpdAtMax;
    if (UserDialogs().Run(dialog) != QDialog::Accepted || g_pPlotData == nullptr) {
        return;
    }
    m_painter.CatchUpSkippedPaints(true);
    const CXAxisResult result = ApplyXAxisDialog(
        settings.m_fPointsPerDiv, dialog.m_strPpd.toStdString(), dialog.m_bDoublePpd);
    settings.m_fPointsPerDiv = result.m_fPointsPerDiv;
    settings.m_bDoublePpdAtMax = result.m_bDoublePpdAtMax;
    m_status.SetStatusText("%s", result.m_szStatus);
    m_fnRepaint();
}

void CPlotCommands::OnPlotYAxis() {
    SPlotSettings& settings = m_painter.Settings();
    CYAxisDlg dialog(&m_window);
    dialog.m_strYMax = QString::fromStdString(YLimitDialogText(settings.m_fYMax));
    dialog.m_strYMin = QString::fromStdString(YLimitDialogText(settings.m_fYMin));
    dialog.m_bAutoScaling = settings.m_bAutoScale;
    if (UserDialogs().Run(dialog) != QDialog::Accepted || g_pPlotData == nullptr) {
        return;
    }
    m_painter.CatchUpSkippedPaints(true);
    const CYAxisResult result =
        ApplyYAxisDialog(settings.m_fYMax, settings.m_fYMin, dialog.m_strYMax.toStdString(),
                         dialog.m_strYMin.toStdString(), dialog.m_bAutoScaling);
    settings.m_fYMax = result.m_fYMax;
    settings.m_fYMin = result.m_fYMin;
    settings.m_bAutoScale = result.m_bAutoScale;
    if (result.m_szStatus != nullptr) {
        m_status.SetStatusText("%s", result.m_szStatus);
    }
    m_fnRepaint();
}

void CPlotCommands::OnChannelSetup() {
    CChannelSetupDlg dialog(&m_window);
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        const auto k = static_cast<std::size_t>(i);
        dialog.m_nColor[k] = g_pPlotData->GetColor(i);
        dialog.m_nPointType[k] = g_pPlotData->GetPointType(i);
        dialog.m_bInterpolate[k] = g_pPlotData->GetInterpolate(i);
        dialog.m_bSoundEnabled[k] = g_pPlotData->GetSoundEnabled(i);
        dialog.m_fBeepLimitMax[k] = g_pPlotData->GetBeepLimitMax(i);
        dialog.m_fBeepLimitMin[k] = g_pPlotData->GetBeepLimitMin(i);
        dialog.m_bMarkMinMax[k] = g_pPlotData->GetMarkMinMax(i);
        dialog.m_strName[k] = g_pPlotData->IsChannelNameTyped(i)
                                  ? QString::fromStdString(g_pPlotData->GetChannelName(i))
                                  : QString();
        dialog.m_strBoardName[k] = QString::fromStdString(g_pPlotData->GetStreamChannelName(i));
    }
    // The store is gone when the program ended while the dialog was open.
    if (UserDialogs().Run(dialog) == QDialog::Accepted && g_pPlotData != nullptr) {
        for (int i = 0; i < CPlotData::kChannelCount; ++i) {
            const auto k = static_cast<std::size_t>(i);
            // The field holds what the user typed: empty gives the board's name back.
            g_pPlotData->SetChannelName(i, dialog.m_strName[k].trimmed().toStdString());
            g_pPlotData->SetColor(i, dialog.m_nColor[k]);
            g_pPlotData->SetPointType(i, dialog.m_nPointType[k]);
            g_pPlotData->SetInterpolate(i, dialog.m_bInterpolate[k]);
            g_pPlotData->SetSoundEnabled(i, dialog.m_bSoundEnabled[k]);
            g_pPlotData->SetBeepLimitMax(i, dialog.m_fBeepLimitMax[k]);
            g_pPlotData->SetBeepLimitMin(i, dialog.m_fBeepLimitMin[k]);
            g_pPlotData->SetMarkMinMax(i, dialog.m_bMarkMinMax[k]);
        }
        if (m_fnNamesChanged) {
            m_fnNamesChanged();
        }
    }
    m_fnRepaint();
}

void CPlotCommands::OnFitYRange() {
    m_painter.CatchUpSkippedPaints(true);
    SPlotSettings& settings = m_painter.Settings();
    const auto channels = m_painter.SummarisedChannels();
    if (FitYRange(channels, g_pPlotData->m_nLastSetCount, settings.m_fPointsPerDiv,
                  settings.m_nScrollBack, settings.m_fYMax, settings.m_fYMin)) {
        m_status.SetStatusText("STATUS: Y range fitted to the values in view");
    } else {
        m_status.SetStatusText("ERROR: No values in view to fit");
    }
    m_fnRepaint();
}

void CPlotCommands::OnKeepCollectingWhenScrolled() {
    // The paints skipped so far decided under the setting as it was.
    m_painter.CatchUpSkippedPaints(true);
    SPlotSettings& settings = m_painter.Settings();
    settings.m_bKeepCollectingWhenScrolled = !settings.m_bKeepCollectingWhenScrolled;
    m_fnStateChanged();
}
