#pragma once

#include <QImage>

#include <string>

class CCommandMap;
class CStatusSink;
class QPaintDevice;
class QPrinter;
class QWidget;

// Where the picture commands take their pictures from.
class CPictureSource {
public:
    // A new picture of the plot; null when there is no memory for it.
    virtual QImage RenderPicture() = 0;
    // The plot as it is on screen now.
    virtual QImage ShownPicture() = 0;
    // The view as it looks, frame and scroll bar included.
    virtual QImage GrabView() = 0;

protected:
    ~CPictureSource() = default;
};

// The ways pictures of the plot leave the program: the BMP screenshot (F9), the clipboard
// copy, printing and its preview.
class CPictureCommands {
public:
    // window parents the dialogs.
    CPictureCommands(QWidget& window, CStatusSink& status, CPictureSource& source);

    void RegisterCommands(CCommandMap& commands);

    // The screenshot to a new time-stamped file, written before it returns; false on
    // failure. The name tried is returned either way.
    bool SaveViewAsBmp(std::string* pstrName);
    // F9: the same, with its status texts.
    void OnKeyScreenshot();
    void OnCopyView();
    void OnFilePrint();
    void OnFilePrintPreview();
    // The plot on a page: a printer, or any other paint device.
    void PrintPicture(QPaintDevice& page);
    static void PrintImage(QPaintDevice& page, const QImage& picture);
    // The printer that Print, Print Preview and Print Setup share.
    static QPrinter& Printer();

private:
    QWidget& m_window;
    CStatusSink& m_status;
    CPictureSource& m_source;
};
