#include "capture/ScreenshotManager.h"
#include "capture/StackColumn.h"
#include "capture/StackGeometry.h"
#include "fakes/FakeScreenCapture.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {

constexpr int MotionSettleMs = 900; // the stack's motion takes about half a second
// Offscreen windows have no alpha: an opaque backdrop stands for the desktop below.
const QColor Backdrop(40, 200, 60);

/// The stack panel as the application builds it, 250 x 700, showing a manager's captures.
struct Panel
{
    Panel()
        : manager(std::make_unique<FakeScreenCapture>(), [] { return std::optional<qreal>(1.0); })
    {
        view.setResizeMode(QQuickView::SizeRootObjectToView);
        view.setColor(Backdrop);
        view.setInitialProperties({{QStringLiteral("manager"), QVariant::fromValue(&manager)}});
        view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/capture/OverlayView.qml")));
        view.resize(250, 700);
        view.show();
    }

    bool ready()
    {
        return view.status() == QQuickView::Ready && QTest::qWaitForWindowExposed(&view);
    }

    bool take(int count = 1)
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        for (int i = 0; i < count; ++i)
            manager.takeScreenshot();
        // Thumbnails are made in the background after each capture.
        return QTest::qWaitFor([&] { return finished.size() == count; }, 10000) &&
               QTest::qWaitFor([&] { return thumbnailsReady(); }, 10000);
    }

    bool thumbnailsReady()
    {
        CaptureListModel *list = manager.screenshots();
        for (int row = 0; row < list->count(); ++row) {
            if (list->index(row).data(CaptureListModel::ThumbnailRole).value<QImage>().isNull())
                return false;
        }
        return true;
    }

    /// The thumbnails that can be seen, top to bottom, as rectangles in the window.
    QList<QRectF> visibleThumbnails() const
    {
        QList<QRectF> rects;
        for (QQuickItem *item : thumbnailItems()) {
            if (item->objectName() == QLatin1String("stackThumbnail") && item->isVisible())
                rects.append(item->mapRectToScene(QRectF(0, 0, item->width(), item->height())));
        }
        std::sort(rects.begin(), rects.end(),
                  [](const QRectF &a, const QRectF &b) { return a.y() < b.y(); });
        return rects;
    }

    QList<QQuickItem *> thumbnailItems() const
    {
        QList<QQuickItem *> found;
        QList<QQuickItem *> pending = {view.contentItem()};
        while (!pending.isEmpty()) {
            QQuickItem *item = pending.takeLast();
            if (item->objectName() == QLatin1String("stackThumbnail"))
                found.append(item);
            pending.append(item->childItems());
        }
        return found;
    }

    QList<QRectF> expectedRects() const
    {
        QList<QSizeF> sizes;
        for (int i = 0; i < manager.count(); ++i)
            sizes.append(manager.imageAt(i).deviceIndependentSize());
        return StackGeometry::place(sizes).rects;
    }

    ScreenshotManager manager;
    QQuickView view;
};

bool showsOnlyTheBackdrop(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            if (rgb.pixel(x, y) != Backdrop.rgb())
                return false;
        }
    }
    return true;
}

} // namespace

class OverlayViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyListShowsNothing()
    {
        Panel panel;
        QVERIFY(panel.ready());

        QVERIFY(panel.visibleThumbnails().isEmpty());
        QVERIFY(showsOnlyTheBackdrop(panel.view.grabWindow()));
    }

    void thumbnailsSitWhereTheColumnSays()
    {
        Panel panel;
        QVERIFY(panel.ready());

        QVERIFY(panel.take(3));

        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 3000);
        const QList<QRectF> rects = panel.visibleThumbnails();
        QCOMPARE(rects.first(), QRectF(10, 40, 230, 149)); // 1512 x 982 points
        QCOMPARE(rects.at(1).top(), rects.at(0).bottom() + 15);
    }

    void drawsRoundedThumbnailsWithAShadow()
    {
        Panel panel;
        QVERIFY(panel.ready());
        QVERIFY(panel.take());
        QTest::qWait(MotionSettleMs);

        const QImage frame = panel.view.grabWindow().convertToFormat(QImage::Format_RGB32);

        const QColor captured = FakeScreenCapture::pattern(QSize(8, 8), 1).pixelColor(6, 6);
        // Inside: the capture.
        QCOMPARE(frame.pixelColor(10 + 172, 40 + 112), captured);
        // The rounded corner shows what lies below (and a touch of shadow), not the picture.
        const QColor corner = frame.pixelColor(10, 40);
        QVERIFY(qAbs(corner.green() - Backdrop.green()) < 30 && corner.red() <= Backdrop.red());
        // Below the thumbnail: the soft black shadow; further down and beside: nothing.
        const QColor below = frame.pixelColor(125, 40 + 149 + 3);
        QVERIFY2(below.green() < Backdrop.green() - 20 && below.green() > Backdrop.green() / 2,
                 qPrintable(below.name()));
        QVERIFY(below.red() < Backdrop.red() && below.blue() < Backdrop.blue());
        QCOMPARE(frame.pixelColor(125, 40 + 149 + 20), Backdrop);
        QCOMPARE(frame.pixelColor(0, 100), Backdrop);
        QCOMPARE(frame.pixelColor(249, 100), Backdrop);
    }

    void newCaptureSlidesInFromTheRightWhileOthersMoveDown()
    {
        Panel panel;
        QVERIFY(panel.ready());
        QVERIFY(panel.take());
        QTest::qWait(MotionSettleMs);

        QVERIFY(panel.take());
        QTest::qWait(120);

        // Mid-motion: the newcomer is still right of its place and fading in; the one
        // before it is on its way down.
        QQuickItem *newcomer = nullptr;
        QQuickItem *former = nullptr;
        for (QQuickItem *item : panel.thumbnailItems())
            (item->property("index").toInt() == 0 ? newcomer : former) = item;
        QVERIFY(newcomer && former);
        QVERIFY(newcomer->mapToScene(QPointF(0, 0)).x() > 10);
        QVERIFY(newcomer->opacity() < 1);
        QVERIFY(former->y() > 40 && former->y() < 40 + 149 + 15);
        QCOMPARE(newcomer->y(), 40.0);

        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 3000);
    }

    void togglingSlidesTheColumnOutAndBack()
    {
        Panel panel;
        QVERIFY(panel.ready());
        QVERIFY(panel.take(2));
        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 3000);

        panel.manager.toggleVisibility();
        QTest::qWait(120);
        const QList<QRectF> leaving = panel.visibleThumbnails();
        QCOMPARE(leaving.size(), 2);
        QVERIFY(leaving.first().x() > 10);

        QTRY_VERIFY_WITH_TIMEOUT(panel.visibleThumbnails().isEmpty(), 3000);
        QVERIFY(showsOnlyTheBackdrop(panel.view.grabWindow()));

        panel.manager.toggleVisibility();
        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 3000);
    }

    void clickAsksForTheEditorOnThatCapture_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("first") << 0;
        QTest::newRow("second") << 1;
        QTest::newRow("third") << 2;
    }

    void clickAsksForTheEditorOnThatCapture()
    {
        QFETCH(int, index);
        Panel panel;
        QVERIFY(panel.ready());
        QVERIFY(panel.take(3));
        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 3000);
        QSignalSpy requested(&panel.manager, &ScreenshotManager::previewRequested);

        QTest::mouseClick(&panel.view, Qt::LeftButton, {},
                          panel.expectedRects().at(index).center().toPoint());

        QTRY_COMPARE(requested.size(), 1);
        QCOMPARE(requested.first().first().toInt(), index);
    }

    void clickBesideTheThumbnailsDoesNothing()
    {
        Panel panel;
        QVERIFY(panel.ready());
        QVERIFY(panel.take());
        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 3000);
        QSignalSpy requested(&panel.manager, &ScreenshotManager::previewRequested);

        QTest::mouseClick(&panel.view, Qt::LeftButton, {}, QPoint(125, 20));
        QTest::mouseClick(&panel.view, Qt::LeftButton, {}, QPoint(125, 600));

        QTest::qWait(50);
        QCOMPARE(requested.size(), 0);
    }

    void wheelScrollsVerticallyOnly()
    {
        Panel panel;
        QVERIFY(panel.ready());
        QVERIFY(panel.take(6)); // 6 x 164 + 45: taller than the 700 of the window
        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 3000);
        const QPointF at(125, 300);
        const auto wheel = [&](QPoint pixelDelta, QPoint angleDelta) {
            QWheelEvent event(at, panel.view.mapToGlobal(at), pixelDelta, angleDelta, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&panel.view, &event);
        };

        wheel(QPoint(), QPoint(-120, 0));
        QCOMPARE(panel.visibleThumbnails().first().topLeft(), QPointF(10, 40));

        wheel(QPoint(0, -30), QPoint(0, -30));
        QCOMPARE(panel.visibleThumbnails().first().topLeft(), QPointF(10, 10));

        for (int i = 0; i < 20; ++i)
            wheel(QPoint(), QPoint(0, -120));
        const qreal contentHeight = 40 + 6 * 149 + 5 * 15 + 20;
        QCOMPARE(panel.visibleThumbnails().last().bottom(), 700 - 20.0);
        QCOMPARE(panel.visibleThumbnails().first().top(), 40 - (contentHeight - 700));
    }
};

QTEST_MAIN(OverlayViewTest)
#include "OverlayViewTest.moc"
