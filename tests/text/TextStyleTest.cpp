#include "text/TextStyle.h"
#include "editor/EditorFixture.h"

#include <QSignalSpy>
#include <QTest>

class TextStyleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readAndWrite_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<bool>("readsRecord");

        QTest::newRow("nothing selected") << QStringLiteral("none") << false;
        QTest::newRow("a text selected") << QStringLiteral("text") << true;
        QTest::newRow("an image selected") << QStringLiteral("image") << false;
        QTest::newRow("a removed text's id") << QStringLiteral("removed") << false;
    }

    // Reading: the selected text's style, else the defaults. Writing: the defaults always,
    // then the selected text; never another record.
    void readAndWrite()
    {
        QFETCH(QString, selection);
        QFETCH(bool, readsRecord);
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        Annotation text = Annotation::createText({10, 10}, Qt::red, true, "DejaVu Serif", 40);
        text.textPayload = QStringLiteral("styled");
        Annotation other = Annotation::createText({50, 50}, Qt::red, false, "DejaVu Sans", 24);
        other.textPayload = QStringLiteral("other");
        Annotation image = Annotation::create(DrawingTool::DroppedImage, {0, 0}, Qt::red);
        image.imagePayload = QImage(4, 4, QImage::Format_ARGB32);
        s.document()->add(text);
        s.document()->add(other);
        s.document()->add(image);
        s.tools()->setCurrentTool(DrawingTool::Pointer);
        if (selection == QLatin1String("text") || selection == QLatin1String("removed"))
            s.selectAnnotation(text.id.toString());
        else if (selection == QLatin1String("image"))
            s.selectAnnotation(image.id.toString());
        if (selection == QLatin1String("removed"))
            s.document()->records()->removeIf(
                [&text](const Annotation &a) { return a.id == text.id; });
        TextStyle style;
        style.setEditor(&s);

        QCOMPARE(style.activeTextHasBackground(), readsRecord);
        QCOMPARE(style.activeFontName(),
                 readsRecord ? QStringLiteral("DejaVu Serif") : QStringLiteral("Helvetica"));
        QCOMPARE(style.activeFontSize(), readsRecord ? 40.0 : 24.0);

        QSignalSpy changes(&style, &TextStyle::activeStyleChanged);
        style.setActiveTextHasBackground(false);
        style.setActiveTextHasBackground(true);
        style.setActiveFontName(QStringLiteral("Nimbus Roman"));
        style.setActiveFontSize(64);

        QVERIFY(changes.count() >= 3);
        QCOMPARE(s.tools()->textHasBackground(), true);
        QCOMPARE(s.tools()->fontName(), QStringLiteral("Nimbus Roman"));
        QCOMPARE(s.tools()->fontSize(), 64.0);
        const int row = s.document()->records()->indexOf(text.id);
        if (readsRecord) {
            const Annotation &changed = s.document()->records()->at(row);
            QCOMPARE(changed.fontName, QStringLiteral("Nimbus Roman"));
            QCOMPARE(changed.fontSize, 64.0);
            QVERIFY(changed.textHasBackground);
        } else if (row >= 0) {
            QCOMPARE(s.document()->records()->at(row), text);
        }
        QCOMPARE(s.document()->records()->at(s.document()->records()->indexOf(other.id)), other);
        QCOMPARE(s.document()->records()->at(s.document()->records()->indexOf(image.id)), image);
    }

    void theSelectionChangesWhatIsRead()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        EditorState &s = *f.state;
        Annotation text = Annotation::createText({10, 10}, Qt::red, false, "DejaVu Serif", 40);
        text.textPayload = QStringLiteral("x");
        s.document()->add(text);
        s.tools()->setCurrentTool(DrawingTool::Pointer);
        TextStyle style;
        style.setEditor(&s);
        QSignalSpy changes(&style, &TextStyle::activeStyleChanged);

        s.selectAnnotation(text.id.toString());
        QCOMPARE(style.activeFontSize(), 40.0);
        s.undo(); // the selected record goes; the defaults show again
        QCOMPARE(style.activeFontSize(), 24.0);

        QVERIFY(changes.count() >= 2);
    }

    void sizeLabel_data()
    {
        QTest::addColumn<double>("size");
        QTest::addColumn<QString>("label");

        QTest::newRow("24") << 24.0 << QStringLiteral("24 pt");
        QTest::newRow("fraction dropped") << 25.9 << QStringLiteral("25 pt");
        QTest::newRow("144") << 144.0 << QStringLiteral("144 pt");
    }

    void sizeLabel()
    {
        QFETCH(double, size);
        QFETCH(QString, label);

        QCOMPARE(TextStyle::sizeLabel(size), label);
    }
};

QTEST_MAIN(TextStyleTest)
#include "TextStyleTest.moc"
