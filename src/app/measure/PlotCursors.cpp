#include "measure/PlotCursors.h"

#include "dialogs/StatusSink.h"
#include "measure/MeasuredChannels.h"
#include "measure/SetTimeKeeper.h"
#include "session/AcquisitionSession.h"
#include "view/PlotPainter.h"

#include "MeasureText.h"
#include "PlotData.h"

#include <QPainter>
#include <QWidget>

namespace {

const QColor kLineColour(90, 90, 90);

} // namespace

CPlotCursors::CPlotCursors(QWidget& viewport, CPlotPainter& painter, CStatusSink& status,
                           const CSetTimeKeeper& times, std::function<void()> fnRepaint)
    : m_viewport(viewport), m_painter(painter), m_status(status), m_times(times),
      m_fnRepaint(std::move(fnRepaint)) {}

bool CPlotCursors::OnClick(QPoint pos, Qt::KeyboardModifiers modifiers) {
    const bool bA = (modifiers & Qt::ControlModifier) != 0;
    if (!bA && (modifiers & Qt::ShiftModifier) == 0) {
        return false;
    }
    const auto nSample = SampleUnder(m_painter.Settings(), m_viewport.size(), pos.x());
    if (!nSample) {
        return true;
    }
    if (bA) {
        m_pair.SetA(*nSample);
    } else {
        m_pair.SetB(*nSample);
    }
    m_status.SetText(QString::fromStdString(ReadoutText()));
    m_fnRepaint();
    return true;
}

void CPlotCursors::Clear() {
    if (!Visible()) {
        return;
    }
    m_pair.Clear();
    m_status.SetText(QStringLiteral("Cursors removed"));
    m_fnRepaint();
}

void CPlotCursors::OnStoreChanged() {
    m_pair.ForgetBeyond(g_pPlotData != nullptr ? g_pPlotData->GetSampleCount(0) : 0);
}

std::string CPlotCursors::ReadoutText() const {
    std::vector<std::string> vNames;
    const auto channels = ShownChannels(vNames);
    return FormatCursorReadout(m_pair, m_times.Times(), channels);
}

void CPlotCursors::Draw(QPainter& painter, const CPlotGeometry& geometry) {
    const QSize size(geometry.GetClientWidth(), geometry.GetClientHeight());
    const int nHeight = geometry.GetBottom() - geometry.GetTop() + 1;
    for (const auto& [nSample, szLabel] :
         {std::pair{m_pair.A(), "A"}, std::pair{m_pair.B(), "B"}}) {
        const auto x = nSample ? SampleX(m_painter.Settings(), size, *nSample) : std::nullopt;
        if (!x || nHeight <= 0) {
            continue;
        }
        painter.fillRect(QRect(*x, geometry.GetTop(), 1, nHeight), kLineColour);
        painter.setPen(Qt::black);
        painter.drawText(*x + 3, geometry.GetTop() + painter.fontMetrics().ascent(),
                         QString::fromLatin1(szLabel));
    }
}
