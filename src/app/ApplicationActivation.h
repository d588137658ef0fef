#pragma once

#include <QDBusAbstractAdaptor>
#include <QVariantList>
#include <QVariantMap>

class DBusService;

/**
 * The desktop's standard activation interface next to the program's own one, so a launcher
 * that reads `DBusActivatable=true` in the desktop entry (and its "Take Screenshot" and
 * "Toggle Stack" actions) talks to the running program, or starts it through the bus.
 */
class ApplicationActivation : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    static constexpr const char *TakeScreenshotAction = "take-screenshot";
    static constexpr const char *ToggleStackAction = "toggle-stack";

    explicit ApplicationActivation(DBusService *service);

public Q_SLOTS:
    /// The launcher was chosen: the stack comes into view if it was hidden.
    void Activate(const QVariantMap &platformData);
    /// The program opens no documents; the call is answered and ignored.
    void Open(const QStringList &uris, const QVariantMap &platformData);
    void ActivateAction(const QString &actionName, const QVariantList &parameter,
                        const QVariantMap &platformData);

private:
    DBusService *m_service;
};
