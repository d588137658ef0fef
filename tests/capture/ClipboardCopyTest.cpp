#include "capture/ClipboardCopy.h"
#include "capture/DragOutData.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakeClipboard.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"
#include "platform/TemporaryFiles.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

struct Fixture
{
    Fixture()
        : manager(std::make_unique<FakeScreenCapture>(), [] { return std::optional<qreal>(1.0); }),
          files(std::make_shared<TemporaryFiles>(base.path())),
          copy(std::make_unique<ClipboardCopy>(&manager, &clipboard, files))
    {}

    bool take()
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        manager.takeScreenshot();
        return QTest::qWaitFor([&] { return finished.size() == 1; }, 10000);
    }

    QTemporaryDir base;
    FakeClipboard clipboard;
    ScreenshotManager manager;
    std::shared_ptr<TemporaryFiles> files;
    std::unique_ptr<ClipboardCopy> copy;
};

QImage decoded(const QByteArray &png)
{
    return QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
}

} // namespace

class ClipboardCopyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a program reads: PNG bytes of the very pixels, encoded only once one asks and
    // only once however often it asks, and a PNG file of the same bytes for file managers.
    void theOfferIsEncodedOnceWhenFirstAskedFor_data()
    {
        QTest::addColumn<QString>("what");

        QTest::newRow("a raw capture") << "raw";
        QTest::newRow("a compressed capture") << "compressed";
        QTest::newRow("a rendered picture") << "picture";
    }

    void theOfferIsEncodedOnceWhenFirstAskedFor()
    {
        QFETCH(QString, what);
        Fixture f;
        QVERIFY(f.take());
        const quint64 id = f.manager.captureIdAt(0);
        QImage expected = f.manager.imageAt(0).convertToFormat(QImage::Format_RGB32);
        if (what == "compressed")
            QVERIFY(QTest::qWaitFor([&] { return f.manager.store()->isCompressed(id); }, 10000));
        if (what == "picture") {
            expected = QImage(300, 200, QImage::Format_RGB32);
            expected.fill(QColor(10, 200, 30));
            QVERIFY(f.copy->copyImage(expected));
        } else {
            QVERIFY(f.copy->copyCapture(id));
        }
        const DragOutData *offer = f.copy->offered();
        QVERIFY(offer);
        QCOMPARE(f.clipboard.mimeData(), offer);
        QVERIFY(!offer->encodingStarted());

        const QByteArray first = offer->data("image/png");
        const QByteArray second = offer->data("image/png");
        const QList<QUrl> urls = offer->urls();

        QVERIFY(offer->formats().contains("image/png"));
        QVERIFY(offer->formats().contains("text/uri-list"));
        QCOMPARE(decoded(first), expected);
        QCOMPARE(second.constData(), first.constData()); // the same bytes, not a second encoding
        QCOMPARE(urls.size(), 1);
        QFile file(urls.first().toLocalFile());
        QVERIFY(file.fileName().startsWith(f.files->directoryPath() + "/Screenshot-"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), first);
    }

    // The offer needs nothing of the stack: a removed capture stays pasteable. Only the end
    // of the copier (the program quitting) takes it back.
    void theOfferOutlivesItsCaptureUntilTheCopierGoes()
    {
        Fixture f;
        QVERIFY(f.take());
        const QImage expected = f.manager.imageAt(0).convertToFormat(QImage::Format_RGB32);
        QVERIFY(f.copy->copyLatest());
        f.manager.removeAll();

        QCOMPARE(decoded(f.clipboard.mimeData()->data("image/png")), expected);
        f.copy.reset();
        QCOMPARE(f.clipboard.mimeData(), nullptr);
    }

    void aCopyThatCannotBeMadeSaysWhyAndKeepsTheClipboard_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("line");

        QTest::newRow("the newest of none") << "latest"
                                            << "Nothing to copy: the stack is empty.";
        QTest::newRow("a capture no longer there")
            << "gone"
            << "Copy failed: the capture is no longer on the stack.";
        QTest::newRow("no picture") << "null"
                                    << "Copy failed: there is no picture to copy.";
    }

    void aCopyThatCannotBeMadeSaysWhyAndKeepsTheClipboard()
    {
        QFETCH(QString, what);
        QFETCH(QString, line);
        Fixture f;
        f.clipboard.hold({{"text/plain", "held"}});
        const QMimeData *held = f.clipboard.mimeData();
        StdoutCapture log;

        bool copied = true;
        if (what == "latest")
            copied = f.copy->copyLatest();
        else if (what == "gone")
            copied = f.copy->copyCapture(42);
        else
            copied = f.copy->copyImage(QImage());

        QVERIFY(!copied);
        QCOMPARE(log.takeLines(), QStringList{line});
        QCOMPARE(f.clipboard.mimeData(), held);
        QCOMPARE(f.copy->offered(), nullptr);
    }
};

QTEST_MAIN(ClipboardCopyTest)
#include "ClipboardCopyTest.moc"
