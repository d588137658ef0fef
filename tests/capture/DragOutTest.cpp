#include "capture/DragOut.h"
#include "capture/DragOutData.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakePixelCodec.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"
#include "platform/TemporaryFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUrl>

namespace {

struct Fixture
{
    explicit Fixture(std::shared_ptr<const PixelCodec> codec = nullptr)
        : manager(
              std::make_unique<FakeScreenCapture>(), [] { return std::optional<qreal>(1.0); },
              nullptr, std::move(codec)),
          files(std::make_shared<TemporaryFiles>(base.path())), dragOut(&manager, files, &pool)
    {}

    bool take(int count = 1)
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        for (int i = 0; i < count; ++i)
            manager.takeScreenshot();
        return QTest::qWaitFor([&] { return finished.size() == count; }, 10000);
    }

    QStringList filesInFolder() const
    {
        return QDir(files->directoryPath()).entryList(QDir::Files | QDir::System);
    }

    QTemporaryDir base;
    QThreadPool pool;
    ScreenshotManager manager;
    std::shared_ptr<TemporaryFiles> files;
    DragOut dragOut;
};

/**
 * Holds back work on `pool` until told to let go; when it goes, it lets go and waits for the
 * pool's work, so that no job is left waiting on it however the test ended.
 */
struct Gate
{
    explicit Gate(QThreadPool *pool) : m_pool(pool) {}
    ~Gate()
    {
        open();
        m_pool->waitForDone();
    }
    void open() { m_open.release(1'000); }
    void wait() { m_open.acquire(); }

private:
    QThreadPool *m_pool;
    QSemaphore m_open;
};

QString pathFromUriList(const QByteArray &uriList)
{
    const QList<QByteArray> lines = uriList.split('\n');
    return QUrl::fromEncoded(lines.first().trimmed()).toLocalFile();
}

} // namespace

class DragOutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nothingIsWrittenUntilAReceiverAsksForAFile()
    {
        Fixture f;
        QVERIFY(f.take());
        const std::unique_ptr<DragOutData> data = f.dragOut.prepare(0);

        QCOMPARE(data->formats(), QStringList({"text/uri-list", "image/png"}));
        QVERIFY(!data->hasImage()); // Qt's own slow encoder stays out of it
        const QImage decoded = QImage::fromData(data->data(QStringLiteral("image/png")), "png");

        QCOMPARE(decoded.size(), f.manager.imageAt(0).size());
        f.pool.waitForDone();
        QVERIFY(f.filesInFolder().isEmpty());
        QVERIFY(data->filePath().isEmpty());
    }

    // Hovering receivers ask early, the drop asks again, some ask as plain text: one file.
    void oneDragMakesOneFileOfTheCaptureAtOnePath()
    {
        Fixture f;
        QVERIFY(f.take(2));
        const QImage capture = f.manager.imageAt(1);
        const std::unique_ptr<DragOutData> data = f.dragOut.prepare(1);

        const QByteArray first = data->data(QStringLiteral("text/uri-list"));
        const QByteArray second = data->data(QStringLiteral("text/uri-list"));
        const QString asText = data->text();
        const QList<QUrl> urls = data->urls();
        const QByteArray png = data->data(QStringLiteral("image/png"));

        const QString path = pathFromUriList(first);
        QCOMPARE(second, first);
        QCOMPARE(QUrl(asText.trimmed()).toLocalFile(), path);
        QCOMPARE(urls, QList<QUrl>{QUrl::fromLocalFile(path)});
        QCOMPARE(data->filePath(), path);
        QCOMPARE(QFileInfo(path).absolutePath(), f.files->directoryPath());
        QVERIFY2(
            QRegularExpression(QStringLiteral("^Screenshot-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-"
                                              "[0-9A-F]{4}-[0-9A-F]{12}\\.png$"))
                .match(QFileInfo(path).fileName())
                .hasMatch(),
            qPrintable(path));
        QCOMPARE(f.filesInFolder().size(), 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), png);
        QCOMPARE(QImage(path, "png").convertToFormat(QImage::Format_RGB32),
                 capture.convertToFormat(QImage::Format_RGB32));

