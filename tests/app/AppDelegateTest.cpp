#include "app/AppDelegate.h"
#include "editor/EditorSession.h"
#include "fakes/FakeScreenCapture.h"
#include "platform/NullDesktopWindowing.h"

#include <QMenu>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>

namespace {

std::unique_ptr<AppDelegate> makeDelegate()
{
    auto delegate = std::make_unique<AppDelegate>(std::make_unique<FakeScreenCapture>(),
                                                  std::make_unique<NullDesktopWindowing>());
    delegate->applicationDidFinishLaunching();
    return delegate;
}

bool takeCaptures(AppDelegate &delegate, int n)
{
    ScreenshotManager *manager = delegate.screenshotManager();
    const int target = manager->count() + n;
    for (int i = 0; i < n; ++i)
        manager->takeScreenshot();
    return QTest::qWaitFor([&] { return manager->count() == target; }, 10000);
}

EditorSession *sessionOf(QQuickView *window)
{
    return window ? window->findChild<EditorSession *>() : nullptr;
}

} // namespace

class AppDelegateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void overlayGeometry_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("panel");

        QTest::newRow("at the origin") << QRect(0, 0, 1280, 800) << QRect(1010, 0, 250, 800);
        QTest::newRow("4K") << QRect(0, 0, 3840, 2160) << QRect(3570, 0, 250, 2160);
        QTest::newRow("primary right of another")
            << QRect(1920, 0, 1440, 900) << QRect(3090, 0, 250, 900);
        QTest::newRow("primary below and left")
            << QRect(-1280, 1080, 1280, 1024) << QRect(-270, 1080, 250, 1024);
    }

    void overlayGeometry()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, panel);

        QCOMPARE(AppDelegate::overlayGeometry(screen), panel);
    }

    void launchBuildsThePanelAndTheMenu()
    {
        auto delegate = makeDelegate();

        QVERIFY(delegate->overlayWindow());
        QVERIFY(delegate->overlayWindow()->isVisible());
        QCOMPARE(delegate->overlayWindow()->status(), QQuickView::Ready);
        QVERIFY(delegate->overlayWindow()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QStringList titles;
        for (QAction *action : delegate->menu()->actions())
            titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(titles,
                 (QStringList{"Take Screenshot", "-", "Settings...", "-", "Quit Orrinvale"}));
        QCOMPARE(delegate->menu()->actions().at(0)->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(delegate->menu()->actions().at(2)->shortcut(), QKeySequence("Ctrl+,"));
        QCOMPARE(delegate->menu()->actions().at(4)->shortcut(), QKeySequence("Ctrl+Q"));
    }

    void menuTakesAScreenshotOnALaterTurn()
    {
        auto delegate = makeDelegate();

        delegate->menu()->actions().at(0)->trigger();

        QCOMPARE(delegate->screenshotManager()->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(delegate->screenshotManager()->count(), 1, 10000);
    }

    void settingsWindowIsMadeOnceAndReused()
    {
        auto delegate = makeDelegate();
        QVERIFY(!delegate->settingsWindow());

        delegate->menu()->actions().at(2)->trigger();
        QQuickView *first = delegate->settingsWindow();
        QVERIFY(first);
        const QPlatformWindow *nativeWindow = first->handle();
        first->close();
        QVERIFY(!first->isVisible());
        delegate->showSettingsWindow();

        QCOMPARE(delegate->settingsWindow(), first);
        // Closing only hid it: the very same native window comes back.
        QCOMPARE(first->handle(), nativeWindow);
        QVERIFY(first->isVisible());
        QCOMPARE(first->title(), QStringLiteral("Settings"));
        QCOMPARE(first->size(), QSize(400, 350));
        QCOMPARE(first->minimumSize(), first->maximumSize());
        QCOMPARE(first->status(), QQuickView::Ready);
    }

    void twoRequestsLeaveOneEditorOnThatCapture()
    {
        auto delegate = makeDelegate();
        QVERIFY(takeCaptures(*delegate, 2));
        ScreenshotManager *manager = delegate->screenshotManager();

        manager->requestPreview(1);
        manager->requestPreview(1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QQuickView *editor = delegate->editorWindow();
        QVERIFY(editor);
        QCOMPARE(editor->title(), QStringLiteral("Screenshot Editor"));
        QCOMPARE(editor->size(), QSize(1000, 750));
        QCOMPARE(editor->status(), QQuickView::Ready);
        QCOMPARE(sessionOf(editor)->captureId(), manager->captureIdAt(1));
        int editors = 0;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            editors += window->title() == QLatin1String("Screenshot Editor") ? 1 : 0;
        QCOMPARE(editors, 1);
    }

    void openEditorIgnoresIndicesOutsideTheList()
    {
        auto delegate = makeDelegate();
        QVERIFY(takeCaptures(*delegate, 1));

        delegate->openEditor(1);
        delegate->openEditor(-1);

        QVERIFY(!delegate->editorWindow());
    }

    void lateCloseOfAnOldEditorLeavesTheNewOneOpen()
    {
        auto delegate = makeDelegate();
        QVERIFY(takeCaptures(*delegate, 2));
        delegate->openEditor(0);
        QPointer<QQuickView> first = delegate->editorWindow();

        sessionOf(first)->close(); // queued: runs after the next editor is open
        delegate->openEditor(1);
        QPointer<QQuickView> second = delegate->editorWindow();
        QTest::qWait(50);

        QVERIFY(second);
        QVERIFY(second != first);
        QVERIFY(second->isVisible());
    }

    void closeRequestClosesTheEditorWithoutTouchingTheList()
    {
        auto delegate = makeDelegate();
        QVERIFY(takeCaptures(*delegate, 1));
        const QImage before = delegate->screenshotManager()->imageAt(0);
        delegate->openEditor(0);
        QPointer<QQuickView> editor = delegate->editorWindow();

        sessionOf(editor)->close();
        QVERIFY(editor->isVisible()); // closing happens on a later turn
        QTRY_VERIFY_WITH_TIMEOUT(!editor, 5000);

        QCOMPARE(delegate->screenshotManager()->count(), 1);
        QCOMPARE(delegate->screenshotManager()->imageAt(0), before);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
