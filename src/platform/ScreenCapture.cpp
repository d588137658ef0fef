#include "ScreenCapture.h"

#include "DisplaySession.h"
#include "PortalScreenCapture.h"
#include "UnavailableScreenCapture.h"
#include "X11ScreenCapture.h"

#include <QGuiApplication>

Result<QList<QImage>> ScreenCapture::captureAreas(const QList<QRect> &)
{
    return Result<QList<QImage>>::failure(
        QStringLiteral("this backend cannot capture a part of the desktop"));
}

Result<QRect> ScreenCapture::windowUnderPointer()
{
    return Result<QRect>::failure(
        QStringLiteral("this desktop does not let programs see the windows of others"));
}

Result<QImage> ScreenCapture::captureChosenWindow()
{
    return Result<QImage>::failure(QStringLiteral("this desktop offers no way to pick a window"));
}

std::unique_ptr<ScreenCapture> createScreenCapture()
{
    switch (currentDisplaySession()) {
    case DisplaySession::Wayland: {
        // Read on the capture worker; lives as long as the backend.
        auto layout = std::make_shared<ScreenLayoutSnapshot>();
        return std::make_unique<PortalScreenCapture>(QDBusConnection::sessionBus(),
                                                     [layout] { return layout->current(); });
    }
    case DisplaySession::X11:
        return std::make_unique<X11ScreenCapture>(qgetenv("DISPLAY"));
    case DisplaySession::None:
        break;
    }
    return std::make_unique<UnavailableScreenCapture>(
        QStringLiteral("no screen capture on the \"%1\" platform")
            .arg(QGuiApplication::platformName()));
}
