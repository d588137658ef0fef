#include "editor/document/Annotation.h"
#include "editor/document/AnnotationListModel.h"
#include "editor/tools/DrawingTool.h"
#include "text/ContrastingTextColor.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

Annotation text(const std::optional<QString> &payload)
{
    Annotation record = Annotation::create(DrawingTool::Text, QPointF(1, 2), Qt::red);
    record.textPayload = payload;
    return record;
}

Annotation shape(DrawingTool type = DrawingTool::Pen)
{
    return Annotation::create(type, QPointF(3, 4), Qt::blue);
}

QList<QUuid> idsOf(const AnnotationListModel &model)
{
    QList<QUuid> ids;
    for (const Annotation &record : model.records())
        ids.append(record.id);
    return ids;
}

} // namespace

class AnnotationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toolLabels_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QString>("label");

        QTest::newRow("Pan") << int(DrawingTool::Pan) << "Pan";
        QTest::newRow("Pointer") << int(DrawingTool::Pointer) << "Select";
        QTest::newRow("Text") << int(DrawingTool::Text) << "Text";
        QTest::newRow("Pen") << int(DrawingTool::Pen) << "Pen";
        QTest::newRow("Rectangle") << int(DrawingTool::Rectangle) << "Box";
        QTest::newRow("Line") << int(DrawingTool::Line) << "Line";
        QTest::newRow("Arrow") << int(DrawingTool::Arrow) << "Arrow";
        QTest::newRow("DroppedImage") << int(DrawingTool::DroppedImage) << "Dropped Image";
    }

    void toolLabels()
    {
        QFETCH(int, tool);
        QFETCH(QString, label);
        QCOMPARE(toolLabel(DrawingTool(tool)), label);
    }

    void newRecordsHaveTheirDefaultsAndDistinctIds()
    {
        const Annotation a = Annotation::create(DrawingTool::Arrow, QPointF(5, 6), Qt::green);
        const Annotation b = Annotation::create(DrawingTool::Arrow, QPointF(5, 6), Qt::green);

        QVERIFY(!a.id.isNull());
        QVERIFY(a.id != b.id);
        QCOMPARE(a.points, QList<QPointF>{QPointF(5, 6)});
        QCOMPARE(a.lineWidth, 4.0);
        QVERIFY(!a.imagePayload && !a.textPayload);
        QCOMPARE(a.imageScale, 1.0);
        QCOMPARE(a.textHasBackground, false);
        QCOMPARE(a.fontName, QStringLiteral("Helvetica"));
        QCOMPARE(a.fontSize, 24.0);
    }

    void blankText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("hasPayload");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<bool>("blank");

        const int text = int(DrawingTool::Text);
        QTest::newRow("absent") << text << false << QString() << true;
        QTest::newRow("empty") << text << true << "" << true;
        QTest::newRow("two spaces and a newline") << text << true << "  \n" << true;
        QTest::newRow("tabs and returns") << text << true << "\t\r\n" << true;
        QTest::newRow("no-break space") << text << true << QString(QChar(0x00a0)) << true;
        QTest::newRow("a letter between spaces") << text << true << " a " << false;
        QTest::newRow("a dot") << text << true << "." << false;
        QTest::newRow("a pen is never blank text") << int(DrawingTool::Pen) << false << "" << false;
        QTest::newRow("an image is never blank text")
            << int(DrawingTool::DroppedImage) << false << "" << false;
    }

    void blankText()
    {
        QFETCH(int, type);
        QFETCH(bool, hasPayload);
        QFETCH(QString, payload);
        QFETCH(bool, blank);

        Annotation record = Annotation::create(DrawingTool(type), QPointF(), Qt::red);
        if (hasPayload)
            record.textPayload = payload;

        QCOMPARE(isBlankText(record), blank);
    }

    void contrastingTextColor_data()
    {
        QTest::addColumn<QColor>("plate");
        QTest::addColumn<QColor>("text");

        QTest::newRow("yellow 0.886") << QColor(255, 255, 0) << QColor(Qt::black);
        QTest::newRow("white") << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("blue 0.114") << QColor(0, 0, 255) << QColor(Qt::white);
        QTest::newRow("red 0.299") << QColor(255, 0, 0) << QColor(Qt::white);
        QTest::newRow("green 0.587") << QColor(0, 255, 0) << QColor(Qt::black);
        QTest::newRow("black") << QColor(Qt::black) << QColor(Qt::white);
        QTest::newRow("grey at exactly one half")
            << QColor::fromRgbF(0.5, 0.5, 0.5) << QColor(Qt::white);
        QTest::newRow("8-bit grey 128 is above a half")
            << QColor(128, 128, 128) << QColor(Qt::black);
        QTest::newRow("8-bit grey 127") << QColor(127, 127, 127) << QColor(Qt::white);
        QTest::newRow("opacity is ignored") << QColor(255, 255, 0, 10) << QColor(Qt::black);
        QTest::newRow("an HSV yellow") << QColor::fromHsvF(1.0 / 6, 1, 1) << QColor(Qt::black);
        QTest::newRow("invalid") << QColor() << QColor(Qt::black);
    }

    void contrastingTextColor()
    {
        QFETCH(QColor, plate);
        QFETCH(QColor, text);

        QCOMPARE(::contrastingTextColor(plate), text);
    }

    void modelChangesRowsWithoutEverResetting()
    {
        AnnotationListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        const Annotation first = shape();
        model.append(first);
        model.append(text(QString()));
        model.append(shape(DrawingTool::Arrow));

        QVERIFY(model.update(first.id, [](Annotation &record) { record.color = Qt::yellow; }));
        QVERIFY(!model.update(QUuid::createUuid(), [](Annotation &) {}));
        QVERIFY(model.removeLast());
        model.clear();
        QVERIFY(!model.removeLast());

        QCOMPARE(resets.count(), 0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex().row(), 0);
        QCOMPARE(removed.count(), 2);
        QCOMPARE(removed.at(1).at(1).toInt(), 0);
        QCOMPARE(removed.at(1).at(2).toInt(), 1);
        QCOMPARE(model.count(), 0);
    }

    void removeIfKeepsTheOthersInOrder_data()
    {
        QTest::addColumn<QString>("layout"); // b: blank text, t: text, s: shape
        QTest::addColumn<int>("removals");   // rowsRemoved signals expected

        QTest::newRow("none blank") << "tsts" << 0;
        QTest::newRow("all blank") << "bbb" << 1;
        QTest::newRow("alternating") << "bsbtb" << 3;
        QTest::newRow("runs") << "sbbtbbs" << 2;
        QTest::newRow("first and last") << "bssb" << 2;
    }

    void removeIfKeepsTheOthersInOrder()
    {
        QFETCH(QString, layout);
        QFETCH(int, removals);
        AnnotationListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QList<QUuid> kept;
        for (QChar c : layout) {
            const Annotation record = c == 'b'   ? text(QStringLiteral(" \n"))
                                      : c == 't' ? text(QStringLiteral("x"))
                                                 : shape();
            model.append(record);
            if (c != 'b')
                kept.append(record.id);
        }
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        const int count = model.removeIf(isBlankText);

        QCOMPARE(count, int(layout.count('b')));
        QCOMPARE(idsOf(model), kept);
        QCOMPARE(removed.count(), removals);
        QCOMPARE(resets.count(), 0);
    }
};

QTEST_GUILESS_MAIN(AnnotationTest)
#include "AnnotationTest.moc"
