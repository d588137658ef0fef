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
        return state->document()->records()->at(state->document()->records()->count() - 1);
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
        e.state->tools()->setCurrentTool(DrawingTool::Pen);

        e.state->pasteImage();
        settle();

        if (inserted.isEmpty()) {
            QCOMPARE(e.state->document()->records()->count(), 0);
            QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Pen);
            return;
        }
        QCOMPARE(e.state->document()->records()->count(), 1);
        const Annotation &image = e.last();
        QCOMPARE(image.type, DrawingTool::DroppedImage);
        QVERIFY(image.imagePayload);
        QCOMPARE(image.imagePayload->deviceIndependentSize(), inserted);
        QCOMPARE(image.imageScale, 1.0);
        QCOMPARE(image.color, QColor(Qt::red));
        QCOMPARE(image.points,
                 QList<QPointF>{QPointF(e.state->viewport()->viewSize().width() / 2,
                                        e.state->viewport()->viewSize().height() / 2)});
    }

    void staysSelectedOnlyUnderSelect_data()
    {
        QTest::addColumn<int>("toolBefore");
        QTest::addColumn<bool>("selected");

        QTest::newRow("pen") << int(DrawingTool::Pen) << false;
        QTest::newRow("text") << int(DrawingTool::Text) << false;
        QTest::newRow("select") << int(DrawingTool::Pointer) << true;
    }

    void staysSelectedOnlyUnderSelect()
    {
        QFETCH(int, toolBefore);
        QFETCH(bool, selected);
        ImageEditor e;
        QVERIFY(e.ready);
        e.clipboard.hold({{"image/png", png({10, 10}, Qt::blue)}});
        e.state->tools()->setCurrentTool(DrawingTool(toolBefore));

        e.state->pasteImage();
        settle();

        QCOMPARE(e.state->document()->records()->count(), 1);
        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Pointer);
        QCOMPARE(e.state->document()->selection() == e.last().id, selected);
    }

    void insertedBeforeLayoutAt200_200()
    {
        ImageEditor e(QSizeF(0, 0));
        QVERIFY(e.ready);
        QCOMPARE(e.state->viewport()->viewSize().width(), 0.0);
        e.clipboard.hold({{"image/png", png({10, 10}, Qt::blue)}});

        e.state->pasteImage();
        settle();

        QCOMPARE(e.state->document()->records()->count(), 1);
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

        QCOMPARE(e.state->document()->records()->count(), inserted);
        QCOMPARE(e.state->tools()->currentTool(),
                 inserted ? DrawingTool::Pointer : DrawingTool::Pen);
        if (inserted) {
            QCOMPARE(e.last().imagePayload->size(), QSize(120, 40));
            QCOMPARE(e.last().color, QColor(Qt::red));
        }
    }

    void dropsLandWhereDroppedAtTheZoom()
    {
        ImageEditor e;
        QVERIFY(e.ready);
        e.state->viewport()->pinchStep(2);
        e.state->tools()->chooseSwatch(1); // blue
        const QPointF centre(e.state->viewport()->viewSize().width() / 2,
                             e.state->viewport()->viewSize().height() / 2);
        const QPointF dropAt = e.state->viewport()->canvasToView(centre) + QPointF(100, 0);

        e.state->dropImage({{{}, png({10, 10}, Qt::green), "image/png"}}, dropAt);
        settle();

        QCOMPARE(e.state->document()->records()->count(), 1);
        const QPointF landed = e.last().points.first();
        QVERIFY2(qAbs(landed.x() - (centre.x() + 50)) < 1e-9 &&
                     qAbs(landed.y() - centre.y()) < 1e-9,
                 qPrintable(QStringLiteral("%1, %2").arg(landed.x()).arg(landed.y())));
        QCOMPARE(e.last().color, QColor(Qt::blue));
        QCOMPARE(e.state->tools()->currentTool(), DrawingTool::Pointer);
    }

    void undoRemovesTheImageAndItsShownCopy()
    {
        ImageEditor e;
        QVERIFY(e.ready);
        e.state->dropImage({{{}, png({5000, 20}, Qt::green), "image/png"}}, {10, 10});
        settle();
        QCOMPARE(e.state->document()->records()->count(), 1);
        const QUuid id = e.last().id;
        QCOMPARE(e.state->document()->records()->displayImage(id).size(), QSize(4096, 16));
        QCOMPARE(e.last().imagePayload->size(), QSize(5000, 20));

        e.state->undo();

        QCOMPARE(e.state->document()->records()->count(), 0);
        QVERIFY(e.state->document()->records()->displayImage(id).isNull());
    }
};

QTEST_MAIN(ImageInsertionTest)
#include "ImageInsertionTest.moc"
