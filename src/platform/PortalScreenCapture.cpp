#include "PortalScreenCapture.h"
#include "PngDecoder.h"

#include "PortalRequest.h"

#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

#include <unistd.h>

namespace {

using ImageResult = Result<QImage>;

QString describeResponse(uint code)
{
    return code == 1 ? QStringLiteral("the screenshot was refused on the desktop's prompt")
                     : QStringLiteral("the desktop's screenshot portal could not take it");
}

} // namespace

PortalScreenCapture::PortalScreenCapture(QDBusConnection bus, LayoutSource layout, int timeoutMs)
    : m_bus(bus), m_permission(std::move(bus)), m_layout(std::move(layout)), m_timeoutMs(timeoutMs)
{}

bool PortalScreenCapture::requestAccess()
{
    return m_permission.isAllowed();
}

Result<QList<CaptureDisplay>> PortalScreenCapture::displays()
{
    const ScreenLayout layout = m_layout();
    if (layout.primary.isEmpty())
        return QList<CaptureDisplay>();
    const qreal ratio = layout.primaryRatio > 0 ? layout.primaryRatio : 1.0;
    const QRect native(
        QPoint(qRound(layout.primary.x() * ratio), qRound(layout.primary.y() * ratio)),
        QSize(qRound(layout.primary.width() * ratio), qRound(layout.primary.height() * ratio)));
    return QList<CaptureDisplay>{{layout.primaryName, native}};
}

Result<QImage> PortalScreenCapture::capture(const CaptureDisplay &, QSize)
{
    auto image = screenshot();
    if (!image.ok())
        return image;
    return cropToPrimary(image.value(), m_layout());
}

Result<QList<QImage>> PortalScreenCapture::captureAreas(const QList<QRect> &nativeRects)
{
    auto image = screenshot();
    if (!image.ok())
        return Result<QList<QImage>>::failure(image.error());
    return cropAreas(image.value(), m_layout(), nativeRects);
}

Result<QList<QImage>> PortalScreenCapture::cropAreas(const QImage &desktopImage,
                                                     const ScreenLayout &layout,
                                                     const QList<QRect> &nativeRects)
{
    using Images = Result<QList<QImage>>;
    if (layout.desktop.isEmpty())
        return Images::failure(QStringLiteral("no screen to capture"));
    // The portal's picture covers every screen at one scale: each rectangle is the same
    // share of it as of the desktop in device pixels.
    const qreal ratio = layout.primaryRatio > 0 ? layout.primaryRatio : 1.0;
    const QPointF origin = QPointF(layout.desktop.topLeft()) * ratio;
    const qreal sx = desktopImage.width() / (layout.desktop.width() * ratio);
    const qreal sy = desktopImage.height() / (layout.desktop.height() * ratio);
    QList<QImage> images;
    for (const QRect &rect : nativeRects) {
        const QRect part(qRound((rect.x() - origin.x()) * sx), qRound((rect.y() - origin.y()) * sy),
                         qRound(rect.width() * sx), qRound(rect.height() * sy));
        const QRect cut = part & desktopImage.rect();
        if (cut.isEmpty())
            return Images::failure(
                QStringLiteral("the screenshot portal's picture does not show that part"));
        QImage image = desktopImage.copy(cut).convertToFormat(QImage::Format_RGB32);
        if (image.isNull())
            return Images::failure(QStringLiteral("not enough memory for the screenshot"));
        images.append(std::move(image));
    }
    return images;
}

Result<QImage> PortalScreenCapture::captureChosenWindow()
{
    auto image = screenshot(true);
    if (!image.ok())
        return image;
    QImage picture = image.value().convertToFormat(QImage::Format_RGB32);
    if (picture.isNull())
        return ImageResult::failure(QStringLiteral("not enough memory for the screenshot"));
    return picture;
}

Result<QImage> PortalScreenCapture::screenshot(bool interactive)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(PortalRequest::PortalService),
        QString::fromLatin1(PortalRequest::PortalPath),
        QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
    call << QString(); // no parent window: the stack panel is no portal client window
    const QVariantMap options{{QStringLiteral("interactive"), interactive},
                              {QStringLiteral("modal"), false}};
    const auto response = PortalRequest::send(m_bus, call, options, m_timeoutMs, &m_canceller);
    if (!response.ok())
        return ImageResult::failure(response.error());
    if (response.value().code != 0)
        return ImageResult::failure(describeResponse(response.value().code));

    const QString uri = response.value().results.value(QStringLiteral("uri")).toString();
    if (uri.isEmpty())
        return ImageResult::failure(QStringLiteral("the screenshot portal named no file"));
    return takeFile(uri);
}

Result<QImage> PortalScreenCapture::takeFile(const QString &uri)
{
    const QUrl url(uri);
    if (!url.isLocalFile())
        return ImageResult::failure(
            QStringLiteral("the screenshot portal named no local file: %1").arg(uri));
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (!info.exists())
        return ImageResult::failure(
            QStringLiteral("the screenshot portal's file does not exist: %1").arg(path));
    if (!info.isFile() || info.isSymLink())
        return ImageResult::failure(
            QStringLiteral("the screenshot portal's file is not a regular file: %1").arg(path));
    if (info.size() > MaxFileBytes)
        return ImageResult::failure(
            QStringLiteral("the screenshot portal's file is too large: %1").arg(path));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ImageResult::failure(
            QStringLiteral("cannot read the screenshot portal's file %1: %2")
                .arg(path, file.errorString()));
    // Sized by the file, not by the cap: read(n) reserves n bytes up front.
    QByteArray bytes = file.read(std::min(file.size(), MaxFileBytes) + 1);
    file.close();
    // The capture lives in memory only; the portal's copy goes at once. Only a file of our
    // own is removed, whatever the portal named.
    if (info.ownerId() == ::getuid())
        QFile::remove(path);
    if (bytes.size() > MaxFileBytes)
        return ImageResult::failure(
            QStringLiteral("the screenshot portal's file is too large: %1").arg(path));

    auto image = PngDecoder::decode(bytes);
    if (!image.ok())
        return ImageResult::failure(
            QStringLiteral("the screenshot portal's file is not an image (%1): %2")
                .arg(image.error(), path));
    return image;
}

Result<QImage> PortalScreenCapture::cropToPrimary(const QImage &desktopImage,
                                                  const ScreenLayout &layout)
{
    QImage image = desktopImage;
    if (!layout.desktop.isEmpty() && !layout.primary.isEmpty() &&
        layout.primary != layout.desktop) {
        // The portal's picture covers every screen at one scale; the primary screen is the
        // same share of it as of the desktop's logical rectangle.
        const qreal sx = qreal(image.width()) / layout.desktop.width();
        const qreal sy = qreal(image.height()) / layout.desktop.height();
        const QRect part(qRound((layout.primary.x() - layout.desktop.x()) * sx),
                         qRound((layout.primary.y() - layout.desktop.y()) * sy),
                         qRound(layout.primary.width() * sx), qRound(layout.primary.height() * sy));
        const QRect cut = part & image.rect();
        if (cut.isEmpty())
            return ImageResult::failure(
                QStringLiteral("the screenshot portal's picture does not show the main screen"));
        image = image.copy(cut);
    }
    // A screen is opaque: held like the X11 captures, one padding byte per pixel.
    image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return ImageResult::failure(QStringLiteral("not enough memory for the screenshot"));
    return image;
}
