#include "DesktopPicture.h"

#include <QPainter>
#include <QRegion>

#include <cmath>

namespace {

qreal densityOf(const DesktopPicture::Part &part)
{
    return part.logical.width() > 0 ? qreal(part.image.width()) / part.logical.width() : 1.0;
}

} // namespace

QImage DesktopPicture::compose(const QRect &logical) const
{
    qreal scale = 0;
    QRegion covered;
    for (const Part &part : parts) {
        if (!part.logical.intersects(logical) || part.image.isNull())
            continue;
        scale = qMax(scale, densityOf(part));
        covered += part.logical & logical;
    }
    if (scale <= 0)
        return QImage();

    const QSize size(qMax(1, int(std::lround(logical.width() * scale))),
                     qMax(1, int(std::lround(logical.height() * scale))));
    const bool whole = covered == QRegion(logical);
    QImage image(size, whole ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    if (!whole)
        image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        for (const Part &part : parts) {
            const QRect common = part.logical & logical;
            if (common.isEmpty() || part.image.isNull())
                continue;
            const qreal density = densityOf(part);
            const QRectF source(QPointF(common.topLeft() - part.logical.topLeft()) * density,
                                QSizeF(common.size()) * density);
            const QRectF target(QPointF(common.topLeft() - logical.topLeft()) * scale,
                                QSizeF(common.size()) * scale);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, density != scale);
            painter.drawImage(target, part.image, source);
        }
    }
    image.setDevicePixelRatio(scale);
    return image;
}

QColor DesktopPicture::colourAt(QPointF logical) const
{
    for (const Part &part : parts) {
        if (!QRectF(part.logical).contains(logical))
            continue;
        const qreal density = densityOf(part);
        const QPointF at = (logical - QPointF(part.logical.topLeft())) * density;
        const QPoint pixel(int(std::floor(at.x())), int(std::floor(at.y())));
        if (part.image.rect().contains(pixel))
            return part.image.pixelColor(pixel);
    }
    return QColor();
}
