#include "ocr/TesseractRecogniser.h"
#include "ocr/TextImagePreparation.h"
#include "ocr/TextLanguages.h"

#include <QFont>
#include <QPainter>
#include <QTest>

// Needs Debian's English language data (tesseract-ocr-eng, from scripts/install-deps).
class TesseractRecogniserTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheLinesWithTheirPlaces()
    {
        if (!TextLanguages::installedIn(TextLanguages::dataFolder()).contains("eng"))
            QSKIP("no English language data");
        QImage picture(640, 120, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        QFont font("DejaVu Sans");
        font.setPixelSize(16);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(20, 40, "Quarterly report 2027");
        painter.drawText(20, 90, "Send it to Ada by Friday");
        painter.end();
        TesseractRecogniser recogniser(TextLanguages::dataFolder());

        const auto lines =
            recogniser.recognise(TextImagePreparation::prepare(picture, 2), {"eng"}, 192);

        QVERIFY2(lines.ok(), qPrintable(lines.error()));
        QCOMPARE(lines.value().size(), 2);
        QCOMPARE(lines.value().at(0).text, QString("Quarterly report 2027"));
        QCOMPARE(lines.value().at(1).text, QString("Send it to Ada by Friday"));
        const QRect second = lines.value().at(1).box;
        QVERIFY2(second.top() > 120 && second.bottom() < 200 && second.left() >= 30,
                 "in the enlarged picture's pixels");
    }

    void refusals()
    {
        TesseractRecogniser recogniser(TextLanguages::dataFolder());
        QImage grey(64, 64, QImage::Format_Grayscale8);
        grey.fill(255);

        const auto missing = recogniser.recognise(grey, {"xyz"}, 96);
        QVERIFY(!missing.ok());
        QVERIFY(missing.error().contains("xyz"));
        QVERIFY(!recogniser.recognise(QImage(64, 64, QImage::Format_RGB32), {"eng"}, 96).ok());
    }
};

QTEST_MAIN(TesseractRecogniserTest)
#include "TesseractRecogniserTest.moc"
