#include "CanvasShadow.h"

#include <QQuickWindow>
#include <QSGImageNode>

#include <cmath>
#include <memory>
#include <vector>

namespace {

/** The shadow's picture node with the texture it shows, which it owns. */
class ShadowNode : public QSGNode
{
public:
    explicit ShadowNode(QQuickWindow *window) : image(window->createImageNode())
    {
        appendChildNode(image);
    }

    QSGImageNode *image;
    std::unique_ptr<QSGTexture> texture;
};

// A Gaussian blur of a rectangle separates into two blurred edges per axis: coverage at x is
// the normal distribution's mass between the rectangle's two edges.
std::vector<double> profile(int pixels, double from, double to, double sigma, double ratio)
{
    std::vector<double> values(size_t(std::max(pixels, 0)));
    const double scale = 1 / (sigma * std::sqrt(2.0));
    for (int i = 0; i < pixels; ++i) {
        const double x = (i + 0.5) / ratio;
        values[size_t(i)] = 0.5 * (std::erf((to - x) * scale) - std::erf((from - x) * scale));
    }
    return values;
}

} // namespace

CanvasShadow::CanvasShadow(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
}

QImage CanvasShadow::render(QSizeF size, double margin, qreal devicePixelRatio)
{
    const QSize pixels(int(std::ceil((size.width() + 2 * margin) * devicePixelRatio)),
                       int(std::ceil((size.height() + 2 * margin) * devicePixelRatio)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    // A blur radius is about two standard deviations of the Gaussian.
    const double sigma = blurRadius / 2;
    const std::vector<double> across =
        profile(pixels.width(), margin, margin + size.width(), sigma, devicePixelRatio);
    const std::vector<double> down =
        profile(pixels.height(), margin + offsetY, margin + offsetY + size.height(), sigma,
                devicePixelRatio);
    for (int y = 0; y < pixels.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const int alpha = int(std::lround(255 * opacity * across[size_t(x)] * down[size_t(y)]));
            line[x] = qRgba(0, 0, 0, alpha);
        }
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void CanvasShadow::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
}

QSGNode *CanvasShadow::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<ShadowNode *>(oldNode);
    if (width() <= 0 || height() <= 0) {
        delete node;
        return nullptr;
    }
    const qreal ratio = window()->effectiveDevicePixelRatio();
    const bool stale = size() != m_imageSize || ratio != m_imageRatio;
    if (stale) {
        m_image = render(size(), margin(), ratio);
        m_imageSize = size();
        m_imageRatio = ratio;
    }
    if (m_image.isNull()) {
        delete node;
        return nullptr;
    }
    if (!node)
        node = new ShadowNode(window());
    if (stale || !node->texture) {
        std::unique_ptr<QSGTexture> texture(window()->createTextureFromImage(m_image));
        node->image->setTexture(texture.get());
        node->texture = std::move(texture);
    }
    const double m = margin();
    node->image->setRect(QRectF(-m, -m, width() + 2 * m, height() + 2 * m));
    return node;
}
