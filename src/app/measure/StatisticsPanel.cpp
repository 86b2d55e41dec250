#include "measure/StatisticsPanel.h"

#include "MeasureText.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget* MakeTable(QWidget* pParent, const char* szName, const QStringList& vHeadings) {
    auto* pTable = new QTableWidget(0, static_cast<int>(vHeadings.size()), pParent);
    pTable->setObjectName(QLatin1String(szName));
    pTable->setHorizontalHeaderLabels(vHeadings);
    pTable->horizontalHeader()->setVisible(!vHeadings.first().isEmpty());
    pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    pTable->verticalHeader()->setVisible(false);
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionMode(QAbstractItemView::NoSelection);
    pTable->setFocusPolicy(Qt::NoFocus);
    pTable->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    pTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return pTable;
}

// Rows of texts into the table, touching only the cells that changed.
template <class Row>
void Fill(QTableWidget& table, const std::vector<Row>& vRows) {
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
            }
        }
    }
}

} // namespace

CStatisticsPanel::CStatisticsPanel(QWidget* pParent) : QWidget(pParent) {
    QStringList vHeadings;
    for (const char* szColumn : kStatsColumns) {
        vHeadings << QString::fromLatin1(szColumn);
    }
    m_pViewTitle = new QLabel(this);
    m_pInView = MakeTable(this, "tableInView", vHeadings);
    m_pAll = MakeTable(this, "tableAll", vHeadings);
    m_pCursors = new QLabel(this);
    m_pCursors->setWordWrap(true);
    m_pLine = MakeTable(this, "tableLine", {QString(), QString()});
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pViewTitle);
    pLayout->addWidget(m_pInView);
    pLayout->addWidget(new QLabel(QStringLiteral("All samples"), this));
    pLayout->addWidget(m_pAll);
    pLayout->addWidget(m_pCursors);
    pLayout->addWidget(new QLabel(QStringLiteral("Line"), this));
    pLayout->addWidget(m_pLine);
    pLayout->addStretch(1);
    Show(m_figures);
}

void CStatisticsPanel::Show(const SStatisticsFigures& figures) {
    m_figures = figures;
    m_pViewTitle->setText(figures.m_bBetweenCursors ? QStringLiteral("Between A and B")
                                                    : QStringLiteral("In view"));
    Fill(*m_pInView, figures.m_vInView);
    Fill(*m_pAll, figures.m_vAll);
    m_pCursors->setText(QString::fromStdString(figures.m_strCursors));
    m_pCursors->setVisible(!figures.m_strCursors.empty());
    Fill(*m_pLine, figures.m_vLine);
}
