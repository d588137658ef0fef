#pragma once

#include <QImage>

/** Makes the small picture the stack shows for a capture; runs off the UI thread. */
namespace Thumbnail {
/// `image` scaled to `widthPoints` wide at `devicePixelRatio`, aspect kept, its corners
/// rounded (transparent outside the curve, antialiased) as the stack draws it.
QImage make(const QImage &image, int widthPoints, qreal devicePixelRatio);
} // namespace Thumbnail
