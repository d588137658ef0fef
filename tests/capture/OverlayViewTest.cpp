#include "capture/ScreenshotManager.h"
#include "capture/StackGeometry.h"
#include "fakes/FakeScreenCapture.h"

#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {

/// The stack panel as the application builds it, 250 x 700, showing a manager's captures.
struct Panel
{
    Panel()
        : manager(std::make_unique<FakeScreenCapture>(), [] { return std::optional<qreal>(1.0); })
    {
        view.setResizeMode(QQuickView::SizeRootObjectToView);
        view.setInitialProperties({{QStringLiteral("manager"), QVariant::fromValue(&manager)}});
        view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Orrinvale/capture/OverlayView.qml")));
        view.resize(250, 700);
        view.show();
    }

    bool take(int count)
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        for (int i = 0; i < count; ++i)
            manager.takeScreenshot();
        return QTest::qWaitFor([&] { return finished.size() == count; }, 10000);
    }

    /// The thumbnails that can be seen, top to bottom, as rectangles in the window.
    QList<QRectF> visibleThumbnails() const
    {
        QList<QRectF> rects;
        QList<QQuickItem *> pending = {view.contentItem()};
        while (!pending.isEmpty()) {
            QQuickItem *item = pending.takeLast();
            if (item->objectName() == QLatin1String("stackThumbnail") && item->isVisible())
                rects.append(item->mapRectToScene(QRectF(0, 0, item->width(), item->height())));
            pending.append(item->childItems());
        }
        std::sort(rects.begin(), rects.end(),
                  [](const QRectF &a, const QRectF &b) { return a.y() < b.y(); });
        return rects;
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

} // namespace

// Where the thumbnails sit, how they are drawn, the empty panel, toggling and clicks are
// checked end to end; here: that the wheel scrolls a column taller than the panel.
class OverlayViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wheelScrollsVerticallyOnly()
    {
        Panel panel;
        QCOMPARE(panel.view.status(), QQuickView::Ready);
        QVERIFY(QTest::qWaitForWindowExposed(&panel.view));
        QVERIFY(panel.take(6)); // 6 x 164 + 45: taller than the 700 of the window
        // Thumbnails are made in the background; the column settles after its motion.
        QTRY_COMPARE_WITH_TIMEOUT(panel.visibleThumbnails(), panel.expectedRects(), 10000);
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
