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

        const auto row = [](const char *name, const QString &stored, const QString &buildId,
                            bool trusted, bool screenCapture, const QStringList &actions,
                            const QString &storedAfter, bool polling,
                            const QString &appId = AppId) {
            QTest::newRow(name) << stored << buildId << appId << trusted << screenCapture << actions
                                << storedAfter << polling;
        };
        const QString none, zero = QStringLiteral("0");
        row("first launch, nothing granted", none, Build, false, false,
            resets + QStringList{prompt}, Build, true);
        row("first launch, both granted", none, Build, true, true, resets, Build, false);
        row("same build, both granted", Build, Build, true, true, {}, Build, false);
        row("same build, screen reading missing", Build, Build, true, false, {request}, Build,
            false);
        row("same build, both missing: no screen prompt before trust", Build, Build, false, false,
            {prompt}, Build, true);
        row("new build", "0.1.0+gold0000", Build, true, true, resets, Build, false);
        row("build 0 again", zero, zero, true, true, {}, zero, false);
        row("empty build id counts as 0", zero, none, true, true, {}, zero, false);
        row("marker differs only in case", Build.toUpper(), Build, true, true, resets, Build,
            false);
        row("no app id: no reset, marker still stored", none, Build, false, true, {prompt}, Build,
            true, none);
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

    // Trust given on the last poll still counts; one poll later it is too late.
    void pollingEndsAtTheLimit_data()
    {
        QTest::addColumn<bool>("grantedOnLastTick");
        QTest::newRow("granted on the last tick") << true;
        QTest::newRow("never granted") << false;
    }

    void pollingEndsAtTheLimit()
    {
        QFETCH(bool, grantedOnLastTick);
        Launch launch(freshPreferencesFile());
        launch.permissions.setScreenCaptureGranted(true);
        StdoutCapture out;

        launch.bootstrap.bootstrapPermissions();
        launch.clock.advance((PermissionBootstrap::PollAttemptLimit - 1) *
                             PermissionBootstrap::PollIntervalMs);
        QCOMPARE(out.takeLines(), QStringList());
        launch.permissions.setTrusted(grantedOnLastTick);
        launch.clock.advance(PermissionBootstrap::PollIntervalMs);
        const int queries = launch.permissions.trustQueries();
        launch.permissions.setTrusted(true); // too late now
        launch.clock.advance(10 * 60 * 1000);

        QCOMPARE(out.takeLines(), grantedOnLastTick ? QStringList() : QStringList{TimeoutLine});
        QCOMPARE(launch.keys->installCalls(), grantedOnLastTick ? 1 : 0);
        QCOMPARE(launch.permissions.trustQueries(), queries);
        QVERIFY(!launch.bootstrap.isPolling());
    }

    // Once the desktop has refused the keys for good (and said why), waiting stops at the
    // next poll and says nothing more.
    void pollingStopsQuietlyOnceTrustCanNoLongerCome()
    {
        Launch launch(freshPreferencesFile());
        launch.permissions.setScreenCaptureGranted(true);
        StdoutCapture out;

        launch.bootstrap.bootstrapPermissions();
        launch.clock.advance(3 * PermissionBootstrap::PollIntervalMs);
        QVERIFY(launch.bootstrap.isPolling());
        launch.permissions.setRefused(true);
        launch.clock.advance(PermissionBootstrap::PollIntervalMs);

        QVERIFY(!launch.bootstrap.isPolling());
        launch.clock.advance(PermissionBootstrap::PollAttemptLimit *
                             PermissionBootstrap::PollIntervalMs);
        QCOMPARE(out.takeLines(), QStringList());
        QCOMPARE(launch.keys->installCalls(), 0);
    }

    void resetFailuresAreSaidInOrderAndNotRetried()
    {
        const QString file = freshPreferencesFile();
        Launch launch(file);
        launch.permissions.setTrusted(true);
        launch.permissions.setScreenCaptureGranted(true);
        const QString reason =
            QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown: no store");
        launch.permissions.failReset(QStringLiteral("Accessibility"), reason);
        launch.permissions.failReset(QStringLiteral("ScreenCapture"), reason);
        StdoutCapture out;

        launch.bootstrap.bootstrapPermissions();

        QCOMPARE(out.takeLines(),
                 (QStringList{"Failed to reset Accessibility permission: " + reason,
                              "Failed to reset ScreenCapture permission: " + reason}));
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
