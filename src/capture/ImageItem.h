#pragma once

#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

/**
 * Shows a QImage, scaled to fit the item with its aspect ratio kept and centred. Lets QML
 * show captures and thumbnails straight from the models, without an image provider or a
 * copy through a URL.
 */
class ImageItem : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)
    Q_PROPERTY(QRectF paintedRect READ paintedRect NOTIFY paintedRectChanged)
    /// Composed as translucent even where the image is opaque. The software renderer keeps
    /// the area of every opaque node out of the pixels it redraws under it, and with many
    /// small opaque pictures over a canvas (inserted images) that bookkeeping, done at every
    /// frame, costs far more than drawing them blended does.
    Q_PROPERTY(bool blended READ isBlended WRITE setBlended NOTIFY blendedChanged)

public:
    explicit ImageItem(QQuickItem *parent = nullptr);

    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    QRectF paintedRect() const;
    bool isBlended() const { return m_blended; }
    void setBlended(bool blended);

Q_SIGNALS:
    void imageChanged();
    void paintedRectChanged();
    void blendedChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    QImage m_image;
    bool m_textureDirty = false;
    bool m_blended = false;
};
