#include "editor/render/ExportRenderer.h"
#include "editor/render/ShapeRaster.h"

#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

namespace {

const QSize capturePixels(800, 600);
const QSizeF viewSize(400, 300); // two capture pixels a canvas unit

// Busy pixels from `salt`.
QImage noise(quint32 salt)
{
    QRandomGenerator random(salt);
    QImage image(capturePixels, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    return image;
}

Annotation redaction(QPointF a, QPointF b, bool pixelate, const QColor &colour = Qt::black)
{
    Annotation record = Annotation::create(DrawingTool::Redact, a, colour);
    record.points.append(b);
    record.pixelate = pixelate;
    return record;
}

// `base` with the capture pixels under every redaction of `records` replaced by others.
QImage differentUnder(const QImage &base, const QList<Annotation> &records)
{
    QImage changed = base.copy();
    const QImage other = noise(99);
    RedactionSource source;
    source.capture = base;
    source.canvasSize = viewSize;
    QPainter painter(&changed);
    for (const QRect &rect : Redaction::hiddenRects(records, source))
        painter.drawImage(rect, other, rect);
    return changed;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

QByteArray exported(const QImage &capture, const QList<Annotation> &records)
{
    const Result<QImage> picture = ExportRenderer::render(capture, viewSize, records);
    return picture.ok() ? png(picture.value()) : QByteArray();
}

// The editor's canvas as a user sees it: the capture scaled smoothly to the view, the
// drawing layer's picture over it.
QImage onScreen(const QImage &capture, const QList<Annotation> &records, double zoom)
{
    const QSizeF area(500, 400);
    RasterTarget target;
    target.view = CanvasGeometry::makeView(area, viewSize, viewSize, zoom, {17.3, -9.1});
    target.ratio = 1.25;
    target.pixels = (area * target.ratio).toSize();
    RedactionSource source;
    source.capture = capture;
    source.canvasSize = viewSize;
    source.hidden = Redaction::hiddenRects(records, source);
    QImage frame(target.pixels, QImage::Format_RGB32);
    frame.fill(Qt::gray);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(target.deviceTransform());
    painter.drawImage(QRectF(QPointF(0, 0), viewSize), capture);
    painter.resetTransform();
    painter.drawImage(0, 0, ShapeRaster::render(records, target, source));
    return frame;
}

} // namespace

class RedactionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two captures that differ only under the redactions give byte-identical pictures, in
    // either style: nothing of what lies under one reaches any pixel.
    void nothingUnderARedactionReachesThePicture_data()
    {
        QTest::addColumn<QList<Annotation>>("records");
        QTest::newRow("solid") << QList<Annotation>{redaction({50.3, 40.7}, {150.2, 90.6}, false)};
        QTest::newRow("solid in a translucent colour")
            << QList<Annotation>{redaction({50, 40}, {150, 90}, false, QColor(255, 0, 0, 60))};
        QTest::newRow("pixelate") << QList<Annotation>{
            redaction({50.3, 40.7}, {150.2, 90.6}, true)};
        QTest::newRow("pixelate beside another redaction") << QList<Annotation>{
            redaction({50, 40}, {150, 90}, true), redaction({150.5, 40}, {200, 120}, false)};
        QTest::newRow("pixelate past the capture's edge")
            << QList<Annotation>{redaction({350, 250}, {450, 350}, true)};
        QTest::newRow("pixelate over a translucent stroke") << QList<Annotation>{
            [] {
                Annotation pen = Annotation::create(DrawingTool::Highlighter, {40, 60}, Qt::red);
                pen.points.append({160, 70});
                return pen;
            }(),
            redaction({50, 40}, {150, 90}, true)};
    }

    void nothingUnderARedactionReachesThePicture()
    {
        QFETCH(QList<Annotation>, records);
        const QImage first = noise(1);
        const QImage second = differentUnder(first, records);
        QVERIFY(first != second);

        const QByteArray a = exported(first, records);
        const QByteArray b = exported(second, records);

        QVERIFY(!a.isEmpty());
        QVERIFY(a == b);
        // The redaction did cover something: without it the pictures differ.
        QVERIFY(exported(first, {}) != exported(second, {}));
    }

    // The same on screen, at a zoom and a device ratio that put the capture's pixels off
    // the screen's, where smoothing the capture could carry them past the rectangle.
    void nothingUnderARedactionIsShownOnScreen_data()
    {
        QTest::addColumn<bool>("pixelate");
        QTest::addColumn<double>("zoom");
        QTest::newRow("solid, zoomed in") << false << 3.7;
        QTest::newRow("pixelate, zoomed in") << true << 3.7;
        QTest::newRow("pixelate, zoomed out") << true << 0.61;
    }

    void nothingUnderARedactionIsShownOnScreen()
    {
        QFETCH(bool, pixelate);
        QFETCH(double, zoom);
        const QList<Annotation> records{redaction({120.3, 100.7}, {180.2, 150.6}, pixelate)};
        const QImage first = noise(1);
        const QImage second = differentUnder(first, records);

        QCOMPARE(onScreen(first, records, zoom), onScreen(second, records, zoom));
        QVERIFY(onScreen(first, {}, zoom) != onScreen(second, {}, zoom));
    }

    // The mosaic takes its colours from around the rectangle: over a capture that is one
    // colour outside it, the cells are that colour give or take the noise.
    void theMosaicIsMadeFromTheSurroundings()
    {
        QImage capture(capturePixels, QImage::Format_RGB32);
        capture.fill(QColor(200, 40, 90));
        const QRect rect(100, 100, 120, 60);
        QPainter(&capture).fillRect(rect, Qt::white);

        const QImage cells = Redaction::mosaic(capture, rect, {});

        QCOMPARE(cells.size(), QSize(10, 5));
        for (int y = 0; y < cells.height(); ++y) {
            for (int x = 0; x < cells.width(); ++x) {
                const QColor cell = cells.pixelColor(x, y);
                QVERIFY(std::abs(cell.red() - 200) <= 32 && std::abs(cell.green() - 40) <= 32 &&
                        std::abs(cell.blue() - 90) <= 32);
            }
        }
    }
};

QTEST_MAIN(RedactionTest)
#include "RedactionTest.moc"
