#include "measure/StatisticsPanel.h"

#include "MeasureText.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kPadding = 8;

// Columns as wide as these texts to begin with; they only grow (Fill), so that changing
// figures seldom change the panel's width, and so the plot's.
QTableWidget* MakeTable(QWidget* pParent, const char* szName, const QStringList& vHeadings,
                        const QStringList& vWidest) {
    auto* pTable = new QTableWidget(0, static_cast<int>(vHeadings.size()), pParent);
    pTable->setObjectName(QLatin1String(szName));
    pTable->setHorizontalHeaderLabels(vHeadings);
    pTable->horizontalHeader()->setVisible(!vHeadings.first().isEmpty());
    pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    pTable->verticalHeader()->setDefaultSectionSize(pTable->fontMetrics().height() + 4);
    for (int c = 0; c < static_cast<int>(vWidest.size()); ++c) {
        pTable->setColumnWidth(c, pTable->fontMetrics().horizontalAdvance(vWidest[c]) + kPadding);
    }
    pTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pTable->verticalHeader()->setVisible(false);
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionMode(QAbstractItemView::NoSelection);
    pTable->setFocusPolicy(Qt::NoFocus);
    pTable->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    pTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return pTable;
}

// Rows of texts into the table, touching only the cells that changed; true when a column had
// to grow.
template <class Row>
bool Fill(QTableWidget& table, const std::vector<Row>& vRows) {
    bool bGrew = false;
    table.setRowCount(static_cast<int>(vRows.size()));
    for (int r = 0; r < static_cast<int>(vRows.size()); ++r) {
        const Row& row = vRows[static_cast<std::size_t>(r)];
        std::vector<std::string> vCells;
        if constexpr (std::is_same_v<Row, std::pair<std::string, std::string>>) {
            vCells = {row.first, row.second};
        } else {
            vCells.assign(row.begin(), row.end());
        }
        for (int c = 0; c < static_cast<int>(vCells.size()); ++c) {
            const QString strText = QString::fromStdString(vCells[static_cast<std::size_t>(c)]);
            QTableWidgetItem* pItem = table.item(r, c);
            if (pItem == nullptr) {
                pItem = new QTableWidgetItem;
                pItem->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                               : Qt::AlignRight | Qt::AlignVCenter);
                table.setItem(r, c, pItem);
            }
            if (pItem->text() != strText) {
                pItem->setText(strText);
                const int nWidth = table.fontMetrics().horizontalAdvance(strText) + kPadding;
                if (nWidth > table.columnWidth(c)) {
                    table.setColumnWidth(c, nWidth);
                    bGrew = true;
                }
            }
        }
    }
    return bGrew;
}

} // namespace

CStatisticsPanel::CStatisticsPanel(QWidget* pParent) : QWidget(pParent) {
    // A size smaller than the plot's texts: ten figures a row beside the plot.
    QFont font = this->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    setFont(font);
    QStringList vHeadings;
    for (const char* szColumn : kStatsColumns) {
        vHeadings << QString::fromLatin1(szColumn);
    }
    const QString strNumber = QStringLiteral("-888.88");
    const QStringList vWidest = {
        QStringLiteral("Channel"),  strNumber, strNumber, strNumber, strNumber, strNumber,
        QStringLiteral("888888888")};
    m_pViewTitle = new QLabel(this);
    m_pInView = MakeTable(this, "tableInView", vHeadings, vWidest);
    m_pAll = MakeTable(this, "tableAll", vHeadings, vWidest);
    m_pCursors = new QLabel(this);
    m_pCursors->setWordWrap(true);
    m_pLine = MakeTable(this, "tableLine", {QString(), QString()},
                        {QStringLiteral("Average sets per second"), QStringLiteral("88888888")});
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(6, 6, 6, 6);
    pLayout->addWidget(m_pViewTitle);
    pLayout->addWidget(m_pInView);
    pLayout->addWidget(new QLabel(QStringLiteral("All samples"), this));
    pLayout->addWidget(m_pAll);
    pLayout->addWidget(m_pCursors);
    pLayout->addWidget(new QLabel(QStringLiteral("Line"), this));
    pLayout->addWidget(m_pLine);
    pLayout->addStretch(1);
    // As wide as its tables; the plot takes the rest.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    Show(m_figures);
}

void CStatisticsPanel::Show(const SStatisticsFigures& figures) {
    m_figures = figures;
    m_pViewTitle->setText(figures.m_bBetweenCursors ? QStringLiteral("Between A and B")
                                                    : QStringLiteral("In view"));
    bool bGrew = Fill(*m_pInView, figures.m_vInView);
    bGrew |= Fill(*m_pAll, figures.m_vAll);
    m_pCursors->setText(QString::fromStdString(figures.m_strCursors));
    m_pCursors->setVisible(!figures.m_strCursors.empty());
    bGrew |= Fill(*m_pLine, figures.m_vLine);
    if (bGrew) {
        // Both tables of figures keep the same columns.
        for (int c = 0; c < m_pAll->columnCount(); ++c) {
            const int nWidth = std::max(m_pInView->columnWidth(c), m_pAll->columnWidth(c));
            m_pInView->setColumnWidth(c, nWidth);
            m_pAll->setColumnWidth(c, nWidth);
        }
        updateGeometry();
    }
}
