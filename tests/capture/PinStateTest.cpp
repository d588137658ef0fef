#include "capture/PinState.h"

#include <QSignalSpy>
#include <QTest>

class PinStateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Notches from the natural size: zoom by 1.1 each within 10%-800%, opacity by 5% each
    // within 20%-100%; the window's size follows the zoom in points.
    void wheelZoomsOrSetsTheOpacityWithinBounds_data()
    {
        QTest::addColumn<int>("notches");
        QTest::addColumn<bool>("control");
        QTest::addColumn<qreal>("zoom");
        QTest::addColumn<qreal>("opacity");

        QTest::newRow("one up") << 1 << false << 1.1 << 1.0;
        QTest::newRow("one down") << -1 << false << 1 / 1.1 << 1.0;
        QTest::newRow("far up stops at 800%") << 40 << false << 8.0 << 1.0;
        QTest::newRow("far down stops at 10%") << -40 << false << 0.1 << 1.0;
        QTest::newRow("ctrl down") << -2 << true << 1.0 << 0.9;
        QTest::newRow("ctrl far down stops at 20%") << -40 << true << 1.0 << 0.2;
        QTest::newRow("ctrl up stays at 100%") << 3 << true << 1.0 << 1.0;
    }

    void wheelZoomsOrSetsTheOpacityWithinBounds()
    {
        QFETCH(int, notches);
        QFETCH(bool, control);
        QFETCH(qreal, zoom);
        QFETCH(qreal, opacity);
        QImage image(800, 600, QImage::Format_RGB32);
        image.setDevicePixelRatio(2);
        PinState pin(7, image);

        for (int i = 0; i < std::abs(notches); ++i)
            pin.wheel(QPointF(0, notches > 0 ? 120 : -120), control);

        QVERIFY(qAbs(pin.zoom() - zoom) < 1e-9);
        QVERIFY(qAbs(pin.opacity() - opacity) < 1e-9);
        QVERIFY(qAbs(pin.size().width() - 400 * zoom) < 1e-6);
        QVERIFY(qAbs(pin.size().height() - 300 * zoom) < 1e-6);
    }

    // On a 1920x1080 screen right of another (x from 1920), with a 30-point panel at its top.
    void placementKeepsThePinOnThePointersScreen_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("placed");

        QTest::newRow("room for it: at the pointer")
            << QPoint(2000, 100) << QSize(400, 300) << QPoint(2000, 100);
        QTest::newRow("near the far corner: moved back onto the screen")
            << QPoint(3800, 1000) << QSize(400, 300) << QPoint(3440, 780);
        QTest::newRow("under the panel: moved below it")
            << QPoint(2500, 10) << QSize(400, 300) << QPoint(2500, 30);
        QTest::newRow("the whole screen's size: fills it")
            << QPoint(3000, 500) << QSize(1920, 1050) << QPoint(1920, 30);
        QTest::newRow("larger than the screen: from its top-left corner")
            << QPoint(3000, 500) << QSize(2560, 1440) << QPoint(1920, 30);
    }

    void placementKeepsThePinOnThePointersScreen()
    {
        QFETCH(QPoint, pointer);
        QFETCH(QSize, size);
        QFETCH(QPoint, placed);

        QCOMPARE(PinState::placement(pointer, size, QRect(1920, 30, 1920, 1050)), placed);
    }

    void backToTheNaturalSizeExactly()
    {
        PinState pin(1, QImage(100, 100, QImage::Format_RGB32));
        QSignalSpy zooms(&pin, &PinState::zoomChanged);

        for (int i = 0; i < 5; ++i)
            pin.wheel(QPointF(0, 120), false);
        for (int i = 0; i < 5; ++i)
            pin.wheel(QPointF(0, -120), false);

        QCOMPARE(pin.zoom(), 1.0);
        QCOMPARE(zooms.size(), 10);
    }
};

QTEST_APPLESS_MAIN(PinStateTest)
#include "PinStateTest.moc"
