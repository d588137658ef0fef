#include "X11ConnectionLoss.h"

#include "platform/Log.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// A message handler is a plain function: what it needs lives here, set once at start-up.
xcb_connection_t *watchedConnection = nullptr;
QtMessageHandler previousHandler = nullptr;

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Qt says the connection broke and exits right after this returns. Captures live only in
    // memory and the windows cannot be closed any more: there is nothing left to tidy, so
    // the program ends here, without destructors running under its live objects.
    if (xcb_connection_has_error(watchedConnection)) {
        Log::line(QStringLiteral("Lost the connection to the X server: Orrinvale quits."));
        std::_Exit(1);
    }
    previousHandler(type, context, message);
}

} // namespace

namespace X11ConnectionLoss {

void watch()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || watchedConnection)
        return;
    watchedConnection = x11->connection();
    previousHandler = qInstallMessageHandler(handleMessage);
}

} // namespace X11ConnectionLoss
