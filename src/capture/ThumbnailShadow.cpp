#include "ThumbnailShadow.h"

#include "capture/StackGeometry.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr qreal Sigma = StackGeometry::ShadowBlur / 2;

int extentPixels(qreal dpr)
{
    return int(std::ceil(3 * Sigma * dpr));
}

/// Holds the shadow's texture for the nine image nodes below it.
class ShadowNode : public QSGNode
{
public:
    ~ShadowNode() override = default;
    std::unique_ptr<QSGTexture> texture;
    qreal devicePixelRatio = 0;
};

std::vector<float> gaussianKernel(qreal sigma, int radius)
{
    std::vector<float> kernel(size_t(2 * radius + 1));
    float sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        const float value = sigma > 0 ? float(std::exp(-(i * i) / (2 * sigma * sigma))) : 1;
        kernel[size_t(i + radius)] = value;
        sum += value;
    }
    for (float &value : kernel)
        value /= sum;
    return kernel;
}

} // namespace

ThumbnailShadow::ThumbnailShadow(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
}

qreal ThumbnailShadow::extent()
{
    return std::ceil(3 * Sigma);
}

int ThumbnailShadow::patchBorder(qreal devicePixelRatio)
{
    return int(std::round(StackGeometry::CornerRadius * devicePixelRatio)) +
           2 * extentPixels(devicePixelRatio);
}

QImage ThumbnailShadow::patchImage(qreal devicePixelRatio)
{
    const int spread = extentPixels(devicePixelRatio);
    const int radius = int(std::round(StackGeometry::CornerRadius * devicePixelRatio));
    const int size = 2 * patchBorder(devicePixelRatio) + 1;

    // The shape's coverage, antialiased, then blurred in two passes.
    QImage shape(size, size, QImage::Format_Alpha8);
    shape.fill(0);
    {
        QPainter painter(&shape);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(QRectF(spread, spread, size - 2 * spread, size - 2 * spread),
                                radius, radius);
    }
    const std::vector<float> kernel = gaussianKernel(Sigma * devicePixelRatio, spread);
    std::vector<float> across(size_t(size) * size_t(size), 0.f);
    for (int y = 0; y < size; ++y) {
        const uchar *line = shape.constScanLine(y);
        for (int x = 0; x < size; ++x) {
            float sum = 0;
            for (int k = -spread; k <= spread; ++k) {
                const int sx = x + k;
                if (sx >= 0 && sx < size)
                    sum += kernel[size_t(k + spread)] * line[sx];
            }
            across[size_t(y) * size_t(size) + size_t(x)] = sum;
        }
    }
    QImage result(size, size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < size; ++x) {
            float sum = 0;
            for (int k = -spread; k <= spread; ++k) {
                const int sy = y + k;
                if (sy >= 0 && sy < size)
                    sum +=
                        kernel[size_t(k + spread)] * across[size_t(sy) * size_t(size) + size_t(x)];
            }
            const int alpha =
                std::clamp(int(std::lround(sum * StackGeometry::ShadowOpacity)), 0, 255);
            line[x] = qRgba(0, 0, 0, alpha);
        }
    }
    return result;
}

void ThumbnailShadow::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
}

QSGNode *ThumbnailShadow::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<ShadowNode *>(oldNode);
    if (width() <= 0 || height() <= 0) {
        delete node;
        return nullptr;
    }
    const qreal dpr = window()->effectiveDevicePixelRatio();
    if (!node || node->devicePixelRatio != dpr) {
        delete node;
        node = new ShadowNode;
        node->devicePixelRatio = dpr;
        node->texture.reset(window()->createTextureFromImage(patchImage(dpr)));
        for (int i = 0; i < 9; ++i) {
            QSGImageNode *patch = window()->createImageNode();
            patch->setOwnsTexture(false);
            patch->setTexture(node->texture.get());
            patch->setFiltering(QSGTexture::Linear);
            node->appendChildNode(patch);
        }
    }

    // The shadow's rectangle: the thumbnail's, widened by the blur and moved down.
    const qreal spread = extent();
    const QRectF target = QRectF(0, 0, width(), height())
                              .adjusted(-spread, -spread, spread, spread)
                              .translated(0, StackGeometry::ShadowOffsetY);
    const qreal sourceBorder = patchBorder(dpr);
    const qreal sourceSize = node->texture->textureSize().width();
    // Thumbnails smaller than two borders squeeze the corners rather than overlap them.
    const qreal borderX = std::min(sourceBorder / dpr, target.width() / 2);
    const qreal borderY = std::min(sourceBorder / dpr, target.height() / 2);

    const qreal sx[4] = {0, sourceBorder, sourceSize - sourceBorder, sourceSize};
    const qreal tx[4] = {target.left(), target.left() + borderX, target.right() - borderX,
                         target.right()};
    const qreal ty[4] = {target.top(), target.top() + borderY, target.bottom() - borderY,
                         target.bottom()};
    QSGNode *child = node->firstChild();
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            auto *patch = static_cast<QSGImageNode *>(child);
            patch->setSourceRect(
                QRectF(QPointF(sx[column], sx[row]), QPointF(sx[column + 1], sx[row + 1])));
            patch->setRect(
                QRectF(QPointF(tx[column], ty[row]), QPointF(tx[column + 1], ty[row + 1])));
            child = child->nextSibling();
        }
    }
    return node;
}
