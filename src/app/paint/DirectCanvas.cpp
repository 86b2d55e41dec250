#include "paint/DirectCanvas.h"

#include <QBackingStore>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

QImage* CDirectCanvas::StoreImage(QWidget& widget) {
    QBackingStore* pStore = widget.backingStore();
    QPaintDevice* pDevice = pStore != nullptr ? pStore->paintDevice() : nullptr;
    if (pDevice == nullptr || pDevice->devType() != QInternal::Image) {
        return nullptr;
    }
    auto* pImage = static_cast<QImage*>(pDevice);
    // Opaque pixels are the same bytes in both (the X11 store is the second kind).
    const bool bOpaque32 = pImage->format() == QImage::Format_RGB32 ||
                           pImage->format() == QImage::Format_ARGB32_Premultiplied;
    if (!bOpaque32 || pImage->devicePixelRatio() != 1.0) {
        return nullptr;
    }
    return pImage;
}

// A view of the pixels themselves: through constBits, as bits() could detach the store's
// image from the one the window shows.
QImage CDirectCanvas::Area(QImage& store, QPoint offset, QSize size) {
    if (size.isEmpty() || !store.rect().contains(QRect(offset, size))) {
        return {};
    }
    const qsizetype nStride = store.bytesPerLine();
    auto* pBits = const_cast<uchar*>(store.constBits()) + offset.y() * nStride +
                  static_cast<qsizetype>(offset.x()) * 4;
    return QImage(pBits, size.width(), size.height(), nStride, store.format());
}

QImage CDirectCanvas::Begin(QWidget& widget) {
    m_bValid = false;
    m_bClean = true;
    QImage* pStore = StoreImage(widget);
    if (pStore == nullptr) {
        return {};
    }
    {
        // Where this paint goes: a grab or a render paints into a device of its own.
        QPainter painter(&widget);
        if (painter.paintEngine() == nullptr || painter.paintEngine()->paintDevice() != pStore) {
            return {};
        }
    }
    const QPoint offset = widget.mapTo(widget.window(), QPoint(0, 0));
    QImage area = Area(*pStore, offset, widget.size());
    if (!area.isNull()) {
        m_bValid = true;
        m_offset = offset;
        m_size = widget.size();
        m_storeSize = pStore->size();
        m_pStoreBits = pStore->constBits();
    }
    return area;
}

QImage* CDirectCanvas::SameStore(QWidget& widget) const {
    QImage* pStore = m_bValid ? StoreImage(widget) : nullptr;
    if (pStore == nullptr || widget.size() != m_size ||
        widget.mapTo(widget.window(), QPoint(0, 0)) != m_offset || pStore->size() != m_storeSize ||
        pStore->constBits() != m_pStoreBits) {
        return nullptr;
    }
    return pStore;
}

QImage CDirectCanvas::ReadBack(QWidget& widget, QRect rect) const {
    QImage* pStore = SameStore(widget);
    if (pStore == nullptr || !QRect(QPoint(0, 0), m_size).contains(rect)) {
        return {};
    }
    const QImage area = Area(*pStore, m_offset + rect.topLeft(), rect.size());
    return area.format() == QImage::Format_RGB32 ? area.copy()
                                                 : area.convertToFormat(QImage::Format_RGB32);
}

QImage CDirectCanvas::LastPicture(QWidget& widget) const {
    QImage* pStore = m_bClean ? SameStore(widget) : nullptr;
    if (pStore == nullptr) {
        return {};
    }
    // A copy of its own either way: a converted view of the same format would still point
    // into the store, which the next paint overwrites and a resize frees.
    const QImage area = Area(*pStore, m_offset, m_size);
    return area.format() == QImage::Format_RGB32 ? area.copy()
                                                 : area.convertToFormat(QImage::Format_RGB32);
}