        // A second drag of the same capture gets a file of its own.
        const QString other = f.dragOut.prepare(1)->urls().value(0).toLocalFile();
        QVERIFY(!other.isEmpty() && other != path);
        QCOMPARE(f.filesInFolder().size(), 2);
    }

    void indexOutsideTheListIsNotActedOn_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("negative") << -1;
        QTest::newRow("one past the end") << 2;
    }

    void indexOutsideTheListIsNotActedOn()
    {
        QFETCH(int, index);
        Fixture f;
        QVERIFY(f.take(2));

        QVERIFY(!f.dragOut.prepare(index));
        f.dragOut.start(index);

        QCoreApplication::processEvents();
        QVERIFY(f.dragOut.findChildren<QObject *>().isEmpty());
        QVERIFY(!QFileInfo::exists(f.files->directoryPath()));
    }

    void failureGivesNoDataLeavesNoFileAndLogsOneLine()
    {
        Fixture f;
        QVERIFY(f.take());
        // The private folder's name is taken by a plain file: nothing can be written there.
        QFile blocker(f.files->directoryPath());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        StdoutCapture out;
        const std::unique_ptr<DragOutData> data = f.dragOut.prepare(0);

        const QByteArray first = data->data(QStringLiteral("text/uri-list"));
        const QByteArray again = data->data(QStringLiteral("text/uri-list"));
        const QList<QUrl> urls = data->urls();

        QVERIFY(first.isEmpty() && again.isEmpty() && urls.isEmpty());
        QVERIFY(data->filePath().isEmpty());
        f.pool.waitForDone();
        const QStringList lines = out.takeLines();
        QVERIFY2(lines.size() == 1 && lines.first().startsWith("Drag-out failed: ") &&
                     lines.first().contains("not a directory"),
                 qPrintable(lines.join('\n')));
        QVERIFY(
            QDir(f.base.path()).entryList(QDir::Files).filter(QStringLiteral(".png")).isEmpty());

        // Later drags work once the folder can be made.
        QVERIFY(blocker.remove());
        const QList<QUrl> later = f.dragOut.prepare(0)->urls();
        QCOMPARE(later.size(), 1);
        QVERIFY(QFileInfo(later.first().toLocalFile()).isFile());
    }

    void imageThatCannotBeEncodedGivesNoData()
    {
        QTemporaryDir base;
        QThreadPool pool;
        auto files = std::make_shared<TemporaryFiles>(base.path());
        StdoutCapture out;
        DragOutData data(QImage(), files, &pool);

        QVERIFY(data.data(QStringLiteral("image/png")).isEmpty());
        QVERIFY(data.data(QStringLiteral("text/uri-list")).isEmpty());

        pool.waitForDone();
        const QStringList lines = out.takeLines();
        QVERIFY2(lines.size() == 1 && lines.first().startsWith("Drag-out failed: cannot encode"),
                 qPrintable(lines.join('\n')));
        QVERIFY(!QFileInfo::exists(files->directoryPath()));
    }

    void aFileNotReadyInTimeGivesNothingAndLeavesNothing_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("dataGoneFirst");

        QTest::newRow("file asked") << QStringLiteral("text/uri-list") << false;
        QTest::newRow("PNG asked") << QStringLiteral("image/png") << false;
        QTest::newRow("file asked, the drag over before the encoding")
            << QStringLiteral("text/uri-list") << true;
    }

    // A receiver's request holds up the UI thread only so long: past it the receiver gets
    // nothing, now and later, and the encoding that ends afterwards writes no file.
    void aFileNotReadyInTimeGivesNothingAndLeavesNothing()
    {
        QFETCH(QString, format);
        QFETCH(bool, dataGoneFirst);
        QTemporaryDir base;
        QThreadPool pool;
        Gate gate(&pool);
        auto files = std::make_shared<TemporaryFiles>(base.path());
        const QImage image = FakeScreenCapture::pattern(QSize(64, 48), 1);
        StdoutCapture out;
        auto data = std::make_unique<DragOutData>(
            [&gate, image] {
                gate.wait();
                return Result<QImage>(image);
            },
            files, &pool, std::chrono::milliseconds(50));

        const QByteArray first = data->data(format);
        const QByteArray file = data->data(QStringLiteral("text/uri-list"));
        const QByteArray png = data->data(QStringLiteral("image/png"));

        QVERIFY(first.isEmpty() && file.isEmpty() && png.isEmpty());
        QCOMPARE(out.takeLines(), QStringList{"Drag-out failed: the PNG was not ready within "
                                              "0.05 seconds; the receiver gets no data."});
        if (dataGoneFirst)
            data.reset();
        gate.open();
        pool.waitForDone();
        QVERIFY(!QFileInfo::exists(files->directoryPath()) ||
                QDir(files->directoryPath()).isEmpty());
        QVERIFY(out.takeLines().isEmpty());
        if (data) {
            QVERIFY(data->urls().isEmpty());
            QVERIFY(data->filePath().isEmpty());
        }
    }

    // The editor decodes pictures on Qt's global pool; a drag-out must not wait for them.
    void theEncodingHasAPoolOfItsOwn()
    {
        Fixture f;
        QVERIFY(f.take());
        DragOut dragOut(&f.manager, f.files);
        dragOut.setWaitLimit(std::chrono::seconds(5));
        QThreadPool *global = QThreadPool::globalInstance();
        Gate gate(global);
        for (int i = 0; i < global->maxThreadCount(); ++i)
            global->start([&gate] { gate.wait(); });
        const std::unique_ptr<DragOutData> data = dragOut.prepare(0);

        const QList<QUrl> urls = data->urls();

        gate.open();
        global->waitForDone();
        QCOMPARE(urls.size(), 1);
        QVERIFY(QFileInfo(urls.first().toLocalFile()).isFile());
    }

    void aCompressedCaptureIsDraggedOutWhole_data()
    {
        QTest::addColumn<bool>("decodable");
        QTest::newRow("decodes") << true;
        QTest::newRow("cannot be decoded") << false;
    }

    void aCompressedCaptureIsDraggedOutWhole()
    {
        QFETCH(bool, decodable);
        auto codec = std::make_shared<FakePixelCodec>();
        Fixture f(codec);
        QVERIFY(f.take(2));
        const quint64 id = f.manager.captureIdAt(1);
        QVERIFY(QTest::qWaitFor([&] { return f.manager.store()->isCompressed(id); }, 10000));
        QVERIFY(f.manager.store()->readyImage(id).isNull());
        const QImage capture = FakeScreenCapture::pattern(QSize(1512, 982), 1);
        if (!decodable)
            codec->failDecompress(QStringLiteral("zstd: Restored data doesn't match checksum"));
        StdoutCapture out;

        const std::unique_ptr<DragOutData> data = f.dragOut.prepare(1);
        const QList<QUrl> urls = data->urls();
        f.pool.waitForDone();

        const QStringList lines = out.takeLines();
        if (decodable) {
            QCOMPARE(urls.size(), 1);
            QCOMPARE(
                QImage(urls.first().toLocalFile(), "png").convertToFormat(QImage::Format_RGB32),
                capture);
            QVERIFY(lines.isEmpty());
        } else {
            QVERIFY(urls.isEmpty());
            QVERIFY(f.filesInFolder().isEmpty());
            QCOMPARE(lines, QStringList{"Drag-out failed: cannot decode the capture: "
                                        "zstd: Restored data doesn't match checksum"});
        }
    }
};

QTEST_MAIN(DragOutTest)
#include "DragOutTest.moc"
