#include "platform/PortalGlobalKeys.h"
#include "fakes/FakeGlobalShortcutsPortal.h"
#include "fakes/StdoutCapture.h"
#include "platform/PortalPermissions.h"

#include <QSignalSpy>
#include <QTest>

using Combination = GlobalKeys::Combination;

class PortalGlobalKeysTest : public QObject
{
    Q_OBJECT

private:
    // Asks and waits for the answer; whether the keys were bound.
    static bool askAndWait(PortalGlobalKeys &keys)
    {
        QSignalSpy finished(&keys, &PortalGlobalKeys::askFinished);
        keys.askToInstall();
        if (!finished.wait(20000))
            return false;
        return finished.first().first().toBool();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test needs a session bus");
    }

    void bindsAllWithTheirPreferredKeys()
    {
        FakeGlobalShortcutsPortal portal;
        QVERIFY(portal.start());
        PortalGlobalKeys keys(QDBusConnection::sessionBus(), 5000);
        PortalPermissions permissions(&keys, QDBusConnection::sessionBus());
        QVERIFY(!permissions.isTrusted());

        QSignalSpy finished(&keys, &PortalGlobalKeys::askFinished);
        QVERIFY(!permissions.isTrustedWithPrompt()); // answers later, never blocks
        keys.askToInstall();                         // a second ask while asking: no second session
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.count(), 1);
        QVERIFY(permissions.isTrusted());

        // The keys travel with the session (some desktops take them only there) and again
        // to BindShortcuts.
        QCOMPARE(portal.createdTriggers,
                 (QVariantMap{{QStringLiteral("take-screenshot"), QStringLiteral("CTRL+SHIFT+1")},
                              {QStringLiteral("toggle-stack"), QStringLiteral("CTRL+SHIFT+2")},
                              {QStringLiteral("select-region"), QStringLiteral("CTRL+SHIFT+3")},
                              {QStringLiteral("capture-window"), QStringLiteral("CTRL+SHIFT+4")}}));
        QCOMPARE(portal.boundRequests,
                 (QStringList{QStringLiteral("take-screenshot"), QStringLiteral("toggle-stack"),
                              QStringLiteral("select-region"), QStringLiteral("capture-window")}));
        QVERIFY(portal.sessionHandle.endsWith(QLatin1String("/orrinvale")));

        const auto outcomes = keys.install();
        QCOMPARE(outcomes.size(), 4);
        for (const auto &outcome : outcomes)
            QVERIFY(outcome.taken);

        QSignalSpy activated(&keys, &GlobalKeys::activated);
        QTest::qWait(500);
        portal.press(QStringLiteral("toggle-stack"));
        portal.press(QStringLiteral("take-screenshot"), QStringLiteral("/some/other/session"));
        portal.press(QStringLiteral("no-such-shortcut"));
        portal.press(QStringLiteral("take-screenshot"));
        QTRY_COMPARE(activated.count(), 2);
        QCOMPARE(activated[0].first().value<Combination>(), Combination::ToggleStack);
        QCOMPARE(activated[1].first().value<Combination>(), Combination::TakeScreenshot);
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("portalRuns");
        QTest::addColumn<uint>("createCode");
        QTest::addColumn<uint>("bindCode");
        QTest::addColumn<QString>("reason");

        QTest::newRow("no such portal") << false << 0u << 0u << "";
        QTest::newRow("session refused") << true << 1u << 0u << "refused a shortcut session";
        QTest::newRow("keys refused by the user") << true << 0u << 1u << "refused on the desktop";
        QTest::newRow("binding failed") << true << 0u << 2u << "could not bind";
    }

    void refusals()
    {
        QFETCH(bool, portalRuns);
        QFETCH(uint, createCode);
        QFETCH(uint, bindCode);
        QFETCH(QString, reason);

        FakeGlobalShortcutsPortal portal;
        portal.createCode = createCode;
        portal.bindCode = bindCode;
        if (portalRuns)
            QVERIFY(portal.start());
        StdoutCapture out;
        PortalGlobalKeys keys(QDBusConnection::sessionBus(), 5000);

        QVERIFY(!keys.isRefused()); // not asked yet
        QVERIFY(!askAndWait(keys));
        QVERIFY(!keys.isInstallable());
        QVERIFY(keys.isRefused());
        for (const auto &outcome : keys.install())
            QVERIFY(!outcome.taken);
        // One line says so and how to bind the keys by hand.
        const QStringList lines = out.takeLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QLatin1String("Global keys are unavailable")),
                 qPrintable(lines.first()));
        QVERIFY(lines.first().contains(QLatin1String("orrinvale --take-screenshot")));
        QVERIFY(lines.first().contains(QLatin1String("orrinvale --toggle-stack")));
        QVERIFY2(lines.first().contains(reason), qPrintable(lines.first()));
    }

    void bindsOnlyWhatTheDesktopGivesAndClosesItsSessionWhenGone()
    {
        FakeGlobalShortcutsPortal portal;
        portal.bindOnly = QStringList{QStringLiteral("toggle-stack")};
        QVERIFY(portal.start());
        {
            PortalGlobalKeys keys(QDBusConnection::sessionBus(), 5000);
            QVERIFY(askAndWait(keys));

            const auto outcomes = keys.install();
            QCOMPARE(outcomes[0].combination, Combination::TakeScreenshot);
            QVERIFY(!outcomes[0].taken);
            QVERIFY(!outcomes[0].reason.isEmpty());
            QCOMPARE(outcomes[1].combination, Combination::ToggleStack);
            QVERIFY(outcomes[1].taken);
            QCOMPARE(portal.closes, 0);
        }
        QTRY_COMPARE(portal.closes, 1);
    }

    // Quitting while the desktop's dialog is open: the request is abandoned, not waited for.
    void goingAwayAbandonsARequestWaitingOnTheDesktop()
    {
        FakeGlobalShortcutsPortal portal;
        portal.leaveBindOpen = true;
        QVERIFY(portal.start());
        StdoutCapture out;
        auto keys = std::make_unique<PortalGlobalKeys>(QDBusConnection::sessionBus(),
                                                       PortalGlobalKeys::DefaultTimeoutMs);
        keys->askToInstall();
        QTRY_COMPARE_WITH_TIMEOUT(portal.boundRequests.size(), 4, 20000);

        // Without the abandon this waits out the two-minute time-out, past the test's limit.
        keys.reset();

        // Nothing is said of an abandoned request: the program is going.
        QVERIFY(out.takeLines().isEmpty());
    }

    void screenReadingWithoutAPermissionStore()
    {
        // The private bus has no permission store: reading stays allowed (the portal asks
        // by itself), keys need no reset, and a screen reset that cannot reach the store
        // says why.
        PortalGlobalKeys keys(QDBusConnection::sessionBus(), 5000);
        PortalPermissions permissions(&keys, QDBusConnection::sessionBus());
        QVERIFY(permissions.preflightScreenCapture());
        QVERIFY(permissions.reset(Permissions::Accessibility, QStringLiteral("x")).ok());
        const auto reset = permissions.reset(Permissions::ScreenCapture, QStringLiteral("x"));
        QVERIFY(!reset.ok());
        QVERIFY(!reset.error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(PortalGlobalKeysTest)
#include "PortalGlobalKeysTest.moc"
