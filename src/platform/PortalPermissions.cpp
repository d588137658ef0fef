#include "PortalPermissions.h"

#include "GlobalKeys.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace {

const QString StoreService = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString StorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
constexpr int StoreTimeoutMs = 3000;

QDBusMessage storeCall(const QString &method)
{
    return QDBusMessage::createMethodCall(StoreService, StorePath, StoreService, method);
}

// The store knows programs by their app id; programs outside a sandbox have the empty one.
QString storeAppId()
{
    return QString();
}

} // namespace

PortalPermissions::PortalPermissions(GlobalKeys *keys, QDBusConnection bus)
    : m_keys(keys), m_bus(std::move(bus))
{}

bool PortalPermissions::isTrusted()
{
    return m_keys->isInstallable();
}

bool PortalPermissions::isTrustedWithPrompt()
{
    m_keys->askToInstall();
    return m_keys->isInstallable();
}

bool PortalPermissions::canStillBeTrusted()
{
    return !m_keys->isRefused();
}

bool PortalPermissions::preflightScreenCapture()
{
    QDBusMessage lookup = storeCall(QStringLiteral("Lookup"));
    lookup << QString::fromLatin1(Table) << QString::fromLatin1(Id);
    const QDBusMessage reply = m_bus.call(lookup, QDBus::Block, StoreTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return true; // nothing stored, or no store: the portal decides when asked
    static const QMetaType registered = qDBusRegisterMetaType<QMap<QString, QStringList>>();
    Q_UNUSED(registered);
    const auto table = qdbus_cast<QMap<QString, QStringList>>(reply.arguments().first());
    const QStringList decision = table.value(storeAppId());
    return decision.isEmpty() || decision.first() != QLatin1String("no");
}

Result<std::monostate> PortalPermissions::reset(const QString &service, const QString &)
{
    if (service != Permissions::ScreenCapture)
        return std::monostate(); // the shortcut session is remembered by the desktop, not here
    QDBusMessage remove = storeCall(QStringLiteral("DeletePermission"));
    remove << QString::fromLatin1(Table) << QString::fromLatin1(Id) << storeAppId();
    const QDBusMessage reply = m_bus.call(remove, QDBus::Block, StoreTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return std::monostate();
    if (reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound"))
        return std::monostate();
    return Result<std::monostate>::failure(reply.errorMessage().isEmpty() ? reply.errorName()
                                                                          : reply.errorMessage());
}
