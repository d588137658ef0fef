#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>

/**
 * The desktop's screenshot portal, played on its own connection to the test's session bus:
 * answers each Screenshot call as told (a Response with a code and results, no Response at
 * all, or no reply), and records the options it was called with.
 */
class FakeScreenshotPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    enum class Behaviour { Respond, StaySilent, NeverReply };

    FakeScreenshotPortal();
    ~FakeScreenshotPortal() override;

    /// Takes the portal's bus name; false if the bus refuses.
    bool start();

    Behaviour behaviour = Behaviour::Respond;
    uint responseCode = 0;
    QVariantMap results;
    QVariantMap lastOptions;
    int calls = 0;

public Q_SLOTS:
    QDBusObjectPath Screenshot(const QString &parentWindow, const QVariantMap &options);

private:
    QDBusConnection m_bus;
};
