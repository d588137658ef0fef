#include "capture/DesktopGeometry.h"
#include "capture/DesktopPicture.h"

#include <QPainter>
#include <QTest>

namespace {

// Two screens side by side as Qt places them for LEFT=1 and RIGHT=2 on a 3840x1080 X screen:
// the right one starts where its device pixels start and is half as large in logical pixels.
DesktopGeometry mixedScales()
{
    return DesktopGeometry({{QStringLiteral("LEFT"), QRect(0, 0, 1920, 1080), 1.0},
                            {QStringLiteral("RIGHT"), QRect(1920, 0, 960, 540), 2.0}});
}

QImage filled(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class DesktopGeometryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mapsLogicalToDevicePixels_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QRect>("logical");
        QTest::addColumn<QRect>("device");

        QTest::newRow("scale 1") << 0 << QRect(10, 20, 30, 40) << QRect(10, 20, 30, 40);
        QTest::newRow("scale 2, from its corner")
            << 1 << QRect(1920, 0, 960, 540) << QRect(1920, 0, 1920, 1080);
        QTest::newRow("scale 2, inside") << 1 << QRect(1930, 5, 10, 10) << QRect(1940, 10, 20, 20);
    }

    void mapsLogicalToDevicePixels()
    {
        QFETCH(int, screen);
        QFETCH(QRect, logical);
        QFETCH(QRect, device);

        const DesktopGeometry desktop = mixedScales();

        QCOMPARE(desktop.toDevice(screen, logical), device);
        QCOMPARE(desktop.fromDevice(device), logical);
    }

    void splitsAreasAtScreenEdges()
    {
        const DesktopGeometry desktop = mixedScales();

        const auto pieces = desktop.pieces(QRect(1900, 100, 40, 10));

        QCOMPARE(pieces.size(), 2);
        QCOMPARE(pieces[0].logical, QRect(1900, 100, 20, 10));
        QCOMPARE(pieces[0].device, QRect(1900, 100, 20, 10));
        QCOMPARE(pieces[1].logical, QRect(1920, 100, 20, 10));
        QCOMPARE(pieces[1].device, QRect(1920, 200, 40, 20));
        QCOMPARE(desktop.bounds(), QRect(0, 0, 2880, 1080));
        QVERIFY(!desktop.touchesScreens(QRect(2000, 600, 100, 100))); // below RIGHT: a gap
        QVERIFY(!desktop.touchesScreens(QRect(-50, 0, 50, 50)));
        QVERIFY(desktop.touchesScreens(QRect(-50, 0, 51, 50)));
        QCOMPARE(desktop.screenAt(QPoint(2000, 10)), 1);
        QCOMPARE(desktop.screenAt(QPoint(2870, 900)), 1); // off every screen: the nearest
        QCOMPARE(desktop.screenAt(QPoint(2000, 900)), 0);
    }

    // An X screen split into monitors still lists the whole output as a monitor of its own.
    void leavesOutScreensHoldingOthers()
    {
        const DesktopGeometry desktop({{QStringLiteral("screen"), QRect(0, 0, 3840, 1080), 1.0},
                                       {QStringLiteral("LEFT"), QRect(0, 0, 1920, 1080), 1.0},
                                       {QStringLiteral("RIGHT"), QRect(1920, 0, 960, 540), 2.0},
                                       {QStringLiteral("MIRROR"), QRect(0, 0, 1920, 1080), 1.0}});

        QCOMPARE(desktop.screens().size(), 2);
        QCOMPARE(desktop.screens()[0].name, QStringLiteral("LEFT"));
        QCOMPARE(desktop.bounds(), QRect(0, 0, 2880, 1080));
    }

    // All screens at the highest scale: the scale-1 screen is doubled smoothly, the scale-2
    // one keeps its pixels, and the gap below the smaller screen is transparent.
    void composesMixedScalesWithTransparentGaps()
    {
        const DesktopGeometry desktop = mixedScales();
        QImage right(1920, 1080, QImage::Format_RGB32);
        right.fill(Qt::blue);
        right.setPixelColor(1, 1, Qt::red); // one device pixel of its own
        DesktopPicture picture;
        picture.parts = {{desktop.screens()[0].geometry, filled(QSize(1920, 1080), Qt::green)},
                         {desktop.screens()[1].geometry, right}};

        const QImage all = picture.compose(desktop.bounds());

        QCOMPARE(all.size(), QSize(5760, 2160));
        QCOMPARE(all.devicePixelRatio(), 2.0);
        QCOMPARE(all.pixelColor(100, 100), QColor(Qt::green));
        QCOMPARE(all.pixelColor(3840 + 1, 1), QColor(Qt::red));
        QCOMPARE(all.pixelColor(3840 + 2, 1), QColor(Qt::blue));
        QCOMPARE(all.pixelColor(4000, 1500).alpha(), 0);
        QCOMPARE(picture.colourAt(QPointF(1920.75, 0.5)), QColor(Qt::red));
        QVERIFY(!picture.colourAt(QPointF(2000, 900)).isValid());
    }

    void composesAPartAtItsOwnPixels()
    {
        DesktopPicture picture;
        QImage left = filled(QSize(1920, 1080), Qt::white);
        QPainter(&left).fillRect(QRect(100, 50, 10, 10), Qt::black);
        picture.parts = {{QRect(0, 0, 1920, 1080), left}};

        const QImage part = picture.compose(QRect(95, 45, 20, 20));

        QCOMPARE(part.size(), QSize(20, 20));
        QCOMPARE(part.format(), QImage::Format_RGB32); // wholly on a screen: opaque
        QCOMPARE(part.pixelColor(4, 4), QColor(Qt::white));
        QCOMPARE(part.pixelColor(5, 5), QColor(Qt::black));
        QCOMPARE(part.pixelColor(14, 14), QColor(Qt::black));
        QCOMPARE(part.pixelColor(15, 15), QColor(Qt::white));
        QVERIFY(picture.compose(QRect(2000, 0, 10, 10)).isNull());
    }
};

QTEST_MAIN(DesktopGeometryTest)
#include "DesktopGeometryTest.moc"
