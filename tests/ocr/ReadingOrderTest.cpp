#include "ocr/ReadingOrder.h"

#include <QTest>

Q_DECLARE_METATYPE(QList<RecognisedLine>)

class ReadingOrderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void join_data()
    {
        QTest::addColumn<QList<RecognisedLine>>("lines");
        QTest::addColumn<QString>("text");

        using L = QList<RecognisedLine>;
        QTest::newRow("nothing") << L{} << "";
        QTest::newRow("rows top down, given bottom first") << L{{"third", {10, 90, 200, 20}},
                                                                {"first", {10, 10, 200, 20}},
                                                                {"second", {10, 50, 200, 20}}}
                                                           << "first\nsecond\nthird";
        QTest::newRow("a label and its value, value given first")
            << L{{"Ada Lovelace", {300, 12, 150, 20}}, {"Name:", {10, 10, 80, 20}}}
            << "Name:\tAda Lovelace";
        QTest::newRow("a heading beside small text on its baseline")
            << L{{"small", {300, 24, 60, 12}}, {"Heading", {10, 10, 200, 30}}} << "Heading\tsmall";
        QTest::newRow("lines that only touch are two rows")
            << L{{"lower", {10, 27, 200, 20}}, {"upper", {300, 10, 200, 20}}} << "upper\nlower";
        QTest::newRow("three columns, then a footer") << L{{"Size", {400, 10, 50, 16}},
                                                           {"Footer", {10, 60, 100, 16}},
                                                           {"Name", {10, 11, 60, 16}},
                                                           {"Kind", {200, 9, 50, 16}}}
                                                      << "Name\tKind\tSize\nFooter";
    }

    void join()
    {
        QFETCH(QList<RecognisedLine>, lines);
        QFETCH(QString, text);

        QCOMPARE(ReadingOrder::join(lines), text);
    }
};

QTEST_GUILESS_MAIN(ReadingOrderTest)
#include "ReadingOrderTest.moc"
