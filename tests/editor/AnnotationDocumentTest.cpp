#include "editor/document/AnnotationDocument.h"

#include <QSignalSpy>
#include <QTest>

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

} // namespace

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

        document.add(box());
        document.clear();
        QVERIFY(!document.undo());

        const Annotation kept = text(QStringLiteral("note"));
        const Annotation drawn = box();
        document.add(kept);
        document.beginDrawing(drawn);
        document.commitDrawing(); // a committed drawing is an addition like any other
        QVERIFY(document.undo());
        QCOMPARE(document.list(), QList<Annotation>{kept});
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
