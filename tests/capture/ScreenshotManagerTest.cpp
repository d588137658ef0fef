#include "capture/ScreenshotManager.h"
#include "editor/EditorSession.h"
#include "fakes/FakePixelCodec.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"

#include <QSignalSpy>
#include <QTest>

namespace {

struct Fixture
{
    explicit Fixture(std::optional<qreal> scale = 1.0,
                     std::shared_ptr<const PixelCodec> codec = nullptr)
        : capture(new FakeScreenCapture), manager(
                                              std::unique_ptr<ScreenCapture>(capture),
                                              [scale] { return scale; }, nullptr, std::move(codec))
    {}

    /// Takes one capture and waits until its request has ended, either way.
    bool take()
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        QSignalSpy failed(&manager, &ScreenshotManager::captureFailed);
        manager.takeScreenshot();
        return QTest::qWaitFor([&] { return finished.size() + failed.size() > 0; }, 10000);
    }

    bool waitCompressed(quint64 id)
    {
        return QTest::qWaitFor([&] { return manager.store()->isCompressed(id); }, 10000);
    }

    FakeScreenCapture *capture; // owned by the manager
    ScreenshotManager manager;
};

} // namespace

class ScreenshotManagerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newestFirstAndEveryOtherMovesDownOne()
    {
        Fixture f;
        QList<quint64> idsBefore;
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.take());
        for (int k = 0; k < 3; ++k)
            idsBefore << f.manager.captureIdAt(k);

        QVERIFY(f.take());

        QCOMPARE(f.manager.count(), 4);
        for (int k = 0; k < 3; ++k)
            QCOMPARE(f.manager.captureIdAt(k + 1), idsBefore.at(k));
        // The picture of the fourth call is the one now on top.
        QCOMPARE(f.manager.imageAt(0).pixel(1511, 981),
                 FakeScreenCapture::pattern(QSize(1512, 982), 4).pixel(1511, 981));
        QCOMPARE(f.manager.imageAt(3).pixel(1511, 981),
                 FakeScreenCapture::pattern(QSize(1512, 982), 1).pixel(1511, 981));
    }

    void captureRevealsTheStackAndToggleFlips()
    {
        Fixture f;
        QVERIFY(f.manager.isVisible());
        QSignalSpy visibility(&f.manager, &ScreenshotManager::isVisibleChanged);

        f.manager.toggleVisibility();
        QVERIFY(!f.manager.isVisible());
        QVERIFY(f.take());
        QVERIFY(f.manager.isVisible());
        QCOMPARE(visibility.size(), 2);

        f.manager.toggleVisibility();
        f.manager.toggleVisibility();
        QVERIFY(f.manager.isVisible());
        QCOMPARE(f.manager.count(), 1);
    }

    void replaceKeepsCountAndEveryOtherCapture()
    {
        Fixture f;
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.take());
        const QList<quint64> ids = {f.manager.captureIdAt(0), f.manager.captureIdAt(1),
                                    f.manager.captureIdAt(2)};
        const QImage first = f.manager.imageAt(0);
        const QImage last = f.manager.imageAt(2);
        QImage edited(40, 30, QImage::Format_RGB32);
        edited.fill(Qt::magenta);

        f.manager.replace(1, edited);
        f.manager.replace(7, edited);  // not in the list: ignored
        f.manager.replace(-1, edited); // likewise

        QCOMPARE(f.manager.count(), 3);
        QCOMPARE(f.manager.imageAt(1), edited);
        QCOMPARE(f.manager.imageAt(0), first);
        QCOMPARE(f.manager.imageAt(2), last);
        for (int k = 0; k < 3; ++k)
            QCOMPARE(f.manager.captureIdAt(k), ids.at(k));
    }

    void replacedCaptureGetsANewThumbnail()
    {
        Fixture f;
        QVERIFY(f.take());
        CaptureListModel *list = f.manager.screenshots();
        const QModelIndex row = list->index(0);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return !list->data(row, CaptureListModel::ThumbnailRole).value<QImage>().isNull();
            },
            10000));
        QImage edited(200, 100, QImage::Format_RGB32);
        edited.fill(Qt::magenta);

        f.manager.replace(0, edited);

        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage t = list->data(row, CaptureListModel::ThumbnailRole).value<QImage>();
                return !t.isNull() &&
                       t.pixelColor(t.width() / 2, t.height() / 2) == QColor(Qt::magenta);
            },
            10000));
        const QImage thumbnail = list->data(row, CaptureListModel::ThumbnailRole).value<QImage>();
        QCOMPARE(thumbnail.size(), QSize(230, 115));
    }

    void editorFollowsItsCaptureThroughNewCaptures()
    {
        Fixture f;
        QVERIFY(f.take());
        QVERIFY(f.take());
        EditorSession session(&f.manager, 1);
        QVERIFY(QTest::qWaitFor([&] { return !session.image().isNull(); }, 10000));
        const QImage shown = session.image();
        const quint64 id = f.manager.captureIdAt(1);

        QVERIFY(f.take());

        QCOMPARE(session.captureIndex(), 2);
        QCOMPARE(session.image(), shown);
        QImage edited(10, 10, QImage::Format_RGB32);
        edited.fill(Qt::cyan);
        QVERIFY(session.saveImage(edited));
        // The edit lands on the editor's own capture, not on whatever is at its old index.
        QCOMPARE(f.manager.captureIdAt(2), id);
        QCOMPARE(f.manager.imageAt(2), edited);
        QVERIFY(f.manager.imageAt(1) != edited);
        QCOMPARE(f.manager.count(), 3);
    }

    void editorSeesTheCapturedPixelsCompressedOrNot_data()
    {
        QTest::addColumn<bool>("compressedFirst");
        QTest::newRow("opened before compression finished") << false;
        QTest::newRow("opened on a compressed capture") << true;
    }

    void editorSeesTheCapturedPixelsCompressedOrNot()
    {
        QFETCH(bool, compressedFirst);
        auto codec = std::make_shared<FakePixelCodec>();
        Fixture f(2.0, codec); // 1512 x 982 pixels, 756 x 491 points
        if (!compressedFirst)
            codec->closeCompressGate();
        QVERIFY(f.take());
        const quint64 id = f.manager.captureIdAt(0);
        if (compressedFirst) {
            QVERIFY(f.waitCompressed(id));
            codec->closeDecompressGate();
        } else {
            QVERIFY(QTest::qWaitFor([&] { return codec->waiting() == 1; }, 10000));
        }

        EditorSession session(&f.manager, 0);
        QSignalSpy imageChanged(&session, &EditorSession::imageChanged);
        QCOMPARE(session.image().isNull(), compressedFirst);
        codec->openGates();
        if (compressedFirst)
            QVERIFY(imageChanged.wait(10000));
        else
            QVERIFY(f.waitCompressed(id));

        QCOMPARE(imageChanged.size(), compressedFirst ? 1 : 0);
        QImage captured = FakeScreenCapture::pattern(QSize(1512, 982), 1);
        captured.setDevicePixelRatio(2.0);
        QCOMPARE(session.image(), captured); // pixels and ratio
        QCOMPARE(session.image().format(), captured.format());
        // While the editor is open its capture stays decoded, ready for a drag-out.
        QCOMPARE(f.manager.store()->readyImage(id), captured);
    }

    void editorOnAnUndecodableCaptureClosesAfterOneLine()
    {
        auto codec = std::make_shared<FakePixelCodec>();
        Fixture f(1.0, codec);
        QVERIFY(f.take());
        QVERIFY(f.waitCompressed(f.manager.captureIdAt(0)));
        codec->failDecompress(QStringLiteral("zstd: Corrupted block detected"));
        StdoutCapture log;
        int closes = 0;

        EditorSession session(&f.manager, 0);
        session.setOnClose([&] { ++closes; });

        QVERIFY(QTest::qWaitFor([&] { return closes > 0; }, 10000));
        QCOMPARE(closes, 1);
        QVERIFY(session.image().isNull());
        QCOMPARE(log.takeLines(),
                 QStringList{"Capture 1 cannot be decoded: zstd: Corrupted block detected"});
        codec->failDecompress(QString());
        QVERIFY(f.take());
        QCOMPARE(f.manager.count(), 2);
    }

    void savedEditsAreKeptCompressedLikeCaptures()
    {
        Fixture f;
        for (int i = 0; i < 3; ++i)
            QVERIFY(f.take());
        for (int k = 0; k < 3; ++k)
            QVERIFY(f.waitCompressed(f.manager.captureIdAt(k)));
        QImage edited = FakeScreenCapture::pattern(QSize(1600, 1000), 9);
        edited.setDevicePixelRatio(1.0);
        EditorSession session(&f.manager, 1);
        const quint64 id = f.manager.captureIdAt(1);

        QVERIFY(session.saveImage(edited));
        QCOMPARE(f.manager.store()->usage().rawCount, 1);
        QVERIFY(f.waitCompressed(id));

        const CaptureStore::Usage usage = f.manager.store()->usage();
        QCOMPARE(usage.rawCount, 0);
        QCOMPARE(usage.compressedCount, 3);
        QVERIFY(usage.compressedBytes < edited.sizeInBytes() / 10);
        QCOMPARE(f.manager.imageAt(1), edited);
        QCOMPARE(f.manager.screenshots()->index(1).data(CaptureListModel::PixelSizeRole).toSize(),
                 QSize(1600, 1000));
    }

    void failuresLogOneLineAndChangeNothing_data()
    {
        QTest::addColumn<bool>("access");
        QTest::addColumn<QString>("displaysError");
        QTest::addColumn<QString>("captureError");
        QTest::addColumn<bool>("noDisplays");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("permission")
            << false << QString() << QString() << false
            << QStringList{"Screen Recording permission denied or pending."};
        QTest::newRow("displays") << true << "the X server went away" << QString() << false
                                  << QStringList{
                                         "Failed to capture screen: the X server went away"};
        QTest::newRow("capture") << true << QString() << "GetImage refused" << false
                                 << QStringList{"Failed to capture screen: GetImage refused"};
        QTest::newRow("no display") << true << QString() << QString() << true << QStringList();
    }

    void failuresLogOneLineAndChangeNothing()
    {
        QFETCH(bool, access);
        QFETCH(QString, displaysError);
        QFETCH(QString, captureError);
        QFETCH(bool, noDisplays);
        QFETCH(QStringList, lines);
        Fixture f;
        QVERIFY(f.take());
        const quint64 id = f.manager.captureIdAt(0);
        f.manager.toggleVisibility();
        FakeScreenCapture::Config config;
        config.access = access;
        config.displaysError = displaysError;
        config.captureError = captureError;
        if (noDisplays)
            config.displays.clear();
        f.capture->setConfig(config);
        StdoutCapture log;

        QVERIFY(f.take());
        QTest::qWait(50); // nothing more may arrive

        QCOMPARE(log.takeLines(), lines);
        QCOMPARE(f.manager.count(), 1);
        QCOMPARE(f.manager.captureIdAt(0), id);
        QVERIFY(!f.manager.isVisible());
    }

    void captureScale_data()
    {
        QTest::addColumn<std::optional<qreal>>("ratio");
        QTest::addColumn<int>("scale");

        QTest::newRow("1") << std::optional<qreal>(1.0) << 1;
        QTest::newRow("2") << std::optional<qreal>(2.0) << 2;
        QTest::newRow("1.5 truncates") << std::optional<qreal>(1.5) << 1;
        QTest::newRow("2.75 truncates") << std::optional<qreal>(2.75) << 2;
        QTest::newRow("below 1 is 1") << std::optional<qreal>(0.5) << 1;
        QTest::newRow("zero is 1") << std::optional<qreal>(0.0) << 1;
        QTest::newRow("NaN is 1") << std::optional<qreal>(std::nan("")) << 1;
        QTest::newRow("no screen is 2") << std::optional<qreal>() << 2;
    }

    void captureScale()
    {
        QFETCH(std::optional<qreal>, ratio);
        QFETCH(int, scale);

        QCOMPARE(ScreenshotManager::captureScale(ratio), scale);
    }

    void pointAndPixelSizes_data()
    {
        QTest::addColumn<QSize>("native");
        QTest::addColumn<std::optional<qreal>>("ratio");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QSize>("points");

        QTest::newRow("retina-like at 2") << QSize(3024, 1964) << std::optional<qreal>(2.0)
                                          << QSize(3024, 1964) << QSize(1512, 982);
        QTest::newRow("scale 1") << QSize(1512, 982) << std::optional<qreal>(1.0)
                                 << QSize(1512, 982) << QSize(1512, 982);
        QTest::newRow("fractional 1.5 captures at 1")
            << QSize(3000, 2000) << std::optional<qreal>(1.5) << QSize(2000, 1333)
            << QSize(2000, 1333);
        QTest::newRow("no screen captures at 2")
            << QSize(800, 600) << std::optional<qreal>() << QSize(1600, 1200) << QSize(800, 600);
    }

    void pointAndPixelSizes()
    {
        QFETCH(QSize, native);
        QFETCH(std::optional<qreal>, ratio);
        QFETCH(QSize, pixels);
        QFETCH(QSize, points);
        Fixture f(ratio);
        FakeScreenCapture::Config config;
        config.displays = {{QStringLiteral("fake"), QRect(QPoint(100, 50), native)}};
        f.capture->setConfig(config);

        QVERIFY(f.take());

        const QImage image = f.manager.imageAt(0);
        QCOMPARE(image.size(), pixels);
        QCOMPARE(image.deviceIndependentSize().toSize(), points);
        QCOMPARE(f.capture->lastPixelSize(), pixels);
    }

    void previewRequestsOnlyForIndicesInTheList()
    {
        Fixture f;
        QVERIFY(f.take());
        QSignalSpy requests(&f.manager, &ScreenshotManager::previewRequested);

        f.manager.requestPreview(0);
        f.manager.requestPreview(1);
        f.manager.requestPreview(-1);

        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).at(0).toInt(), 0);
    }
};

QTEST_MAIN(ScreenshotManagerTest)
#include "ScreenshotManagerTest.moc"
