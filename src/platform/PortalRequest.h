#pragma once

#include "Result.h"

class WaitCanceller;

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

/**
 * One call of a desktop portal method that answers through a Request object: subscribes to
 * the Request's Response before calling (its path follows from our unique bus name and a
 * fresh handle token), then waits for it. Blocks the calling thread in a local event loop,
 * so it is meant for worker threads; the portal clients of the platform layer use it.
 */
class PortalRequest
{
public:
    static constexpr const char *PortalService = "org.freedesktop.portal.Desktop";
    static constexpr const char *PortalPath = "/org/freedesktop/portal/desktop";

    /// What the portal answered: 0 success, 1 the user cancelled, 2 anything else.
    struct Response
    {
        uint code = 2;
        QVariantMap results;
    };

    /// Sends `call` with `options` (plus the handle token) appended as its last argument and
    /// waits up to `timeoutMs` for the Response; a reason when the call fails or times out,
    /// or when `canceller` is cancelled before the answer comes.
    static Result<Response> send(QDBusConnection bus, QDBusMessage call, QVariantMap options,
                                 int timeoutMs, WaitCanceller *canceller = nullptr);

    /// The reason given for a wait that was cancelled.
    static QString abandonedReason();

    /// The Request path the portal uses for `token` on `bus`.
    static QString requestPath(const QDBusConnection &bus, const QString &token);
};
