#include "view/overlays/LegendOverlay.h"
#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/StatusSink.h"
#include "paint/DrawContext.h"
#include "session/AcquisitionSession.h"
#include "view/PlotPainter.h"

#include "PlotData.h"
#include "PlotGeometry.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 4;  // between the plot's edges and the box
constexpr int kPadding = 4; // inside the box
constexpr int kSwatchWidth = 24;
constexpr int kGap = 6;
constexpr const char* kCornerNames[] = {"top right", "bottom right", "bottom left", "top left"};

QString ValueText(int c) {
    const int nCount = g_pPlotData->GetSampleCount(c);
    const float fValue = nCount > 0 ? g_pPlotData->GetSample(c, nCount - 1) : NAN;
    return std::isnan(fValue) ? QStringLiteral("-")
                              : QString::number(static_cast<double>(fValue), 'g', 6);
}

// A short line in the channel's colour with its point shape in the middle, drawn by the
// trace's own rasteriser.
QImage Swatch(int c, int nHeight) {
    QImage swatch(kSwatchWidth, nHeight, QImage::Format_RGB32);
    swatch.fill(Qt::white);
    CDrawContext dc(swatch);
    const int nMiddle = nHeight / 2;
    QRgb nColour = 0;
    if (CPlotPainter::ChannelColour(g_pPlotData->GetColor(c), &nColour) &&
        g_pPlotData->GetInterpolate(c)) {
        dc.StraightLine(1, nMiddle, kSwatchWidth - 1, nMiddle, QColor(nColour));
    }
    dc.BeginLayers();
    const CPixel point{kSwatchWidth / 2, nMiddle};
    dc.Trace(std::span(&point, 1), g_pPlotData->GetPointType(c), false, nColour);
    return swatch;
}

} // namespace

CLegendOverlay::CLegendOverlay(CPlotPainter& painter, CStatusSink& status,
                               std::function<void()> fnRepaint)
    : m_painter(painter), m_status(status), m_fnRepaint(std::move(fnRepaint)) {}

CLegendOverlay::~CLegendOverlay() {
    m_painter.RemoveOverlay(this);
}

void CLegendOverlay::RegisterCommands(CCommandMap& commands) {
    commands.Add(
        ID_PLOT_LEGEND, [this] { OnLegend(); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(m_bShown);
        });
    commands.Add(
        ID_PLOT_LEGENDPOSITION, [this] { OnLegendPosition(); },
        [this](CCmdUI& cmdUI) { cmdUI.Enable(m_bShown); });
}

void CLegendOverlay::Show(bool bShown) {
    if (bShown == m_bShown) {
        return;
    }
    m_bShown = bShown;
    if (bShown) {
        m_painter.AddOverlay(this);
    } else {
        m_painter.RemoveOverlay(this);
    }
    m_fnRepaint();
}

void CLegendOverlay::Restore(bool bShown, int nCorner) {
    m_nCorner = nCorner >= 0 && nCorner < kCornerCount ? nCorner : kTopRight;
    Show(bShown);
}

void CLegendOverlay::OnLegend() {
    m_bUserChose = true;
    Show(!m_bShown);
}

void CLegendOverlay::OnLegendPosition() {
    m_nCorner = (m_nCorner + 1) % kCornerCount;
    m_status.SetStatusText("Legend in the %s corner", kCornerNames[m_nCorner]);
    m_fnRepaint();
}

void CLegendOverlay::OnNamesMaybeArrived() {
    if (m_bNamesShowedIt || m_bUserChose || g_pPlotData == nullptr) {
        return;
    }
    for (int c = 0; c < CPlotData::kChannelCount; ++c) {
        if (!g_pPlotData->GetStreamChannelName(c).empty()) {
            m_bNamesShowedIt = true;
            Show(true);
            return;
        }
    }
}

QRect CLegendOverlay::Place(const CPlotGeometry& geometry, QSize size, int nCorner) {
    const bool bRight = nCorner == kTopRight || nCorner == kBottomRight;
    const bool bTop = nCorner == kTopRight || nCorner == kTopLeft;
    const int x =
        bRight ? geometry.GetRight() - kMargin - size.width() : geometry.GetLeft() + kMargin + 1;
    const int y =
        bTop ? geometry.GetTop() + kMargin : geometry.GetBottom() - kMargin - size.height();
    return {QPoint(x, y), size};
}

std::vector<CLegendOverlay::SRow> CLegendOverlay::Rows() {
    std::vector<SRow> vRows;
    for (int c = 0; g_pPlotData != nullptr && c < g_pPlotData->m_nLastSetCount; ++c) {
        if (!g_pPlotData->IsHidden(c)) {
            const std::string& strName = g_pPlotData->GetChannelName(c);
            vRows.push_back({c,
                             strName.empty() ? QStringLiteral("ch %1").arg(c + 1)
                                             : QString::fromStdString(strName),
                             ValueText(c)});
        }
    }
    return vRows;
}

void CLegendOverlay::Draw(QPainter& painter, const CPlotGeometry& geometry) {
    const std::vector<SRow> vRows = Rows();
    if (vRows.empty()) {
        return;
    }
    const QFontMetrics metrics = painter.fontMetrics();
    const int nRowHeight = std::max(metrics.height() + 2, 12);
    int nNameWidth = 0;
    int nValueWidth = 0;
    for (const SRow& row : vRows) {
        nNameWidth = std::max(nNameWidth, metrics.horizontalAdvance(row.m_strName));
        nValueWidth = std::max(nValueWidth, metrics.horizontalAdvance(row.m_strValue));
    }
    const QSize size(2 * kPadding + kSwatchWidth + kGap + nNameWidth + 2 * kGap + nValueWidth,
                     2 * kPadding + static_cast<int>(vRows.size()) * nRowHeight);
    const QRect box = Place(geometry, size, m_nCorner);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    int y = box.top() + kPadding;
    const int xName = box.left() + kPadding + kSwatchWidth + kGap;
    const int xValue = box.right() - kPadding - nValueWidth;
    for (const SRow& row : vRows) {
        painter.drawImage(box.left() + kPadding, y, Swatch(row.m_nChannel, nRowHeight));
        painter.drawText(QRect(xName, y, nNameWidth, nRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         row.m_strName);
        painter.drawText(QRect(xValue, y, nValueWidth + 1, nRowHeight),
                         Qt::AlignRight | Qt::AlignVCenter, row.m_strValue);
        y += nRowHeight;
    }
    painter.restore();
}
