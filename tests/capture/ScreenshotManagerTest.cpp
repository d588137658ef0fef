#include "capture/ScreenshotManager.h"
#include "editor/EditorSession.h"
#include "fakes/FakeCaptureEdits.h"
#include "fakes/FakePixelCodec.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"

#include <QScopeGuard>
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
        QList<quint64> ids;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(f.take());
            ids.prepend(f.manager.captureIdAt(0));
        }

        QVERIFY(f.take());

        QCOMPARE(f.manager.count(), 4);
        QCOMPARE(QList<quint64>({f.manager.captureIdAt(1), f.manager.captureIdAt(2),
                                 f.manager.captureIdAt(3)}),
                 ids);
        // The picture of the fourth call is the one now on top.
        QCOMPARE(f.manager.imageAt(0).pixel(1511, 981),
                 FakeScreenCapture::pattern(QSize(1512, 982), 4).pixel(1511, 981));
    }

    // An edit lands on the editor's own capture wherever new captures moved it, gets a new
    // thumbnail, and is compressed like a capture; nothing else changes.
    void aBurstWaitsForCompressionAndLosesNothing()
    {
        auto codec = std::make_shared<FakePixelCodec>();
        Fixture f(1.0, codec);
        const qint64 captureBytes = FakeScreenCapture::pattern(QSize(1512, 982), 1).sizeInBytes();
        f.manager.setBacklogLimit(3 * captureBytes);
        QSignalSpy finished(&f.manager, &ScreenshotManager::captureFinished);
        QSignalSpy failed(&f.manager, &ScreenshotManager::captureFailed);
        codec->closeCompressGate();
        const auto reopen = qScopeGuard([&] { codec->openGates(); }); // or the store never ends
        for (int i = 0; i < 10; ++i)
            f.manager.takeScreenshot();

        // Three captures' pixels fill the backlog; the other requests wait as requests.
        QVERIFY(QTest::qWaitFor([&] { return f.manager.count() == 3; }, 10000));
        QTest::qWait(300);
        QCOMPARE(f.manager.count(), 3);
        QCOMPARE(f.manager.waitingRequests(), 7);

        codec->openGates();
        QVERIFY(QTest::qWaitFor([&] { return f.manager.count() == 10; }, 20000));
        QCOMPARE(f.manager.waitingRequests(), 0);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(finished.size(), 10);
        for (int i = 0; i < 10; ++i) // completion order, newest on top
            QCOMPARE(f.manager.captureIdAt(9 - i), finished.at(i).at(0).value<quint64>());
    }

    // Saved edits land on the editor's own capture wherever new captures moved it; what the
    // stack hands out and its thumbnail are the flattened picture, drawn off the UI thread,
    // while the original stays compressed and is what the editor sees.
    void savedEditsFollowTheirCaptureWhichStaysCompressed()
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
        for (int k = 0; k < 3; ++k)
            QVERIFY(f.waitCompressed(f.manager.captureIdAt(k)));
        const QImage others[] = {f.manager.imageAt(0), f.manager.imageAt(1)};
        QImage edited(200, 100, QImage::Format_RGB32);
        edited.fill(Qt::magenta);

        QVERIFY(f.manager.setEdits(id, std::make_shared<FakeCaptureEdits>(Qt::red, edited)));
        QVERIFY(!f.manager.setEdits(id + 100, std::make_shared<FakeCaptureEdits>(Qt::red)));

        QCOMPARE(f.manager.count(), 3);
        QCOMPARE(f.manager.captureIdAt(2), id);
        QCOMPARE(f.manager.imageAt(2), edited);
        QCOMPARE(f.manager.imageAt(0), others[0]);
        QCOMPARE(f.manager.imageAt(1), others[1]);
        QCOMPARE(f.manager.store()->usage().rawCount, 0);
        QCOMPARE(f.manager.store()->usage().compressedCount, 3);
        const QModelIndex row = f.manager.screenshots()->index(2);
        QTRY_COMPARE(row.data(CaptureListModel::PixelSizeRole).toSize(), QSize(200, 100));
        const auto thumbnail = [&] {
            return row.data(CaptureListModel::ThumbnailRole).value<QImage>();
        };
        QVERIFY(QTest::qWaitFor(
            [&] {
                return thumbnail().size() == QSize(230, 115) &&
                       thumbnail().pixelColor(115, 57) == QColor(Qt::magenta);
            },
            10000));
        QTRY_COMPARE(session.image(), shown);
    }

    // A draft belongs to its capture alone: it outlives the removal of others and goes with
    // its own, the pictures it keeps with it.
    void aDraftLivesAsLongAsItsCapture()
    {
        Fixture f;
        QVERIFY(f.take());
        QVERIFY(f.take());
        const quint64 older = f.manager.captureIdAt(1);
        const quint64 newer = f.manager.captureIdAt(0);
        QVERIFY(f.waitCompressed(older) && f.waitCompressed(newer));
        const auto keeping = [&](int n) {
            QImage inserted(40, 30, QImage::Format_RGB32);
            inserted.fill(QColor::fromHsv(n * 60, 200, 200));
            return std::make_shared<FakeCaptureEdits>(Qt::red, QImage(),
                                                      StoredImage(f.manager.store(), inserted));
        };
        f.manager.setDraft(older, keeping(1));
        f.manager.setDraft(newer, keeping(2));
        f.manager.setDraft(newer + 100, keeping(3)); // no such capture: not kept
        f.manager.store()->waitForWorkers();
        QCOMPARE(f.manager.store()->usage().compressedCount, 4);

        QVERIFY(f.manager.removeCapture(newer));

        QVERIFY(f.manager.draft(older));
        QVERIFY(!f.manager.draft(newer));
        QCOMPARE(f.manager.store()->usage().compressedCount, 2);
        f.manager.removeAll();
        QVERIFY(!f.manager.draft(older));
        QCOMPARE(f.manager.store()->usage().compressedCount, 0);
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

    void failuresLogOneLineAndChangeNothing_data()
    {
        QTest::addColumn<bool>("access");
        QTest::addColumn<QString>("displaysError");
        QTest::addColumn<QString>("captureError");
        QTest::addColumn<bool>("noDisplays");
        QTest::addColumn<QStringList>("lines");

        const auto row = [](const char *name, bool access, const char *displaysError,
                            const char *captureError, bool noDisplays, const QStringList &lines) {
            QTest::newRow(name) << access << QString(displaysError) << QString(captureError)
                                << noDisplays << lines;
        };
        row("permission", false, "", "", false, {"Screen Recording permission denied or pending."});
        row("displays", true, "the X server went away", "", false,
            {"Failed to capture screen: the X server went away"});
        row("capture", true, "", "GetImage refused", false,
            {"Failed to capture screen: GetImage refused"});
        row("no display", true, "", "", true, {});
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

    // Whole ratios, fractions and no screen are checked through a capture below.
    void captureScale_data()
    {
        QTest::addColumn<std::optional<qreal>>("ratio");
        QTest::addColumn<int>("scale");

        QTest::newRow("2.75 truncates") << std::optional<qreal>(2.75) << 2;
        QTest::newRow("below 1 is 1") << std::optional<qreal>(0.5) << 1;
        QTest::newRow("NaN is 1") << std::optional<qreal>(std::nan("")) << 1;
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
        QTest::addColumn<QSize>("picture"); // what the backend hands over; empty: as asked
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QSize>("points");

        QTest::newRow("retina-like at 2")
            << QSize(3024, 1964) << std::optional<qreal>(2.0) << QSize() << QSize(3024, 1964)
            << QSize(3024, 1964) << QSize(1512, 982);
        QTest::newRow("fractional 1.5 captures at 1")
            << QSize(3000, 2000) << std::optional<qreal>(1.5) << QSize() << QSize(2000, 1333)
            << QSize(2000, 1333) << QSize(2000, 1333);
        QTest::newRow("no screen captures at 2")
            << QSize(800, 600) << std::optional<qreal>() << QSize() << QSize(1600, 1200)
            << QSize(1600, 1200) << QSize(800, 600);
        // A portal's picture of a 2x output that XWayland shows the program at scale 1.
        QTest::newRow("real pixels beyond the scale asked")
            << QSize(1920, 1080) << std::optional<qreal>(1.0) << QSize(3840, 2160)
            << QSize(1920, 1080) << QSize(3840, 2160) << QSize(1920, 1080);
    }

    void pointAndPixelSizes()
    {
        QFETCH(QSize, native);
        QFETCH(std::optional<qreal>, ratio);
        QFETCH(QSize, picture);
        QFETCH(QSize, asked);
        QFETCH(QSize, pixels);
        QFETCH(QSize, points);
        Fixture f(ratio);
        FakeScreenCapture::Config config;
        config.displays = {{QStringLiteral("fake"), QRect(QPoint(100, 50), native)}};
        config.pictureSize = picture;
        f.capture->setConfig(config);

        QVERIFY(f.take());

        const QImage image = f.manager.imageAt(0);
        QCOMPARE(image.size(), pixels);
        QCOMPARE(image.deviceIndependentSize().toSize(), points);
        QCOMPARE(f.capture->lastPixelSize(), asked);
    }

    // Removal by id: the rest keep their order and move up, the pixels go, and only the
    // editor of the removed capture closes while the other follows its capture up.
    void removeTakesOneCaptureOutAndItsEditorCloses_data()
    {
        QTest::addColumn<int>("removed");     // index among four; -1: all of them
        QTest::addColumn<QList<int>>("left"); // former indices, in their new order

        QTest::newRow("newest") << 0 << QList<int>{1, 2, 3};
        QTest::newRow("middle") << 2 << QList<int>{0, 1, 3};
        QTest::newRow("oldest") << 3 << QList<int>{0, 1, 2};
        QTest::newRow("all") << -1 << QList<int>{};
    }

    void removeTakesOneCaptureOutAndItsEditorCloses()
    {
        QFETCH(int, removed);
        QFETCH(QList<int>, left);
        Fixture f;
        for (int i = 0; i < 4; ++i)
            QVERIFY(f.take());
        QList<quint64> ids;
        for (int i = 0; i < 4; ++i)
            ids.append(f.manager.captureIdAt(i));
        const int edited = removed == 1 ? 2 : 1; // an editor on a capture that stays
        EditorSession removedEditor(&f.manager, removed < 0 ? 0 : removed);
        EditorSession otherEditor(&f.manager, edited);
        int removedCloses = 0;
        int otherCloses = 0;
        removedEditor.setOnClose([&] { ++removedCloses; });
        otherEditor.setOnClose([&] { ++otherCloses; });
        QSignalSpy counts(&f.manager, &ScreenshotManager::countChanged);

        if (removed < 0)
            f.manager.removeAll();
        else
            QVERIFY(f.manager.removeCapture(ids.at(removed)));

        QCOMPARE(f.manager.count(), left.size());
        QCOMPARE(counts.size(), 1);
        for (int i = 0; i < left.size(); ++i)
            QCOMPARE(f.manager.captureIdAt(i), ids.at(left.at(i)));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(f.manager.store()->contains(ids.at(i)), left.contains(i));
        QCOMPARE(removedCloses, 1);
        QCOMPARE(otherCloses, removed < 0 ? 1 : 0);
        QCOMPARE(otherEditor.captureIndex(), left.indexOf(edited));
        // Unknown ids and indices change nothing.
        QVERIFY(!f.manager.removeCapture(ids.at(0) + 100));
        f.manager.remove(left.size());
        QCOMPARE(f.manager.count(), left.size());
        QCOMPARE(f.manager.store()->usage().rawCount + f.manager.store()->usage().compressedCount,
                 left.size());
        QCOMPARE(counts.size(), 1);
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
