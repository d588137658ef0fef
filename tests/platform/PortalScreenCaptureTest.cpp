#include "platform/PortalScreenCapture.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakePermissionStore.h"
#include "fakes/FakeScreenshotPortal.h"
#include "fakes/StdoutCapture.h"
#include "platform/PortalRequest.h"

#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtConcurrent>

Q_DECLARE_METATYPE(ScreenLayout)
Q_DECLARE_METATYPE(std::optional<FakePermissionStore::Entry>)

namespace {

// Two screens side by side; the primary one is the right one.
ScreenLayout twoScreens()
{
    return {QStringLiteral("right"), QRect(200, 0, 200, 100), 1.0, QRect(0, 0, 400, 100)};
}

// Left half red, right half blue, at `scale` pixels per point.
QImage desktopPicture(qreal scale)
{
    QImage image(int(400 * scale), int(100 * scale), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(QRectF(0, 0, 200 * scale, 100 * scale), Qt::red);
    painter.fillRect(QRectF(200 * scale, 0, 200 * scale, 100 * scale), Qt::blue);
    return image;
}

} // namespace

class PortalScreenCaptureTest : public QObject
{
    Q_OBJECT

private:
    // Runs a capture on a worker thread, as the manager does, while this thread plays the portal.
    Result<QImage> captureOnWorker(PortalScreenCapture &backend, QSize pixelSize)
    {
        QFuture<Result<QImage>> future = QtConcurrent::run(
            [&backend, pixelSize] { return backend.capture(CaptureDisplay{}, pixelSize); });
        // Not QTRY_VERIFY: it returns from this function on failure. The future always
        // finishes: the backend's own time-out is far shorter.
        if (!QTest::qWaitFor([&future] { return future.isFinished(); }, 60000))
            return Result<QImage>::failure(QStringLiteral("the capture never returned"));
        return future.result();
    }

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test needs a session bus");
        QVERIFY(m_dir.isValid());
    }

    void answers_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("file");  // "png", "text", "missing", "remote", "none"
        QTest::addColumn<QString>("error"); // empty: a capture is expected

