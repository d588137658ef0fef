#include "editor/EditorFixture.h"
#include "editor/render/ExportRenderer.h"

#include <QTest>

#include <memory>

namespace {

Annotation drawn(DrawingTool type, const QList<QPointF> &points, const QColor &colour,
                 double width = 4)
{
    Annotation record = Annotation::create(type, points.first(), colour);
    record.points = points;
    record.lineWidth = width;
    return record;
}

/** A second editor on the fixture's capture, as opening it again from the stack makes. */
struct Reopened
{
    Reopened(ScreenshotManager &manager, QSizeF area)
        : session(std::make_unique<EditorSession>(&manager, 0)),
          state(std::make_unique<EditorState>())
    {
        session->setOnClose([this] { ++closeRequests; });
        state->setSession(session.get());
        state->viewport()->setAreaSize(area);
        ready = QTest::qWaitFor([this] { return !session->image().isNull(); }, 10000);
    }

    std::unique_ptr<EditorSession> session;
    std::unique_ptr<EditorState> state;
    int closeRequests = 0;
    bool ready = false;
};

} // namespace

using Records = QList<Annotation>;
using Crop = std::optional<QRectF>;

class EditedCaptureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every kind of record comes back from the stack as it was saved, in canvas space as it
    // was drawn in (the window since laid out at another size), and the stack hands out the
    // picture "Save Edits" draws of them.
    void savedEditsComeBackAsTheyWere_data()
    {
        QTest::addColumn<Records>("records");
        QTest::addColumn<Crop>("crop");
        const QColor translucent(0, 128, 255, 140);
        QTest::newRow("pen") << Records{drawn(DrawingTool::Pen, {{10, 10}, {60, 40}, {90, 20}},
                                              translucent, 8)}
                             << Crop();
        QTest::newRow("highlighter")
            << Records{drawn(DrawingTool::Highlighter, {{30, 200}, {300, 210}}, Qt::yellow, 12)}
            << Crop();
        QTest::newRow("box") << Records{drawn(DrawingTool::Rectangle, {{50, 50}, {200, 150}},
                                              Qt::red, 12)}
                             << Crop();
        QTest::newRow("ellipse line arrow")
            << Records{drawn(DrawingTool::Ellipse, {{100, 100}, {180, 160}}, Qt::green, 2),
                       drawn(DrawingTool::Line, {{5, 300}, {400, 320}}, Qt::blue),
                       drawn(DrawingTool::Arrow, {{400, 20}, {250, 250}}, Qt::magenta, 8)}
            << Crop();
        QTest::newRow("steps") << Records{drawn(DrawingTool::Step, {{80, 80}}, Qt::red),
                                          drawn(DrawingTool::Step, {{160, 80}}, Qt::blue)}
                               << Crop();
        Annotation mosaic = drawn(DrawingTool::Redact, {{300, 300}, {420, 380}}, Qt::black);
        mosaic.pixelate = true;
        QTest::newRow("redactions")
            << Records{drawn(DrawingTool::Redact, {{20, 400}, {200, 450}}, QColor(40, 40, 40)),
                       mosaic}
            << Crop();
        QTest::newRow("text") << Records{textRecord({120, 240}, "Two\nlines", Qt::white, true)}
                              << Crop();
        QTest::newRow("inserted image") << Records{} << Crop();
        QTest::newRow("crop") << Records{drawn(DrawingTool::Rectangle, {{50, 50}, {200, 150}},
                                               Qt::red)}
                              << Crop(QRectF(10, 20, 300, 200));
    }

    void savedEditsComeBackAsTheyWere()
    {
        QFETCH(Records, records);
        QFETCH(Crop, crop);
        EditorFixture f;
        QVERIFY(f.ready);
        QTRY_VERIFY(!f.session->image().isNull());
        const QImage original = f.session->image();
        AnnotationDocument &document = *f.state->document();
        for (const Annotation &record : records)
            document.add(record);
        const bool withImage = records.isEmpty();
        if (withImage) {
            QImage inserted(40, 30, QImage::Format_ARGB32);
            inserted.fill(QColor(255, 0, 0, 200));
            inserted.setPixelColor(3, 4, Qt::blue);
            inserted.setDevicePixelRatio(2);
            Annotation image = Annotation::create(DrawingTool::DroppedImage, {300, 200}, Qt::red);
            image.imagePayload = inserted;
            image.imageScale = 1.5;
            document.addImage(image, inserted);
        }
        if (crop)
            document.setCrop(crop);
        const Records saved = document.list();
        const QSizeF canvas = f.state->viewport()->viewSize();

        QVERIFY(f.state->saveRenderedImage());

        // The original and an inserted picture are both kept compressed, nothing raw.
        QTRY_COMPARE(f.manager->store()->usage().compressedCount, withImage ? 2 : 1);
        QCOMPARE(f.manager->store()->usage().rawCount, 0);
        const Result<QImage> expected = ExportRenderer::render(original, canvas, saved, crop);
        QVERIFY(expected.ok());
        QCOMPARE(f.manager->imageAt(0), expected.value());
        Reopened again(*f.manager, QSizeF(800, 700));
        QVERIFY(again.ready);
        QCOMPARE(again.session->image(), original);
        QCOMPARE(again.state->viewport()->viewSize(), canvas);
        QCOMPARE(again.state->document()->list(), saved);
        QCOMPARE(again.state->document()->crop(), crop);
        QVERIFY(!again.state->document()->canUndo()); // a new editing session
        QVERIFY(!again.state->draftRestored());
        if (withImage) {
            const Annotation &image = again.state->document()->list().first();
            QCOMPARE(image.imagePayload->devicePixelRatio(), 2.0);
        }
    }

    // Escape keeps the edits as the capture's draft, and the next editor says so until its
    // first edit; Cancel throws them away, asking nothing; Save Edits makes them the saved
    // ones.
    void closingKeepsTheEditsUnlessCancelled_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("kept");
        QTest::addColumn<bool>("isDraft");
        QTest::newRow("escape") << "escape" << 2 << true;
        QTest::newRow("cancel") << "cancel" << 0 << false;
        QTest::newRow("save edits") << "save" << 2 << false;
    }

    void closingKeepsTheEditsUnlessCancelled()
    {
        QFETCH(QString, how);
        QFETCH(int, kept);
        QFETCH(bool, isDraft);
        EditorFixture f;
        QVERIFY(f.ready);
        QTRY_VERIFY(!f.session->image().isNull());
        EditorState &s = *f.state;
        s.document()->add(drawn(DrawingTool::Rectangle, {{50, 50}, {200, 150}}, Qt::red));
        s.document()->add(textRecord({120, 240}, "kept"));
        s.document()->add(textRecord({300, 240}, "  ")); // blank: never kept
        const int revision = f.manager->screenshots()->revisionAt(0);

        if (how == "escape")
            s.handleEscape(false);
        else if (how == "cancel")
            s.cancel();
        else
            QVERIFY(s.saveRenderedImage());

        QCOMPARE(f.closeRequests, 1);
        f.session.reset(); // the window goes: its session's closing is announced once only
        QCOMPARE(bool(f.manager->draft(f.manager->captureIdAt(0))), isDraft);
        if (how != "save") {
            QCOMPARE(f.manager->screenshots()->revisionAt(0), revision); // the stack unchanged
            QVERIFY(!f.manager->edits(f.manager->captureIdAt(0)));
        }
        Reopened again(*f.manager, QSizeF(1000, 500));
        QVERIFY(again.ready);
        EditorState &t = *again.state;
        QCOMPARE(t.document()->records()->count(), kept);
        QCOMPARE(t.draftRestored(), isDraft);
        if (isDraft) {
            QCOMPARE(t.document()->list().first().points, (QList<QPointF>{{50, 50}, {200, 150}}));
            // The draft stays a draft until saved: closing again unchanged keeps it.
            t.document()->add(drawn(DrawingTool::Line, {{5, 5}, {50, 50}}, Qt::blue));
            QVERIFY(!t.draftRestored());
        }
    }

    // An editor closed on the edits as they were saved (changed, then changed back) leaves
    // no draft.
    void closingOnTheSavedEditsLeavesNoDraft()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        QTRY_VERIFY(!f.session->image().isNull());
        f.state->document()->add(drawn(DrawingTool::Rectangle, {{50, 50}, {200, 150}}, Qt::red));
        QVERIFY(f.state->saveRenderedImage());
        const quint64 id = f.manager->captureIdAt(0);
        Reopened again(*f.manager, QSizeF(1000, 500));
        QVERIFY(again.ready);
        again.state->document()->clear();
        again.state->undo();

        again.session->close();

        QVERIFY(!f.manager->draft(id));
        QVERIFY(f.manager->edits(id));
    }

    // Revert to Original drops every record and the crop as one step, and only on an
    // edited capture; the stack shows the original once the edits are saved.
    void revertToOriginal()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        QTRY_VERIFY(!f.session->image().isNull());
        const QImage original = f.session->image();
        QVERIFY(!f.state->canRevert());
        f.state->document()->add(drawn(DrawingTool::Rectangle, {{50, 50}, {200, 150}}, Qt::red));
        f.state->document()->setCrop(QRectF(10, 10, 300, 300));
        QVERIFY(!f.state->canRevert()); // nothing saved yet: Undo and Clear are the way
        QVERIFY(f.state->saveRenderedImage());
        const quint64 id = f.manager->captureIdAt(0);
        Reopened again(*f.manager, QSizeF(1000, 500));
        QVERIFY(again.ready);
        EditorState &s = *again.state;
        const Records saved = s.document()->list();
        QVERIFY(s.canRevert());

        s.revertToOriginal();

        QCOMPARE(s.document()->records()->count(), 0);
        QCOMPARE(s.document()->crop(), std::nullopt);
        QVERIFY(!s.canRevert());
        QVERIFY(f.manager->edits(id)); // nothing changes on the stack before Save Edits
        s.undo();
        QCOMPARE(s.document()->list(), saved);
        QCOMPARE(s.document()->crop(), Crop(QRectF(10, 10, 300, 300)));
        QVERIFY(!s.document()->canUndo()); // it was one step
        s.redo();
        QVERIFY(s.saveRenderedImage());
        QVERIFY(!f.manager->edits(id));
        QCOMPARE(f.manager->imageAt(0), original);
        const QModelIndex row = f.manager->screenshots()->index(0);
        QTRY_COMPARE(row.data(CaptureListModel::PixelSizeRole).toSize(), original.size());
    }
};

QTEST_MAIN(EditedCaptureTest)
#include "EditedCaptureTest.moc"
