#include "editor/EditorFixture.h"
#include "fakes/FakeClipboard.h"
#include "fakes/FakeFileChooser.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

/// An editor whose paste and "Insert" read the fakes.
struct ImageEditor : EditorFixture
{
    explicit ImageEditor(QSizeF area = QSizeF(1000, 500)) : EditorFixture(QSize(1600, 1200), area)
    {
        if (ready)
            session->setImageSources(&clipboard, &chooser);
    }

    const Annotation &last() const
    {
        return state->annotations()->at(state->annotations()->count() - 1);
    }

    FakeClipboard clipboard;
    FakeFileChooser chooser;
};

} // namespace

class ImageInsertionTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QByteArray fileUrl(const QString &name) const
    {
        return QUrl::fromLocalFile(m_dir.filePath(name)).toEncoded();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile wide(m_dir.filePath("wide.png"));
        QVERIFY(wide.open(QIODevice::WriteOnly));
        wide.write(png({120, 40}, Qt::green));
        QFile notes(m_dir.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a picture\n");
    }

    void pasteTakesTheFirstThingThatDecodes_data()
    {
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QList<QByteArray>>("payloads");
        QTest::addColumn<QSizeF>("inserted"); // empty: nothing inserted

        const QByteArray notes = fileUrl("notes.txt");
        const QByteArray wide = fileUrl("wide.png");
        QTest::newRow("a text file, then an image file")
            << QStringList{"text/uri-list"} << QList<QByteArray>{notes + "\r\n" + wide + "\r\n"}
            << QSizeF(120, 40);
        QTest::newRow("only image data")
            << QStringList{"image/png"} << QList<QByteArray>{png({10, 30}, Qt::blue)}
            << QSizeF(10, 30);
        QTest::newRow("the file before the data")
            << QStringList{"text/uri-list", "image/png"}
            << QList<QByteArray>{wide, png({10, 30}, Qt::blue)} << QSizeF(120, 40);
        QTest::newRow("an unreadable file, then the data")
            << QStringList{"text/uri-list", "image/png"}
            << QList<QByteArray>{"file:///dev/zero", png({10, 30}, Qt::blue)} << QSizeF(10, 30);
        QTest::newRow("a file manager's copied file")
            << QStringList{"x-special/gnome-copied-files"} << QList<QByteArray>{"copy\n" + wide}
            << QSizeF(120, 40);
        QTest::newRow("nothing image-like")
            << QStringList{"text/plain", "text/uri-list"}
            << QList<QByteArray>{"hello", notes + "\r\nhttp://example.invalid/a.png"} << QSizeF();
        QTest::newRow("an empty clipboard") << QStringList{} << QList<QByteArray>{} << QSizeF();
    }

    void pasteTakesTheFirstThingThatDecodes()
    {
        QFETCH(QStringList, formats);
        QFETCH(QList<QByteArray>, payloads);
        QFETCH(QSizeF, inserted);
        ImageEditor e;
        QVERIFY(e.ready);
        QList<std::pair<QString, QByteArray>> held;
        for (int i = 0; i < formats.size(); ++i)
            held.append({formats.at(i), payloads.at(i)});
        e.clipboard.hold(held);
        e.state->setCurrentTool(DrawingTool::pen);

        e.state->pasteImage();
        settle();

        if (inserted.isEmpty()) {
            QCOMPARE(e.state->annotations()->count(), 0);
            QCOMPARE(e.state->currentTool(), DrawingTool::pen);
            return;
        }
        QCOMPARE(e.state->annotations()->count(), 1);
        const Annotation &image = e.last();
        QCOMPARE(image.type, DrawingTool::droppedImage);
        QVERIFY(image.imagePayload);
        QCOMPARE(image.imagePayload->deviceIndependentSize(), inserted);
        QCOMPARE(image.imageScale, 1.0);
        QCOMPARE(image.color, QColor(Qt::red));
        QCOMPARE(image.points, QList<QPointF>{QPointF(e.state->viewSize().width() / 2,
                                                      e.state->viewSize().height() / 2)});
    }

    void staysSelectedOnlyUnderSelect_data()
    {
        QTest::addColumn<int>("toolBefore");
        QTest::addColumn<bool>("selected");

        QTest::newRow("pen") << int(DrawingTool::pen) << false;
        QTest::newRow("text") << int(DrawingTool::text) << false;
        QTest::newRow("select") << int(DrawingTool::pointer) << true;
    }

    void staysSelectedOnlyUnderSelect()
    {
        QFETCH(int, toolBefore);
        QFETCH(bool, selected);
        ImageEditor e;
        QVERIFY(e.ready);
        e.clipboard.hold({{"image/png", png({10, 10}, Qt::blue)}});
        e.state->setCurrentTool(DrawingTool(toolBefore));

        e.state->pasteImage();
        settle();

        QCOMPARE(e.state->annotations()->count(), 1);
        QCOMPARE(e.state->currentTool(), DrawingTool::pointer);
        QCOMPARE(e.state->selectedAnnotationID() == e.last().id, selected);
    }

    void insertedBeforeLayoutAt200_200()
    {
        ImageEditor e(QSizeF(0, 0));
        QVERIFY(e.ready);
        QCOMPARE(e.state->viewSize().width(), 0.0);
        e.clipboard.hold({{"image/png", png({10, 10}, Qt::blue)}});

        e.state->pasteImage();
        settle();

        QCOMPARE(e.state->annotations()->count(), 1);
        QCOMPARE(e.last().points.first(), QPointF(200, 200));
    }

    void insertTakesTheChosenFile_data()
    {
        QTest::addColumn<QString>("chosen"); // empty: the chooser is cancelled
        QTest::addColumn<int>("inserted");
        QTest::newRow("a picture") << "wide.png" << 1;
        QTest::newRow("cancelled") << "" << 0;
        QTest::newRow("not a picture") << "notes.txt" << 0;
    }

    void insertTakesTheChosenFile()
    {
        QFETCH(QString, chosen);
        QFETCH(int, inserted);
        ImageEditor e;
        QVERIFY(e.ready);

        e.state->openImagePicker();
        QCOMPARE(e.chooser.requests(), 1);
        if (chosen.isEmpty())
            e.chooser.cancel();
        else
            e.chooser.choose(QUrl::fromEncoded(fileUrl(chosen)));
        settle();

        QCOMPARE(e.state->annotations()->count(), inserted);
        QCOMPARE(e.state->currentTool(), inserted ? DrawingTool::pointer : DrawingTool::pen);
        if (inserted) {
            QCOMPARE(e.last().imagePayload->size(), QSize(120, 40));
            QCOMPARE(e.last().color, QColor(Qt::red));
        }
    }

    void dropsLandWhereDroppedAtTheZoom()
    {
        ImageEditor e;
        QVERIFY(e.ready);
        e.state->pinchStep(2);
        e.state->chooseSwatch(1); // blue
        const QPointF centre(e.state->viewSize().width() / 2, e.state->viewSize().height() / 2);
        const QPointF dropAt = e.state->canvasToView(centre) + QPointF(100, 0);

        e.state->dropImage({{{}, png({10, 10}, Qt::green), "image/png"}}, dropAt);
        settle();

        QCOMPARE(e.state->annotations()->count(), 1);
        const QPointF landed = e.last().points.first();
        QVERIFY2(qAbs(landed.x() - (centre.x() + 50)) < 1e-9 &&
                     qAbs(landed.y() - centre.y()) < 1e-9,
                 qPrintable(QStringLiteral("%1, %2").arg(landed.x()).arg(landed.y())));
        QCOMPARE(e.last().color, QColor(Qt::blue));
        QCOMPARE(e.state->currentTool(), DrawingTool::pointer);
    }

    void undoRemovesTheImageAndItsShownCopy()
    {
        ImageEditor e;
        QVERIFY(e.ready);
        e.state->dropImage({{{}, png({5000, 20}, Qt::green), "image/png"}}, {10, 10});
        settle();
        QCOMPARE(e.state->annotations()->count(), 1);
        const QUuid id = e.last().id;
        QCOMPARE(e.state->annotations()->displayImage(id).size(), QSize(4096, 16));
        QCOMPARE(e.last().imagePayload->size(), QSize(5000, 20));

        e.state->undo();

        QCOMPARE(e.state->annotations()->count(), 0);
        QVERIFY(e.state->annotations()->displayImage(id).isNull());
    }
};

QTEST_MAIN(ImageInsertionTest)
#include "ImageInsertionTest.moc"
