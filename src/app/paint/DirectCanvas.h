#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>

class QWidget;

// Lets an opaque widget paint its picture straight into the window's backing store instead
// of into a picture of its own that is then copied there: one full copy less per paint. Only
// where that gives the same pixels: the paint goes to the backing store (not to a grab or a
// printer), whose image has 32-bit pixels, one per device pixel; otherwise the widget
// draws its own picture as before.
class CDirectCanvas {
public:
    // In the widget's paint event: the part of the backing store under the widget, to draw
    // the whole picture into; a null image where that cannot be done.
    QImage Begin(QWidget& widget);
    // A copy of the picture the last paint drew through Begin, read back from the backing
    // store; a null image when that paint went elsewhere or the widget or the store changed
    // since.
    QImage LastPicture(QWidget& widget) const;
    // A paint that did not go through Begin.
    void Forget() { m_bValid = false; }
    // The last paint went through Begin.
    bool HoldsLastPaint() const { return m_bValid; }

private:
    static QImage* StoreImage(QWidget& widget);
    static QImage Area(QImage& store, QPoint offset, QSize size);

    bool m_bValid = false;
    QPoint m_offset;
    QSize m_size;
    QSize m_storeSize;
    const uchar* m_pStoreBits = nullptr;
};
