#pragma once

#include <QObject>
#include <QString>

class QQuickItem;

/**
 * What the end-to-end tests cannot see from outside: where each named control of a window
 * lies. Exported on the session bus at its own path, and only by builds made for testing
 * (ORRINVALE_TEST_HOOKS); the released program has no such interface.
 */
class WindowLayoutProbe : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.orrinvale.Orrinvale.Testing")

public:
    static constexpr const char *ObjectPath = "/org/orrinvale/Orrinvale/Testing";

    using QObject::QObject;

    /// JSON for the shown window titled `title`: its size, and for every item with an
    /// object name its name, the names of its named ancestors ("toolbar/saveButton"), its
    /// rectangle in window coordinates, whether it is visible, and for a control or a text
    /// whether its content is whole in it ("contentFits"). "{}" for no such window.
    static QString describe(const QString &title);

public Q_SLOTS:
    QString DescribeWindow(const QString &title) { return describe(title); }
};
