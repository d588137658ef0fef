#include "app/DBusService.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTest>

class DBusServiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The bus daemon ends under the running program: one line says so, once, and nothing
    // else happens (no crash, no repeat while the program runs on).
    void lostBusIsSaidOnce()
    {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        QVERIFY2(daemon.waitForStarted(), "dbus-daemon is not installed");
        QVERIFY(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        const QString name = QStringLiteral("DBusServiceTest");
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        QVERIFY(bus.isConnected());
        ScreenshotManager manager(std::make_unique<FakeScreenCapture>(), [] { return 1.0; });
        DBusService service(&manager);
        QVERIFY(service.registerOn(bus));
        StdoutCapture log;

        daemon.kill();
        QVERIFY(daemon.waitForFinished());

        QStringList lines;
        QVERIFY(QTest::qWaitFor([&] { return !(lines += log.takeLines()).isEmpty(); }, 10000));
        QTest::qWait(300);
        lines += log.takeLines();
        QCOMPARE(lines, QStringList{QStringLiteral(
                            "Lost the D-Bus session bus: orrinvale --take-screenshot and the "
                            "other commands cannot reach this instance.")});
        QVERIFY(!bus.isConnected());
        QDBusConnection::disconnectFromBus(name);
    }
};

QTEST_MAIN(DBusServiceTest)
#include "DBusServiceTest.moc"
