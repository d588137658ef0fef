#include "StackGeometry.h"

#include <algorithm>
#include <cmath>

namespace StackGeometry {

qreal thumbnailHeight(const QSizeF &pointSize)
{
    if (!(pointSize.width() > 0) || !(pointSize.height() > 0))
        return 1;
    return std::max<qreal>(1, std::round(ThumbnailWidth * pointSize.height() / pointSize.width()));
}

Placement place(const QList<QSizeF> &pointSizes, qreal columnWidth)
{
    Placement placement;
    if (pointSizes.isEmpty())
        return placement;
    placement.rects.reserve(pointSizes.size());
    const qreal x = std::round((columnWidth - ThumbnailWidth) / 2);
    qreal y = TopInset;
    for (const QSizeF &size : pointSizes) {
        const qreal height = thumbnailHeight(size);
        placement.rects.append(QRectF(x, y, ThumbnailWidth, height));
        y += height + Spacing;
    }
    placement.contentHeight = y - Spacing + BottomInset;
    return placement;
}

qreal maxScroll(qreal contentHeight, qreal viewHeight)
{
    return std::max<qreal>(0, contentHeight - viewHeight);
}

qreal scrolled(qreal scrollY, QPointF angleDelta, QPointF pixelDelta, qreal contentHeight,
               qreal viewHeight)
{
    // Wheel deltas are positive when the wheel turns away from the user, which shows what
    // lies above: the offset goes down.
    qreal step = 0;
    if (pixelDelta.y() != 0)
        step = pixelDelta.y();
    else
        step = angleDelta.y() / 120.0 * WheelNotchDistance;
    return std::clamp<qreal>(scrollY - step, 0, maxScroll(contentHeight, viewHeight));
}

QRegion roundedRegion(const QRect &rect, int radius)
{
    if (rect.isEmpty())
        return {};
    const int r = std::clamp(radius, 0, std::min(rect.width(), rect.height()) / 2);
    if (r == 0)
        return QRegion(rect);
    QRegion region(rect.adjusted(0, r, 0, -r));
    for (int row = 0; row < r; ++row) {
        // Distance from the row's pixel centres to the corner circle's centre, vertically.
        const qreal dy = r - (row + 0.5);
        const qreal half = std::sqrt(qreal(r) * r - dy * dy);
        const int inset = int(std::ceil(r - half - 0.5));
        const int width = rect.width() - 2 * inset;
        if (width <= 0)
            continue;
        region += QRect(rect.x() + inset, rect.y() + row, width, 1);
        region += QRect(rect.x() + inset, rect.bottom() - row, width, 1);
    }
    return region;
}

} // namespace StackGeometry
