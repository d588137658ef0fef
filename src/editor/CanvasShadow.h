#pragma once

#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

/**
 * The soft shadow the canvas area casts on the window: black at 30 %, blurred by 10 points,
 * 5 points lower than the area. Give it the area's geometry; it draws around it. The picture
 * is made only when the size changes. Used by EditorView.qml.
 */
class CanvasShadow : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT

public:
    static constexpr double blurRadius = 10;
    static constexpr double offsetY = 5;
    static constexpr double opacity = 0.3;

    explicit CanvasShadow(QQuickItem *parent = nullptr);

    /// The shadow of a `size` rectangle at `devicePixelRatio`, with `margin` points of room on
    /// every side (the rectangle itself starts at (margin, margin)).
    static QImage render(QSizeF size, double margin, qreal devicePixelRatio);
    /// How far the blur reaches beyond the rectangle, in points.
    static double margin() { return 2 * blurRadius; }

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    QImage m_image;
    QSizeF m_imageSize;
    qreal m_imageRatio = 0;
};
