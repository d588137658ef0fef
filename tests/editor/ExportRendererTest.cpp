#include "editor/render/ExportRenderer.h"
#include "editor/SystemColors.h"
#include "text/ContrastingTextColor.h"
#include "text/FontLookup.h"

#include <QFontDatabase>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
const QColor plain(200, 220, 240);

// Busy pixels: any resampling or shift changes them.
QImage noise(QSize pixels, double density = 1)
{
    QImage image(pixels, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000 | random.bounded(0x1000000);
    }
    image.setDevicePixelRatio(density);
    return image;
}

QImage filled(QSize pixels, const QColor &colour = plain, double density = 1)
{
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(colour);
    image.setDevicePixelRatio(density);
    return image;
}

Annotation shape(DrawingTool type, const QList<QPointF> &points, const QColor &colour = Qt::red,
                 double lineWidth = 4)
{
    Annotation a = Annotation::create(type, points.value(0), colour);
    a.points = points;
    a.lineWidth = lineWidth;
    return a;
}

Annotation text(QPointF topLeft, const QString &content, const QColor &colour, bool plate,
                const QString &font = QStringLiteral("DejaVu Sans"), double size = 24)
{
    Annotation a = Annotation::createText(topLeft, colour, plate, font, size);
    a.textPayload = content;
    return a;
}

Annotation image(QPointF centre, const QImage &picture, double scale = 1)
{
    Annotation a = Annotation::create(DrawingTool::DroppedImage, centre, Qt::red);
    a.imagePayload = picture;
    a.imageScale = scale;
    return a;
}

bool close(QRgb pixel, const QColor &colour, int tolerance = 12)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

QString describe(QRgb pixel)
{
    return QColor(pixel).name();
}

int countClose(const QImage &picture, const QRect &area, const QColor &colour, int tolerance = 12)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += close(picture.pixel(x, y), colour, tolerance) ? 1 : 0;
    return count;
}

QImage rendered(const QImage &capture, QSizeF viewSize, const QList<Annotation> &annotations)
{
    const Result<QImage> result = ExportRenderer::render(capture, viewSize, annotations);
    if (!result.ok())
        qWarning("render failed: %s", qPrintable(result.error()));
    return result.ok() ? result.value() : QImage();
}

} // namespace

class ExportRendererTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void captureUnchangedWithoutCrossing_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<double>("density");
        QTest::addColumn<QSizeF>("viewSize");
        QTest::addColumn<QList<Annotation>>("annotations");

        QTest::newRow("nothing drawn")
            << QSize(400, 300) << 1.0 << QSizeF(400, 300) << QList<Annotation>{};
        // A capture of a 2x screen keeps its own pixels, whatever the screen's scale now.
        QTest::newRow("2x capture")
            << QSize(800, 600) << 2.0 << QSizeF(400, 300) << QList<Annotation>{};
        QTest::newRow("2x capture, odd pixels, shown smaller")
            << QSize(801, 601) << 2.0 << QSizeF(200, 150) << QList<Annotation>{};
        QTest::newRow("one-point records draw nothing")
            << QSize(400, 300) << 1.0 << QSizeF(400, 300)
            << QList<Annotation>{
                   shape(DrawingTool::Pen, {{50, 50}}), shape(DrawingTool::Rectangle, {{100, 50}}),
                   shape(DrawingTool::Line, {{150, 50}}), shape(DrawingTool::Arrow, {{200, 50}})};
        QTest::newRow("records without payloads draw nothing")
            << QSize(400, 300) << 1.0 << QSizeF(400, 300)
            << QList<Annotation>{Annotation::create(DrawingTool::Text, {50, 50}, Qt::red),
                                 Annotation::create(DrawingTool::DroppedImage, {90, 90}, Qt::red),
                                 shape(DrawingTool::Pan, {{10, 10}, {60, 60}}),
                                 shape(DrawingTool::Pointer, {{10, 60}, {60, 10}})};
    }

    void captureUnchangedWithoutCrossing()
    {
        QFETCH(QSize, pixels);
        QFETCH(double, density);
        QFETCH(QSizeF, viewSize);
        QFETCH(QList<Annotation>, annotations);
        const QImage capture = noise(pixels, density);

        const QImage out = rendered(capture, viewSize, annotations);

        QCOMPARE(out.size(), capture.size());
        QCOMPARE(out.devicePixelRatio(), density);
        QCOMPARE(out.deviceIndependentSize(), capture.deviceIndependentSize());
        QVERIFY(out.convertToFormat(capture.format()) == capture);
    }

    void canvasBounds_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<double>("density");
        QTest::addColumn<QSizeF>("viewSize");
        QTest::addColumn<QList<Annotation>>("annotations");
        QTest::addColumn<QRect>("canvas"); // in capture pixels

        const QSize capture(400, 300);
        const QSizeF view(400, 300);
        // Right edge 410 + half the width 2, then the margin: 52 more.
        QTest::newRow("stroke 10 past the right edge")
            << capture << 1.0 << view
            << QList<Annotation>{shape(DrawingTool::Pen, {{300, 150}, {350, 150}, {410, 150}})}
            << QRect(0, 0, 452, 300);
        QTest::newRow("across the left edge")
            << capture << 1.0 << view
            << QList<Annotation>{shape(DrawingTool::Pen, {{-10, 100}, {50, 100}})}
            << QRect(-52, 0, 452, 300);
        QTest::newRow("across the top edge")
            << capture << 1.0 << view
            << QList<Annotation>{shape(DrawingTool::Line, {{100, -5}, {100, 50}})}
            << QRect(0, -47, 400, 347);
        // sx = 2: y 310 lands at 620, plus 1.5·2.
        QTest::newRow("below the bottom, shown at half size")
            << QSize(800, 600) << 1.0 << QSizeF(400, 300)
            << QList<Annotation>{shape(DrawingTool::Line, {{100, 290}, {100, 310}}, Qt::red, 3)}
            << QRect(0, 0, 800, 663);
        QTest::newRow("a one-point record counts")
            << capture << 1.0 << view << QList<Annotation>{shape(DrawingTool::Line, {{410, 100}})}
            << QRect(0, 0, 452, 300);
        QTest::newRow("a pan record counts too")
            << capture << 1.0 << view << QList<Annotation>{shape(DrawingTool::Pan, {{-20, -20}})}
            << QRect(-62, -62, 462, 362);
        // The wings of a tip at y = 10 reach 10.5 up, then half the width: -2.5.
        QTest::newRow("arrow wing beside the tip")
            << capture << 1.0 << view
            << QList<Annotation>{shape(DrawingTool::Arrow, {{100, 10}, {300, 10}})}
            << QRect(0, -43, 400, 343);
        // Pointing left, the wings reach 21·cos 30° behind the tip at 380: 400.19 with the
        // half width.
        QTest::newRow("arrow wings behind the tip")
            << capture << 1.0 << view
            << QList<Annotation>{shape(DrawingTool::Arrow, {{390, 150}, {380, 150}})}
            << QRect(0, 0, 441, 300);
        // 2x: 452.3 points are 904.6 pixels, -52.3 are -104.6: outward to whole pixels.
        QTest::newRow("fractions snap outward")
            << QSize(800, 600) << 2.0 << QSizeF(400, 300)
            << QList<Annotation>{shape(DrawingTool::Pen, {{100, 100}, {410.3, 100}}),
                                 shape(DrawingTool::Pen, {{-10.3, 50}, {20, 50}})}
            << QRect(-105, 0, 905 + 105, 600);
        QTest::newRow("dropped image at its scale")
            << capture << 1.0 << view
            << QList<Annotation>{image({390, 150}, filled(QSize(100, 50)), 2)}
            << QRect(0, 0, 530, 300);
        // A 2x image of 100 x 50 pixels is 50 x 25 points.
        QTest::newRow("dropped 2x image around the corner")
            << capture << 1.0 << view
            << QList<Annotation>{image({0, 0}, filled(QSize(100, 50), Qt::blue, 2))}
            << QRect(-65, -53, 465, 353);
        QTest::newRow("inside: no margin")
            << capture << 1.0 << view
            << QList<Annotation>{shape(DrawingTool::Rectangle, {{2, 2}, {398, 298}})}
            << QRect(0, 0, 400, 300);
    }

    void canvasBounds()
    {
        QFETCH(QSize, pixels);
        QFETCH(double, density);
        QFETCH(QSizeF, viewSize);
        QFETCH(QList<Annotation>, annotations);
        QFETCH(QRect, canvas);

        const Result<ExportRenderer::Canvas> plan =
            ExportRenderer::plan(pixels, density, viewSize, annotations);

        QVERIFY2(plan.ok(), qPrintable(plan.error()));
        QCOMPARE(plan.value().pixels, canvas);
        QCOMPARE(plan.value().density, density);
    }

    void refusedCanvases_data()
    {
        QTest::addColumn<QSizeF>("viewSize");
        QTest::addColumn<QList<Annotation>>("annotations");

        const QSizeF view(400, 300);
        QTest::newRow("wider than 32767 pixels")
            << view << QList<Annotation>{shape(DrawingTool::Pen, {{0, 0}, {40000, 0}})};
        QTest::newRow("taller than 32767 pixels")
            << view << QList<Annotation>{shape(DrawingTool::Line, {{0, 0}, {0, -40000}})};
        QTest::newRow("more than 2^28 pixels")
            << view << QList<Annotation>{shape(DrawingTool::Line, {{0, 0}, {16900, 16900}})};
        QTest::newRow("infinite point")
            << view << QList<Annotation>{shape(DrawingTool::Pen, {{0, 0}, {infinity, 0}})};
        QTest::newRow("NaN point")
            << view << QList<Annotation>{shape(DrawingTool::Pen, {{0, 0}, {10, notANumber}})};
        QTest::newRow("infinite width")
            << view
            << QList<Annotation>{shape(DrawingTool::Line, {{0, 0}, {10, 10}}, Qt::red, infinity)};
        QTest::newRow("text too large for any picture")
            << view
            << QList<Annotation>{text({10, 10}, QStringLiteral("A"), Qt::red, false,
                                      QStringLiteral("DejaVu Sans"), 1e9)};
        QTest::newRow("view so small the scale is infinite")
            << QSizeF(1e-320, 1e-320) << QList<Annotation>{};
    }

    void refusedCanvases()
    {
        QFETCH(QSizeF, viewSize);
        QFETCH(QList<Annotation>, annotations);

        const Result<QImage> result =
            ExportRenderer::render(noise({400, 300}), viewSize, annotations);

        QVERIFY(!result.ok());
        QVERIFY(!result.error().isEmpty());
        QVERIFY(!result.error().contains(QStringLiteral("CRITICAL")));
    }

    void largestCanvasIsMade()
    {
        // Exactly 32767 wide: 32727 + the margin.
        const QList<Annotation> annotations{
            shape(DrawingTool::Pen, {{0, 10}, {32727, 10}}, Qt::red, 0)};

        const QImage out = rendered(filled({400, 300}), {400, 300}, annotations);

        QCOMPARE(out.size(), QSize(32767, 300));
    }

    void viewSizeNotLaidOut_data()
    {
        QTest::addColumn<QSizeF>("viewSize");
        QTest::newRow("zero") << QSizeF(0, 0);
        QTest::newRow("zero width") << QSizeF(0, 300);
        QTest::newRow("negative height") << QSizeF(400, -1);
        QTest::newRow("NaN") << QSizeF(notANumber, 300);
    }

    void viewSizeNotLaidOut()
    {
        QFETCH(QSizeF, viewSize);

        const Result<QImage> result = ExportRenderer::render(
            noise({400, 300}), viewSize, {shape(DrawingTool::Pen, {{0, 0}, {10, 10}})});

        QVERIFY(!result.ok());
        QCOMPARE(result.error(),
                 QStringLiteral("CRITICAL: Canvas size is zero. The view size was not captured."));
    }

    // The crop keeps only its rectangle, in whole pixels of the capture's density, and cuts
    // what lies outside it; a crop beside the picture is refused.
    void cropCutsThePicture()
    {
        const QImage capture = noise(QSize(800, 600), 2); // 400 x 300 points
        Annotation line = Annotation::create(DrawingTool::Line, {0, 100}, Qt::red);
        line.points.append({400, 100});

        const Result<QImage> cut =
            ExportRenderer::render(capture, QSizeF(400, 300), {line}, QRectF(100.2, 50, 100, 100));
        const Result<QImage> outside =
            ExportRenderer::render(capture, QSizeF(400, 300), {line}, QRectF(1000, 50, 10, 10));

        QVERIFY(cut.ok());
        QCOMPARE(cut.value().size(), QSize(201, 200));
        QCOMPARE(cut.value().devicePixelRatio(), 2.0);
        QCOMPARE(cut.value().pixel(50, 20), capture.pixel(250, 120));
        QVERIFY(close(cut.value().pixel(100, 100), Qt::red));
        QVERIFY(!outside.ok());
    }

    void strokePastTheRightEdge()
    {
        const QImage capture = noise({400, 300});
        const QImage out =
            rendered(capture, {400, 300}, {shape(DrawingTool::Pen, {{300, 150}, {410, 150}})});

        QCOMPARE(out.size(), QSize(452, 300));
        // The capture still starts at x = 0, untouched away from the stroke.
        QVERIFY(out.copy(0, 0, 400, 140).convertToFormat(capture.format()) ==
                capture.copy(0, 0, 400, 140));
        QVERIFY2(close(out.pixel(405, 150), Qt::red), qPrintable(describe(out.pixel(405, 150))));
        // The new strip is the backdrop.
        const QRgb strip = out.pixel(440, 50);
        QVERIFY2(close(strip, SystemColors::underPageBackground(), 0), qPrintable(describe(strip)));
        // Beyond the stroke's round end (412) the strip is all backdrop, and so is all of it
        // away from the stroke's row.
        const QColor backdrop = SystemColors::underPageBackground();
        QCOMPARE(countClose(out, QRect(413, 0, 39, 300), backdrop, 0), 39 * 300);
        QCOMPARE(countClose(out, QRect(400, 0, 52, 140), backdrop, 0), 52 * 140);
    }

    void crossingLeftAndTopShiftsTheCapture_data()
    {
        QTest::addColumn<double>("density");
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<QPoint>("offset"); // pixels
        QTest::newRow("left") << 1.0 << QList<QPointF>{{-10, 100}, {50, 100}} << QPoint(52, 0);
        QTest::newRow("top") << 1.0 << QList<QPointF>{{100, -10}, {100, 50}} << QPoint(0, 52);
        QTest::newRow("both") << 1.0 << QList<QPointF>{{-10, -10}, {50, 50}} << QPoint(52, 52);
        // 52.3 points at 2x: 104.6 pixels, taken out to 105 so no pixel is resampled.
        QTest::newRow("fractional margin at 2x")
            << 2.0 << QList<QPointF>{{-10.3, 100}, {50, 100}} << QPoint(105, 0);
    }

    void crossingLeftAndTopShiftsTheCapture()
    {
        QFETCH(double, density);
        QFETCH(QList<QPointF>, points);
        QFETCH(QPoint, offset);
        const QImage capture = noise(QSize(400, 300) * density, density);

        const QImage out = rendered(capture, {400, 300}, {shape(DrawingTool::Line, points)});

        QCOMPARE(out.size(), capture.size() + QSize(offset.x(), offset.y()));
        // The capture's far corner, away from the line, pixel for pixel at the offset.
        const QRect far(QPoint(200, 150) * density, QSize(200, 150) * density);
        QVERIFY(out.copy(far.translated(offset)).convertToFormat(capture.format()) ==
                capture.copy(far));
        if (offset.x() > 0 && offset.y() > 0)
            QVERIFY(close(out.pixel(5, 5), SystemColors::underPageBackground(), 0));
    }

    void lengthsScaleWithTheView()
    {
        // A 1440 x 900 capture shown at 720 x 450: sx = 2.
        const QImage capture = filled({1440, 900});
        const QList<Annotation> annotations{
            shape(DrawingTool::Line, {{100, 100}, {200, 100}}, Qt::red, 3),
            shape(DrawingTool::Arrow, {{100, 300}, {300, 300}}, Qt::red, 3),
        };

        const QImage out = rendered(capture, {720, 450}, annotations);

        QCOMPARE(out.size(), QSize(1440, 900));
        // The line lands at y = 200 and is 6 wide: 197..202.
        QCOMPARE(countClose(out, QRect(300, 190, 1, 20), Qt::red, 40), 6);
        // The arrowhead is 2·(3·1.5 + 15) = 39 long: its wing ends at 39 from the tip
        // (600, 600), 30 degrees off the shaft.
        const auto along = [](double fraction) {
            return QPoint(int(std::round(600 - fraction * 39 * std::cos(M_PI / 6))),
                          int(std::round(600 - fraction * 39 * std::sin(M_PI / 6))));
        };
        QVERIFY2(close(out.pixel(along(0.9)), Qt::red, 40),
                 qPrintable(describe(out.pixel(along(0.9)))));
        QVERIFY2(close(out.pixel(along(1.2)), plain), qPrintable(describe(out.pixel(along(1.2)))));
    }

    void aTranslucentStrokeThatDoublesBackBlendsOnce()
    {
        const QColor halfRed(255, 0, 0, 128);
        const QImage out =
            rendered(filled({400, 300}, Qt::white), {400, 300},
                     {shape(DrawingTool::Pen, {{100, 100}, {200, 100}, {100, 101}}, halfRed, 6)});

        // Half red over white once, not twice where the stroke covers itself.
        QVERIFY2(close(out.pixel(150, 100), QColor(255, 127, 127), 6),
                 qPrintable(describe(out.pixel(150, 100))));
    }

    void textOnAPlate_data()
    {
        QTest::addColumn<QColor>("plate");
        QTest::addColumn<QColor>("ink");
        QTest::newRow("yellow") << QColor(Qt::yellow) << QColor(Qt::black);
        QTest::newRow("blue") << QColor(Qt::blue) << QColor(Qt::white);
        QTest::newRow("red") << QColor(Qt::red) << QColor(Qt::white);
    }

    void textOnAPlate()
    {
        QFETCH(QColor, plate);
        QFETCH(QColor, ink);
        QCOMPARE(contrastingTextColor(plate), ink);
        const QImage capture = filled({400, 300});

        const QImage out =
            rendered(capture, {400, 300}, {text({50, 50}, QStringLiteral("Hello"), plate, true)});

        QCOMPARE(out.size(), capture.size());
        // The plate: its corner is rounded off (radius 8), its edge is filled.
        QVERIFY(close(out.pixel(50, 50), plain));
        QVERIFY(close(out.pixel(51, 70), plate));
        QVERIFY(close(out.pixel(70, 51), plate));
        const QRect box(50, 50, 120, 45);
        QVERIFY(countClose(out, box, ink, 40) > 40);
        QVERIFY(countClose(out, box, plate) > 120 * 45 / 2);
    }

    void textWithoutPlate_data()
    {
        QTest::addColumn<QString>("font");
        QTest::newRow("installed") << QStringLiteral("DejaVu Sans");
        QTest::newRow("unknown: the system font stands in") << QStringLiteral("No Such Font 4e1f");
    }

    void textWithoutPlate()
    {
        QFETCH(QString, font);
        const QImage out =
            rendered(filled({400, 300}), {400, 300},
                     {text({50, 50}, QStringLiteral("Hello"), Qt::red, false, font)});

        QVERIFY(countClose(out, QRect(50, 50, 120, 45), Qt::red, 40) > 40);
        // No plate: the capture shows between the letters and around them.
        QVERIFY(close(out.pixel(52, 52), plain));
        QVERIFY(close(out.pixel(58, 58), plain));
        QVERIFY(countClose(out, QRect(50, 50, 120, 45), plain) > 120 * 45 / 2);
    }

    void fontLookup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("installed family") << QStringLiteral("DejaVu Sans") << true;
        QTest::newRow("any case") << QStringLiteral("dejavu sans") << true;
        QTest::newRow("unknown") << QStringLiteral("Wingdings Deluxe 9") << false;
        QTest::newRow("empty") << QString() << false;
        // Generic names resolve only to a default, which is not the font that was named.
        QTest::newRow("generic") << QStringLiteral("sans-serif") << false;
    }

    void fontLookup()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);

        const std::optional<QString> family = FontLookup::resolvedFamily(name);

        QCOMPARE(family.has_value(), found);
        if (family)
            QVERIFY(QFontDatabase::families().contains(*family, Qt::CaseInsensitive));
    }

    void plateCrossingTheEdgesIsWhole()
    {
        // sx = 2: the box is the text plus 16·2 on each axis; the canvas must hold all of
        // it, with the whole margin beyond it.
        const QImage out =
            rendered(filled({800, 600}), {400, 300},
                     {text({370, 275}, QStringLiteral("Wide text"), Qt::blue, true)});
        QVERIFY(out.width() > 800 && out.height() > 600);

        const int row = 550 + 16; // below the rounded corners
        int right = -1;
        for (int x = 0; x < out.width(); ++x)
            right = close(out.pixel(x, row), Qt::blue) ? x : right;
        const int column = 740 + 16;
        int bottom = -1;
        for (int y = 0; y < out.height(); ++y)
            bottom = close(out.pixel(column, y), Qt::blue) ? y : bottom;

        // The plate's last pixel, then 40 points of backdrop (one pixel of rounding).
        QVERIFY2(std::abs(out.width() - 1 - right - 40) <= 1,
                 qPrintable(QStringLiteral("plate ends at %1 of %2").arg(right).arg(out.width())));
        QVERIFY2(
            std::abs(out.height() - 1 - bottom - 40) <= 1,
            qPrintable(QStringLiteral("plate ends at %1 of %2").arg(bottom).arg(out.height())));
    }

    void listOrderIsStackingOrder_data()
    {
        QTest::addColumn<bool>("textLast");
        QTest::addColumn<QColor>("seen");
        QTest::newRow("text added after the stroke covers it") << true << QColor(Qt::green);
        QTest::newRow("stroke added after the text covers it") << false << QColor(Qt::red);
    }

    void listOrderIsStackingOrder()
    {
        QFETCH(bool, textLast);
        QFETCH(QColor, seen);
        const Annotation stroke = shape(DrawingTool::Line, {{20, 100}, {380, 100}}, Qt::red, 10);
        const Annotation plate = text({100, 80}, QStringLiteral("Cover"), Qt::green, true);

        const QImage out = rendered(filled({400, 300}), {400, 300},
                                    textLast ? QList<Annotation>{stroke, plate}
                                             : QList<Annotation>{plate, stroke});

        QVERIFY2(close(out.pixel(104, 100), seen), qPrintable(describe(out.pixel(104, 100))));
    }

    void droppedImageAtItsRectangle_data()
    {
        QTest::addColumn<double>("captureDensity");
        QTest::addColumn<double>("imageDensity");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QRect>("covered"); // output pixels
        QTest::newRow("1x into 1x, doubled") << 1.0 << 1.0 << 2.0 << QRect(80, 90, 40, 20);
        QTest::newRow("2x image is half the points") << 1.0 << 2.0 << 1.0 << QRect(90, 95, 20, 10);
        QTest::newRow("1x image into a 2x capture") << 2.0 << 1.0 << 1.0 << QRect(180, 190, 40, 20);
    }

    void droppedImageAtItsRectangle()
    {
        QFETCH(double, captureDensity);
        QFETCH(double, imageDensity);
        QFETCH(double, scale);
        QFETCH(QRect, covered);
        const QImage capture =
            filled((QSizeF(400, 300) * captureDensity).toSize(), plain, captureDensity);
        const QImage picture =
            filled((QSizeF(20, 10) * imageDensity).toSize(), Qt::blue, imageDensity);

        const QImage out = rendered(capture, {400, 300}, {image({100, 100}, picture, scale)});

        QCOMPARE(out.size(), capture.size());
        QCOMPARE(countClose(out, covered, Qt::blue), covered.width() * covered.height());
        QCOMPARE(countClose(out, covered.adjusted(-2, -2, 2, 2), Qt::blue),
                 covered.width() * covered.height());
    }
};

QTEST_MAIN(ExportRendererTest)
#include "ExportRendererTest.moc"
