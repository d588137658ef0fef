#include "FakePermissionStore.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

namespace {
const QString Service = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString Path = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
} // namespace

FakePermissionStore::FakePermissionStore()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                          QStringLiteral("fake-permission-store")))
{
    qDBusRegisterMetaType<Entry>();
    m_thread.start();
    moveToThread(&m_thread);
}

FakePermissionStore::~FakePermissionStore()
{
    m_bus.unregisterObject(Path);
    m_bus.interface()->unregisterService(Service);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-permission-store"));
    // Back to the test's thread before the store's own one ends, so it dies where it lives.
    QThread *home = QCoreApplication::instance()->thread();
    QMetaObject::invokeMethod(
        this, [this, home] { moveToThread(home); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool FakePermissionStore::start()
{
    return m_bus.isConnected() &&
           m_bus.registerObject(Path, this, QDBusConnection::ExportAllSlots) &&
           m_bus.registerService(Service);
}

void FakePermissionStore::setScreenshotEntry(std::optional<Entry> entry)
{
    QMutexLocker lock(&m_mutex);
    m_entry = std::move(entry);
}

int FakePermissionStore::lookups() const
{
    QMutexLocker lock(&m_mutex);
    return m_lookups;
}

void FakePermissionStore::Lookup(const QString &table, const QString &id)
{
    QMutexLocker lock(&m_mutex);
    ++m_lookups;
    if (table != QLatin1String("screenshot") || id != QLatin1String("screenshot") || !m_entry) {
        sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                       QStringLiteral("No entry for %1").arg(id));
        return;
    }
    // Answered by hand: a slot returning the map with the variant as an out parameter was
    // not always found by QtDBus (UnknownMethod on the first call of a run).
    setDelayedReply(true);
    QDBusMessage reply = message().createReply();
    reply << QVariant::fromValue(*m_entry) << QVariant::fromValue(QDBusVariant(QString()));
    connection().send(reply);
}
