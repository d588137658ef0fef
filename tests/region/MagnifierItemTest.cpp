#include "region/MagnifierItem.h"

#include <QQuickWindow>
#include <QTest>

namespace {

constexpr int Cells = 15;
constexpr int Cell = 8;

/// A patch whose every pixel has its own colour, so a cell drawn from the wrong pixel shows.
QImage distinctPatch()
{
    QImage patch(Cells, Cells, QImage::Format_RGB32);
    for (int y = 0; y < Cells; ++y) {
        for (int x = 0; x < Cells; ++x)
            patch.setPixel(x, y, qRgb(40 + 13 * x, 40 + 13 * y, 200 - 9 * x));
    }
    return patch;
}

} // namespace

class MagnifierItemTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each cell shows its pixel of the patch, the first row and column as much as the
    // others, with the grid on the lines between cells and the middle cell outlined.
    void cellsShowTheirPixels_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");

        QTest::newRow("top-left corner") << 0 << 0;
        QTest::newRow("left column") << 0 << 9;
        QTest::newRow("top row") << 5 << 0;
        QTest::newRow("inside") << 3 << 11;
        QTest::newRow("beside the pointer's") << Cells / 2 + 2 << Cells / 2;
        QTest::newRow("right column") << Cells - 1 << 4;
        QTest::newRow("bottom-right corner") << Cells - 1 << Cells - 1;
    }
    void cellsShowTheirPixels()
    {
        QFETCH(int, column);
        QFETCH(int, row);
        const QImage patch = distinctPatch();

        const QImage shot = render(patch);

        // Every pixel of the cell but those on its leading grid line.
        const QColor wanted = patch.pixelColor(column, row);
        for (int y = row * Cell + 1; y < (row + 1) * Cell; ++y) {
            for (int x = column * Cell + 1; x < (column + 1) * Cell; ++x)
                QCOMPARE(shot.pixelColor(x, y), wanted);
        }
    }

    // The grid darkens the lines between cells; the pointer's cell is outlined in white.
    void gridAndPointerCell()
    {
        const QImage patch = distinctPatch();

        const QImage shot = render(patch);

        const QColor cell = patch.pixelColor(3, 2);
        const QColor line = shot.pixelColor(3 * Cell, 2 * Cell + 4);
        QVERIFY2(line.red() < cell.red() && line.green() < cell.green(), qPrintable(line.name()));
        const int middle = (Cells / 2) * Cell;
        QCOMPARE(shot.pixelColor(middle, middle + 4), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(middle + Cell, middle + 4), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(middle + 4, middle + 4), patch.pixelColor(Cells / 2, Cells / 2));
    }

private:
    QImage render(const QImage &patch)
    {
        QQuickWindow window;
        window.setColor(Qt::black);
        window.resize(Cells * Cell, Cells * Cell);
        auto *item = new MagnifierItem(window.contentItem());
        item->setSize(QSizeF(Cells * Cell, Cells * Cell));
        item->setImage(patch);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return QImage();
        return window.grabWindow().convertToFormat(QImage::Format_RGB32);
    }
};

QTEST_MAIN(MagnifierItemTest)
#include "MagnifierItemTest.moc"
