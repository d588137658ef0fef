#include "FakeScreenCapture.h"

#include <QPainter>

void FakeScreenCapture::setConfig(const Config &config)
{
    QMutexLocker lock(&m_mutex);
    m_config = config;
}

bool FakeScreenCapture::requestAccess()
{
    QMutexLocker lock(&m_mutex);
    return m_config.access;
}

Result<QList<CaptureDisplay>> FakeScreenCapture::displays()
{
    QMutexLocker lock(&m_mutex);
    if (!m_config.displaysError.isEmpty())
        return Result<QList<CaptureDisplay>>::failure(m_config.displaysError);
    return m_config.displays;
}

Result<QImage> FakeScreenCapture::capture(const CaptureDisplay &, QSize pixelSize)
{
    const int n = ++m_captureCalls;
    QMutexLocker lock(&m_mutex);
    m_lastPixelSize = pixelSize;
    if (!m_config.captureError.isEmpty())
        return Result<QImage>::failure(m_config.captureError);
    return pattern(m_config.pictureSize.isEmpty() ? pixelSize : m_config.pictureSize, n);
}

Result<QList<QImage>> FakeScreenCapture::captureAreas(const QList<QRect> &nativeRects)
{
    const int n = ++m_captureCalls;
    QMutexLocker lock(&m_mutex);
    m_lastAreas = nativeRects;
    if (!m_config.captureError.isEmpty())
        return Result<QList<QImage>>::failure(m_config.captureError);
    QList<QImage> images;
    for (const QRect &rect : nativeRects) {
        QImage image =
            m_config.desktop.isNull() ? pattern(rect.size(), n) : m_config.desktop.copy(rect);
        if (m_config.areaDensity != 1)
            image = image.scaled(rect.size() * m_config.areaDensity);
        images.append(image);
    }
    return images;
}

Result<QRect> FakeScreenCapture::windowUnderPointer()
{
    QMutexLocker lock(&m_mutex);
    if (!m_config.windowError.isEmpty())
        return Result<QRect>::failure(m_config.windowError);
    return m_config.windowUnderPointer;
}

QList<QRect> FakeScreenCapture::visibleWindows()
{
    QMutexLocker lock(&m_mutex);
    return m_config.visibleWindows;
}

Result<QImage> FakeScreenCapture::captureChosenWindow()
{
    QMutexLocker lock(&m_mutex);
    if (m_config.chosenWindow.isNull())
        return Result<QImage>::failure(QStringLiteral("the desktop cannot pick a window"));
    return m_config.chosenWindow;
}

QList<QRect> FakeScreenCapture::lastAreas() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastAreas;
}

QSize FakeScreenCapture::lastPixelSize() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastPixelSize;
}

QImage FakeScreenCapture::pattern(QSize pixelSize, int n)
{
    QImage image(pixelSize, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((n * 47) % 360, 200, 220));
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint(0, 0), pixelSize / 2), Qt::black);
    return image;
}
