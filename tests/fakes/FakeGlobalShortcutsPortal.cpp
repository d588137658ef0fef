#include "FakeGlobalShortcutsPortal.h"

#include "platform/PortalRequest.h"
#include "platform/PortalShortcut.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>

namespace {

const QString ConnectionName = QStringLiteral("fake-global-shortcuts-portal");
const QString Interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

QList<PortalShortcut> shortcutsIn(const QVariant &value)
{
    return qdbus_cast<QList<PortalShortcut>>(value.value<QDBusArgument>());
}

QString senderPart(const QDBusMessage &message)
{
    QString sender = message.service().mid(1);
    return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
}

} // namespace

FakeGlobalShortcutsPortal::FakeGlobalShortcutsPortal()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, ConnectionName))
{
    PortalShortcut::registerTypes();
}

FakeGlobalShortcutsPortal::~FakeGlobalShortcutsPortal()
{
    m_bus.unregisterObject(QString::fromLatin1(PortalRequest::PortalPath),
                           QDBusConnection::UnregisterTree);
    m_bus.interface()->unregisterService(QString::fromLatin1(PortalRequest::PortalService));
    QDBusConnection::disconnectFromBus(ConnectionName);
}

bool FakeGlobalShortcutsPortal::start()
{
    return m_bus.isConnected() &&
           m_bus.registerVirtualObject(QString::fromLatin1(PortalRequest::PortalPath), this,
                                       QDBusConnection::SubPath) &&
           m_bus.registerService(QString::fromLatin1(PortalRequest::PortalService));
}

QString FakeGlobalShortcutsPortal::introspect(const QString &) const
{
    return QString();
}

bool FakeGlobalShortcutsPortal::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    const QList<QVariant> args = message.arguments();
    if (message.interface() == QLatin1String("org.freedesktop.portal.Session") &&
        message.member() == QLatin1String("Close")) {
        ++closes;
        m_bus.send(message.createReply());
        return true;
    }
    if (message.interface() != Interface)
        return false;

    if (message.member() == QLatin1String("CreateSession") && args.size() == 1) {
        client = message.service();
        const QVariantMap options = qdbus_cast<QVariantMap>(args[0]);
        for (const PortalShortcut &shortcut :
             shortcutsIn(options.value(QStringLiteral("shortcuts"))))
            createdTriggers.insert(shortcut.id,
                                   shortcut.properties.value(QStringLiteral("preferred_trigger")));
        sessionHandle = QStringLiteral("%1/session/%2/%3")
                            .arg(QLatin1String(PortalRequest::PortalPath), senderPart(message),
                                 options.value(QStringLiteral("session_handle_token")).toString());
        respond(message, createCode, {{QStringLiteral("session_handle"), sessionHandle}});
        return true;
    }
    if (message.member() == QLatin1String("BindShortcuts") && args.size() == 4) {
        QList<PortalShortcut> given;
        for (const PortalShortcut &shortcut : shortcutsIn(args[1])) {
            boundRequests.append(shortcut.id);
            if (!bindOnly || bindOnly->contains(shortcut.id))
                given.append(shortcut);
        }
        respond(message, bindCode, {{QStringLiteral("shortcuts"), QVariant::fromValue(given)}},
                !leaveBindOpen);
        return true;
    }
    return false;
}

void FakeGlobalShortcutsPortal::respond(const QDBusMessage &call, uint code,
                                        const QVariantMap &results, bool withResponse)
{
    const QVariantMap options = qdbus_cast<QVariantMap>(call.arguments().last());
    const QString path = QStringLiteral("%1/request/%2/%3")
                             .arg(QLatin1String(PortalRequest::PortalPath), senderPart(call),
                                  options.value(QStringLiteral("handle_token")).toString());
    m_bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(path))));
    if (!withResponse)
        return;
    QDBusMessage response = QDBusMessage::createTargetedSignal(
        call.service(), path, QStringLiteral("org.freedesktop.portal.Request"),
        QStringLiteral("Response"));
    response << code << results;
    m_bus.send(response);
}

void FakeGlobalShortcutsPortal::press(const QString &id, const QString &session)
{
    QDBusMessage activated =
        QDBusMessage::createTargetedSignal(client, QString::fromLatin1(PortalRequest::PortalPath),
                                           Interface, QStringLiteral("Activated"));
    activated << QVariant::fromValue(QDBusObjectPath(session.isEmpty() ? sessionHandle : session))
              << id << qulonglong(1234) << QVariantMap();
    m_bus.send(activated);
}
