#include "measure/TriggerControl.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/TriggerDlg.h"
#include "dialogs/UserDialogs.h"
#include "measure/MeasuredChannels.h"
#include "session/AcquisitionSession.h"
#include "view/PlotPainter.h"

#include "PlotData.h"

#include <QPainter>

namespace {

const QColor kLevelColour(255, 128, 0);

} // namespace

CTriggerControl::CTriggerControl(QWidget& window, CPlotPainter& painter,
                                 std::function<void()> fnRepaint)
    : m_window(window), m_painter(painter), m_fnRepaint(std::move(fnRepaint)) {}

void CTriggerControl::RegisterCommands(CCommandMap& commands) {
    commands.Add(ID_PLOT_TRIGGER, [this] { OnTriggerDialog(); });
    commands.Add(
        ID_PLOT_ARMTRIGGER, [this] { OnArm(); },
        [this](CCmdUI& cmdUI) { cmdUI.Enable(m_settings.m_bOn); });
}

void CTriggerControl::OnTriggerDialog() {
    QStringList vChannels;
    for (int c = 0; c < CPlotData::kChannelCount; ++c) {
        vChannels << QString::fromStdString(ChannelLabelOf(c));
    }
    CTriggerDlg dialog(&m_window, vChannels);
    dialog.m_settings = m_settings;
    if (UserDialogs().Run(dialog) == QDialog::Accepted) {
        Apply(dialog.m_settings);
    }
}

void CTriggerControl::Apply(const STriggerSettings& settings) {
    const bool bWasOn = m_settings.m_bOn;
    m_settings = settings;
    if (g_pPlotData == nullptr) {
        return;
    }
    m_painter.CatchUpSkippedPaints(true);
    m_trigger.Configure(settings, g_pPlotData->GetSeries(settings.m_nChannel));
    if (settings.m_bOn) {
        ResumeView();
    } else if (bWasOn && m_bInView) {
        // Off: the plot follows the newest data again.
        m_bInView = false;
        m_painter.Settings().m_nScrollBack = 0;
    }
    m_fnRepaint();
}

void CTriggerControl::Restore(const STriggerSettings& settings) {
    m_settings = settings;
    m_settings.m_bOn = false;
}

void CTriggerControl::OnArm() {
    if (g_pPlotData == nullptr || !m_settings.m_bOn) {
        return;
    }
    m_trigger.Arm(g_pPlotData->GetSeries(m_settings.m_nChannel));
    m_fnRepaint();
}

void CTriggerControl::OnSetsCompleted() {
    if (!m_settings.m_bOn || g_pPlotData == nullptr) {
        return;
    }
    m_trigger.Update(g_pPlotData->GetSeries(m_settings.m_nChannel),
                     WindowSamples(m_painter.Settings().m_fPointsPerDiv));
    if (m_bInView) {
        Place();
    }
}

void CTriggerControl::OnStoreChanged() {
    if (g_pPlotData != nullptr) {
        m_trigger.Forget(g_pPlotData->GetSeries(m_settings.m_nChannel));
    }
}

void CTriggerControl::Place() {
    const int nWindow = WindowSamples(m_painter.Settings().m_fPointsPerDiv);
    if (const auto nStart = m_trigger.HeldWindowStart(nWindow)) {
        m_painter.Settings().m_nScrollBack = ScrollBackForStart(
            g_pPlotData->GetSampleCount(m_settings.m_nChannel), nWindow, *nStart);
    }
}

void CTriggerControl::LeaveView() {
    m_bInView = false;
}

void CTriggerControl::ResumeView() {
    if (!m_settings.m_bOn || g_pPlotData == nullptr) {
        return;
    }
    m_bInView = true;
    Place();
}

std::string CTriggerControl::StatusText() const {
    if (!m_settings.m_bOn) {
        return {};
    }
    return m_trigger.StatusText(ChannelName(m_settings.m_nChannel));
}

void CTriggerControl::Draw(QPainter& painter, const CPlotGeometry& geometry) {
    const SPlotSettings& s = m_painter.Settings();
    const int y = CYMapper(geometry, s.m_fYMax, s.m_fYMin).ValueToY(m_settings.m_fLevel);
    if (y < geometry.GetTop() || y > geometry.GetBottom()) {
        return;
    }
    painter.setPen(QPen(kLevelColour, 0, Qt::DashLine));
    painter.drawLine(geometry.GetLeft(), y, geometry.GetRight(), y);
}
