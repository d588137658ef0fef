#include "ocr/TextBands.h"
#include "ocr/TextImagePreparation.h"

#include <QFont>
#include <QPainter>
#include <QTest>

namespace {

/// Text drawn at a pixel size, its top left corner where it is drawn.
struct Drawn
{
    QPoint at;
    int pixels;
};

} // namespace

Q_DECLARE_METATYPE(QList<Drawn>)

class TextBandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Bands cover the picture, never cut through a line, and enlarge only small text.
    void bands_data()
    {
        QTest::addColumn<QList<Drawn>>("texts");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<QList<int>>("scales"); // of the bands, top to bottom, left to right

        using D = QList<Drawn>;
        using S = QList<int>;
        QTest::newRow("no text") << D{} << 2 << S{};
        QTest::newRow("small lines, one piece")
            << D{{{20, 20}, 12}, {{20, 50}, 12}, {{20, 80}, 12}} << 1 << S{2};
        QTest::newRow("small lines, two pieces cut between lines")
            << D{{{20, 20}, 12}, {{20, 50}, 12}, {{20, 80}, 12}, {{20, 110}, 12}} << 2 << S{2, 2};
        QTest::newRow("large text is not enlarged") << D{{{20, 30}, 30}} << 1 << S{1};
        QTest::newRow("small above large") << D{{{20, 20}, 12}, {{20, 80}, 30}} << 1 << S{2, 1};
        QTest::newRow("two columns are cut apart")
            << D{{{20, 20}, 12}, {{340, 20}, 12}, {{20, 50}, 12}, {{340, 50}, 12}} << 1 << S{2, 2};
    }

    void bands()
    {
        QFETCH(QList<Drawn>, texts);
        QFETCH(int, pieces);
        QFETCH(QList<int>, scales);
        QImage picture(640, 160, QImage::Format_RGB32);
        picture.fill(QColor(240, 240, 240));
        QPainter painter(&picture);
        painter.setPen(QColor(20, 20, 20));
        QList<QRect> drawn;
        for (const Drawn &text : texts) {
            QFont font("DejaVu Sans");
            font.setPixelSize(text.pixels);
            painter.setFont(font);
            const QRect area(text.at, QSize(260, text.pixels * 2));
            painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, "Quick brown fox jumps");
            drawn.append(
                painter.boundingRect(area, Qt::AlignLeft | Qt::AlignTop, "Quick brown fox jumps"));
        }
        painter.end();
        const QImage grey = TextImagePreparation::prepare(picture, 1);

        const QList<TextBand> bands = TextBands::find(grey, 2, pieces);

        QList<int> found;
        qint64 covered = 0;
        for (const TextBand &band : bands) {
            found.append(band.scale);
            covered += qint64(band.area.width()) * band.area.height();
            QVERIFY(grey.rect().contains(band.area));
        }
        QCOMPARE(found, scales);
        if (!bands.isEmpty())
            QCOMPARE(covered, qint64(grey.width()) * grey.height());
        for (const QRect &text : drawn) {
            QVERIFY2(std::any_of(bands.begin(), bands.end(),
                                 [&](const TextBand &band) { return band.area.contains(text); }),
                     "a line lies whole in one band");
        }
    }

    // The rows dense with small letters decide, not the line's height: 12-pixel text counts
    // as small, 30-pixel text does not.
    void xHeight_data()
    {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("small");

        QTest::newRow("12 pixels") << 12 << true;
        QTest::newRow("30 pixels") << 30 << false;
    }

    void xHeight()
    {
        QFETCH(int, pixels);
        QFETCH(bool, small);
        QImage grey(400, 80, QImage::Format_Grayscale8);
        grey.fill(255);
        QPainter painter(&grey);
        QFont font("DejaVu Sans");
        font.setPixelSize(pixels);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(10, 50, "Height of the small letters");
        painter.end();

        const int xHeight = TextBands::xHeightOf(grey, 0, grey.height());

        QVERIFY2(xHeight > 0 && xHeight < pixels, qPrintable(QString::number(xHeight)));
        QCOMPARE(xHeight < TextBands::SmallXHeight, small);
    }
};

QTEST_MAIN(TextBandsTest)
#include "TextBandsTest.moc"