        const auto row = [](const char *name, FakeScreenshotPortal::Behaviour behaviour, uint code,
                            const char *file, const char *error) {
            QTest::newRow(name) << int(behaviour) << code << QString(file) << QString(error);
        };
        const auto respond = FakeScreenshotPortal::Behaviour::Respond;
        row("taken", respond, 0, "png", "");
        row("refused by the user", respond, 1, "png", "refused");
        row("portal failed", respond, 2, "png", "could not take it");
        row("no file named", respond, 0, "none", "named no file");
        row("file gone", respond, 0, "missing", "does not exist");
        row("not a picture", respond, 0, "text", "is not an image");
        row("not a local file", respond, 0, "remote", "no local file");
        row("no answer", FakeScreenshotPortal::Behaviour::StaySilent, 0, "png", "did not answer");
        row("no reply", FakeScreenshotPortal::Behaviour::NeverReply, 0, "png", "did not answer");
    }

    void answers()
    {
        QFETCH(int, behaviour);
        QFETCH(uint, code);
        QFETCH(QString, file);
        QFETCH(QString, error);

        const QString path =
            m_dir.filePath(QStringLiteral("portal-%1.png").arg(QTest::currentDataTag()));
        QVariantMap results;
        if (file == QLatin1String("png")) {
            QVERIFY(desktopPicture(1).save(path, "PNG"));
            results[QStringLiteral("uri")] = QUrl::fromLocalFile(path).toString();
        } else if (file == QLatin1String("text")) {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("not a picture at all");
            text.close();
            results[QStringLiteral("uri")] = QUrl::fromLocalFile(path).toString();
        } else if (file == QLatin1String("missing")) {
            results[QStringLiteral("uri")] = QUrl::fromLocalFile(path).toString();
        } else if (file == QLatin1String("remote")) {
            results[QStringLiteral("uri")] = QStringLiteral("https://example.org/shot.png");
        }

        FakeScreenshotPortal portal;
        portal.behaviour = FakeScreenshotPortal::Behaviour(behaviour);
        portal.responseCode = code;
        portal.results = results;
        QVERIFY(portal.start());

        PortalScreenCapture backend(QDBusConnection::sessionBus(), twoScreens, 1500);
        const auto image = captureOnWorker(backend, QSize(200, 100));

        QCOMPARE(portal.calls, 1);
        QCOMPARE(portal.lastOptions.value(QStringLiteral("interactive")), QVariant(false));
        if (error.isEmpty()) {
            QVERIFY2(image.ok(), qPrintable(image.error()));
            QCOMPARE(image.value().size(), QSize(200, 100));
            QCOMPARE(image.value().pixelColor(0, 0), QColor(Qt::blue));
            QCOMPARE(image.value().pixelColor(199, 99), QColor(Qt::blue));
        } else {
            QVERIFY(!image.ok());
            QVERIFY2(image.error().contains(error), qPrintable(image.error()));
        }
        // Whatever the portal wrote is never left behind once read.
        if (code == 0 && behaviour == int(FakeScreenshotPortal::Behaviour::Respond))
            QVERIFY(!QFile::exists(path));
    }

    // Window capture asks the portal for its interactive request and keeps the whole
    // picture the user chose.
    void chosenWindowIsTheInteractiveRequest()
    {
        const QString path = m_dir.filePath(QStringLiteral("chosen.png"));
        QImage chosen(300, 200, QImage::Format_RGB32);
        chosen.fill(Qt::green);
        QVERIFY(chosen.save(path, "PNG"));
        FakeScreenshotPortal portal;
        portal.results = {{QStringLiteral("uri"), QUrl::fromLocalFile(path).toString()}};
        QVERIFY(portal.start());
        PortalScreenCapture backend(QDBusConnection::sessionBus(), twoScreens, 1500);

        QFuture<Result<QImage>> future =
            QtConcurrent::run([&backend] { return backend.captureChosenWindow(); });
        QVERIFY(QTest::qWaitFor([&future] { return future.isFinished(); }, 60000));
        const auto image = future.result();

        QCOMPARE(portal.lastOptions.value(QStringLiteral("interactive")), QVariant(true));
        QVERIFY2(image.ok(), qPrintable(image.error()));
        QCOMPARE(image.value().size(), QSize(300, 200));
        QCOMPARE(image.value().pixelColor(10, 10), QColor(Qt::green));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!backend.windowUnderPointer().ok());
    }

    void portalMissing()
    {
        PortalScreenCapture backend(QDBusConnection::sessionBus(), twoScreens, 5000);
        const auto image = captureOnWorker(backend, QSize(200, 100));
        QVERIFY(!image.ok());
        QVERIFY(!image.error().isEmpty());
    }

    // Quitting while the portal takes its time: the capture is abandoned, and so is any later one.
    void abandonEndsAWaitingCapture_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::newRow("no answer") << int(FakeScreenshotPortal::Behaviour::StaySilent);
        QTest::newRow("no reply") << int(FakeScreenshotPortal::Behaviour::NeverReply);
    }

    void abandonEndsAWaitingCapture()
    {
        QFETCH(int, behaviour);
        FakeScreenshotPortal portal;
        portal.behaviour = FakeScreenshotPortal::Behaviour(behaviour);
        QVERIFY(portal.start());
        // Far longer than the test may run: only the abandon can end the wait.
        PortalScreenCapture backend(QDBusConnection::sessionBus(), twoScreens, 600000);

        QFuture<Result<QImage>> future = QtConcurrent::run(
            [&backend] { return backend.capture(CaptureDisplay{}, QSize(200, 100)); });
        QTRY_COMPARE_WITH_TIMEOUT(portal.calls, 1, 20000);
        backend.abandon();
        QVERIFY(QTest::qWaitFor([&future] { return future.isFinished(); }, 60000));

        QVERIFY(!future.result().ok());
        QCOMPARE(future.result().error(), PortalRequest::abandonedReason());
        const auto later = backend.capture(CaptureDisplay{}, QSize(200, 100));
        QCOMPARE(later.error(), PortalRequest::abandonedReason());
        QCOMPARE(portal.calls, 1);
    }

    // The user may take the permission back while the program runs: each capture reads the
    // store again, and a stored "no" stops it before the portal is called, as at start-up.
    void everyCaptureReadsTheStoredPermission_data()
    {
        using Entry = FakePermissionStore::Entry;
        QTest::addColumn<std::optional<Entry>>("entry"); // stored once the program runs
        QTest::addColumn<bool>("allowed");

        QTest::newRow("still granted") << std::optional(Entry{{QString(), {"yes"}}}) << true;
        QTest::newRow("taken back") << std::optional(Entry{{QString(), {"no"}}}) << false;
        QTest::newRow("forgotten") << std::optional<Entry>() << true;
        // Programs outside a sandbox are the empty app id; a sandboxed one's "no" is its own.
        QTest::newRow("refused to another program")
            << std::optional(Entry{{QStringLiteral("org.example.Other"), {"no"}}}) << true;
    }

    void everyCaptureReadsTheStoredPermission()
    {
        QFETCH(std::optional<FakePermissionStore::Entry>, entry);
        QFETCH(bool, allowed);
        const QString path =
            m_dir.filePath(QStringLiteral("stored-%1.png").arg(QTest::currentDataTag()));
        FakeScreenshotPortal portal;
        portal.results[QStringLiteral("uri")] = QUrl::fromLocalFile(path).toString();
        QVERIFY(portal.start());
        FakePermissionStore store;
        store.setScreenshotEntry(FakePermissionStore::Entry{{QString(), {"yes"}}});
        QVERIFY(store.start());
        ScreenshotManager manager(
            std::make_unique<PortalScreenCapture>(QDBusConnection::sessionBus(), twoScreens, 5000),
            [] { return std::optional<qreal>(1.0); });
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        QSignalSpy failed(&manager, &ScreenshotManager::captureFailed);
        QVERIFY(desktopPicture(1).save(path, "PNG"));
        manager.takeScreenshot();
        QVERIFY(finished.wait(20000));
        QCOMPARE(portal.calls, 1);

        store.setScreenshotEntry(entry);
        QVERIFY(desktopPicture(1).save(path, "PNG"));
        std::optional<StdoutCapture> log(std::in_place);
        manager.takeScreenshot();
        // A refused capture fails at once; the wait shows that no capture follows.
        const bool captured = finished.wait(allowed ? 20000 : 200);
        const QStringList lines = log->takeLines();
        log.reset();

        QCOMPARE(captured, allowed);
        QCOMPARE(failed.count(), allowed ? 0 : 1);
        QCOMPARE(portal.calls, allowed ? 2 : 1);
        QCOMPARE(manager.count(), allowed ? 2 : 1);
        QCOMPARE(lines, allowed ? QStringList()
                                : QStringList{"Screen Recording permission denied or pending."});
        QCOMPARE(store.lookups(), 2);
    }

    void crop_data()
    {
        QTest::addColumn<qreal>("pictureScale");
        QTest::addColumn<ScreenLayout>("layout");
        QTest::addColumn<QSize>("pixelSize"); // the crop's, never resampled
        QTest::addColumn<QColor>("colour");   // invalid: the crop must fail

        QTest::newRow("right screen") << 1.0 << twoScreens() << QSize(200, 100) << QColor(Qt::blue);
        QTest::newRow("left screen, picture at 2x")
            << 2.0 << ScreenLayout{QString(), QRect(0, 0, 200, 100), 2.0, QRect(0, 0, 400, 100)}
            << QSize(400, 200) << QColor(Qt::red);
        // XWayland may show a 2x output at scale 1: the real pixels are kept all the same.
        QTest::newRow("picture at 2x, screen seen at 1x")
            << 2.0 << twoScreens() << QSize(400, 200) << QColor(Qt::blue);
        QTest::newRow("screens left of the origin")
            << 1.0 << ScreenLayout{QString(), QRect(0, 0, 200, 100), 1.0, QRect(-200, 0, 400, 100)}
            << QSize(200, 100) << QColor(Qt::blue);
        QTest::newRow("screen outside the picture")
            << 1.0 << ScreenLayout{QString(), QRect(500, 0, 200, 100), 1.0, QRect(0, 0, 400, 100)}
            << QSize(200, 100) << QColor();
    }

    void crop()
    {
        QFETCH(qreal, pictureScale);
        QFETCH(ScreenLayout, layout);
        QFETCH(QSize, pixelSize);
        QFETCH(QColor, colour);

        const auto image = PortalScreenCapture::cropToPrimary(desktopPicture(pictureScale), layout);
        QCOMPARE(image.ok(), colour.isValid());
        if (!colour.isValid())
            return;
        QCOMPARE(image.value().size(), pixelSize);
        QCOMPARE(image.value().format(), QImage::Format_RGB32);
        QCOMPARE(image.value().pixelColor(0, 0), colour);
        QCOMPARE(image.value().pixelColor(pixelSize.width() / 4, pixelSize.height() - 1), colour);
    }
};

QTEST_MAIN(PortalScreenCaptureTest)
#include "PortalScreenCaptureTest.moc"
