#include "settings/SettingsKeeper.h"

#include "dialogs/StatusSink.h"
#include "files/FileCommands.h"
#include "link/SendBar.h"
#include "measure/Instrument.h"
#include "measure/SetTimeKeeper.h"
#include "measure/StatisticsControl.h"
#include "measure/TriggerControl.h"
#include "session/AcquisitionSession.h"
#include "view/KovraPlotterView.h"
#include "view/overlays/LegendOverlay.h"

#include "PlotData.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <cstdio>
#include <utility>

namespace {

// A remembered place is used when at least this much of the window would be on a screen.
constexpr int kMinVisiblePixels = 64;

// The session's and the plot's fields that are settings, each with its place in the settings:
// copy(field, setting) for each.
template <class Session, class Plot, class Settings, class Copy>
void PairFields(Session& session, Plot& plot, Settings& settings, Copy copy) {
    copy(session.m_nPort, settings.m_nPort);
    copy(session.m_nSpeed, settings.m_nSpeed);
    copy(session.m_nStopBits, settings.m_nStopBits);
    copy(session.m_nParity, settings.m_nParity);
    copy(session.m_nTypedSpeed, settings.m_nTypedSpeed);
    copy(session.m_eBoardFormat, settings.m_eBoardFormat);
    copy(session.m_bReconnect, settings.m_bReconnect);
    copy(plot.m_fPointsPerDiv, settings.m_fPointsPerDiv);
    copy(plot.m_bDoublePpdAtMax, settings.m_bDoublePpdAtMax);
    copy(plot.m_fYMax, settings.m_fYMax);
    copy(plot.m_fYMin, settings.m_fYMin);
    copy(plot.m_bAutoScale, settings.m_bAutoScale);
    copy(plot.m_bKeepCollectingWhenScrolled, settings.m_bKeepCollectingWhenScrolled);
}

} // namespace

CSettingsKeeper::CSettingsKeeper(QMainWindow& window, CKovraPlotterView& view,
                                 const QString& strPath)
    : m_window(window), m_view(view), m_store(strPath) {
    connect(&view, &CKovraPlotterView::TearingDown, this, &CSettingsKeeper::SaveIfChanged);
    connect(&view.Session(), &CAcquisitionSession::PortChosen, this,
            [this] { m_bPortForThisRun = m_bFormatForThisRun = false; });
    // A line sent is remembered at once, not only with the next command.
    connect(&view.SendBar(), &CSendBar::SettingsChanged, this, &CSettingsKeeper::SaveIfChanged);
}

void CSettingsKeeper::Restore() {
    CSettingsStore::ELoad eLoad = CSettingsStore::ELoad::kMissing;
    m_saved = m_store.Load(&eLoad);
    // No path keeps nothing, silently.
    if (eLoad == CSettingsStore::ELoad::kNotSettings || m_store.Path().isEmpty()) {
        m_bWritable = false;
    }
    // /dev/null is how one asks for the defaults and no settings kept.
    if (eLoad == CSettingsStore::ELoad::kNotSettings &&
        QFileInfo(m_store.Path()).canonicalFilePath() != QLatin1String("/dev/null")) {
        Tell(QStringLiteral("%1 is not a settings file: it is left alone, and this run starts "
                            "from the defaults and keeps no settings")
                 .arg(m_store.Path()));
    }
    // What is half applied is not saved.
    m_bApplying = true;
    Apply(m_saved);
    m_bApplying = false;
}

void CSettingsKeeper::SaveIfChanged() {
    if (m_bApplying) {
        return;
    }
    const SAppSettings settings = Capture();
    if (!m_bWritable || settings == m_saved) {
        return;
    }
    if (m_store.Save(settings)) {
        m_saved = settings;
        return;
    }
    m_bWritable = false;
    Tell(QStringLiteral("Settings not saved: %1 cannot be written").arg(m_store.Path()));
}

void CSettingsKeeper::Tell(const QString& strText) {
    m_view.Status().SetStatusText("%s", qPrintable(strText));
    std::fprintf(stderr, "kovraplotter: %s\n", qPrintable(strText));
}

