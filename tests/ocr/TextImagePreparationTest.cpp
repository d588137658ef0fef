#include "ocr/TextImagePreparation.h"

#include <QPainter>
#include <QTest>

class TextImagePreparationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scale_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("scale");

        QTest::newRow("a screen at one pixel to a point") << QSize(1920, 1080) << 1.0 << 2;
        QTest::newRow("a screen at two") << QSize(3840, 2160) << 2.0 << 1;
        QTest::newRow("a screen at 1.5") << QSize(2880, 1620) << 1.5 << 2;
        QTest::newRow("a screen at three is never shrunk") << QSize(5760, 3240) << 3.0 << 1;
        QTest::newRow("no ratio counts as one") << QSize(800, 600) << 0.0 << 2;
        QTest::newRow("too large to enlarge") << QSize(4000, 3000) << 1.0 << 1;
        QTest::newRow("just small enough") << QSize(3000, 3000) << 1.0 << 2;
    }

    void scale()
    {
        QFETCH(QSize, size);
        QFETCH(qreal, ratio);
        QFETCH(int, scale);

        QCOMPARE(TextImagePreparation::scaleFor(size, ratio), scale);
    }

    // Each area's text comes out dark on light, whatever its polarity on the screen, and
    // the picture is grey and enlarged as asked.
    void polarity_data()
    {
        QTest::addColumn<QColor>("ground");
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<int>("scale");

        QTest::newRow("dark on light") << QColor(240, 240, 240) << QColor(20, 20, 20) << 1;
        QTest::newRow("light on dark") << QColor(30, 30, 36) << QColor(235, 235, 235) << 1;
        QTest::newRow("light on blue, enlarged") << QColor(30, 60, 160) << QColor(Qt::white) << 2;
        QTest::newRow("see-through ground shows white")
            << QColor(0, 0, 0, 0) << QColor(Qt::black) << 3;
    }

    void polarity()
    {
        QFETCH(QColor, ground);
        QFETCH(QColor, ink);
        QFETCH(int, scale);
        // The other half has the opposite polarity: each half is turned for itself.
        QImage picture(128, 64, QImage::Format_ARGB32);
        picture.fill(ground);
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(64, 0, 64, 64, Qt::white);
        painter.fillRect(10, 20, 30, 4, ink);
        painter.fillRect(74, 20, 30, 4, Qt::black);
        painter.end();

        const QImage prepared = TextImagePreparation::prepare(picture, scale);

        QCOMPARE(prepared.format(), QImage::Format_Grayscale8);
        QCOMPARE(prepared.size(), picture.size() * scale);
        const auto grey = [&](int x, int y) {
            return qGray(prepared.pixel(x * scale + scale / 2, y * scale + scale / 2));
        };
        QVERIFY2(grey(50, 50) > 160, "the ground is light");
        QVERIFY2(grey(20, 21) < 100, "the ink is dark");
        QVERIFY(grey(120, 50) > 160);
        QVERIFY(grey(80, 21) < 100);
    }

    void nullPictureGivesNull() { QVERIFY(TextImagePreparation::prepare(QImage(), 2).isNull()); }
};

QTEST_GUILESS_MAIN(TextImagePreparationTest)
#include "TextImagePreparationTest.moc"
