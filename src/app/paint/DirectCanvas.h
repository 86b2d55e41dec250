#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
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
    // Something the window alone shows was drawn over the picture in the store: LastPicture
    // has nothing to give, ReadBack still reads the store.
    void MarkDrawnOver() { m_bClean = false; }
    // The last paint went through Begin, and the store still holds its picture alone.
    bool HoldsLastPaint() const { return m_bValid && m_bClean; }
    // A copy of the store's pixels in rect (the widget's coordinates) as the last paint
    // through Begin and what was drawn over it since left them; a null image when that
    // paint went elsewhere, the widget or the store changed since, or rect is not inside.
    QImage ReadBack(QWidget& widget, QRect rect) const;

private:
    static QImage* StoreImage(QWidget& widget);
    // The store the last paint through Begin drew into, while it is still where it was.
    QImage* SameStore(QWidget& widget) const;
    static QImage Area(QImage& store, QPoint offset, QSize size);

    bool m_bValid = false;
    bool m_bClean = false;
    QPoint m_offset;
    QSize m_size;
    QSize m_storeSize;
    const uchar* m_pStoreBits = nullptr;
};
