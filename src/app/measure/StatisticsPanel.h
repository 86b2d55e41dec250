#pragma once

#include <QWidget>

#include <array>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QTableWidget;

// What the statistics panel shows, as text.
struct SStatisticsFigures {
    // The first table is of the samples between the cursors instead of those in view.
    bool m_bBetweenCursors = false;
    std::vector<std::array<std::string, 7>> m_vInView;
    std::vector<std::array<std::string, 7>> m_vAll;
    std::string m_strCursors;
    std::vector<std::pair<std::string, std::string>> m_vLine;
};

// The statistics beside the plot (View > Statistics): for each channel in use its figures
// over the samples in view (or between the cursors) and over all samples, the cursors, and
// the line's figures. The frame places it; its owner feeds it.
class CStatisticsPanel : public QWidget {
    Q_OBJECT

public:
    explicit CStatisticsPanel(QWidget* pParent = nullptr);

    void Show(const SStatisticsFigures& figures);
    const SStatisticsFigures& Figures() const { return m_figures; }

private:
    QLabel* m_pViewTitle;
    QTableWidget* m_pInView;
    QTableWidget* m_pAll;
    QLabel* m_pCursors;
    QTableWidget* m_pLine;
    SStatisticsFigures m_figures;
};
