#include "files/PictureCommands.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/StatusSink.h"
#include "dialogs/UserDialogs.h"
#include "session/MemoryShortage.h"

#include "BmpWriter.h"
#include "TimeStampedName.h"

#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

// Empty when the picture could not be had.
std::vector<std::uint8_t> MakeDib(const QImage& image) {
    const QImage picture = image.convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) {
        return {};
    }
    return MakeDib32(picture.constBits(), picture.width(), picture.height(),
                     static_cast<std::size_t>(picture.bytesPerLine()));
}

} // namespace

CPictureCommands::CPictureCommands(QWidget& window, CStatusSink& status, CPictureSource& source)
    : m_window(window), m_status(status), m_source(source) {}

void CPictureCommands::RegisterCommands(CCommandMap& commands) {
    commands.Add(ID_EDIT_COPY, [this] { OnCopyView(); });
    commands.Add(ID_FILE_PRINT, [this] { OnFilePrint(); });
    commands.Add(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
}

QPrinter& CPictureCommands::Printer() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

bool CPictureCommands::SaveViewAsBmp(std::string* pstrName) {
    std::vector<std::uint8_t> vDib;
    try {
        vDib = MakeDib(m_source.GrabView());
    } catch (const std::bad_alloc&) {
        // Said below.
    }
    if (vDib.empty()) {
        // No file is made for a picture that could not be taken.
        pstrName->clear();
        return false;
    }
    const CExportResult result = WriteBmpToNewFile(vDib, LocalTimeNow());
    *pstrName = result.m_strPath;
    return result.Ok();
}

void CPictureCommands::OnKeyScreenshot() {
    std::string strName;
    if (SaveViewAsBmp(&strName)) {
        m_status.SetStatusText("%s", ("Saving current view to " + strName).c_str());
    } else if (strName.empty()) {
        m_status.SetStatusText("Error: not enough memory to save current view");
    } else {
        m_status.SetStatusText("%s", ("Error: could not save current view to " + strName).c_str());
    }
}

void CPictureCommands::OnCopyView() {
    // The plot area only, without the scroll bar.
    try {
        const QImage picture = m_source.ShownPicture();
        if (!picture.isNull()) {
            QApplication::clipboard()->setImage(picture);
            m_status.SetStatusText("Current view copied to clipboard");
            return;
        }
    } catch (const std::bad_alloc&) {
        // Said below.
    }
    m_status.SetStatusText("Error: not enough memory to copy current view");
}

void CPictureCommands::PrintPicture(QPaintDevice& page) {
    const QImage picture = m_source.RenderPicture();
    if (picture.isNull()) {
        m_status.SetStatusText("%s", CMemoryShortage::kPaintFailedText);
        return;
    }
    PrintImage(page, picture);
}

void CPictureCommands::PrintImage(QPaintDevice& page, const QImage& picture) {
    QPainter painter(&page);
    // The screen picture, as large as the printable page allows, its proportions kept.
    const QRect area = painter.viewport();
    const QSize size = picture.size().scaled(area.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(area.topLeft(), size), picture);
}

void CPictureCommands::OnFilePrint() {
    QPrintDialog dialog(&Printer(), &m_window);
    if (UserDialogs().Run(dialog) == QDialog::Accepted) {
        PrintPicture(Printer());
    }
}

void CPictureCommands::OnFilePrintPreview() {
    QPrintPreviewDialog dialog(&Printer(), &m_window);
    // The preview asks again at every change of zoom or page: one paint serves them all.
    const QImage picture = m_source.RenderPicture();
    if (picture.isNull()) {
        m_status.SetStatusText("%s", CMemoryShortage::kPaintFailedText);
        return;
    }
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&picture](QPrinter* pPrinter) { PrintImage(*pPrinter, picture); });
    UserDialogs().Run(dialog);
}
