#include "settings/SettingsKeeper.h"

#include "PlotData.h"
#include "shell/MainFrame.h"
#include "view/KovraPlotterView.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

// A remembered place is used when at least this much of the window would be on a screen.
constexpr int kMinVisiblePixels = 64;

// The view's fields that are settings, each with its place in the settings:
// copy(view field, setting) for each.
template <class View, class Settings, class Copy>
void PairViewFields(View& view, Settings& settings, Copy copy) {
    copy(view.m_nPort, settings.m_nPort);
    copy(view.m_nSpeed, settings.m_nSpeed);
    copy(view.m_nStopBits, settings.m_nStopBits);
    copy(view.m_nParity, settings.m_nParity);
    copy(view.m_nTypedSpeed, settings.m_nTypedSpeed);
    copy(view.m_bEndSetsAtLineEnd, settings.m_bEndSetsAtLineEnd);
    copy(view.m_fPointsPerDiv, settings.m_fPointsPerDiv);
    copy(view.m_bDoublePpdAtMax, settings.m_bDoublePpdAtMax);
    copy(view.m_fYMax, settings.m_fYMax);
    copy(view.m_fYMin, settings.m_fYMin);
    copy(view.m_bAutoScale, settings.m_bAutoScale);
    copy(view.m_bKeepCollectingWhenScrolled, settings.m_bKeepCollectingWhenScrolled);
}

} // namespace

CSettingsKeeper::CSettingsKeeper(CMainFrame& frame, const QString& strPath)
    : m_frame(frame), m_store(strPath) {
    connect(&frame, &CMainFrame::CommandRouted, this, &CSettingsKeeper::SaveIfChanged);
    connect(frame.View(), &CKovraPlotterView::TearingDown, this, &CSettingsKeeper::SaveIfChanged);
}

void CSettingsKeeper::Restore() {
    m_saved = m_store.Load();
    Apply(m_saved);
}

void CSettingsKeeper::SaveIfChanged() {
    const SAppSettings settings = Capture();
    if (settings != m_saved && m_store.Save(settings)) {
        m_saved = settings;
    }
}

SAppSettings CSettingsKeeper::Capture() const {
    // The window's place stays as the file has it while the window has none to tell.
    SAppSettings settings = m_saved;
    const CKovraPlotterView& view = *m_frame.View();
    PairViewFields(view, settings, [](const auto& field, auto& setting) { setting = field; });
    if (g_pPlotData != nullptr) {
        for (int i = 0; i < SAppSettings::kChannelCount; ++i) {
            SChannelSettings& channel = settings.m_vChannels[static_cast<std::size_t>(i)];
            channel.m_nColor = g_pPlotData->GetColor(i);
            channel.m_nPointType = g_pPlotData->GetPointType(i);
            channel.m_bInterpolate = g_pPlotData->GetInterpolate(i);
            channel.m_bMarkMinMax = g_pPlotData->GetMarkMinMax(i);
            channel.m_bSoundEnabled = g_pPlotData->GetSoundEnabled(i);
            channel.m_fBeepLimitMin = g_pPlotData->GetBeepLimitMin(i);
            channel.m_fBeepLimitMax = g_pPlotData->GetBeepLimitMax(i);
        }
    }
    SWindowSettings& window = settings.m_window;
    window.m_bMaximized = m_frame.isMaximized();
    const bool bNormal =
        !m_frame.isMaximized() && !m_frame.isMinimized() && !m_frame.isFullScreen();
    const QRect place = bNormal ? m_frame.geometry() : m_frame.normalGeometry();
    if (place.isValid()) {
        window.m_bKnown = true;
        window.m_nX = place.x();
        window.m_nY = place.y();
        window.m_nWidth = place.width();
        window.m_nHeight = place.height();
    }
    return settings;
}

void CSettingsKeeper::Apply(const SAppSettings& settings) {
    CKovraPlotterView& view = *m_frame.View();
    PairViewFields(view, settings, [](auto& field, const auto& setting) { field = setting; });
    // Where a set ends reaches the store at once, not only with the next connection.
    view.SetEndSetsAtLineEnd(settings.m_bEndSetsAtLineEnd);
    for (int i = 0; i < SAppSettings::kChannelCount; ++i) {
        const SChannelSettings& channel = settings.m_vChannels[static_cast<std::size_t>(i)];
        g_pPlotData->SetColor(i, channel.m_nColor);
        g_pPlotData->SetPointType(i, channel.m_nPointType);
        g_pPlotData->SetInterpolate(i, channel.m_bInterpolate);
        g_pPlotData->SetMarkMinMax(i, channel.m_bMarkMinMax);
        g_pPlotData->SetSoundEnabled(i, channel.m_bSoundEnabled);
        g_pPlotData->SetBeepLimitMin(i, channel.m_fBeepLimitMin);
        g_pPlotData->SetBeepLimitMax(i, channel.m_fBeepLimitMax);
    }
    ApplyWindow(settings.m_window);
    m_frame.UpdateCommandUI();
}

void CSettingsKeeper::ApplyWindow(const SWindowSettings& window) {
    if (!window.m_bKnown) {
        return;
    }
    const QRect place(window.m_nX, window.m_nY, window.m_nWidth, window.m_nHeight);
    // A place on no screen (one since unplugged, say) is left to the window system.
    bool bOnScreen = false;
    for (const QScreen* pScreen : QGuiApplication::screens()) {
        const QRect visible = pScreen->availableGeometry().intersected(place);
        bOnScreen |= visible.width() >= kMinVisiblePixels && visible.height() >= kMinVisiblePixels;
    }
    if (bOnScreen) {
        m_frame.setGeometry(place);
    } else {
        m_frame.resize(place.size());
    }
    if (window.m_bMaximized) {
        m_frame.setWindowState(m_frame.windowState() | Qt::WindowMaximized);
    }
}
