#include "ocr/TextCopy.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakeClipboard.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/FakeTextRecogniser.h"
#include "fakes/StdoutCapture.h"
#include "ocr/ReadingOrder.h"
#include "ocr/TesseractRecogniser.h"
#include "ocr/TextLanguages.h"

#include <QFont>
#include <QPainter>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(QList<RecognisedLine>)

namespace {

struct Fixture
{
    explicit Fixture(const QStringList &installed = {"eng.traineddata"})
        : manager(std::make_unique<FakeScreenCapture>(), [] { return std::optional<qreal>(1.0); }),
          recogniser(std::make_shared<FakeTextRecogniser>())
    {
        for (const QString &name : installed) {
            QFile file(folder.filePath(name));
            file.open(QIODevice::WriteOnly);
        }
        languages = std::make_unique<TextLanguages>(folder.path(), QLocale("en_US"));
        copy = std::make_unique<TextCopy>(&manager, &clipboard, recogniser, languages.get());
        clipboard.hold({{"text/plain", "held before"}});
    }

    bool take()
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        manager.takeScreenshot();
        return QTest::qWaitFor([&] { return finished.size() == 1; }, 10000);
    }

    QTemporaryDir folder;
    FakeClipboard clipboard;
    ScreenshotManager manager;
    std::shared_ptr<FakeTextRecogniser> recogniser;
    std::unique_ptr<TextLanguages> languages;
    std::unique_ptr<TextCopy> copy;
};

} // namespace

class TextCopyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What the recogniser answers decides the clipboard and the one line.
    void outcome_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QList<RecognisedLine>>("lines");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("line");

        using L = QList<RecognisedLine>;
        QTest::newRow("text, in reading order")
            << false << L{{"Wörld", {10, 60, 100, 20}}, {"Hello", {10, 10, 100, 20}}}
            << "Hello\nWörld"
            << "Copied 11 characters of text.";
        QTest::newRow("no text keeps the clipboard") << false << L{} << "held before"
                                                     << "No text found in the capture.";
        QTest::newRow("a failure keeps the clipboard") << true << L{} << "held before"
                                                       << "Copy Text failed: the engine broke.";
    }

    void outcome()
    {
        QFETCH(bool, fails);
        QFETCH(QList<RecognisedLine>, lines);
        QFETCH(QString, clipboard);
        QFETCH(QString, line);
        Fixture f;
        QVERIFY(f.take());
        f.recogniser->answer(fails ? Result<QList<RecognisedLine>>::failure("the engine broke")
                                   : Result<QList<RecognisedLine>>(lines));
        StdoutCapture out;
        std::optional<Result<QString>> done;

        f.copy->copyTextOfLatest(this, [&](const Result<QString> &text) { done = text; });

        QVERIFY(QTest::qWaitFor([&] { return done.has_value(); }, 10000));
        QCOMPARE(f.clipboard.mimeData()->text(), clipboard);
        QCOMPARE(out.takeLines(), QStringList{line});
        QCOMPARE(done->ok(), !fails);
        if (!fails)
            QCOMPARE(done->value(), fails || lines.isEmpty() ? QString() : clipboard);
    }

    // The recogniser reads grey pixels in the chosen languages, told the resolution they
    // amount to: the fake capture's marks are large, so they are read at their own size.
    void theRecogniserGetsThePreparedPicture()
    {
        Fixture f({"eng.traineddata", "fra.traineddata"});
        QVERIFY(f.take());
        const QSize size = f.manager.imageAt(0).size();

        f.copy->copyTextOfCapture(f.manager.captureIdAt(0));
        f.copy->waitForDone();

        QVERIFY(f.recogniser->calls() >= 1);
        QCOMPARE(f.recogniser->lastPicture().format(), QImage::Format_Grayscale8);
        QVERIFY(f.recogniser->lastPicture().width() <= size.width() * 2);
        QCOMPARE(f.recogniser->lastLanguages(), QStringList{"eng"});
        QCOMPARE(f.recogniser->lastDotsPerInch(), 96);
    }

    // Each band's lines come back in the picture's own pixels, side-by-side columns joined
    // by a tab, on one engine or two alike; one band failing fails the whole.
    void bandsAreReadAndPlaced_data()
    {
        QTest::addColumn<int>("engines");
        QTest::addColumn<bool>("fails");

        QTest::newRow("one engine") << 1 << false;
        QTest::newRow("two engines") << 2 << false;
        QTest::newRow("a failure") << 2 << true;
    }

    void bandsAreReadAndPlaced()
    {
        QFETCH(int, engines);
        QFETCH(bool, fails);
        QImage picture(640, 60, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        QFont font("DejaVu Sans");
        font.setPixelSize(12);
        painter.setFont(font);
        painter.drawText(20, 30, "Left column");
        painter.drawText(400, 30, "Right column");
        painter.end();
        FakeTextRecogniser recogniser;
        recogniser.answer(fails ? Result<QList<RecognisedLine>>::failure("the engine broke")
                                : Result<QList<RecognisedLine>>(
                                      QList<RecognisedLine>{{"word", {40, 20, 60, 30}}}));

        const auto lines = TextCopy::readLines(recogniser, picture, {"eng"}, engines);

        QCOMPARE(recogniser.calls(), 2);
        QCOMPARE(recogniser.lastDotsPerInch(), 192);
        QCOMPARE(lines.ok(), !fails);
        if (fails)
            return;
        QCOMPARE(lines.value().size(), 2);
        QList<int> lefts;
        for (const RecognisedLine &line : lines.value()) {
            QCOMPARE(line.box.size(), QSize(30, 15)); // 60x30 at twice the size
            QCOMPARE(line.box.top(), 10);
            lefts.append(line.box.left());
        }
        std::sort(lefts.begin(), lefts.end());
        QCOMPARE(lefts.first(), 20);
        QVERIFY2(lefts.last() > 220 && lefts.last() < 420,
                 "the right column's band starts between the columns");
        QCOMPARE(ReadingOrder::join(lines.value()), QString("word\tword"));
    }

    // Lines too small to be text, or read with too little confidence, are left out. A blank
    // picture is read whole at twice its size, so heights here are twice the kept ones.
    void linesTooSmallOrDoubtfulAreDropped_data()
    {
        QTest::addColumn<int>("readHeight");
        QTest::addColumn<int>("confidence");
        QTest::addColumn<bool>("kept");

        QTest::newRow("as small as may be read") << 12 << 90 << true;
        QTest::newRow("smaller") << 10 << 90 << false;
        QTest::newRow("doubtful") << 40 << 39 << false;
        QTest::newRow("sure enough") << 40 << 40 << true;
    }

    void linesTooSmallOrDoubtfulAreDropped()
    {
        QFETCH(int, readHeight);
        QFETCH(int, confidence);
        QFETCH(bool, kept);
        QImage picture(320, 120, QImage::Format_RGB32);
        picture.fill(Qt::white);
        FakeTextRecogniser recogniser;
        recogniser.answer(QList<RecognisedLine>{{"word", {40, 20, 200, readHeight}, confidence}});

        const auto lines = TextCopy::readLines(recogniser, picture, {"eng"}, 2);

        QVERIFY(lines.ok());
        QCOMPARE(recogniser.calls(), 1);
        QCOMPARE(lines.value().size(), kept ? 1 : 0);
        if (kept)
            QCOMPARE(lines.value().at(0).box, QRect(20, 10, 100, readHeight / 2));
    }

    // A capture of a screen whose only text is that of the stack's thumbnail (the earlier
    // capture, about a fifth of its size, its letters four pixels high) has no text to
    // read: enlarged, Tesseract read "oar te earn" in it.
    void aThumbnailsTinyTextIsNoText()
    {
        if (!TextLanguages::installedIn(TextLanguages::dataFolder()).contains("eng"))
            QSKIP("no English language data");
        const QImage picture(
            QStringLiteral(ORRINVALE_TESTS_DIR "/ocr/data/thumbnail-only-capture.png"));
        QVERIFY(!picture.isNull());
        TesseractRecogniser recogniser(TextLanguages::dataFolder());

        const auto lines = TextCopy::readLines(recogniser, picture, {"eng"}, 2);

        QVERIFY2(lines.ok(), qPrintable(lines.error()));
        QCOMPARE(ReadingOrder::join(lines.value()), QString());
    }

    // Refused before any reading: each says why in one line, and the clipboard stays.
    void refusals_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("line");

        QTest::newRow("an empty stack") << "empty"
                                        << "Nothing to read: the stack is empty.";
        QTest::newRow("a capture gone") << "gone"
                                        << "Copy Text failed: the capture is no longer on the "
                                           "stack.";
        QTest::newRow("no language data")
            << "no data"
            << "Copy Text needs language data: install the package tesseract-ocr-eng.";
        QTest::newRow("a null picture") << "null"
                                        << "Copy Text failed: there is no picture to read.";
    }

    void refusals()
    {
        QFETCH(QString, what);
        QFETCH(QString, line);
        Fixture f(what == "no data" ? QStringList{"osd.traineddata"}
                                    : QStringList{"eng.traineddata"});
        if (what != "empty")
            QVERIFY(f.take());
        const quint64 id = what == "empty" ? 0 : f.manager.captureIdAt(0);
        if (what == "gone")
            f.manager.removeCapture(id);
        StdoutCapture out;
        std::optional<Result<QString>> done;
        const auto keep = [&](const Result<QString> &text) { done = text; };

        if (what == "null")
            f.copy->copyTextOfImage(QImage(), this, keep);
        else
            f.copy->copyTextOfLatest(this, keep);
        if (what == "gone")
            f.copy->copyTextOfCapture(id, this, keep);
        f.copy->waitForDone();

        QVERIFY(done.has_value());
        QCOMPARE(done->error(), line);
        QVERIFY(out.takeLines().contains(line));
        QCOMPARE(f.recogniser->calls(), 0);
        QCOMPARE(f.clipboard.mimeData()->text(), QString("held before"));
    }

    // A caller that went away before the text came gets nothing; the clipboard still does.
    void aCallerGoneGetsNoAnswer()
    {
        Fixture f;
        QVERIFY(f.take());
        f.recogniser->answer(QList<RecognisedLine>{{"Hello", {0, 0, 50, 10}}});
        bool called = false;
        auto context = std::make_unique<QObject>();

        f.copy->copyTextOfLatest(context.get(), [&](const Result<QString> &) { called = true; });
        context.reset();
        QVERIFY(QTest::qWaitFor([&] { return f.clipboard.mimeData()->text() == "Hello"; }, 10000));

        QVERIFY(!called);
    }
};

QTEST_MAIN(TextCopyTest)
#include "TextCopyTest.moc"
