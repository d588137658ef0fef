#include "DesktopWindowing.h"

#include "NullDesktopWindowing.h"
#include "X11DesktopWindowing.h"

#include <QGuiApplication>

std::unique_ptr<DesktopWindowing> DesktopWindowing::create()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<X11DesktopWindowing>();
    return std::make_unique<NullDesktopWindowing>();
}
