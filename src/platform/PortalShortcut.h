#pragma once

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QList>
#include <QString>
#include <QVariantMap>

/** One entry of the GlobalShortcuts portal's shortcut lists, `(sa{sv})`: an id and its
 * properties (description, preferred trigger, the trigger the desktop chose). */
struct PortalShortcut
{
    QString id;
    QVariantMap properties;

    /// Registers the type and its list with QtDBus; cheap to call again.
    static void registerTypes();
};

inline QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

Q_DECLARE_METATYPE(PortalShortcut)

inline void PortalShortcut::registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    Q_UNUSED(registered);
}
