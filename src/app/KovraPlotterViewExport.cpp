// The ways data and pictures leave the program: CSV files, BMP screenshots, the clipboard.
#include "KovraPlotterView.h"

#include "BmpWriter.h"
#include "CsvWriter.h"
#include "PlotData.h"
#include "TimeStampedName.h"
#include "TonePlayer.h"
#include "UserDialogs.h"
#include "YScale.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>

namespace {

std::vector<std::uint8_t> MakeDib(const QImage& image) {
    const QImage picture = image.convertToFormat(QImage::Format_RGB32);
    return MakeDib32(picture.constBits(), picture.width(), picture.height(),
                     static_cast<std::size_t>(picture.bytesPerLine()));
}

// Stands in for the tone output while a picture is drawn only to be looked at.
class CSilentTones : public CToneOutput {
public:
    CSilentTones() : m_pPrevious(&ToneOutput()) { SetToneOutput(this); }
    ~CSilentTones() override { SetToneOutput(m_pPrevious); }
    CSilentTones(const CSilentTones&) = delete;
    CSilentTones& operator=(const CSilentTones&) = delete;
    void Beep(DWORD, DWORD) override {}

private:
    CToneOutput* m_pPrevious;
};

} // namespace

QImage CKovraPlotterView::ShownPicture() {
    if (const QImage shown = m_canvas.LastPicture(*viewport()); !shown.isNull()) {
        m_picture = shown;
    }
    if (!m_picture.isNull() && m_picture.size() == viewport()->size()) {
        return m_picture;
    }
    // Nothing painted yet at this size: a paint that leaves every setting and sound alone.
    const float fPointsPerDiv = m_fPointsPerDiv;
    const CYScale scale{m_fYMax, m_fYMin, m_fAutoMax, m_fAutoMin};
    const CSilentTones silence;
    QImage picture(viewport()->size(), QImage::Format_RGB32);
    const CSetSizeLog log = m_setLog;
    OnDraw(picture);
    m_setLog = log;
    m_fPointsPerDiv = fPointsPerDiv;
    m_fYMax = scale.m_fYMax;
    m_fYMin = scale.m_fYMin;
    m_fAutoMax = scale.m_fAutoMax;
    m_fAutoMin = scale.m_fAutoMin;
    UpdateScrollBar();
    m_picture = picture;
    return picture;
}

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
    ShownPicture();
    m_bCapturing = true;
    const QImage view = grab().toImage();
    m_bCapturing = false;
    const CExportResult result = WriteBmpToNewFile(MakeDib(view), LocalTimeNow());
    *pstrName = result.m_strPath;
    return result.Ok();
}

void CKovraPlotterView::OnKeyScreenshot() {
    std::string strName;
    if (SaveViewAsBmp(&strName)) {
        SetStatusText("%s", ("Saving current view to " + strName).c_str());
    } else {
        SetStatusText("%s", ("Error: could not save current view to " + strName).c_str());
    }
}

void CKovraPlotterView::OnCopyView() {
    // The plot area only, without the scroll bar.
    QApplication::clipboard()->setImage(ShownPicture());
    SetStatusText("Current view copied to clipboard");
}
