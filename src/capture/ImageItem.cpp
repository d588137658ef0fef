#include "ImageItem.h"

#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

ImageItem::ImageItem(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
    connect(this, &QQuickItem::smoothChanged, this, [this] { update(); });
}

void ImageItem::setImage(const QImage &image)
{
    if (image.cacheKey() == m_image.cacheKey() && image.size() == m_image.size())
        return;
    m_image = image;
    m_textureDirty = true;
    update();
    Q_EMIT imageChanged();
    Q_EMIT paintedRectChanged();
}

void ImageItem::setBlended(bool blended)
{
    if (blended == m_blended)
        return;
    m_blended = blended;
    m_textureDirty = true;
    update();
    Q_EMIT blendedChanged();
}

QRectF ImageItem::paintedRect() const
{
    if (m_image.isNull() || width() <= 0 || height() <= 0)
        return {};
    const QSizeF size =
        QSizeF(m_image.size()).scaled(QSizeF(width(), height()), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void ImageItem::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        update();
        Q_EMIT paintedRectChanged();
    }
}

QSGNode *ImageItem::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGImageNode *>(oldNode);
    const QRectF rect = paintedRect();
    if (rect.isEmpty()) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = window()->createImageNode();
        node->setOwnsTexture(true);
        m_textureDirty = true;
    }
    if (m_textureDirty) {
        node->setTexture(m_blended
                             ? window()->createTextureFromImage(
                                   m_image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                                   QQuickWindow::TextureHasAlphaChannel)
                             : window()->createTextureFromImage(m_image));
        m_textureDirty = false;
    }
    node->setFiltering(smooth() ? QSGTexture::Linear : QSGTexture::Nearest);
    node->setMipmapFiltering(QSGTexture::None);
    node->setRect(rect);
    return node;
}
