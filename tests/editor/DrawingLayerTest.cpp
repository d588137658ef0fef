#include "editor/DrawingLayer.h"
#include "editor/EditorFixture.h"

#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <cmath>

namespace {

bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
}

bool isBlue(QRgb p)
{
    return qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80;
}

bool isWhite(QRgb p)
{
    return qRed(p) > 245 && qGreen(p) > 245 && qBlue(p) > 245;
}

/** A white window showing only a drawing layer over a 1000 x 500 canvas area. */
struct LayerWindow
{
    explicit LayerWindow(QSizeF area = QSizeF(1000, 500)) : f(QSize(1600, 1200), area)
    {
        window.setColor(Qt::white);
        window.resize(area.toSize());
        layer = new DrawingLayer(window.contentItem());
        layer->setSize(area);
        layer->setEditor(f.state.get());
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }

    void resize(QSizeF area)
    {
        window.resize(area.toSize());
        layer->setSize(area);
        f.state->viewport()->setAreaSize(area);
    }

    QImage grab() { return window.grabWindow().convertToFormat(QImage::Format_RGB32); }
    /// The frame once the committed picture is the exact one for the current view.
    QImage settledGrab()
    {
        grab();
        if (!QTest::qWaitFor([this] { return layer->isSettled(); }, 20000))
            return {};
        return grab();
    }
    QRgb at(const QImage &image, QPointF canvasPoint) const
    {
        const QPoint p = f.state->viewport()->canvasToView(canvasPoint).toPoint();
        return image.pixel(p);
    }

    EditorFixture f;
    QQuickWindow window;
    DrawingLayer *layer = nullptr;
    bool exposed = false;
};

Annotation record(DrawingTool type, QList<QPointF> points, QColor color)
{
    Annotation a = Annotation::create(type, points.takeFirst(), color);
    a.points.append(points);
    return a;
}

// The vertical extent of the non-white run crossing row y0 in column x.
int thicknessAt(const QImage &image, int x, int y0)
{
    int top = y0, bottom = y0;
    while (top > 0 && !isWhite(image.pixel(x, top - 1)))
        --top;
    while (bottom + 1 < image.height() && !isWhite(image.pixel(x, bottom + 1)))
        ++bottom;
    return bottom - top + 1;
}

} // namespace

class DrawingLayerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boxOutlineWithAnEmptyInside()
    {
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        // Drawn from the bottom-right corner to the top-left.
        w.f.state->document()->add(
            record(DrawingTool::Rectangle, {{300, 200}, {250, 20}, {100, 50}}, Qt::red));

        const QImage image = w.grab();

        QVERIFY(isRed(w.at(image, QPointF(200, 50))));     // top edge
        QVERIFY(isRed(w.at(image, QPointF(200, 200))));    // bottom edge
        QVERIFY(isRed(w.at(image, QPointF(100, 125))));    // left edge
        QVERIFY(isRed(w.at(image, QPointF(300, 125))));    // right edge
        QVERIFY(isRed(w.at(image, QPointF(100.5, 50.5)))); // a mitred corner is filled
        QVERIFY(isWhite(w.at(image, QPointF(200, 125))));  // inside
        QVERIFY(isWhite(w.at(image, QPointF(200, 35))));   // outside, above
        QVERIFY(isWhite(w.at(image, QPointF(250, 20))));   // the middle sample plays no part
    }

    void strokeWidthFollowsTheZoom()
    {
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        const QPointF centre(w.f.state->viewport()->viewSize().width() / 2,
                             w.f.state->viewport()->viewSize().height() / 2);
        w.f.state->document()->add(record(
            DrawingTool::Pen, {centre - QPointF(150, 0), centre + QPointF(150, 0)}, Qt::red));

        const int atOne = thicknessAt(w.grab(), 450, 250);
        w.f.state->viewport()->pinchStep(2);
        // At once the picture made at zoom 1 stands in, scaled; then the exact one lands.
        QVERIFY(isRed(w.grab().pixel(500 - 250, 250)));
        const QImage zoomed = w.settledGrab();
        QVERIFY(!zoomed.isNull());
        const int atTwo = thicknessAt(zoomed, 450, 250);

        QVERIFY2(atOne >= 4 && atOne <= 5, qPrintable(QString::number(atOne)));
        QVERIFY2(atTwo >= 8 && atTwo <= 9, qPrintable(QString::number(atTwo)));
        // The canvas centre stays at the layer's centre.
        QVERIFY(isRed(zoomed.pixel(500, 250)));
        QVERIFY(isRed(zoomed.pixel(500 - 290, 250)));
        QVERIFY(isWhite(zoomed.pixel(500 - 310, 250)));
    }

    // A drawn shape moved by a drag (shown at each step, then one step of the history)
    // is drawn at its new place, between the records below and above it, and nowhere at
    // its old one; later edits keep it so.
    void aMovedRecordIsDrawnAtItsNewPlaceInItsOrder_data()
    {
        QTest::addColumn<int>("then");
        QTest::newRow("the move alone") << 0;
        QTest::newRow("then the record below restyled") << 1;
        QTest::newRow("then a record added") << 2;
        QTest::newRow("then the move undone") << 3;
        QTest::newRow("then the move undone and redone") << 4;
    }

    void aMovedRecordIsDrawnAtItsNewPlaceInItsOrder()
    {
        QFETCH(int, then);
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        AnnotationDocument &d = *w.f.state->document();
        const Annotation below = record(DrawingTool::Line, {{100, 100}, {100, 400}}, Qt::blue);
        const Annotation moving = record(DrawingTool::Ellipse, {{50, 120}, {350, 180}}, Qt::red);
        const Annotation above = record(DrawingTool::Line, {{200, 100}, {200, 400}}, Qt::blue);
        d.add(below);
        d.add(moving);
        d.add(above);
        w.grab();

        // A frame at each step of the drag, 100 down in all.
        for (int step = 1; step <= 4; ++step) {
            Annotation shown = moving;
            shown.points = {{50, 120 + 25.0 * step}, {350, 180 + 25.0 * step}};
            d.show(shown);
            w.grab();
        }
        d.finishShowing(moving);
        if (then == 1)
            d.update(below.id, [](Annotation &a) { a.color = Qt::green; });
        else if (then == 2)
            d.add(record(DrawingTool::Line, {{300, 50}, {300, 60}}, Qt::blue));
        else if (then >= 3)
            d.undo();
        if (then == 4)
            d.redo();
        const QImage image = w.grab();

        const double top = then == 3 ? 120 : 220;
        const double old = then == 3 ? 220 : 120;
        QVERIFY(isRed(w.at(image, QPointF(50, top + 30)))); // its left end
        QVERIFY(isRed(w.at(image, QPointF(150, top + 58))));
        // Over the record below it, under the one above it.
        QVERIFY(isRed(w.at(image, QPointF(100, top + 30 - 22.4))));
        QVERIFY(isBlue(w.at(image, QPointF(200, top))));
        // Gone from where it was.
        QVERIFY(isWhite(w.at(image, QPointF(150, old + 1))));
        QVERIFY(isWhite(w.at(image, QPointF(250, old + 1))));
        const QRgb lower = w.at(image, QPointF(100, 390));
        QVERIFY(then == 1 ? qGreen(lower) > 100 && qRed(lower) < 80 && qBlue(lower) < 80
                          : isBlue(lower));
    }

    // What the layer shows after changes drawn in place is what it shows when the same
    // records are drawn all at once.
    void changesInPlaceMatchAWholeRender_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("a box moved") << 0;
        QTest::newRow("a redaction moved off a mosaic's side") << 1;
        QTest::newRow("a redaction added beside a mosaic") << 2;
        QTest::newRow("a stroke deleted, a step renumbered") << 3;
        QTest::newRow("a highlighter restyled under a box") << 4;
        QTest::newRow("an ellipse and a slanted arrow moved") << 5;
        QTest::newRow("a box dragged in steps under a later text plate") << 6;
        QTest::newRow("the same, then another record restyled") << 7;
        // From the second step on, with the pictures around it made on the worker.
        QTest::newRow("a box dragged under a later text plate, pictures ready") << 8;
        QTest::newRow("an ellipse dragged clear of every view, pictures ready") << 9;
        // Made when the box is selected: its first change already comes from them.
        QTest::newRow("a box selected, then dragged under a later text plate") << 10;
    }

    void changesInPlaceMatchAWholeRender()
    {
        QFETCH(int, change);
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        AnnotationDocument &d = *w.f.state->document();
        // The mosaic's left side lies on the capture's dark quarter (top-left), where the
        // solid redaction beside it hides part of what the mosaic reads.
        const QPointF corner(w.f.state->viewport()->viewSize().width() / 2,
                             w.f.state->viewport()->viewSize().height() / 2);
        Annotation mosaic = record(
            DrawingTool::Redact, {corner + QPointF(1, -60), corner + QPointF(60, -20)}, Qt::black);
        mosaic.pixelate = true;
        Annotation highlighter = record(DrawingTool::Highlighter,
                                        {{60, 60}, {300, 300}, {60, 300}, {300, 60}}, Qt::yellow);
        const Annotation box = record(DrawingTool::Rectangle, {{100, 100}, {250, 250}}, Qt::red);
        const Annotation stroke = record(DrawingTool::Pen, {{50, 420}, {600, 430}}, Qt::blue);
        const Annotation step1 = record(DrawingTool::Step, {{650, 100}}, Qt::red);
        const Annotation step2 = record(DrawingTool::Step, {{700, 100}}, Qt::blue);
        const Annotation solid =
            record(DrawingTool::Redact, {corner + QPointF(-40, -70), corner + QPointF(-0.5, -10)},
                   Qt::red);
        const Annotation ellipse =
            record(DrawingTool::Ellipse, {{120, 320}, {420, 480}}, QColor(0, 160, 0));
        const Annotation arrow = record(DrawingTool::Arrow, {{20, 480}, {600, 30}}, Qt::magenta);
        for (const Annotation &a : {highlighter, box, mosaic, stroke, step1, step2, ellipse, arrow})
            d.add(a);
        // A plate over the box's path, added after it.
        d.add(textRecord({150, 130}, QStringLiteral("Over"), Qt::darkBlue, true));
        if (change == 1)
            d.add(solid);
        w.grab();

        if (change == 0) {
            Annotation moved = box;
            moved.points = {{160, 130}, {330, 330}};
            d.show(moved);
            d.finishShowing(box);
        } else if (change == 1) {
            Annotation moved = solid;
            moved.points = {corner + QPointF(200, 100), corner + QPointF(240, 130)};
            d.show(moved);
            d.finishShowing(solid);
        } else if (change == 2) {
            d.add(solid);
        } else if (change == 3) {
            d.remove(stroke.id);
            d.remove(step1.id);
        } else if (change == 4) {
            d.update(highlighter.id, [](Annotation &a) { a.color = Qt::green; });
        } else if (change >= 6) {
            const Annotation &dragged = change == 9 ? ellipse : box;
            if (change == 10) {
                d.select(box.id);
                w.grab();
                QVERIFY(QTest::qWaitFor([&w] { return w.layer->isSettled(); }, 20000));
            }
            for (int step = 1; step <= 5; ++step) {
                Annotation moved = dragged;
                moved.points = {dragged.points.first() + QPointF(15 * step, 9 * step),
                                dragged.points.last() + QPointF(15 * step, 9 * step)};
                d.show(moved);
                w.grab();
                if ((change == 8 || change == 9) && step == 1)
                    QVERIFY(QTest::qWaitFor([&w] { return w.layer->isSettled(); }, 20000));
            }
            d.finishShowing(dragged);
            if (change == 7)
                d.update(ellipse.id, [](Annotation &a) { a.color = Qt::cyan; });
        } else {
            for (const Annotation &a : {ellipse, arrow}) {
                Annotation moved = a;
                moved.points = {a.points.first() + QPointF(37, -21),
                                a.points.last() + QPointF(37, -21)};
                d.show(moved);
                w.grab();
                d.finishShowing(a);
            }
        }
        const QImage shown = w.grab();

        LayerWindow fresh;
        QVERIFY(fresh.f.ready && fresh.exposed);
        for (const Annotation &a : d.list())
            fresh.f.state->document()->add(a);
        const QImage whole = fresh.grab();
        QCOMPARE(shown.size(), whole.size());
        int differing = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb a = shown.pixel(x, y), b = whole.pixel(x, y);
                if (std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))}) > 2)
                    ++differing;
            }
        }
        QCOMPARE(differing, 0);
    }

    void theRecordBeingDrawnLiesOverTheCommittedOnes()
    {
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        EditorState &s = *w.f.state;
        s.document()->add(record(DrawingTool::Line, {{200, 100}, {200, 400}}, Qt::blue));
        s.tools()->setCurrentTool(DrawingTool::Line);

        s.pressCanvas(s.viewport()->canvasToView(QPointF(100, 250)));
        s.moveCanvas(s.viewport()->canvasToView(QPointF(300, 250)));
        const QImage drawing = w.grab();
        s.releaseCanvas(s.viewport()->canvasToView(QPointF(300, 250)));
        const QImage committed = w.grab();

        QVERIFY(isRed(w.at(drawing, QPointF(200, 250))));
        QVERIFY(isBlue(w.at(drawing, QPointF(200, 150))));
        QVERIFY(isRed(w.at(committed, QPointF(200, 250))));
        QVERIFY(isBlue(w.at(committed, QPointF(200, 150))));
        QVERIFY(isRed(w.at(committed, QPointF(280, 250))));
    }

    // The live stroke grows a segment per sample; it must look as if stroked whole.
    void growingStrokeLooksLikeTheWholePath_data()
    {
        QTest::addColumn<QColor>("color");

        QTest::newRow("opaque") << QColor(Qt::red);
        QTest::newRow("half transparent, crossing itself") << QColor(255, 0, 0, 128);
    }

    void growingStrokeLooksLikeTheWholePath()
    {
        QFETCH(QColor, color);
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        EditorState &s = *w.f.state;
        s.document()->add(record(DrawingTool::Arrow, {{50, 50}, {600, 450}}, Qt::blue));
        s.tools()->setColor(color);
        // A loop that crosses itself, sampled finely, rendered every few samples.
        s.pressCanvas(s.viewport()->canvasToView(QPointF(300, 250)));
        for (int i = 1; i <= 120; ++i) {
            const double t = i * 0.06;
            s.moveCanvas(s.viewport()->canvasToView(
                QPointF(300 + 150 * std::sin(2 * t), 250 + 120 * std::sin(t) + i * 0.3)));
            if (i % 7 == 0)
                w.grab();
        }

        const auto compareWithWholePath = [&](const QImage &shown) {
            QImage whole(shown.size(), QImage::Format_RGB32);
            whole.fill(Qt::white);
            QPainter painter(&whole);
            DrawingLayer::paintAll(painter, s);
            painter.end();
            int differing = 0, strokePixels = 0, worst = 0;
            for (int y = 0; y < shown.height(); ++y) {
                for (int x = 0; x < shown.width(); ++x) {
                    const QRgb a = shown.pixel(x, y), b = whole.pixel(x, y);
                    const int diff =
                        std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
                    worst = std::max(worst, diff);
                    strokePixels += isWhite(b) ? 0 : 1;
                    differing += diff > 24 ? 1 : 0;
                }
            }
            // Only antialiased edge pixels where two segments meet may differ a little.
            return strokePixels > 5000 && differing * 100 < strokePixels && worst < 100
                       ? QString()
                       : QStringLiteral("%1 of %2 differ, worst by %3")
                             .arg(differing)
                             .arg(strokePixels)
                             .arg(worst);
        };

        const QString whileDrawn = compareWithWholePath(w.grab());
        QVERIFY2(whileDrawn.isEmpty(), qPrintable(whileDrawn));
        // Committed, it is copied from the live picture into the committed one.
        s.releaseCanvas(s.viewport()->canvasToView(QPointF(300, 250)));
        const QString committed = compareWithWholePath(w.grab());
        QVERIFY2(committed.isEmpty(), qPrintable(committed));
        QCOMPARE(s.document()->records()->count(), 2);
    }

    void textAndImageRecordsAreNotStroked()
    {
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        Annotation text = record(DrawingTool::Text, {{100, 100}, {300, 300}}, Qt::red);
        text.textPayload = QStringLiteral("hello");
        Annotation image = record(DrawingTool::DroppedImage, {{200, 200}, {400, 100}}, Qt::red);
        image.imagePayload = QImage(10, 10, QImage::Format_RGB32);
        w.f.state->document()->add(text);
        w.f.state->document()->add(image);

        const QImage shown = w.grab();

        for (int y = 0; y < shown.height(); y += 3) {
            for (int x = 0; x < shown.width(); x += 3)
                QVERIFY(isWhite(shown.pixel(x, y)));
        }
    }

    void panUndoAndResizeRedraw()
    {
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        EditorState &s = *w.f.state;
        s.document()->add(record(DrawingTool::Line, {{100, 100}, {500, 100}}, Qt::red));
        s.document()->add(record(DrawingTool::Line, {{100, 300}, {500, 300}}, Qt::blue));
        const QPoint onRed = s.viewport()->canvasToView(QPointF(300, 100)).toPoint();
        QVERIFY(isRed(w.grab().pixel(onRed)));

        s.viewport()->wheelPan(QSizeF(0, 40));
        for (const QImage &panned : {w.grab(), w.settledGrab()}) {
            QVERIFY(isWhite(panned.pixel(onRed)));
            QVERIFY(isRed(panned.pixel(onRed + QPoint(0, 40))));
        }

        s.document()->records()->removeLast();
        QVERIFY(!isBlue(w.grab().pixel(s.viewport()->canvasToView(QPointF(300, 300)).toPoint())));

        // Twice the area: canvas space is stretched onto the new fit, strokes with it.
        w.resize(QSizeF(2000, 1000));
        const QImage large = w.settledGrab();
        QVERIFY(!large.isNull());
        const QPointF red = s.viewport()->canvasToView(QPointF(300, 100));
        QVERIFY(std::abs(red.x() - (1000 + 2 * (300 - 2000.0 / 6))) < 0.01);
        QVERIFY(isRed(large.pixel(red.toPoint())));
        QCOMPARE(thicknessAt(large, red.toPoint().x(), red.toPoint().y()) >= 8, true);
    }

    void hugeZoomStillDraws()
    {
        LayerWindow w;
        QVERIFY(w.f.ready && w.exposed);
        EditorState &s = *w.f.state;
        const QPointF centre(s.viewport()->viewSize().width() / 2,
                             s.viewport()->viewSize().height() / 2);
        s.document()->add(record(DrawingTool::Pen,
                                 {centre - QPointF(100, 0), centre, centre + QPointF(100, 1)},
                                 Qt::red));
        s.document()->add(record(DrawingTool::Rectangle,
                                 {centre - QPointF(50, 50), centre + QPointF(50, 50)}, Qt::blue));

        for (double zoom : {1e4, 1e9, 1e15}) {
            s.viewport()->pinchStep(zoom / s.viewport()->zoomScale());
            const QImage shown = w.settledGrab();
            QVERIFY(!shown.isNull());
            QVERIFY2(isRed(shown.pixel(500, 250)), qPrintable(QString::number(zoom)));
        }
    }
};

QTEST_MAIN(DrawingLayerTest)
#include "DrawingLayerTest.moc"
