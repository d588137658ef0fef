#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <optional>

/**
 * The desktop's permission store, with the screenshot portal's table only, played on its own
 * connection and its own thread: the program asks the store with blocking calls from its UI
 * thread, which is the test's thread too. Tests set what is stored (per app id) and count
 * the lookups.
 */
class FakePermissionStore : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.PermissionStore")

public:
    using Entry = QMap<QString, QStringList>; // app id -> decision ("yes", "no", ...)

    FakePermissionStore();
    ~FakePermissionStore() override;

    /// Takes the store's bus name; false if the bus refuses.
    bool start();

    /// What the screenshot table holds for the screenshot id; nothing: no entry at all.
    void setScreenshotEntry(std::optional<Entry> entry);
    int lookups() const;

public Q_SLOTS:
    /// Answers (a{sas} permissions, v data), or NotFound when nothing is stored.
    void Lookup(const QString &table, const QString &id);

private:
    mutable QMutex m_mutex;
    std::optional<Entry> m_entry;
    int m_lookups = 0;
    QThread m_thread;
    QDBusConnection m_bus;
};
