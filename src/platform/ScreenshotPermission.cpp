#include "ScreenshotPermission.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace {

const QString StoreService = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString StorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");

QDBusMessage storeCall(const QString &method)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(StoreService, StorePath, StoreService, method);
    call << QString::fromLatin1(ScreenshotPermission::Table)
         << QString::fromLatin1(ScreenshotPermission::Id);
    return call;
}

// The store knows programs by their app id; programs outside a sandbox have the empty one.
QString storeAppId()
{
    return QString();
}

} // namespace

ScreenshotPermission::ScreenshotPermission(QDBusConnection bus) : m_bus(std::move(bus)) {}

bool ScreenshotPermission::isAllowed() const
{
    const QDBusMessage reply =
        m_bus.call(storeCall(QStringLiteral("Lookup")), QDBus::Block, StoreTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return true;
    static const QMetaType registered = qDBusRegisterMetaType<QMap<QString, QStringList>>();
    Q_UNUSED(registered);
    const auto table = qdbus_cast<QMap<QString, QStringList>>(reply.arguments().first());
    const QStringList decision = table.value(storeAppId());
    return decision.isEmpty() || decision.first() != QLatin1String("no");
}

Result<std::monostate> ScreenshotPermission::erase() const
{
    QDBusMessage remove = storeCall(QStringLiteral("DeletePermission"));
    remove << storeAppId();
    const QDBusMessage reply = m_bus.call(remove, QDBus::Block, StoreTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return std::monostate();
    if (reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound"))
        return std::monostate();
    return Result<std::monostate>::failure(reply.errorMessage().isEmpty() ? reply.errorName()
                                                                          : reply.errorMessage());
}
