#include "measure/HoverReadout.h"

#include "dialogs/StatusSink.h"
#include "measure/MeasuredChannels.h"
#include "measure/SetTimeKeeper.h"
#include "view/PlotPainter.h"
#include "view/PlotScreen.h"

#include <QPainter>
#include <QWidget>

namespace {

const QColor kLineColour(90, 90, 90);
// A still pointer's readout follows the plot moving under it this often at most.
constexpr int kRefreshMs = 250;

} // namespace

CHoverReadout::CHoverReadout(QWidget& viewport, CPlotPainter& painter, CPlotScreen& screen,
                             CStatusSink& status, const CSetTimeKeeper& times)
    : m_viewport(viewport), m_painter(painter), m_screen(screen), m_status(status), m_times(times) {
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { ShowReadout(); });
}

std::optional<int> CHoverReadout::Sample() const {
    if (!m_nPointerX) {
        return std::nullopt;
    }
    return SampleUnder(m_painter.Settings(), m_viewport.size(), *m_nPointerX);
}

QRect CHoverReadout::Area(const CPlotGeometry& geometry) const {
    const auto nSample = Sample();
    const auto x =
        nSample ? SampleX(m_painter.Settings(),
                          QSize(geometry.GetClientWidth(), geometry.GetClientHeight()), *nSample)
                : std::nullopt;
    if (!x || geometry.GetBottom() < geometry.GetTop()) {
        return {};
    }
    return QRect(*x, geometry.GetTop(), 1, geometry.GetBottom() - geometry.GetTop() + 1);
}

void CHoverReadout::Draw(QPainter& painter, const CPlotGeometry& geometry) {
    const QRect area = Area(geometry);
    if (!area.isEmpty()) {
        painter.fillRect(area, kLineColour);
    }
    if (Sample() != m_nShownSample && !m_refresh.isActive()) {
        m_refresh.start();
    }
}

void CHoverReadout::OnMouseMove(QPoint pos) {
    m_nPointerX = pos.x();
    m_screen.MoveOverlay();
    ShowReadout();
}

void CHoverReadout::OnLeave() {
    m_nPointerX.reset();
    m_refresh.stop();
    m_screen.MoveOverlay();
    ShowReadout();
}

void CHoverReadout::ShowReadout() {
    const auto nSample = Sample();
    m_nShownSample = nSample;
    if (!nSample) {
        if (!m_strShown.isNull()) {
            m_strShown = QString();
            m_status.EndTransient();
        }
        return;
    }
    std::vector<std::string> vNames;
    const auto channels = ShownChannels(vNames);
    const QString strText =
        QString::fromStdString(FormatReadout(*nSample, m_times.Times(), channels));
    if (strText != m_strShown) {
        m_strShown = strText;
        m_status.ShowTransient(strText);
    }
}
