#include "ScreenCapture.h"

#include "UnavailableScreenCapture.h"
#include "X11ScreenCapture.h"

#include <QGuiApplication>

std::unique_ptr<ScreenCapture> createScreenCapture()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return std::make_unique<X11ScreenCapture>(qgetenv("DISPLAY"));
    return std::make_unique<UnavailableScreenCapture>(
        QStringLiteral("no screen capture on the \"%1\" platform").arg(platform));
}
