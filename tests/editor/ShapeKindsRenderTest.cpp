#include "editor/render/ExportRenderer.h"
#include "editor/render/ShapeRaster.h"

#include <QPainter>
#include <QTest>

namespace {

const QSize canvas(400, 300);

Annotation shape(DrawingTool type, QList<QPointF> points, const QColor &colour)
{
    Annotation record = Annotation::create(type, points.first(), colour);
    record.points = points;
    return record;
}

// The shapes as the drawing layer shows them (canvas space on the area one to one), laid
// over white.
QImage onScreen(const QList<Annotation> &records)
{
    RasterTarget target;
    target.view = CanvasGeometry::makeView(QSizeF(canvas), QSizeF(canvas), QSizeF(canvas), 1, {});
    target.ratio = 1;
    target.pixels = canvas;
    QImage picture(canvas, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawImage(0, 0, ShapeRaster::render(records, target));
    return picture;
}

QImage exported(const QList<Annotation> &records)
{
    QImage capture(canvas, QImage::Format_RGB32);
    capture.fill(Qt::white);
    const Result<QImage> picture = ExportRenderer::render(capture, QSizeF(canvas), records);
    return picture.ok() ? picture.value() : QImage();
}

bool close(QRgb pixel, const QColor &colour, int tolerance = 16)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

using Probes = QList<std::pair<QPoint, QColor>>;

} // namespace

class ShapeKindsRenderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each new kind, by the same path builders, on screen and in the saved picture.
    void drawnAlikeOnScreenAndInTheExport_data()
    {
        QTest::addColumn<QList<Annotation>>("records");
        QTest::addColumn<Probes>("probes");
        const QColor red(255, 0, 0);
        // Red at 40% over white.
        const QColor highlight(255, 153, 153);
        QTest::newRow("ellipse: its outline, not its box's corner nor its inside")
            << QList<Annotation>{shape(DrawingTool::Ellipse, {{100, 100}, {300, 200}}, red)}
            << Probes{{{200, 100}, red},
                      {{100, 150}, red},
                      {{200, 150}, Qt::white},
                      {{104, 104}, Qt::white}};
        QTest::newRow("highlighter: translucent, three widths wide")
            << QList<Annotation>{shape(DrawingTool::Highlighter, {{50, 150}, {350, 150}}, red)}
            << Probes{{{200, 150}, highlight}, {{200, 153}, highlight}, {{200, 160}, Qt::white}};
        // The stroke crosses itself at (200, 150): no darker there than along one pass.
        QTest::newRow("highlighter: never darker where it crosses itself")
            << QList<Annotation>{shape(DrawingTool::Highlighter,
                                       {{100, 100}, {300, 200}, {300, 100}, {100, 200}}, red)}
            << Probes{{{200, 150}, highlight}, {{150, 125}, highlight}};
        QTest::newRow("highlighter under a later box")
            << QList<Annotation>{shape(DrawingTool::Highlighter, {{50, 150}, {350, 150}}, red),
                                 shape(DrawingTool::Rectangle, {{200, 100}, {300, 200}},
                                       QColor(0, 0, 255))}
            << Probes{{{200, 150}, QColor(0, 0, 255)}, {{150, 150}, highlight}};
        QTest::newRow("step: a filled circle with its number in contrasting text")
            << QList<Annotation>{shape(DrawingTool::Step, {{200, 150}}, QColor(0, 0, 255))}
            << Probes{{{216, 150}, QColor(0, 0, 255)},
                      {{200, 134}, QColor(0, 0, 255)},
                      {{223, 150}, Qt::white}};
    }

    void drawnAlikeOnScreenAndInTheExport()
    {
        QFETCH(QList<Annotation>, records);
        QFETCH(Probes, probes);

        const QImage screen = onScreen(records);
        const QImage saved = exported(records);

        QCOMPARE(saved.size(), canvas);
        for (const auto &[at, colour] : probes) {
            QVERIFY2(close(screen.pixel(at), colour),
                     qPrintable(QStringLiteral("screen at %1,%2: %3")
                                    .arg(at.x())
                                    .arg(at.y())
                                    .arg(QColor(screen.pixel(at)).name())));
            QVERIFY2(close(saved.pixel(at), colour),
                     qPrintable(QStringLiteral("export at %1,%2: %3")
                                    .arg(at.x())
                                    .arg(at.y())
                                    .arg(QColor(saved.pixel(at)).name())));
        }
    }

    // The number is drawn: a step numbered 1 and one numbered 8 differ inside the circle
    // and have the contrasting colour (white on blue) somewhere there.
    void theStepShowsItsNumber()
    {
        Annotation one = shape(DrawingTool::Step, {{200, 150}}, QColor(0, 0, 255));
        one.stepNumber = 1;
        Annotation eight = one;
        eight.stepNumber = 8;

        const QImage a = exported({one});
        const QImage b = exported({eight});

        int whiteInA = 0;
        int differing = 0;
        for (int y = 135; y <= 165; ++y) {
            for (int x = 185; x <= 215; ++x) {
                whiteInA += close(a.pixel(x, y), Qt::white, 40) ? 1 : 0;
                differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
            }
        }
        QVERIFY(whiteInA > 20);
        QVERIFY(differing > 20);
    }
};

QTEST_MAIN(ShapeKindsRenderTest)
#include "ShapeKindsRenderTest.moc"