SAppSettings CSettingsKeeper::Capture() const {
    // The window's place stays as the file has it while the window has none to tell.
    SAppSettings settings = m_saved;
    PairFields(std::as_const(m_view.Session()), std::as_const(m_view.Plot()), settings,
               [](const auto& field, auto& setting) { setting = field; });
    if (m_bPortForThisRun) {
        settings.m_nPort = m_saved.m_nPort;
        settings.m_nSpeed = m_saved.m_nSpeed;
        settings.m_nTypedSpeed = m_saved.m_nTypedSpeed;
    }
    if (m_bFormatForThisRun) {
        settings.m_eBoardFormat = m_saved.m_eBoardFormat;
    }
    settings.m_bLegend = m_view.Legend().Shown();
    settings.m_nLegendCorner = m_view.Legend().Corner();
    settings.m_bSaveHeaderLine = m_view.Files().m_bSaveHeaderLine;
    const CSendBar& sendBar = m_view.SendBar();
    settings.m_bSendBarShown = sendBar.Shown();
    settings.m_eLineEnd = sendBar.LineEnd();
    settings.m_vSendHistory = sendBar.History().Lines();
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
            channel.m_strName =
                g_pPlotData->IsChannelNameTyped(i) ? g_pPlotData->GetChannelName(i) : std::string();
        }
    }
    settings.m_bShowStatistics = m_view.Instrument().Statistics().Shown();
    settings.m_bXAxisInSeconds = m_view.Instrument().Times().XAxisInSeconds();
    const STriggerSettings& trigger = m_view.Instrument().Trigger().Settings();
    settings.m_nTriggerChannel = trigger.m_nChannel;
    settings.m_fTriggerLevel = trigger.m_fLevel;
    settings.m_nTriggerEdge = static_cast<int>(trigger.m_eEdge);
    settings.m_nTriggerPosition = trigger.m_nPositionPercent;
    settings.m_nTriggerMode = static_cast<int>(trigger.m_eMode);
    SWindowSettings& window = settings.m_window;
    window.m_bMaximized = m_window.isMaximized();
    const bool bNormal =
        !m_window.isMaximized() && !m_window.isMinimized() && !m_window.isFullScreen();
    const QRect place = bNormal ? m_window.geometry() : m_window.normalGeometry();
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
    PairFields(m_view.Session(), m_view.Plot(), settings,
               [](auto& field, const auto& setting) { field = setting; });
    // The board's format reaches the store at once, not only with the next connection.
    m_view.Session().SetBoardFormat(settings.m_eBoardFormat);
    m_view.Legend().Restore(settings.m_bLegend, settings.m_nLegendCorner);
    m_view.Files().m_bSaveHeaderLine = settings.m_bSaveHeaderLine;
    CSendBar& sendBar = m_view.SendBar();
    sendBar.SetShown(settings.m_bSendBarShown);
    sendBar.SetLineEnd(settings.m_eLineEnd);
    sendBar.SetHistory(settings.m_vSendHistory);
    for (int i = 0; i < SAppSettings::kChannelCount; ++i) {
        const SChannelSettings& channel = settings.m_vChannels[static_cast<std::size_t>(i)];
        g_pPlotData->SetColor(i, channel.m_nColor);
        g_pPlotData->SetPointType(i, channel.m_nPointType);
        g_pPlotData->SetInterpolate(i, channel.m_bInterpolate);
        g_pPlotData->SetMarkMinMax(i, channel.m_bMarkMinMax);
        g_pPlotData->SetSoundEnabled(i, channel.m_bSoundEnabled);
        g_pPlotData->SetBeepLimitMin(i, channel.m_fBeepLimitMin);
        g_pPlotData->SetBeepLimitMax(i, channel.m_fBeepLimitMax);
        g_pPlotData->SetChannelName(i, channel.m_strName);
    }
    m_view.Instrument().Statistics().SetShown(settings.m_bShowStatistics);
    m_view.Instrument().Times().SetXAxisInSeconds(settings.m_bXAxisInSeconds);
    STriggerSettings trigger;
    trigger.m_nChannel = settings.m_nTriggerChannel;
    trigger.m_fLevel = settings.m_fTriggerLevel;
    trigger.m_eEdge = static_cast<ETriggerEdge>(settings.m_nTriggerEdge);
    trigger.m_nPositionPercent = settings.m_nTriggerPosition;
    trigger.m_eMode = static_cast<ETriggerMode>(settings.m_nTriggerMode);
    m_view.Instrument().Trigger().Restore(trigger);
    ApplyWindow(settings.m_window);
    // The menu items follow the settings.
    emit m_view.CommandStateChanged();
}

void CSettingsKeeper::ApplyWindow(const SWindowSettings& window) {
    if (!window.m_bKnown) {
        return;
    }
    QRect place(window.m_nX, window.m_nY, window.m_nWidth, window.m_nHeight);
    // A place on no screen (one since unplugged, say) is left to the window system; a size
    // larger than the screen it is on (or the main one) is cut to it.
    const QScreen* pOnScreen = nullptr;
    for (const QScreen* pScreen : QGuiApplication::screens()) {
        const QRect visible = pScreen->availableGeometry().intersected(place);
        if (pOnScreen == nullptr && visible.width() >= kMinVisiblePixels &&
            visible.height() >= kMinVisiblePixels) {
            pOnScreen = pScreen;
        }
    }
    const QScreen* pScreen = pOnScreen != nullptr ? pOnScreen : QGuiApplication::primaryScreen();
    if (pScreen != nullptr) {
        place.setSize(place.size().boundedTo(pScreen->availableGeometry().size()));
    }
    if (pOnScreen != nullptr) {
        m_window.setGeometry(place);
    } else {
        m_window.resize(place.size());
    }
    if (window.m_bMaximized) {
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
    }
}
