#include "capture/CaptureStore.h"
#include "capture/StoredImage.h"
#include "fakes/FakeCaptureEdits.h"
#include "fakes/FakePixelCodec.h"
#include "fakes/StdoutCapture.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <thread>

namespace {

/// A small screen-like picture, distinct per `n`.
QImage picture(int n, QSize size = QSize(641, 401))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((n * 47) % 360, 120, 200));
    QPainter painter(&image);
    painter.fillRect(QRect(20 + n, 30, size.width() / 2, size.height() / 2), Qt::white);
    painter.drawText(QPoint(40, 60), QStringLiteral("capture %1").arg(n));
    return image;
}

struct Fixture
{
    explicit Fixture(int cacheSize = CaptureStore::DefaultCacheSize)
        : codec(std::make_shared<FakePixelCodec>()), store(codec, cacheSize)
    {}

    /// Inserts and compresses capture `id`; false if it did not end compressed.
    bool addCompressed(quint64 id, const QImage &image)
    {
        store.insert(id, image);
        store.compress(id);
        store.waitForWorkers();
        return store.isCompressed(id);
    }

    /// Loads `id` through the UI-thread path and waits for the delivery.
    std::optional<Result<QImage>> load(quint64 id, QObject *context)
    {
        std::optional<Result<QImage>> delivered;
        store.load(id, context, [&](const Result<QImage> &image) { delivered = image; });
        if (!QTest::qWaitFor([&] { return delivered.has_value(); }, 10000))
            return std::nullopt;
        return delivered;
    }

    std::shared_ptr<FakePixelCodec> codec;
    CaptureStore store;
};

} // namespace

class CaptureStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compressedCapturesCostTheirCompressedBytesOnly()
    {
        Fixture f;
        qint64 raw = 0;
        for (quint64 id = 1; id <= 3; ++id) {
            f.store.insert(id, picture(int(id)));
            raw += picture(int(id)).sizeInBytes();
        }
        QCOMPARE(f.store.usage().rawBytes, raw);
        QSignalSpy compressed(&f.store, &CaptureStore::compressed);

        for (quint64 id = 1; id <= 3; ++id)
            f.store.compress(id);
        f.store.waitForWorkers();

        QCOMPARE(compressed.size(), 3);
        const CaptureStore::Usage usage = f.store.usage();
        QCOMPARE(usage.rawBytes + usage.decodedBytes, qint64(0));
        QCOMPARE(usage.compressedCount, 3);
        QVERIFY(usage.compressedBytes > 0);
        QVERIFY2(usage.compressedBytes < raw / 10,
                 qPrintable(QString::number(usage.compressedBytes)));
        for (quint64 id = 1; id <= 3; ++id) {
            QVERIFY(f.store.readyImage(id).isNull());
            QCOMPARE(f.store.image(id), picture(int(id)));
        }
    }

    void aFailedCompressionKeepsTheRawPixels_data()
    {
        QTest::addColumn<QString>("compressError");
        QTest::addColumn<QString>("decompressError");
        QTest::addColumn<bool>("otherPixels");
        QTest::addColumn<QString>("line");

        QTest::newRow("out of memory") << "out of memory" << QString() << false
                                       << "Capture 7 stays uncompressed: out of memory";
        QTest::newRow("copy does not decode")
            << QString() << "zstd: corrupted" << false
            << "Capture 7 stays uncompressed: the compressed copy does not decode: zstd: corrupted";
        QTest::newRow("copy decodes to other pixels")
            << QString() << QString() << true
            << "Capture 7 stays uncompressed: the compressed copy decodes to other pixels";
    }

    void aFailedCompressionKeepsTheRawPixels()
    {
        QFETCH(QString, compressError);
        QFETCH(QString, decompressError);
        QFETCH(bool, otherPixels);
        QFETCH(QString, line);
        Fixture f;
        f.codec->failCompress(compressError);
        f.codec->failDecompress(decompressError);
        f.codec->changePixelOnDecompress(otherPixels);
        QSignalSpy failed(&f.store, &CaptureStore::compressionFailed);
        StdoutCapture log;

        QVERIFY(!f.addCompressed(7, picture(7)));

        QCOMPARE(log.takeLines(), QStringList{line});
        QCOMPARE(failed.size(), 1);
        QCOMPARE(f.store.readyImage(7), picture(7));
        QCOMPARE(f.store.usage().compressedBytes, qint64(0));
        // It is not tried again and again; the store goes on working for the others.
        f.store.compress(7);
        f.store.waitForWorkers();
        QCOMPARE(failed.size(), 1);
        f.codec->failCompress(QString());
        f.codec->failDecompress(QString());
        f.codec->changePixelOnDecompress(false);
        QVERIFY(f.addCompressed(8, picture(8)));
        QCOMPARE(f.store.image(8), picture(8));
    }

    void anUndecodableCaptureIsReportedOnceAndDeliveredAsAFailure()
    {
        Fixture f;
        QVERIFY(f.addCompressed(3, picture(3)));
        f.codec->failDecompress(QStringLiteral("corrupt data: zstd: checksum wrong"));
        StdoutCapture log;
        QObject context;

        const std::optional<Result<QImage>> delivered = f.load(3, &context);
        const Result<QImage> fromSource = f.store.source(3)();

        QVERIFY(delivered && !delivered->ok());
        QVERIFY(!fromSource.ok());
        QCOMPARE(fromSource.error(),
                 QStringLiteral("cannot decode the capture: corrupt data: zstd: checksum wrong"));
        QCOMPARE(log.takeLines(),
                 QStringList{"Capture 3 cannot be decoded: corrupt data: zstd: checksum wrong"});
        QCOMPARE(f.store.usage().compressedCount, 1); // the copy is not thrown away
    }

    void decodedCapturesAreCachedHeldOnesStay()
    {
        Fixture f(2);
        for (quint64 id = 1; id <= 4; ++id)
            QVERIFY(f.addCompressed(id, picture(int(id))));
        QObject context;
        auto editor = std::make_unique<QObject>();
        f.store.keepDecoded(1, editor.get());
        const int verifyDecodes = f.codec->decompressCalls();

        for (quint64 id = 1; id <= 4; ++id) {
            const auto delivered = f.load(id, &context);
            QVERIFY(delivered && delivered->ok());
            QCOMPARE(delivered->value(), picture(int(id)));
        }

        QCOMPARE(f.codec->decompressCalls() - verifyDecodes, 4);
        // The held one and the two most recent.
        QCOMPARE(f.store.usage().decodedCount, 3);
        QCOMPARE(QList<bool>({f.store.readyImage(1).isNull(), f.store.readyImage(2).isNull(),
                              f.store.readyImage(3).isNull(), f.store.readyImage(4).isNull()}),
                 QList<bool>({false, true, false, false}));
        QCOMPARE(f.store.usage().decodedBytes, qint64(3 * picture(1).sizeInBytes()));
        // Cached ones are served without decoding again.
        QVERIFY(f.load(4, &context)->ok());
        QCOMPARE(f.codec->decompressCalls() - verifyDecodes, 4);

        editor.reset();

        QCOMPARE(f.store.usage().decodedCount, 2);
        QVERIFY(f.store.readyImage(1).isNull());
    }

    void requestsDuringOneDecodeShareIt()
    {
        Fixture f;
        QVERIFY(f.addCompressed(2, picture(2)));
        const int before = f.codec->decompressCalls();
        f.codec->closeDecompressGate();
        QObject first, second;
        QList<QImage> delivered;
        const auto collect = [&](const Result<QImage> &image) {
            delivered.append(image.ok() ? image.value() : QImage());
        };
        auto goneContext = std::make_unique<QObject>();

        f.store.load(2, &first, collect);
        f.store.load(2, &second, collect);
        f.store.load(2, goneContext.get(), collect);
        goneContext.reset();
        QVERIFY(QTest::qWaitFor([&] { return f.codec->waiting() == 1; }, 10000));
        f.codec->openGates();
        f.store.waitForWorkers();

        QCOMPARE(f.codec->decompressCalls() - before, 1);
        QCOMPARE(delivered, (QList<QImage>{picture(2), picture(2)}));
    }

    void newPixelsWinOverWorkStillRunningOnTheOldOnes_data()
    {
        QTest::addColumn<bool>("duringDecode");
        QTest::newRow("during compression") << false;
        QTest::newRow("during a decode") << true;
    }

    void newPixelsWinOverWorkStillRunningOnTheOldOnes()
    {
        QFETCH(bool, duringDecode);
        Fixture f;
        const QImage edited = picture(99);
        QObject context;
        std::optional<Result<QImage>> delivered;
        if (duringDecode) {
            QVERIFY(f.addCompressed(1, picture(1)));
            f.codec->closeDecompressGate();
            f.store.load(1, &context, [&](const Result<QImage> &image) { delivered = image; });
        } else {
            f.store.insert(1, picture(1));
            f.codec->closeCompressGate();
            f.store.compress(1);
        }
        QVERIFY(QTest::qWaitFor([&] { return f.codec->waiting() == 1; }, 10000));

        f.store.insert(1, edited);
        f.codec->openGates();
        f.store.waitForWorkers();

        QVERIFY(!f.store.isCompressed(1));
        QCOMPARE(f.store.readyImage(1), edited);
        if (duringDecode) {
            QVERIFY(delivered && delivered->ok());
            QCOMPARE(delivered->value(), edited);
        }
        QVERIFY(f.addCompressed(1, edited));
        QCOMPARE(f.store.image(1), edited);
    }

    // Quitting after a burst of captures waits for the compression under way, not for every
    // one still queued.
    void destructionDropsQueuedWork()
    {
        auto codec = std::make_shared<FakePixelCodec>();
        auto store = std::make_unique<CaptureStore>(codec);
        codec->closeCompressGate();
        for (quint64 id = 1; id <= 5; ++id) {
            store->insert(id, picture(int(id)));
            store->compress(id);
        }
        QVERIFY(QTest::qWaitFor([&] { return codec->waiting() == 1; }, 10000));
        // The gate opens while the destructor waits for the one compression under way.
        std::thread opener([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            codec->openGates();
        });

        store.reset();
        opener.join();

        QCOMPARE(codec->compressCalls(), 1);
    }

    // An edited capture hands out its flattened picture on every path, raw or compressed,
    // while the editor still gets the original; dropping the edits gives the original again.
    void editsAreDrawnOverWhatIsHandedOut_data()
    {
        QTest::addColumn<bool>("compressed");
        QTest::newRow("raw") << false;
        QTest::newRow("compressed") << true;
    }

    void editsAreDrawnOverWhatIsHandedOut()
    {
        QFETCH(bool, compressed);
        Fixture f;
        const QImage original = picture(1);
        if (compressed)
            QVERIFY(f.addCompressed(1, original));
        else
            f.store.insert(1, original);
        QObject context;
        QVERIFY(f.load(1, &context)); // a decoded copy in the cache, to be replaced

        f.store.setEdits(1, std::make_shared<FakeCaptureEdits>(Qt::red));

        const QColor red(Qt::red);
        QCOMPARE(f.store.image(1).pixelColor(5, 5), red);
        QCOMPARE(f.store.source(1)().value().pixelColor(5, 5), red);
        const auto loaded = f.load(1, &context);
        QVERIFY(loaded && loaded->ok());
        QCOMPARE(loaded->value().pixelColor(5, 5), red);
        QCOMPARE(f.store.readyImage(1).pixelColor(5, 5), red); // now cached
        std::optional<Result<QImage>> originalCopy;
        f.store.loadOriginal(1, &context,
                             [&](const Result<QImage> &image) { originalCopy = image; });
        QTRY_VERIFY(originalCopy.has_value());
        QCOMPARE(originalCopy->value(), original);
        QCOMPARE(f.store.isCompressed(1), compressed);

        f.store.setEdits(1, nullptr);
        QCOMPARE(f.store.image(1), original);
        QCOMPARE(f.load(1, &context)->value(), original);
    }

    // A kept picture lives while a handle of it does, its capture's edits included, and is
    // compressed like a capture meanwhile.
    void keptPicturesGoWithTheirLastHandle()
    {
        Fixture f;
        QVERIFY(f.addCompressed(1, picture(1)));
        const QImage inserted = picture(2, QSize(64, 48));
        auto first = std::make_optional<StoredImage>(&f.store, inserted);
        StoredImage second = *first;
        f.store.waitForWorkers();
        QCOMPARE(f.store.usage().compressedCount, 2);
        QCOMPARE(f.store.usage().rawCount, 0);
        QCOMPARE(second.image(), inserted);
        QCOMPARE(second.source()().value(), inserted);

        first.reset();
        f.store.setEdits(1, std::make_shared<FakeCaptureEdits>(Qt::red, QImage(), second));
        second = StoredImage();
        QCOMPARE(f.store.usage().compressedCount, 2); // the edits hold it

        f.store.remove(1);
        QCOMPARE(f.store.usage().compressedCount, 0);
        QCOMPARE(f.store.usage().rawCount, 0);
    }

    void unknownCapturesGiveFailuresNotCrashes()
    {
        Fixture f;
        QObject context;

        QVERIFY(f.store.image(42).isNull());
        QVERIFY(!f.store.source(42)().ok());
        const auto delivered = f.load(42, &context);
        QVERIFY(delivered && !delivered->ok());
        f.store.compress(42);
        QCOMPARE(f.store.usage().rawCount + f.store.usage().compressedCount, 0);
    }
};

QTEST_MAIN(CaptureStoreTest)
#include "CaptureStoreTest.moc"
