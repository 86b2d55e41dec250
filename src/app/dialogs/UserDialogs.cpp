#include "dialogs/UserDialogs.h"

#include "dialogs/ProgressDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

#include <cstring>

namespace {

CUserDialogs g_defaultDialogs;
CUserDialogs* g_pUserDialogs = &g_defaultDialogs;

} // namespace

bool CUserDialogs::Confirm(QWidget* pParent, const QString& strText) {
    return QMessageBox::question(pParent, QStringLiteral("Confirmation"), strText,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CUserDialogs::Notify(QWidget* pParent, const QString& strText) {
    QMessageBox::information(pParent, QApplication::applicationName(), strText);
}

int CUserDialogs::Run(QDialog& dialog) {
    return dialog.exec();
}

QString CUserDialogs::GetSaveFileName(QWidget* pParent, const QString& strFilter,
                                      const QString& strDefaultSuffix, SSaveCheckBox* pCheckBox) {
    QFileDialog dialog(pParent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(strFilter);
    dialog.setDefaultSuffix(strDefaultSuffix);
    dialog.selectFile(QStringLiteral("*.") + strDefaultSuffix);
    QCheckBox* pBox = nullptr;
    // The desktop's own dialog takes no widgets of ours: Qt's does, in its grid.
    if (pCheckBox != nullptr) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (auto* pGrid = qobject_cast<QGridLayout*>(dialog.layout())) {
            pBox = new QCheckBox(pCheckBox->m_strText, &dialog);
            pBox->setObjectName(QStringLiteral("checkSaveOption"));
            pBox->setChecked(pCheckBox->m_bChecked);
            pGrid->addWidget(pBox, pGrid->rowCount(), 0, 1, -1);
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    if (pBox != nullptr) {
        pCheckBox->m_bChecked = pBox->isChecked();
    }
    return dialog.selectedFiles().first();
}

QString CUserDialogs::GetOpenFileName(QWidget* pParent, const QString& strFilter) {
    QFileDialog dialog(pParent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(strFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

void CUserDialogs::ShowProgress(CProgressDlg& dialog) {
    dialog.open();
}

CUserDialogs& UserDialogs() {
    return *g_pUserDialogs;
}

void SetUserDialogs(CUserDialogs* pDialogs) {
    g_pUserDialogs = pDialogs != nullptr ? pDialogs : &g_defaultDialogs;
}

QString OpeningFailedText(int nErrno) {
    return QStringLiteral("Problem opening file.. %1")
        .arg(QString::fromLocal8Bit(std::strerror(nErrno)));
}
