// The ways data and pictures leave the program: CSV files, BMP screenshots, the clipboard.
#include "view/KovraPlotterView.h"

#include "BmpWriter.h"
#include "CsvWriter.h"
#include "PlotData.h"
#include "TimeStampedName.h"
#include "TonePlayer.h"
#include "YScale.h"
#include "dialogs/UserDialogs.h"
#include "files/JobRunner.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>

#include <cerrno>

namespace {

std::string FileNameOf(const std::string& strPath) {
    const std::size_t nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

// Empty when the picture could not be had.
std::vector<std::uint8_t> MakeDib(const QImage& image) {
    const QImage picture = image.convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) {
        return {};
    }
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
    QImage picture(viewport()->size(), QImage::Format_RGB32);
    if (picture.isNull()) {
        return picture;
    }
    const float fPointsPerDiv = m_fPointsPerDiv;
    const CYScale scale{m_fYMax, m_fYMin, m_fAutoMax, m_fAutoMin};
    const CSilentTones silence;
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
    case EExportStatus::kNoMemory:
        UserDialogs().Notify(this, QStringLiteral("Not enough memory to write the file.."));
        return false;
    case EExportStatus::kCancelled:
        SetStatusText("Export cancelled: %s not written", FileNameOf(result.m_strPath).c_str());
        return false;
    }
    return false;
}

void CKovraPlotterView::StartCsvExport(const std::string& strName, CsvWriter fnWrite,
                                       std::function<void(const CExportResult&)> fnReport) {
    try {
        // The values stored now: collection goes on while the file is written.
        auto pSnapshot = std::make_shared<const CCsvSnapshot>(TakeCsvSnapshot(*g_pPlotData));
        auto pResult = std::make_shared<CExportResult>();
        m_pJobs->Start(
            QStringLiteral("Writing %1..").arg(QString::fromStdString(strName)),
            [pSnapshot, pResult, fnWrite = std::move(fnWrite)](CJobProgress& progress) {
                *pResult = fnWrite(*pSnapshot, progress);
            },
            [pResult, fnReport] { fnReport(*pResult); });
    } catch (const std::bad_alloc&) {
        // Not even the list of the store's blocks could be had.
        fnReport({EExportStatus::kNoMemory, {}, ENOMEM});
    }
}

void CKovraPlotterView::OnFileSave() {
    const QString strPath = UserDialogs().GetSaveFileName(
        this, QStringLiteral("Comma separated files (*.csv);;All files (*)"),
        QStringLiteral("csv"));
    if (strPath.isEmpty()) {
        return;
    }
    const std::string strTarget = strPath.toStdString();
    StartCsvExport(
        FileNameOf(strTarget),
        [strTarget](const CCsvSnapshot& snapshot, CJobProgress& progress) {
            return WriteCsv(snapshot, strTarget, &progress);
        },
        [this](const CExportResult& result) { ReportCsvResult(result); });
}

bool CKovraPlotterView::QuickCsv(std::string* pstrName) {
    const CExportResult result = WriteCsvToNewFile(*g_pPlotData, LocalTimeNow());
    *pstrName = result.m_strPath;
    return ReportCsvResult(result);
}

void CKovraPlotterView::StartQuickCsv(bool bKey) {
    const std::tm tmNow = LocalTimeNow();
    StartCsvExport(
        MakeTimeStampedName(tmNow, ".csv"),
        [tmNow](const CCsvSnapshot& snapshot, CJobProgress& progress) {
            return WriteCsvToNewFile(snapshot, tmNow, {}, &progress);
        },
        [this, bKey](const CExportResult& result) {
            const bool bOk = ReportCsvResult(result);
            if (!bKey || result.m_eStatus == EExportStatus::kCancelled) {
                return;
            }
            if (bOk) {
                SetStatusText("%s", ("Channels dumped to " + result.m_strPath).c_str());
            } else {
                SetStatusText("%s", ("Error: channels not dumped to " + result.m_strPath).c_str());
            }
        });
}

void CKovraPlotterView::OnQuickCsv() {
    StartQuickCsv(false);
}

void CKovraPlotterView::OnKeyQuickCsv() {
    StartQuickCsv(true);
}

bool CKovraPlotterView::SaveViewAsBmp(std::string* pstrName) {
    // The view as it looks, frame and scroll bar included.
    std::vector<std::uint8_t> vDib;
    try {
        if (!ShownPicture().isNull()) {
            m_bCapturing = true;
            vDib = MakeDib(grab().toImage());
        }
    } catch (const std::bad_alloc&) {
        // Said below.
    }
    m_bCapturing = false;
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
        const QImage picture = ShownPicture();
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
