#include "app/GlobalShortcut.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakeGlobalKeys.h"
#include "fakes/FakePermissions.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"

#include <QSignalSpy>
#include <QTest>

namespace {

struct Fixture
{
    Fixture()
        : manager(std::make_unique<FakeScreenCapture>()),
          shortcut(std::unique_ptr<GlobalKeys>(keys), &permissions, &manager)
    {}

    FakePermissions permissions;
    ScreenshotManager manager;
    FakeGlobalKeys *keys = new FakeGlobalKeys;
    GlobalShortcut shortcut;
};

using Combination = GlobalKeys::Combination;

} // namespace

class GlobalShortcutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void installsOnce()
    {
        Fixture f;
        f.permissions.setTrusted(true);
        StdoutCapture out;

        f.shortcut.setupGlobalShortcut();
        f.shortcut.setupGlobalShortcut();

        QCOMPARE(f.keys->installCalls(), 1);
        QVERIFY(f.shortcut.isInstalled());
        QCOMPARE(out.takeLines(), QStringList());
    }

    void untrustedThenTrusted()
    {
        Fixture f;
        StdoutCapture out;

        f.shortcut.setupGlobalShortcut();
        const QStringList untrustedLines = out.takeLines();
        const int callsUntrusted = f.keys->installCalls();
        f.permissions.setTrusted(true);
        f.shortcut.setupGlobalShortcut();

        QCOMPARE(untrustedLines,
                 QStringList{QStringLiteral("Accessibility permission not granted yet.")});
        QCOMPARE(callsUntrusted, 0);
        QCOMPARE(f.keys->installCalls(), 1);
        QCOMPARE(out.takeLines(), QStringList());
    }

    void refusals_data()
    {
        QTest::addColumn<QList<Combination>>("refused");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("Ctrl+Shift+1 held elsewhere")
            << QList<Combination>{Combination::TakeScreenshot}
            << QStringList{
                   QStringLiteral("Could not take Ctrl+Shift+1: another program holds it.")};
        QTest::newRow("both held elsewhere")
            << QList<Combination>{Combination::TakeScreenshot, Combination::ToggleStack}
            << QStringList{
                   QStringLiteral("Could not take Ctrl+Shift+1: another program holds it."),
                   QStringLiteral("Could not take Ctrl+Shift+2: another program holds it.")};
    }

    void refusals()
    {
        QFETCH(QList<Combination>, refused);
        QFETCH(QStringList, lines);

        Fixture f;
        f.permissions.setTrusted(true);
        for (Combination combination : refused)
            f.keys->refuse(combination, QStringLiteral("another program holds it"));
        StdoutCapture out;

        f.shortcut.setupGlobalShortcut();
        f.shortcut.setupGlobalShortcut();

        QCOMPARE(out.takeLines(), lines);
        QCOMPARE(f.keys->installCalls(), 1);
    }

    void notInstallableIsSilent()
    {
        Fixture f;
        f.permissions.setTrusted(true);
        f.keys->setInstallable(false);
        StdoutCapture out;

        f.shortcut.setupGlobalShortcut();

        QCOMPARE(f.keys->installCalls(), 0);
        QVERIFY(!f.shortcut.isInstalled());
        QCOMPARE(out.takeLines(), QStringList());
    }

    void actionsRunAfterTheKeyEvent()
    {
        Fixture f;
        f.permissions.setTrusted(true);
        f.shortcut.setupGlobalShortcut();
        QSignalSpy captured(&f.manager, &ScreenshotManager::captureFinished);

        f.keys->press(Combination::ToggleStack);
        const bool visibleDuringEvent = f.manager.isVisible();
        f.keys->press(Combination::TakeScreenshot);
        f.keys->press(Combination::TakeScreenshot); // an auto-repeated press
        const int capturesDuringEvent = captured.size();
        QTRY_COMPARE(captured.size(), 2);
        const bool visibleAfter = f.manager.isVisible();
        f.keys->press(Combination::ToggleStack);
        QCoreApplication::processEvents();

        QVERIFY(visibleDuringEvent);
        QCOMPARE(capturesDuringEvent, 0);
        // The toggle hid the stack and each capture showed it again.
        QVERIFY(visibleAfter);
        QVERIFY(!f.manager.isVisible());
        QCOMPARE(f.manager.count(), 2);
    }
};

QTEST_MAIN(GlobalShortcutTest)
#include "GlobalShortcutTest.moc"
