#include "text/TextMetrics.h"

#include <QFontMetricsF>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTest>

#include <memory>

class TextMetricsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void idealSize_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("widest");
        QTest::addColumn<int>("lines");

        QTest::newRow("empty: caret room, one line") << QString() << QString() << 1;
        QTest::newRow("one line") << QStringLiteral("Hello") << QStringLiteral("Hello") << 1;
        QTest::newRow("the longest line counts")
            << QStringLiteral("a\nwide line\nbb") << QStringLiteral("wide line") << 3;
        QTest::newRow("a trailing line break adds a line")
            << QStringLiteral("abc\n") << QStringLiteral("abc") << 2;
        QTest::newRow("only line breaks") << QStringLiteral("\n\n") << QString() << 3;
        QTest::newRow("long lines never wrap")
            << QString(400, QLatin1Char('m')) << QString(400, QLatin1Char('m')) << 1;
    }

    void idealSize()
    {
        QFETCH(QString, text);
        QFETCH(QString, widest);
        QFETCH(int, lines);
        const QFont font = TextMetrics::font(QStringLiteral("DejaVu Sans"), 24);
        const QFontMetricsF metrics(font);

        const QSizeF size = TextMetrics::idealSize(font, text);

        const double width = text.isEmpty() ? 10.0 : metrics.horizontalAdvance(widest);
        QCOMPARE(size.width(), width);
        QCOMPARE(size.height(), lines * std::ceil(metrics.height()));
    }

    // What the text field on screen lays out must be what the box is sized to.
    void theScreenLaysOutWhatIsMeasured_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("size");

        QTest::newRow("one line") << QStringLiteral("Hello, world") << 24.0;
        QTest::newRow("three lines") << QStringLiteral("a\nwider one\nbb") << 24.0;
        QTest::newRow("trailing break") << QStringLiteral("abc\n") << 36.0;
        QTest::newRow("scaled") << QStringLiteral("Scale me") << 24.0 * 2.7;
        QTest::newRow("small") << QStringLiteral("tiny\ntext") << 8.0;
    }

    void theScreenLaysOutWhatIsMeasured()
    {
        QFETCH(QString, text);
        QFETCH(double, size);
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nTextEdit { textFormat: TextEdit.PlainText }", QUrl());
        std::unique_ptr<QObject> field(component.create());
        QVERIFY2(field, qPrintable(component.errorString()));
        const QFont font = TextMetrics::font(QStringLiteral("DejaVu Sans"), size);

        field->setProperty("font", font);
        field->setProperty("text", text);

        const QSizeF measured = TextMetrics::measure(font, text);
        QVERIFY2(std::abs(field->property("contentWidth").toDouble() - measured.width()) < 1,
                 qPrintable(QString::number(field->property("contentWidth").toDouble())));
        QVERIFY2(std::abs(field->property("contentHeight").toDouble() - measured.height()) < 1,
                 qPrintable(QString::number(field->property("contentHeight").toDouble())));
    }

    // A 24-point font has a 24-unit em on screen and in the export alike (not 24 points at
    // the screen's dpi, which would be a third larger at 96 dpi).
    void theScreenAndTheExportUseOneUnit()
    {
        const QImage exportDevice(1, 1, QImage::Format_RGB32);
        const QFont screen = TextMetrics::font(QStringLiteral("DejaVu Sans"), 24);
        const QFont exported = TextMetrics::font(QStringLiteral("DejaVu Sans"), 24, &exportDevice);

        const QSizeF onScreen = TextMetrics::measure(screen, QStringLiteral("Hello\nthere"));
        const QSizeF inExport =
            TextMetrics::measure(exported, QStringLiteral("Hello\nthere"), &exportDevice);

        QVERIFY(std::abs(onScreen.width() - inExport.width()) < 0.5);
        QVERIFY(std::abs(onScreen.height() - inExport.height()) < 0.5);
        // DejaVu Sans lines are 1.16 em high.
        QVERIFY2(std::abs(onScreen.height() / 2 - 24 * 1.164) <= 1,
                 qPrintable(QString::number(onScreen.height())));
    }

    void fonts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("bold");

        QTest::newRow("installed family") << QStringLiteral("DejaVu Serif") << false;
        QTest::newRow("an alias: Helvetica") << QStringLiteral("Helvetica") << false;
        QTest::newRow("unknown: bold system font") << QStringLiteral("No Such Font 7c2") << true;
    }

    void fonts()
    {
        QFETCH(QString, name);
        QFETCH(bool, bold);

        const QFont font = TextMetrics::font(name, 30);

        QCOMPARE(font.bold(), bold);
        QCOMPARE(TextMetrics::font(name, 30), font); // asked again: the same answer
        if (!bold)
            QVERIFY(QFontInfo(font).family() != QFontInfo(TextMetrics::font({}, 30)).family());
    }
};

QTEST_MAIN(TextMetricsTest)
#include "TextMetricsTest.moc"
