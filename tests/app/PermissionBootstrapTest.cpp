#include "app/PermissionBootstrap.h"
#include "app/GlobalShortcut.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakeGlobalKeys.h"
#include "fakes/FakePermissions.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/ManualClock.h"
#include "fakes/StdoutCapture.h"
#include "platform/Preferences.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral("org.orrinvale.Orrinvale");
const QString Build = QStringLiteral("0.1.0+g1a2b3c4");
const QString TimeoutLine = QStringLiteral("Accessibility permission not granted within timeout.");

/// One launch: the bootstrap with fakes around it, the shortcut it installs, a clock by hand.
struct Launch
{
    explicit Launch(const QString &preferencesFile, const QString &appId = AppId,
                    const QString &buildId = Build)
        : preferences(preferencesFile), manager(std::make_unique<FakeScreenCapture>()),
          shortcut(std::unique_ptr<GlobalKeys>(keys), &permissions, &manager),
          bootstrap(&permissions, &preferences, &clock, appId, buildId,
                    [this] { shortcut.setupGlobalShortcut(); })
    {}

    FakePermissions permissions;
    Preferences preferences;
    ManualClock clock;
    ScreenshotManager manager;
    FakeGlobalKeys *keys = new FakeGlobalKeys;
    GlobalShortcut shortcut;
    PermissionBootstrap bootstrap;
};

} // namespace

class PermissionBootstrapTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;

    QString freshPreferencesFile()
    {
        return m_dir.filePath(QStringLiteral("prefs-%1.conf").arg(++m_files));
    }

