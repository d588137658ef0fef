#pragma once

#include <QDBusConnection>
#include <QObject>

class ScreenshotManager;

/**
 * The program's remote interface on the session bus: the commands of the command line as
 * methods, and the stack's state as properties that announce their changes.
 */
class DBusService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.orrinvale.Orrinvale")
    Q_PROPERTY(int CaptureCount READ captureCount)
    Q_PROPERTY(bool StackVisible READ stackVisible)

public:
    static constexpr const char *ServiceName = "org.orrinvale.Orrinvale";
    static constexpr const char *ObjectPath = "/org/orrinvale/Orrinvale";
    static constexpr const char *InterfaceName = "org.orrinvale.Orrinvale";

    DBusService(ScreenshotManager *manager, QObject *parent = nullptr);

    /// Exports the object and takes the bus name; false when another instance holds it.
    /// Should the bus go away later, one line says the commands cannot reach us any more.
    bool registerOn(QDBusConnection bus);

    int captureCount() const;
    bool stackVisible() const;
    /// Brings the stack into view when it is hidden; no change when it is shown.
    void showStack();

public Q_SLOTS:
    void TakeScreenshot();
    void ToggleStack();
    void Quit();
    /// Empties the stack.
    void RemoveAll();

Q_SIGNALS:
    void quitRequested();

private Q_SLOTS:
    // Private, so it is not exported as a method.
    void busLost();

private:
    void announce(const char *property, const QVariant &value);

    ScreenshotManager *m_manager;
    QDBusConnection m_bus;
};
