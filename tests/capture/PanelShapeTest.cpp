#include "capture/PanelShape.h"
#include "capture/StackGeometry.h"
#include "fakes/FakeDesktopWindowing.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>

namespace {

// Two thumbnails in a column that can hide and move, like the stack's.
const QByteArray Scene = R"(
import QtQuick
Item {
    width: 250; height: 400
    property alias column: column
    property alias second: second
    Item {
        id: column
        Item { objectName: "stackThumbnail"; x: 10; y: 40; width: 230; height: 100
               Rectangle { anchors.fill: parent; color: "red" } }
        Item { id: second; objectName: "stackThumbnail"; x: 10; y: 155; width: 230; height: 100 }
    }
}
)";

struct Fixture
{
    Fixture()
    {
        view.setColor(Qt::transparent);
        QQmlComponent component(view.engine());
        component.setData(Scene, QUrl());
        root = qobject_cast<QQuickItem *>(component.create());
        root->setParentItem(view.contentItem());
        view.resize(250, 400);
        view.create();
    }
    ~Fixture() { delete root; }

    QQuickItem *item(const char *name) const { return root->property(name).value<QQuickItem *>(); }

    QQuickView view;
    QQuickItem *root = nullptr;
    FakeDesktopWindowing windowing;
};

QRegion thumbnailAt(const QRect &rect)
{
    return StackGeometry::roundedRegion(rect, 12);
}

} // namespace

class PanelShapeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsMovesAndHidingAndStaysInsideTheWindow()
    {
        Fixture f;
        PanelShape shape(&f.windowing);
        shape.attach(&f.view);

        // Sliding out to the right, half past the window's edge, and scrolled up.
        f.item("column")->setX(200);
        f.item("column")->setY(-60);
        shape.refresh();

        const QRegion expected =
            (thumbnailAt(QRect(210, -20, 230, 100)) + thumbnailAt(QRect(210, 95, 230, 100)))
                .intersected(QRect(0, 0, 250, 400));
        Q_EMIT f.view.frameSwapped();

        QTRY_COMPARE(shape.inputRegion(), expected);
        QCOMPARE(f.windowing.inputRegions.last(), expected);
        QCOMPARE(f.windowing.visibleRegions.last(), std::optional<QRegion>(expected));

        // Hidden or transparent thumbnails take no clicks.
        f.item("column")->setPosition(QPointF(0, 0));
        f.item("second")->setOpacity(0);
        QCOMPARE(shape.visibleThumbnails(), thumbnailAt(QRect(10, 40, 230, 100)));
        f.item("column")->setVisible(false);
        QCOMPARE(shape.visibleThumbnails(), QRegion());
    }

    // The window is shaped to its thumbnails from the start; a move reshapes it once the
    // frame that shows the move is on screen. With a compositor only the input is shaped.
    void shapeFollowsTheThumbnails_data()
    {
        QTest::addColumn<bool>("compositor");
        QTest::newRow("no compositor: only thumbnails are drawn") << false;
        QTest::newRow("compositor: the window stays whole") << true;
    }

    void shapeFollowsTheThumbnails()
    {
        QFETCH(bool, compositor);
        Fixture f;
        f.windowing.compositor = compositor;
        PanelShape shape(&f.windowing);
        shape.attach(&f.view);
        const QRegion before =
            thumbnailAt(QRect(10, 40, 230, 100)) + thumbnailAt(QRect(10, 155, 230, 100));
        QCOMPARE(f.windowing.inputRegions, QList<QRegion>{before});
        QCOMPARE(f.windowing.visibleRegions,
                 QList<std::optional<QRegion>>{compositor ? std::nullopt
                                                          : std::optional<QRegion>(before)});

        f.item("second")->setY(175);
        shape.refresh();
        const QList<std::optional<QRegion>> unswapped = f.windowing.visibleRegions;
        Q_EMIT f.view.frameSwapped();

        QTRY_COMPARE(shape.inputRegion(), shape.visibleThumbnails());
        QVERIFY(shape.visibleThumbnails() != before);
        QCOMPARE(shape.compositing(), compositor);
        if (compositor) {
            QCOMPARE(f.windowing.visibleRegions, QList<std::optional<QRegion>>{std::nullopt});
        } else {
            QCOMPARE(unswapped.last(), std::optional<QRegion>(before));
            QCOMPARE(f.windowing.visibleRegions.last(),
                     std::optional<QRegion>(shape.visibleThumbnails()));
        }
    }

    void rapidMovesAreThrottledButTheLastOneArrives()
    {
        Fixture f;
        PanelShape shape(&f.windowing);
        shape.attach(&f.view);
        const int before = f.windowing.inputRegions.size();

        for (int i = 1; i <= 20; ++i) {
            f.item("second")->setY(155 + i);
            shape.refresh();
        }

        QTRY_COMPARE(shape.inputRegion(),
                     thumbnailAt(QRect(10, 40, 230, 100)) + thumbnailAt(QRect(10, 175, 230, 100)));
        QVERIFY(f.windowing.inputRegions.size() - before <= 3);

        // An unchanged region is not sent again.
        const int settled = f.windowing.inputRegions.size();
        shape.refresh();
        shape.refresh();
        QTest::qWait(2 * PanelShape::InputThrottleMs);
        QCOMPARE(f.windowing.inputRegions.size(), settled);
    }

    void compositorComingAndGoingReshapesTheWindow()
    {
        Fixture f;
        PanelShape shape(&f.windowing);
        shape.attach(&f.view);
        QVERIFY(f.windowing.visibleRegions.last().has_value());

        QSignalSpy changed(&shape, &PanelShape::compositingChanged);

        f.windowing.compositor = true;
        QTRY_VERIFY_WITH_TIMEOUT(!f.windowing.visibleRegions.last().has_value(),
                                 3 * PanelShape::CompositorCheckMs);
        QCOMPARE(changed.size(), 1);
        QVERIFY(shape.compositing());

        f.windowing.compositor = false;
        QTRY_VERIFY_WITH_TIMEOUT(f.windowing.visibleRegions.last().has_value(),
                                 3 * PanelShape::CompositorCheckMs);
        QCOMPARE(*f.windowing.visibleRegions.last(), shape.visibleThumbnails());
    }
};

QTEST_MAIN(PanelShapeTest)
#include "PanelShapeTest.moc"