private Q_SLOTS:
    void decisionTable_data()
    {
        QTest::addColumn<QString>("stored"); // null: never stored
        QTest::addColumn<QString>("buildId");
        QTest::addColumn<QString>("appId");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("screenCapture");
        QTest::addColumn<QStringList>("actions"); // within the first 0.3 s
        QTest::addColumn<QString>("storedAfter");
        QTest::addColumn<bool>("polling");

        const QStringList resets = {QStringLiteral("reset Accessibility ") + AppId,
                                    QStringLiteral("reset ScreenCapture ") + AppId};
        const QString prompt = QStringLiteral("prompt Accessibility");
        const QString request = QStringLiteral("request ScreenCapture");

        QTest::newRow("first launch, nothing granted")
            << QString() << Build << AppId << false << false << (resets + QStringList{prompt})
            << Build << true;
        QTest::newRow("first launch, both granted")
            << QString() << Build << AppId << true << true << resets << Build << false;
        QTest::newRow("same build, both granted")
            << Build << Build << AppId << true << true << QStringList() << Build << false;
        QTest::newRow("same build, screen reading missing")
            << Build << Build << AppId << true << false << QStringList{request} << Build << false;
        QTest::newRow("same build, trust missing")
            << Build << Build << AppId << false << true << QStringList{prompt} << Build << true;
        QTest::newRow("same build, both missing: no screen prompt before trust")
            << Build << Build << AppId << false << false << QStringList{prompt} << Build << true;
        QTest::newRow("new build") << QStringLiteral("0.1.0+gold0000") << Build << AppId << true
                                   << true << resets << Build << false;
        QTest::newRow("build 0, first time") << QString() << QStringLiteral("0") << AppId << true
                                             << true << resets << QStringLiteral("0") << false;
        QTest::newRow("build 0 again")
            << QStringLiteral("0") << QStringLiteral("0") << AppId << true << true << QStringList()
            << QStringLiteral("0") << false;
        QTest::newRow("empty build id counts as 0")
            << QStringLiteral("0") << QString() << AppId << true << true << QStringList()
            << QStringLiteral("0") << false;
        QTest::newRow("marker differs only in case")
            << Build.toUpper() << Build << AppId << true << true << resets << Build << false;
        QTest::newRow("no app id: no reset, marker still stored")
            << QString() << Build << QString() << false << true << QStringList{prompt} << Build
            << true;
    }

    void decisionTable()
    {
        QFETCH(QString, stored);
        QFETCH(QString, buildId);
        QFETCH(QString, appId);
        QFETCH(bool, trusted);
        QFETCH(bool, screenCapture);
        QFETCH(QStringList, actions);
        QFETCH(QString, storedAfter);
        QFETCH(bool, polling);

        const QString file = freshPreferencesFile();
        if (!stored.isNull())
            Preferences(file).setPermissionsResetBuild(stored);
        Launch launch(file, appId, buildId);
        launch.permissions.setTrusted(trusted);
        launch.permissions.setScreenCaptureGranted(screenCapture);

        launch.bootstrap.bootstrapPermissions();
        launch.clock.advance(PermissionBootstrap::ScreenRecordingDelayMs);

        QCOMPARE(launch.permissions.actions(), actions);
        QCOMPARE(Preferences(file).permissionsResetBuild(), std::optional<QString>(storedAfter));
        QCOMPARE(launch.bootstrap.isPolling(), polling);
        // Installing the keys at launch is the delegate's step, not the bootstrap's.
        QCOMPARE(launch.keys->installCalls(), 0);
    }

    void screenPromptWaitsThreeTenths()
    {
        Launch launch(freshPreferencesFile());
        launch.permissions.setTrusted(true);

        launch.bootstrap.bootstrapPermissions();
        launch.clock.advance(PermissionBootstrap::ScreenRecordingDelayMs - 1);
        const QStringList before = launch.permissions.actions();
        launch.clock.advance(1);

        QVERIFY(!before.contains(QStringLiteral("request ScreenCapture")));
        QCOMPARE(launch.permissions.actions().last(), QStringLiteral("request ScreenCapture"));
    }

    void grantedAfterTwentyTicks()
    {
        Launch launch(freshPreferencesFile());
        StdoutCapture out;

        launch.bootstrap.bootstrapPermissions();
        launch.clock.advance(19 * PermissionBootstrap::PollIntervalMs);
        const bool installedEarly = launch.shortcut.isInstalled();
        launch.permissions.setTrusted(true);
        launch.clock.advance(PermissionBootstrap::PollIntervalMs);
        const QStringList atDetection = launch.permissions.actions();
        launch.clock.advance(PermissionBootstrap::ScreenRecordingDelayMs);
        const QStringList afterDelay = launch.permissions.actions();
        launch.clock.advance(120 * PermissionBootstrap::PollIntervalMs);

        QVERIFY(!installedEarly);
        QCOMPARE(launch.keys->installCalls(), 1);
        QVERIFY(launch.shortcut.isInstalled());
        const QStringList expected = {QStringLiteral("reset Accessibility ") + AppId,
                                      QStringLiteral("reset ScreenCapture ") + AppId,
                                      QStringLiteral("prompt Accessibility")};
        QCOMPARE(atDetection, expected);
        QCOMPARE(afterDelay, expected + QStringList{QStringLiteral("request ScreenCapture")});
        QCOMPARE(launch.permissions.actions(), afterDelay);
        QVERIFY(!launch.bootstrap.isPolling());
        QCOMPARE(launch.clock.pendingCount(), 0);
        QCOMPARE(out.takeLines(), QStringList());
    }

    void neverGranted()
    {
        Launch launch(freshPreferencesFile());
        StdoutCapture out;

        launch.bootstrap.bootstrapPermissions();
        launch.clock.advance(
            PermissionBootstrap::PollAttemptLimit * PermissionBootstrap::PollIntervalMs - 1);
        const QStringList beforeLimit = out.takeLines();
        launch.clock.advance(1);
        const QStringList atLimit = out.takeLines();
        const int queries = launch.permissions.trustQueries();
        launch.clock.advance(10 * 60 * 1000);

        QCOMPARE(beforeLimit, QStringList());
        QCOMPARE(atLimit, QStringList{TimeoutLine});
        QCOMPARE(out.takeLines(), QStringList());
        QCOMPARE(launch.permissions.trustQueries(), queries);
        QVERIFY(!launch.bootstrap.isPolling());
        QCOMPARE(launch.keys->installCalls(), 0);
        QVERIFY(!launch.permissions.actions().contains(QStringLiteral("request ScreenCapture")));
    }

    void grantedOnTheLastTick()
    {
        Launch launch(freshPreferencesFile());
        launch.permissions.setScreenCaptureGranted(true);
        StdoutCapture out;

        launch.bootstrap.bootstrapPermissions();
        launch.clock.advance((PermissionBootstrap::PollAttemptLimit - 1) *
                             PermissionBootstrap::PollIntervalMs);
        launch.permissions.setTrusted(true);
        launch.clock.advance(PermissionBootstrap::PollIntervalMs);

        QCOMPARE(launch.keys->installCalls(), 1);
        QCOMPARE(out.takeLines(), QStringList());
    }

    void resetFailureLines_data()
    {
        QTest::addColumn<QStringList>("failing");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("one service")
            << QStringList{QStringLiteral("ScreenCapture")}
            << QStringList{QStringLiteral("Failed to reset ScreenCapture permission: "
                                          "org.freedesktop.DBus.Error.ServiceUnknown: no store")};
        QTest::newRow("both, in order")
            << QStringList{QStringLiteral("Accessibility"), QStringLiteral("ScreenCapture")}
            << QStringList{QStringLiteral("Failed to reset Accessibility permission: "
                                          "org.freedesktop.DBus.Error.ServiceUnknown: no store"),
                           QStringLiteral("Failed to reset ScreenCapture permission: "
                                          "org.freedesktop.DBus.Error.ServiceUnknown: no store")};
    }

    void resetFailureLines()
    {
        QFETCH(QStringList, failing);
        QFETCH(QStringList, lines);

        const QString file = freshPreferencesFile();
        Launch launch(file);
        launch.permissions.setTrusted(true);
        launch.permissions.setScreenCaptureGranted(true);
        for (const QString &service : failing) {
            launch.permissions.failReset(
                service, QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown: no store"));
        }
        StdoutCapture out;

        launch.bootstrap.bootstrapPermissions();

        QCOMPARE(out.takeLines(), lines);
        // Not retried for this build: the marker is written all the same.
        QCOMPARE(Preferences(file).permissionsResetBuild(), std::optional<QString>(Build));
    }

    void pendingWorkDiesWithTheBootstrap()
    {
        FakePermissions permissions;
        permissions.setTrusted(true);
        Preferences preferences(freshPreferencesFile());
        ManualClock clock;
        auto bootstrap = std::make_unique<PermissionBootstrap>(&permissions, &preferences, &clock,
                                                               AppId, Build, [] {});

        bootstrap->bootstrapPermissions();
        bootstrap.reset();
        clock.advance(PermissionBootstrap::ScreenRecordingDelayMs);

        QVERIFY(!permissions.actions().contains(QStringLiteral("request ScreenCapture")));
    }
};

QTEST_GUILESS_MAIN(PermissionBootstrapTest)
#include "PermissionBootstrapTest.moc"
