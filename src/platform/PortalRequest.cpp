#include "PortalRequest.h"

#include "WaitCanceller.h"

#include <QAtomicInteger>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace {

const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");

/** Receives the Response signal of one Request path. */
class ResponseListener : public QObject
{
    Q_OBJECT

public:
    bool received = false;
    PortalRequest::Response response;

public Q_SLOTS:
    void onResponse(uint code, const QVariantMap &results)
    {
        received = true;
        response = {code, results};
        Q_EMIT done();
    }

Q_SIGNALS:
    void done();
};

QString freshToken()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("orrinvale%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

} // namespace

QString PortalRequest::requestPath(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/request/%2/%3").arg(QLatin1String(PortalPath), sender, token);
}

QString PortalRequest::abandonedReason()
{
    return QStringLiteral("abandoned: the program is quitting");
}

Result<PortalRequest::Response> PortalRequest::send(QDBusConnection bus, QDBusMessage call,
                                                    QVariantMap options, int timeoutMs,
                                                    WaitCanceller *canceller)
{
    using Failure = Result<Response>;
    if (canceller && canceller->isCancelled())
        return Failure::failure(abandonedReason());
    if (!bus.isConnected())
        return Failure::failure(QStringLiteral("no session bus"));

    const QString token = freshToken();
    options.insert(QStringLiteral("handle_token"), token);
    QString path = requestPath(bus, token);

    ResponseListener listener;
    const auto subscribe = [&](const QString &at) {
        return bus.connect(call.service(), at, RequestInterface, QStringLiteral("Response"),
                           &listener, SLOT(onResponse(uint, QVariantMap)));
    };
    const auto unsubscribe = [&](const QString &at) {
        bus.disconnect(call.service(), at, RequestInterface, QStringLiteral("Response"), &listener,
                       SLOT(onResponse(uint, QVariantMap)));
    };
    if (!subscribe(path))
        return Failure::failure(QStringLiteral("cannot listen for the portal's answer"));

    QEventLoop loop;
    QObject::connect(&listener, &ResponseListener::done, &loop, &QEventLoop::quit);
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);

    call << options;
    QString callError;
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, timeoutMs));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&] {
        const QDBusPendingReply<QDBusObjectPath> reply = watcher;
        if (reply.isError()) {
            // Its own time-out is ours: said the same way below.
            if (reply.error().type() == QDBusError::NoReply ||
                reply.error().type() == QDBusError::Timeout) {
                loop.quit();
                return;
            }
            callError =
                reply.error().message().isEmpty() ? reply.error().name() : reply.error().message();
            loop.quit();
            return;
        }
        // Portals older than the handle token answer on a path of their own choosing.
        const QString handle = reply.value().path();
        if (!listener.received && handle != path) {
            unsubscribe(path);
            path = handle;
            subscribe(path);
        }
    });

    bool abandoned = false;
    if (!listener.received) {
        if (canceller && !canceller->enter(&loop)) {
            abandoned = true;
        } else {
            loop.exec();
            if (canceller) {
                canceller->leave(&loop);
                abandoned = !listener.received && canceller->isCancelled();
            }
        }
    }
    unsubscribe(path);

    if (listener.received)
        return listener.response;
    if (abandoned)
        return Failure::failure(abandonedReason());
    if (!callError.isEmpty())
        return Failure::failure(callError);
    return Failure::failure(
        QStringLiteral("the portal did not answer within %1 s").arg(timeoutMs / 1000.0));
}

#include "PortalRequest.moc"
