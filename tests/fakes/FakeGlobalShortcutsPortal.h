#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>

/**
 * The desktop's GlobalShortcuts portal, played on its own connection to the test's session
 * bus: CreateSession and BindShortcuts answer through Request objects as a real portal does,
 * with the codes and the bound ids a test sets; `press()` sends `Activated`.
 */
class FakeGlobalShortcutsPortal : public QDBusVirtualObject
{
    Q_OBJECT

public:
    FakeGlobalShortcutsPortal();
    ~FakeGlobalShortcutsPortal() override;

    bool start();

    uint createCode = 0;
    uint bindCode = 0;
    /// BindShortcuts is answered with its Request but never with a Response: the desktop's
    /// dialog stays open.
    bool leaveBindOpen = false;
    /// Which of the requested ids the desktop binds; all of them when not set.
    std::optional<QStringList> bindOnly;

    /// What the program asked for: id -> preferred trigger, from CreateSession's options.
    QVariantMap createdTriggers;
    QStringList boundRequests; // ids passed to BindShortcuts
    QString sessionHandle;
    QString client;
    int closes = 0;

    /// Reports a press of `id` on `session` (this portal's session when empty).
    void press(const QString &id, const QString &session = QString());

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    void respond(const QDBusMessage &call, uint code, const QVariantMap &results,
                 bool withResponse = true);

    QDBusConnection m_bus;
};
