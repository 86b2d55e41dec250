// The ways data and pictures leave the program: CSV files, BMP screenshots, the clipboard.
#include "KovraPlotterView.h"

#include "BmpWriter.h"
#include "CsvWriter.h"
#include "PlotData.h"
#include "TimeStampedName.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>

namespace {

// Empty when there is no memory for the picture.
std::vector<std::uint8_t> CaptureDib(QWidget* pWidget) {
    try {
        const QImage picture = pWidget->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (picture.isNull()) {
            return {};
        }
        return MakeDib32(picture.constBits(), picture.width(), picture.height(),
                         static_cast<std::size_t>(picture.bytesPerLine()));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace

bool CKovraPlotterView::ReportCsvResult(const CExportResult& result) {
    switch (result.m_eStatus) {
    case EExportStatus::kOk:
        return true;
    case EExportStatus::kCannotOpen:
        UserDialogs().Notify(this, QStringLiteral("Problem opening file.."));
        return false;
    case EExportStatus::kWriteFailed:
        UserDialogs().Notify(this, QStringLiteral("Problem writing file.."));
        return false;
    case EExportStatus::kNoMemory:
        UserDialogs().Notify(this, QStringLiteral("Not enough memory to write the file.."));
        return false;
    }
    return false;
}

void CKovraPlotterView::OnFileSave() {
    const QString strPath = UserDialogs().GetSaveFileName(
        this, QStringLiteral("Comma separated files (*.csv);;All files (*)"),
        QStringLiteral("csv"));
    if (!strPath.isEmpty()) {
        ReportCsvResult(WriteCsv(*g_pPlotData, strPath.toStdString()));
    }
}

bool CKovraPlotterView::QuickCsv(std::string* pstrName) {
    const CExportResult result = WriteCsvToNewFile(*g_pPlotData, LocalTimeNow());
    *pstrName = result.m_strPath;
    return ReportCsvResult(result);
}

void CKovraPlotterView::OnQuickCsv() {
    std::string strName;
    QuickCsv(&strName);
}

void CKovraPlotterView::OnKeyQuickCsv() {
    std::string strName;
    if (QuickCsv(&strName)) {
        SetStatusText("%s", ("Channels dumped to " + strName).c_str());
    } else {
        SetStatusText("%s", ("Error: channels not dumped to " + strName).c_str());
    }
}

bool CKovraPlotterView::SaveViewAsBmp(std::string* pstrName) {
    // The view as it looks, frame and scroll bar included.
    const std::vector<std::uint8_t> vDib = CaptureDib(this);
    if (vDib.empty()) {
        // No file is made for a picture that could not be taken.
        pstrName->clear();
        return false;
    }
    const CExportResult result = WriteBmpToNewFile(vDib, LocalTimeNow());
    *pstrName = result.m_strPath;
    return result.Ok();
}

void CKovraPlotterView::OnKeyScreenshot() {
    std::string strName;
    if (SaveViewAsBmp(&strName)) {
        SetStatusText("%s", ("Saving current view to " + strName).c_str());
    } else if (strName.empty()) {
        SetStatusText("Error: not enough memory to save current view");
    } else {
        SetStatusText("%s", ("Error: could not save current view to " + strName).c_str());
    }
}

void CKovraPlotterView::OnCopyView() {
    // The plot area only, without the scroll bar.
    try {
        const QImage picture = viewport()->grab().toImage();
        if (!picture.isNull()) {
            QApplication::clipboard()->setImage(picture);
            SetStatusText("Current view copied to clipboard");
            return;
        }
    } catch (const std::bad_alloc&) {
        // Said below.
    }
    SetStatusText("Error: not enough memory to copy current view");
}
