#include "Thumbnail.h"

#include "capture/StackGeometry.h"

#include <QPainter>

#include <cmath>

namespace Thumbnail {

QImage make(const QImage &image, int widthPoints, qreal devicePixelRatio)
{
    if (image.isNull() || widthPoints <= 0 || !(devicePixelRatio > 0))
        return {};
    const int width = qMax(1, int(std::ceil(widthPoints * devicePixelRatio)));
    const int height = qMax(1, qRound(qreal(image.height()) * width / image.width()));
    QImage scaled = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(1);

    // The corners are cut here, once, so the panel draws each thumbnail as one plain
    // textured quad instead of clipping it on every frame.
    QImage result(scaled.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(scaled));
        const qreal radius = StackGeometry::CornerRadius * devicePixelRatio;
        painter.drawRoundedRect(QRectF(0, 0, width, height), radius, radius);
    }
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace Thumbnail
