#pragma once

#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

/**
 * The soft shadow under a stack thumbnail: black at 30 %, blurred, a little below the
 * thumbnail's rounded rectangle. Fill the thumbnail with it; it draws beyond its own bounds.
 * One small pre-blurred picture stretched as nine patches, so any thumbnail size costs the
 * same per frame.
 */
class ThumbnailShadow : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit ThumbnailShadow(QQuickItem *parent = nullptr);

    /// How far the blur reaches beyond the shape, in points.
    static qreal extent();
    /// The pre-blurred picture at `devicePixelRatio`: a rounded square's shadow whose middle
    /// row and column are what the nine patches stretch.
    static QImage patchImage(qreal devicePixelRatio);
    /// The width of the patches' fixed border at `devicePixelRatio`, in pixels of that image.
    static int patchBorder(qreal devicePixelRatio);

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
};
