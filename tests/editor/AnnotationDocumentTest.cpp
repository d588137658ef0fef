#include "editor/document/AnnotationDocument.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

Annotation box()
{
    Annotation record = Annotation::create(DrawingTool::Rectangle, {10, 10}, Qt::red);
    record.points.append({50, 50});
    return record;
}

Annotation text(const QString &content)
{
    Annotation record = Annotation::createText({100, 100}, Qt::blue, false, "DejaVu Sans", 24);
    record.textPayload = content;
    return record;
}

using Edit =
    std::function<void(AnnotationDocument &, const Annotation &shape, const Annotation &note)>;

} // namespace

Q_DECLARE_METATYPE(Edit)

class AnnotationDocumentTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Undo takes back the newest addition whose record is still there; what went another
    // way (a blank text dropped, Clear) is no step any more.
    void undoTakesBackTheNewestAdditionStillThere()
    {
        AnnotationDocument document;
        const Annotation first = box();
        const Annotation blank = text(QStringLiteral("  "));
        document.add(first);
        document.add(blank);
        document.removeBlankTexts();

        QVERIFY(document.undo());
        QVERIFY(document.list().isEmpty());
        QVERIFY(!document.undo());

        const Annotation cleared = box();
        document.add(cleared);
        document.clear();
        QVERIFY(document.undo()); // Clear is a step of its own
        QCOMPARE(document.list(), QList<Annotation>{cleared});
        QVERIFY(document.undo());

        const Annotation kept = text(QStringLiteral("note"));
        const Annotation drawn = box();
        document.add(kept);
        document.beginDrawing(drawn);
        document.commitDrawing(); // a committed drawing is an addition like any other
        QVERIFY(document.undo());
        QCOMPARE(document.list(), QList<Annotation>{kept});
    }

    // Every kind of edit is one step: undone, the list is as before; redone, as after;
    // and it goes back and forth as often as asked.
    void everyEditIsUndoneAndRedone_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::newRow("add") << Edit(
            [](AnnotationDocument &d, const Annotation &, const Annotation &) { d.add(box()); });
        QTest::newRow("draw") << Edit(
            [](AnnotationDocument &d, const Annotation &, const Annotation &) {
                d.beginDrawing(box());
                d.extendDrawing({80, 90});
                d.commitDrawing();
            });
        QTest::newRow("move") << Edit(
            [](AnnotationDocument &d, const Annotation &shape, const Annotation &) {
                d.update(shape.id, [](Annotation &r) { r.points = {{20, 20}, {60, 60}}; });
            });
        QTest::newRow("restyle") << Edit(
            [](AnnotationDocument &d, const Annotation &shape, const Annotation &) {
                d.update(shape.id, [](Annotation &r) {
                    r.color = Qt::green;
                    r.lineWidth = 12;
                });
            });
        QTest::newRow("text style")
            << Edit([](AnnotationDocument &d, const Annotation &, const Annotation &note) {
                   d.update(note.id, [](Annotation &r) { r.fontSize = 40; });
               });
        QTest::newRow("typing") << Edit(
            [](AnnotationDocument &d, const Annotation &, const Annotation &note) {
                d.editText(note.id, QStringLiteral("note!"));
                d.editText(note.id, QStringLiteral("note!!"));
            });
        QTest::newRow("drag") << Edit(
            [](AnnotationDocument &d, const Annotation &shape, const Annotation &) {
                Annotation moved = shape;
                for (int step = 1; step <= 3; ++step) {
                    moved.points = {{10.0 + step, 10}, {50.0 + step, 50}};
                    d.show(moved);
                }
                d.finishShowing(shape);
            });
        QTest::newRow("delete") << Edit([](AnnotationDocument &d, const Annotation &shape,
                                           const Annotation &) { d.remove(shape.id); });
        QTest::newRow("crop") << Edit(
            [](AnnotationDocument &d, const Annotation &, const Annotation &) {
                d.setCrop(QRectF(10, 10, 100, 50));
            });
        QTest::newRow("clear") << Edit(
            [](AnnotationDocument &d, const Annotation &, const Annotation &) { d.clear(); });
    }

    void everyEditIsUndoneAndRedone()
    {
        QFETCH(Edit, edit);
        AnnotationDocument document;
        const auto state = [&document] { return std::pair(document.list(), document.crop()); };
        const Annotation shape = box();
        const Annotation note = text(QStringLiteral("note"));
        document.add(shape);
        document.add(note);
        document.endTextSession();
        const auto before = state();

        edit(document, shape, note);
        const auto after = state();

        QVERIFY(after != before);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(document.undo());
            QVERIFY(state() == before);
            QVERIFY(document.redo());
            QVERIFY(state() == after);
        }
        QVERIFY(!document.redo());
        QVERIFY(document.undo());
        QVERIFY(document.undo());
        QVERIFY(document.undo());
        QVERIFY(document.list().isEmpty());
        QVERIFY(!document.undo());
    }

    // A new edit after an undo drops what could have been redone.
    void aNewEditDropsTheRedoSteps()
    {
        AnnotationDocument document;
        const Annotation first = box();
        const Annotation second = box();
        const Annotation third = box();
        document.add(first);
        document.add(second);
        QVERIFY(document.undo());
        QVERIFY(document.canRedo());

        document.add(third);

        QVERIFY(!document.canRedo());
        QVERIFY(!document.redo());
        QCOMPARE(document.list(), (QList<Annotation>{first, third}));
    }

    // Typing into a box that was just added belongs to its addition; a later session of the
    // same box is a step of its own, whatever number of keys it took.
    void typingIsOneStepPerEditingSession()
    {
        AnnotationDocument document;
        const Annotation note = text(QString());
        document.add(note);
        document.editText(note.id, QStringLiteral("h"));
        document.editText(note.id, QStringLiteral("hi"));
        document.endTextSession();
        document.editText(note.id, QStringLiteral("hi "));
        document.editText(note.id, QStringLiteral("hi there"));

        QVERIFY(document.undo());
        QCOMPARE(document.find(note.id)->textPayload, std::optional<QString>(QStringLiteral("hi")));
        QVERIFY(document.undo());
        QVERIFY(document.list().isEmpty());
        QVERIFY(document.redo());
        QCOMPARE(document.find(note.id)->textPayload, std::optional<QString>(QStringLiteral("hi")));
        QVERIFY(document.redo());
        QCOMPARE(document.find(note.id)->textPayload,
                 std::optional<QString>(QStringLiteral("hi there")));
    }

    // Deleting and Clear put each record back at its own row, with the others around it.
    void removalsComeBackAtTheirRows()
    {
        AnnotationDocument document;
        const QList<Annotation> records{box(), text(QStringLiteral("a")), box(), box()};
        for (const Annotation &record : records)
            document.add(record);

        document.remove(records.at(1).id);
        document.remove(records.at(2).id);
        document.clear();
        QVERIFY(document.undo());
        QVERIFY(document.undo());
        QVERIFY(document.undo());

        QCOMPARE(document.list(), records);
    }

    // Steps are numbered in list order: deleting one renumbers the later ones, and taking
    // the deletion back restores every number.
    void stepsAreNumberedInOrder()
    {
        AnnotationDocument document;
        QList<QUuid> steps;
        for (int i = 0; i < 3; ++i) {
            const Annotation step = Annotation::create(DrawingTool::Step, {10.0 * i, 10}, Qt::red);
            steps.append(step.id);
            document.add(step);
            document.add(box()); // other kinds take no number
        }
        const auto numbers = [&document, &steps] {
            QList<int> found;
            for (const QUuid &id : steps)
                found.append(document.find(id) ? document.find(id)->stepNumber : 0);
            return found;
        };
        QCOMPARE(numbers(), (QList<int>{1, 2, 3}));

        document.remove(steps.at(0));
        QCOMPARE(numbers(), (QList<int>{0, 1, 2}));
        document.undo();
        QCOMPARE(numbers(), (QList<int>{1, 2, 3}));
        document.clear();
        document.undo();
        QCOMPARE(numbers(), (QList<int>{1, 2, 3}));
        document.redo();
        document.undo();
        document.remove(steps.at(1));
        QCOMPARE(numbers(), (QList<int>{1, 0, 2}));
    }

    // A selection may outlive its record; it then selects nothing.
    void theSelectedRecordMustStillBeThere()
    {
        AnnotationDocument document;
        const Annotation note = text(QStringLiteral("note"));
        document.add(note);
        QSignalSpy changed(&document, &AnnotationDocument::selectionChanged);

        document.select(note.id);
        document.select(note.id);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(document.selectedRecord(), document.find(note.id));
        QCOMPARE(document.selectedIdString(), note.id.toString(QUuid::WithoutBraces));

        document.undo();
        QCOMPARE(document.selection(), std::optional<QUuid>(note.id));
        QCOMPARE(document.selectedRecord(), nullptr);
    }

    void removeIfBlankTextLeavesEverythingElse()
    {
        AnnotationDocument document;
        const Annotation shape = box();
        const Annotation blank = text(QString());
        const Annotation written = text(QStringLiteral("x"));
        for (const Annotation &record : {shape, blank, written})
            document.add(record);

        document.removeIfBlankText(shape.id);
        document.removeIfBlankText(written.id);
        document.removeIfBlankText(blank.id);

        QCOMPARE(document.list(), (QList<Annotation>{shape, written}));
    }
};

QTEST_MAIN(AnnotationDocumentTest)
#include "AnnotationDocumentTest.moc"
