#include "FakeScreenshotPortal.h"

#include "platform/PortalRequest.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

FakeScreenshotPortal::FakeScreenshotPortal()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                          QStringLiteral("fake-screenshot-portal")))
{}

FakeScreenshotPortal::~FakeScreenshotPortal()
{
    m_bus.unregisterObject(QString::fromLatin1(PortalRequest::PortalPath));
    m_bus.interface()->unregisterService(QString::fromLatin1(PortalRequest::PortalService));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-screenshot-portal"));
}

bool FakeScreenshotPortal::start()
{
    return m_bus.isConnected() &&
           m_bus.registerObject(QString::fromLatin1(PortalRequest::PortalPath), this,
                                QDBusConnection::ExportAllSlots) &&
           m_bus.registerService(QString::fromLatin1(PortalRequest::PortalService));
}

QDBusObjectPath FakeScreenshotPortal::Screenshot(const QString &, const QVariantMap &options)
{
    ++calls;
    lastOptions = options;
    QString sender = message().service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = QStringLiteral("%1/request/%2/%3")
                             .arg(QLatin1String(PortalRequest::PortalPath), sender,
                                  options.value(QStringLiteral("handle_token")).toString());
    if (behaviour == Behaviour::NeverReply) {
        setDelayedReply(true);
        return {};
    }
    // The handle goes out first, the answer after it, as a real portal does.
    setDelayedReply(true);
    m_bus.send(message().createReply(QVariant::fromValue(QDBusObjectPath(path))));
    if (behaviour == Behaviour::Respond) {
        QDBusMessage response = QDBusMessage::createTargetedSignal(
            message().service(), path, QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Response"));
        response << responseCode << results;
        m_bus.send(response);
    }
    return {};
}
