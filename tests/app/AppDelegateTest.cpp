#include "app/AppDelegate.h"
#include "app/RegionOverlayWindows.h"
#include "capture/CaptureSaver.h"
#include "capture/ClipboardCopy.h"
#include "capture/DragOutData.h"
#include "editor/EditorSession.h"
#include "fakes/FakeScreenCapture.h"
#include "platform/NullDesktopWindowing.h"
#include "region/RegionSelection.h"

#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTemporaryDir>
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

    QTemporaryDir m_home;

private Q_SLOTS:
    // The preferences file is this test's own: the settings it turns on reach no other test.
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toUtf8());
    }

    // The General tab's choices are read as each capture arrives: a change applies to the
    // next capture, not to those already on the stack.
    void eachNewCaptureIsCopiedAndSavedAsTheSettingsSay()
    {
        auto delegate = makeDelegate();
        Preferences *preferences = delegate->preferences();
        const QString folder = m_home.filePath(QStringLiteral("shots"));
        preferences->setSaveFolder(folder);
        preferences->setNamePattern(QStringLiteral("Shot %n"));
        QVERIFY(takeCaptures(*delegate, 1));
        delegate->captureSaver()->waitForSaves();
        QVERIFY(!delegate->clipboardCopy()->offered());
        QVERIFY(!QDir(folder).exists());

        preferences->setCopyEachCapture(true);
        preferences->setSaveEachCapture(true);
        QVERIFY(takeCaptures(*delegate, 1));
        delegate->captureSaver()->waitForSaves();

        QVERIFY(delegate->clipboardCopy()->offered());
        QVERIFY(delegate->clipboardCopy()->offered()->hasFormat(QStringLiteral("image/png")));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"Shot 1.png"});
        QCOMPARE(QImage(QDir(folder).filePath(QStringLiteral("Shot 1.png"))).size(),
                 delegate->screenshotManager()->imageAt(0).size());

        preferences->setCopyEachCapture(false);
        preferences->setSaveEachCapture(false);
        delegate->clipboardCopy()->copyLatest();
        const DragOutData *before = delegate->clipboardCopy()->offered();
        QVERIFY(takeCaptures(*delegate, 1));
        delegate->captureSaver()->waitForSaves();
        QCOMPARE(delegate->clipboardCopy()->offered(), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
    }

    void overlayGeometryOnAScreenLeftOfAndBelowTheOrigin()
    {
        QCOMPARE(AppDelegate::overlayGeometry(QRect(-1280, 1080, 1280, 1024)),
                 QRect(-270, 1080, 250, 1024));
    }

    // Titles and the Settings window itself are checked end to end; here: the keyboard
    // shortcuts, the panel's state, and that the capture runs on a later turn.
    void launchBuildsThePanelAndTheMenu()
    {
        auto delegate = makeDelegate();

        QVERIFY(delegate->overlayWindow()->isVisible());
        QCOMPARE(delegate->overlayWindow()->status(), QQuickView::Ready);
        QVERIFY(delegate->overlayWindow()->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QList<QKeySequence> shortcuts;
        for (QAction *action : delegate->menu()->actions())
            shortcuts << action->shortcut();
        QCOMPARE(shortcuts, (QList<QKeySequence>{QKeySequence("Ctrl+S"),
                                                 {},
                                                 {},
                                                 {},
                                                 QKeySequence("Ctrl+,"),
                                                 {},
                                                 QKeySequence("Ctrl+Q")}));
        QCOMPARE(delegate->menu()->actions().at(1)->text(), QStringLiteral("Capture Region"));
        QCOMPARE(delegate->menu()->actions().at(2)->text(), QStringLiteral("Capture Window"));

        delegate->menu()->actions().at(0)->trigger();
        QCOMPARE(delegate->screenshotManager()->count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(delegate->screenshotManager()->count(), 1, 10000);
    }

    void twoRequestsLeaveOneEditorOnThatCapture()
    {
        auto delegate = makeDelegate();
        QVERIFY(takeCaptures(*delegate, 2));
        ScreenshotManager *manager = delegate->screenshotManager();
        delegate->openEditor(2);
        delegate->openEditor(-1);
        QVERIFY(!delegate->editorWindow());

        manager->requestPreview(1);
        manager->requestPreview(1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QQuickView *editor = delegate->editorWindow();
        QVERIFY(editor);
        QCOMPARE(editor->size(), QSize(1000, 750));
        QCOMPARE(editor->status(), QQuickView::Ready);
        QCOMPARE(sessionOf(editor)->captureId(), manager->captureIdAt(1));
        int editors = 0;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            editors += window->title() == QLatin1String("Screenshot Editor") ? 1 : 0;
        QCOMPARE(editors, 1);
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

    void theOverlaysWindowsAreMadeOnceAndHiddenBetweenUses_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("added");
        QTest::newRow("Escape") << QStringLiteral("escape") << 0;
        QTest::newRow("accepted") << QStringLiteral("accept") << 1;
        QTest::newRow("replaced by a new request") << QStringLiteral("again") << 0;
    }

    // Each request shows the same windows again with its own picture and selection; once
    // it ends they are hidden and hold neither, its selection is gone, and once they have
    // let go of it nothing holds the picture.
    void theOverlaysWindowsAreMadeOnceAndHiddenBetweenUses()
    {
        QFETCH(QString, ending);
        QFETCH(int, added);
        auto delegate = makeDelegate();
        ScreenshotManager *manager = delegate->screenshotManager();
        const auto select = [&] {
            manager->request(CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion));
        };
        select();
        QVERIFY(QTest::qWaitFor([&] { return delegate->regionOverlay() != nullptr; }, 10000));
        const QList<QQuickView *> first = delegate->regionOverlay()->windows();
        QCOMPARE(first.size(), QGuiApplication::screens().size());
        QCOMPARE(delegate->regionOverlayWindows()->allWindows(), first);
        QPointer<RegionSelection> old = delegate->regionOverlay()->selection();
        // Drawn once, so that the window's scene graph has made its texture of it.
        QVERIFY(QTest::qWaitForWindowExposed(first.first()));
        first.first()->grabWindow();
        QImage pictureSeen = first.first()->rootObject()->property("picture").value<QImage>();
        QVERIFY(!pictureSeen.isNull());

        if (ending == QLatin1String("again")) {
            select();
            QVERIFY(QTest::qWaitFor([&] { return old.isNull(); }, 10000));
            QVERIFY(delegate->regionOverlay());
            QCOMPARE(delegate->regionOverlay()->windows(), first);
            old = delegate->regionOverlay()->selection();
            old->cancel();
        } else {
            old->setSelection(QRect(10, 10, 30, 20));
            if (ending == QLatin1String("escape"))
                QVERIFY(old->key(Qt::Key_Escape, Qt::NoModifier));
            else
                old->accept();
        }
        QVERIFY(QTest::qWaitFor([&] { return old.isNull(); }, 10000));
        QVERIFY(!delegate->regionOverlay());
        QVERIFY(QTest::qWaitFor([&] { return manager->count() == added; }, 10000));
        for (QQuickView *view : first) {
            QVERIFY(!view->isVisible());
            QVERIFY(view->rootObject()->property("picture").value<QImage>().isNull());
            auto *shown = view->rootObject()->property("selection").value<RegionSelection *>();
            QVERIFY(shown && !shown->hasSelection() && shown->picture().isEmpty());
        }
        // Nothing holds the picture's pixels once the hidden windows have let go of it.
        delegate->regionOverlayWindows()->releasePictures();
        QVERIFY(pictureSeen.isDetached());

        select();
        QVERIFY(QTest::qWaitFor([&] { return delegate->regionOverlay() != nullptr; }, 10000));
        QCOMPARE(delegate->regionOverlay()->windows(), first);
        RegionSelection *next = delegate->regionOverlay()->selection();
        for (QQuickView *view : first) {
            QVERIFY(view->isVisible());
            QCOMPARE(view->rootObject()->property("selection").value<RegionSelection *>(), next);
            const QImage picture = view->rootObject()->property("picture").value<QImage>();
            QCOMPARE(picture.size(), view->screen()->size() * view->screen()->devicePixelRatio());
        }
        next->cancel();
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
