#include "TextImagePreparation.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

QImage greyOnWhite(const QImage &picture)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_Grayscale8);
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, picture);
    painter.end();
    return opaque.convertToFormat(QImage::Format_Grayscale8);
}

/// The most common grey of one tile, to sixteen levels: the ground its text stands on.
int groundOf(const QImage &grey, const QRect &tile)
{
    std::array<int, 16> counts{};
    for (int y = tile.top(); y <= tile.bottom(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = tile.left(); x <= tile.right(); ++x)
            ++counts[row[x] >> 4];
    }
    const auto most = std::max_element(counts.begin(), counts.end());
    return int(most - counts.begin()) * 16 + 8;
}

/// Turns over each tile whose ground is darker than mid grey.
void makeDarkOnLight(QImage &grey)
{
    const int size = TextImagePreparation::TileSize;
    for (int top = 0; top < grey.height(); top += size) {
        for (int left = 0; left < grey.width(); left += size) {
            const QRect tile = QRect(left, top, size, size).intersected(grey.rect());
            if (groundOf(grey, tile) >= 128)
                continue;
            for (int y = tile.top(); y <= tile.bottom(); ++y) {
                uchar *row = grey.scanLine(y);
                for (int x = tile.left(); x <= tile.right(); ++x)
                    row[x] = uchar(255 - row[x]);
            }
        }
    }
}

} // namespace

int TextImagePreparation::scaleFor(QSize size, qreal devicePixelRatio)
{
    const qint64 pixels = qint64(std::max(size.width(), 1)) * std::max(size.height(), 1);
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    int scale = std::max(1, int(std::ceil(PixelsPerPoint / ratio - 0.01)));
    while (scale > 1 && pixels * scale * scale > MaximumPixels)
        --scale;
    return scale;
}

QImage TextImagePreparation::prepare(const QImage &picture, int scale)
{
    if (picture.isNull())
        return {};
    QImage grey = greyOnWhite(picture);
    grey.setDevicePixelRatio(1.0);
    makeDarkOnLight(grey);
    if (scale <= 1)
        return grey;
    QImage larger =
        grey.scaled(grey.size() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return larger.format() == QImage::Format_Grayscale8
               ? larger
               : larger.convertToFormat(QImage::Format_Grayscale8);
}
