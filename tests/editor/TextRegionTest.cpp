#include "EditorFixture.h"
#include "fakes/FakeClipboard.h"
#include "fakes/FakeTextRecogniser.h"
#include "ocr/TextCopy.h"
#include "ocr/TextLanguages.h"

#include <QFile>
#include <QTemporaryDir>

// The editor's Copy Text reads what a Shift-drag marked, or the whole picture.
class TextRegionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheRegion_data()
    {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QSize>("read");

        // 1600x1200 pixels fitted into 1000x500 points: 2.4 pixels a point; the region's
        // text is large enough to be read at its own size.
        QTest::newRow("a region") << QPointF(400, 100) << QPointF(500, 150) << QSize(240, 120);
        QTest::newRow("dragged up and left")
            << QPointF(500, 150) << QPointF(400, 100) << QSize(240, 120);
        QTest::newRow("a Shift-click: the whole picture")
            << QPointF(400, 100) << QPointF(401, 101) << QSize(3200, 2400);
    }

    void readsTheRegion()
    {
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QSize, read);
        EditorFixture f;
        QVERIFY(f.ready);
        QTemporaryDir folder;
        QFile(folder.filePath("eng.traineddata")).open(QIODevice::WriteOnly);
        TextLanguages languages(folder.path(), QLocale("en_US"));
        FakeClipboard clipboard;
        auto recogniser = std::make_shared<FakeTextRecogniser>();
        TextCopy copy(f.manager.get(), &clipboard, recogniser, &languages);
        f.session->setTextCopy(&copy);

        QVERIFY(f.state->pressTextRegion(from));
        f.state->moveTextRegion((from + to) / 2);
        f.state->releaseTextRegion(to);
        QVERIFY(f.state->copyText());
        copy.waitForDone();

        QCOMPARE(recogniser->calls(), 1);
        const QSize size = recogniser->lastPicture().size();
        QVERIFY2(std::abs(size.width() - read.width()) <= 6 &&
                     std::abs(size.height() - read.height()) <= 6,
                 qPrintable(QStringLiteral("read %1x%2").arg(size.width()).arg(size.height())));
        QCOMPARE(f.state->textRegionView().isEmpty(), read.width() == 3200);
    }

    void shiftWithTheEllipseMakesACircle()
    {
        EditorFixture f;
        QVERIFY(f.ready);
        f.state->tools()->setCurrentTool(DrawingTool::Ellipse);

        QVERIFY(!f.state->pressTextRegion(QPointF(400, 100)));
        QVERIFY(!f.state->textRegion());
    }
};

QTEST_MAIN(TextRegionTest)
#include "TextRegionTest.moc"
