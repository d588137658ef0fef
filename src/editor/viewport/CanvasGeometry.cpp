#include "CanvasGeometry.h"

namespace CanvasGeometry {

QSizeF fittedSize(QSizeF area, QSizeF image)
{
    if (area.isEmpty() || image.isEmpty())
        return {0, 0};
    const double r = image.width() / image.height();
    if (area.width() / area.height() < r)
        return {area.width(), area.width() / r};
    return {area.height() * r, area.height()};
}

QSizeF margins(QSizeF area, QSizeF fitted)
{
    return {(area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2};
}

View makeView(QSizeF area, QSizeF image, QSizeF canvasSize, double zoom, QSizeF pan)
{
    const QSizeF fitted = fittedSize(area, image);
    View view;
    view.area = area;
    view.canvasSize = canvasSize.isEmpty() ? fitted : canvasSize;
    view.fitScale = view.canvasSize.width() > 0 && !fitted.isEmpty()
                        ? fitted.width() / view.canvasSize.width()
                        : 1.0;
    view.zoom = zoom;
    view.pan = pan;
    return view;
}

QPointF viewToCanvas(QPointF v, const View &view)
{
    const double w = view.area.width(), h = view.area.height();
    const double s = view.scale();
    return {view.canvasSize.width() / 2 + (v.x() - w / 2 - view.pan.width()) / s,
            view.canvasSize.height() / 2 + (v.y() - h / 2 - view.pan.height()) / s};
}

QPointF canvasToView(QPointF c, const View &view)
{
    const double s = view.scale();
    return {view.area.width() / 2 + view.pan.width() + s * (c.x() - view.canvasSize.width() / 2),
            view.area.height() / 2 + view.pan.height() +
                s * (c.y() - view.canvasSize.height() / 2)};
}

QTransform canvasTransform(const View &view)
{
    QTransform transform;
    transform.translate(view.area.width() / 2 + view.pan.width(),
                        view.area.height() / 2 + view.pan.height());
    transform.scale(view.scale(), view.scale());
    transform.translate(-view.canvasSize.width() / 2, -view.canvasSize.height() / 2);
    return transform;
}

} // namespace CanvasGeometry
