#include "dialogs/ProgressDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kSteps = 1000;

} // namespace

CProgressDlg::CProgressDlg(const QString& strText, QWidget* pParent)
    : QDialog(pParent), m_pLabel(new QLabel(strText, this)), m_pBar(new QProgressBar(this)) {
    setWindowTitle(QApplication::applicationName());
    m_pBar->setRange(0, kSteps);
    m_pBar->setValue(0);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CProgressDlg::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pLabel);
    pLayout->addWidget(m_pBar);
    pLayout->addWidget(pButtons);
    setMinimumWidth(360);
}

QString CProgressDlg::Text() const {
    return m_pLabel->text();
}

void CProgressDlg::SetFraction(double fDone) {
    m_pBar->setValue(static_cast<int>(fDone * kSteps));
}

void CProgressDlg::reject() {
    if (m_bCancelled) {
        return;
    }
    m_bCancelled = true;
    m_pLabel->setText(tr("Stopping.."));
    if (auto* pButtons = findChild<QDialogButtonBox*>()) {
        pButtons->setEnabled(false);
    }
    emit rejected();
}
