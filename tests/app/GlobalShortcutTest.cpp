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
    void installsOnceTrusted()
    {
        Fixture f;
        StdoutCapture out;

        f.shortcut.setupGlobalShortcut();
        QCOMPARE(out.takeLines(),
                 QStringList{QStringLiteral("Accessibility permission not granted yet.")});
        QCOMPARE(f.keys->installCalls(), 0);

        f.permissions.setTrusted(true);
        f.shortcut.setupGlobalShortcut();
        f.shortcut.setupGlobalShortcut();

        QCOMPARE(f.keys->installCalls(), 1);
        QVERIFY(f.shortcut.isInstalled());
        QCOMPARE(out.takeLines(), QStringList());
    }

    void refusedCombinationsAreSaidOnceEach()
    {
        Fixture f;
        f.permissions.setTrusted(true);
        f.keys->refuse(Combination::TakeScreenshot, QStringLiteral("another program holds it"));
        f.keys->refuse(Combination::ToggleStack, QStringLiteral("another program holds it"));
        StdoutCapture out;

        f.shortcut.setupGlobalShortcut();
        f.shortcut.setupGlobalShortcut();

        QCOMPARE(out.takeLines(),
                 (QStringList{"Could not take Ctrl+Shift+1: another program holds it.",
                              "Could not take Ctrl+Shift+2: another program holds it."}));
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
