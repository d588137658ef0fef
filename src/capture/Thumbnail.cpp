#include "Thumbnail.h"

#include <cmath>

namespace Thumbnail {

QImage make(const QImage &image, int widthPoints, qreal devicePixelRatio)
{
    if (image.isNull() || widthPoints <= 0 || !(devicePixelRatio > 0))
        return {};
    const int width = qMax(1, int(std::ceil(widthPoints * devicePixelRatio)));
    const int height = qMax(1, qRound(qreal(image.height()) * width / image.width()));
    QImage result = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace Thumbnail
