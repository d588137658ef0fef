#include "region/RegionSelection.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A 200x100 screen at scale 1 and a 100x50 one at scale 2 to its right.
DesktopGeometry twoScreens()
{
    return DesktopGeometry({{QStringLiteral("A"), QRect(0, 0, 200, 100), 1.0},
                            {QStringLiteral("B"), QRect(200, 0, 100, 50), 2.0}});
}

DesktopPicture picture()
{
    QImage a(200, 100, QImage::Format_RGB32);
    a.fill(QColor(0x12, 0x34, 0x56));
    QImage b(200, 100, QImage::Format_RGB32);
    b.fill(Qt::white);
    return DesktopPicture{{{QRect(0, 0, 200, 100), a}, {QRect(200, 0, 100, 50), b}}};
}

struct Fixture
{
    explicit Fixture(QList<QRect> windows = {}) : selection(twoScreens(), picture(), windows) {}

    void drag(QPointF from, QPointF to)
    {
        selection.press(from);
        selection.move((from + to) / 2);
        selection.move(to);
        selection.release(to);
    }

    RegionSelection selection;
};

} // namespace

class RegionSelectionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Dragging from nothing selects from pixel to pixel; dragging an edge, a corner or the
    // inside of the selection (10,10 40x30) changes it so; nothing leaves the desktop.
    void drags_data()
    {
        QTest::addColumn<bool>("selected"); // whether 10,10 40x30 is selected first
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QRect>("expected");

        QTest::newRow("new, down-right")
            << false << QPointF(100.5, 60.5) << QPointF(119.5, 69.5) << QRect(100, 60, 20, 10);
        QTest::newRow("new, up-left")
            << false << QPointF(119.5, 69.5) << QPointF(100.5, 60.5) << QRect(100, 60, 20, 10);
        QTest::newRow("new, across the screens")
            << false << QPointF(190, 20) << QPointF(219, 29) << QRect(190, 20, 30, 10);
        QTest::newRow("new, past the desktop")
            << false << QPointF(150, 80) << QPointF(400, 400) << QRect(150, 80, 150, 20);
        QTest::newRow("left edge")
            << true << QPointF(10, 25) << QPointF(4, 25) << QRect(4, 10, 46, 30);
        QTest::newRow("right edge")
            << true << QPointF(50, 25) << QPointF(60, 25) << QRect(10, 10, 50, 30);
        QTest::newRow("bottom edge")
            << true << QPointF(30, 40) << QPointF(30, 50) << QRect(10, 10, 40, 40);
        QTest::newRow("top-left corner")
            << true << QPointF(10, 10) << QPointF(5, 0) << QRect(5, 0, 45, 40);
        QTest::newRow("bottom-right corner")
            << true << QPointF(50, 40) << QPointF(54, 44) << QRect(10, 10, 44, 34);
        QTest::newRow("edge dragged past the other")
            << true << QPointF(10, 25) << QPointF(90, 25) << QRect(49, 10, 1, 30);
        QTest::newRow("move") << true << QPointF(30, 25) << QPointF(40, 30)
                              << QRect(20, 15, 40, 30);
        QTest::newRow("move stops at the edge")
            << true << QPointF(30, 25) << QPointF(0, 0) << QRect(0, 0, 40, 30);
    }

    void drags()
    {
        QFETCH(bool, selected);
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QRect, expected);
        Fixture f;
        if (selected)
            f.selection.setSelection(QRect(10, 10, 40, 30));

        f.drag(from, to);

        QCOMPARE(f.selection.selection(), expected);
        QVERIFY(!f.selection.dragging());
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QRect>("expected");

        QTest::newRow("right") << int(Qt::Key_Right) << 0 << QRect(11, 10, 40, 30);
        QTest::newRow("shift+up") << int(Qt::Key_Up) << int(Qt::ShiftModifier)
                                  << QRect(10, 0, 40, 30);
        QTest::newRow("shift+left stops at the edge")
            << int(Qt::Key_Left) << int(Qt::ShiftModifier) << QRect(0, 10, 40, 30);
        QTest::newRow("alt+right grows")
            << int(Qt::Key_Right) << int(Qt::AltModifier) << QRect(10, 10, 41, 30);
        QTest::newRow("alt+shift+up shrinks")
            << int(Qt::Key_Up) << int(Qt::AltModifier | Qt::ShiftModifier) << QRect(10, 10, 40, 20);
    }

    void keys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QRect, expected);
        Fixture f;
        f.selection.setSelection(QRect(10, 10, 40, 30));

        QVERIFY(f.selection.key(key, modifiers));

        QCOMPARE(f.selection.selection(), expected);
        QVERIFY(!f.selection.key(Qt::Key_A, 0));
    }

    // The size in real pixels, the colour and the loupe's pixels under the pointer.
    void showsPixels()
    {
        Fixture f;

        f.drag(QPointF(190, 10), QPointF(209, 19));
        f.selection.move(QPointF(20.5, 20.5));

        QCOMPARE(f.selection.sizeText(), QStringLiteral("40 \u00d7 20")); // reaches scale 2
        QCOMPARE(f.selection.colourName(), QStringLiteral("#123456"));
        const QImage patch = f.selection.patch();
        QCOMPARE(patch.size(), QSize(15, 15));
        QCOMPARE(patch.pixelColor(7, 7), QColor(0x12, 0x34, 0x56));
        f.selection.move(QPointF(2, 2)); // the loupe's corner reaches past the picture
        QCOMPARE(f.selection.patch().pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(f.selection.patch().pixelColor(7, 7), QColor(0x12, 0x34, 0x56));
        f.selection.move(QPointF(250, 80)); // in the gap below B
        QCOMPARE(f.selection.colourName(), QString());
    }

    // The loupe's patch is the picture's pixels around the pointer, every row and column of
    // it, on a screen at scale 1 and on one at scale 2; what lies off the picture is black.
    void patchIsThePictureAroundThePointer_data()
    {
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<QPoint>("centre"); // the pointer's pixel in its part's image

        QTest::newRow("scale 1") << QPointF(60.5, 40.5) << QPoint(60, 40);
        QTest::newRow("scale 1, fraction") << QPointF(60.9, 40.1) << QPoint(60, 40);
        QTest::newRow("scale 2") << QPointF(250.25, 20.75) << QPoint(100, 41);
        QTest::newRow("top-left corner") << QPointF(2, 3) << QPoint(2, 3);
        QTest::newRow("right edge of scale 2") << QPointF(299.9, 49.9) << QPoint(199, 99);
    }
    void patchIsThePictureAroundThePointer()
    {
        QFETCH(QPointF, pointer);
        QFETCH(QPoint, centre);
        const auto distinct = [](int width, int height, int salt) {
            QImage image(width, height, QImage::Format_RGB32);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x)
                    image.setPixel(x, y, qRgb((x * 7 + salt) % 256, (y * 11) % 256, 128 + salt));
            }
            return image;
        };
        const QImage a = distinct(200, 100, 0);
        const QImage b = distinct(200, 100, 50);
        RegionSelection selection(
            twoScreens(), DesktopPicture{{{QRect(0, 0, 200, 100), a}, {QRect(200, 0, 100, 50), b}}},
            {});
        const QImage &image = pointer.x() < 200 ? a : b;

        selection.move(pointer);

        const QImage patch = selection.patch();
        const int radius = RegionSelection::PatchRadius;
        QCOMPARE(patch.size(), QSize(2 * radius + 1, 2 * radius + 1));
        for (int y = 0; y < patch.height(); ++y) {
            for (int x = 0; x < patch.width(); ++x) {
                const QPoint source = centre + QPoint(x - radius, y - radius);
                const QColor wanted =
                    image.rect().contains(source) ? image.pixelColor(source) : QColor(Qt::black);
                if (patch.pixelColor(x, y) != wanted)
                    QFAIL(qPrintable(QStringLiteral("patch (%1, %2): %3, wanted %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(patch.pixelColor(x, y).name(), wanted.name())));
            }
        }
    }

    // A click off the selection takes the topmost window there; on the selection it keeps
    // it. Double click and Enter accept once; Escape after that does nothing.
    void windowsClicksAndEndings()
    {
        Fixture f({QRect(20, 20, 50, 40), QRect(0, 0, 150, 90)});
        QSignalSpy accepted(&f.selection, &RegionSelection::accepted);
        QSignalSpy cancelled(&f.selection, &RegionSelection::cancelled);

        f.selection.move(QPointF(30, 30));
        QCOMPARE(f.selection.hoveredWindow(), QRect(20, 20, 50, 40));
        f.selection.press(QPointF(30, 30));
        f.selection.release(QPointF(31, 30)); // under the drag threshold: a click
        QCOMPARE(f.selection.selection(), QRect(20, 20, 50, 40));
        f.selection.press(QPointF(100, 80));
        f.selection.release(QPointF(100, 80));
        QCOMPARE(f.selection.selection(), QRect(0, 0, 150, 90));
        f.selection.press(QPointF(100, 80)); // on the selection now: kept
        f.selection.release(QPointF(100, 80));
        QCOMPARE(f.selection.selection(), QRect(0, 0, 150, 90));

        f.selection.doubleClick(QPointF(100, 80));
        QVERIFY(f.selection.key(Qt::Key_Return, 0));
        QVERIFY(f.selection.key(Qt::Key_Escape, 0));

        QCOMPARE(accepted.size(), 1);
        QCOMPARE(accepted[0][0].toRect(), QRect(0, 0, 150, 90));
        QCOMPARE(cancelled.size(), 0);
        Fixture nothing;
        QSignalSpy nothingAccepted(&nothing.selection, &RegionSelection::accepted);
        nothing.selection.key(Qt::Key_Return, 0); // nothing selected: nothing to accept
        QCOMPARE(nothingAccepted.size(), 0);
    }
};

QTEST_MAIN(RegionSelectionTest)
#include "RegionSelectionTest.moc"
