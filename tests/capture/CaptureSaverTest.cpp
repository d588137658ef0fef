#include "capture/CaptureSaver.h"
#include "capture/ScreenshotManager.h"
#include "fakes/FakeScreenCapture.h"
#include "fakes/StdoutCapture.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Fixture
{
    Fixture()
        : preferences(base.filePath("Orrinvale.conf")),
          manager(std::make_unique<FakeScreenCapture>(), [] { return std::optional<qreal>(1.0); }),
          saver(&manager, &preferences)
    {
        preferences.setSaveFolder(base.filePath("Screenshots"));
        preferences.setNamePattern("Shot %H-%M");
        saver.setClock([] { return QDateTime(QDate(2026, 1, 2), QTime(10, 20)); });
    }

    bool take()
    {
        QSignalSpy finished(&manager, &ScreenshotManager::captureFinished);
        manager.takeScreenshot();
        return QTest::qWaitFor([&] { return finished.size() == 1; }, 10000);
    }

    /// Saves the newest capture to `path` and waits; what `done` got.
    Result<QString> saveLatest(const QString &path = QString())
    {
        std::optional<Result<QString>> got;
        saver.saveLatest(path, &manager, [&](const Result<QString> &written) { got = written; });
        saver.waitForSaves();
        return got.value_or(Result<QString>::failure("no answer"));
    }

    QTemporaryDir base;
    Preferences preferences;
    ScreenshotManager manager;
    CaptureSaver saver;
};

} // namespace

class CaptureSaverTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // "Save As..." opens where a file can be saved: the save folder, made on the way if it
    // is missing; where it cannot be made (a file in its path), the Pictures folder, else
    // home.
    void saveAsOpensInAFolderThatExists_data()
    {
        QTest::addColumn<QString>("saveFolder");
        QTest::addColumn<bool>("picturesExists");
        QTest::addColumn<QString>("chosen");

        QTest::newRow("there") << "Screenshots" << true << "Screenshots";
        QTest::newRow("missing: made")
            << "Pictures/Screenshots/2026" << false << "Pictures/Screenshots/2026";
        QTest::newRow("cannot be made: Pictures") << "file/Screenshots" << true << "Pictures";
        QTest::newRow("nor Pictures: home") << "file/Screenshots" << false << "home";
        QTest::newRow("none set: Pictures") << "" << true << "Pictures";
    }
    void saveAsOpensInAFolderThatExists()
    {
        QFETCH(QString, saveFolder);
        QFETCH(bool, picturesExists);
        QFETCH(QString, chosen);
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkpath("home"));
        QVERIFY(QDir(base.path()).mkpath("Screenshots"));
        if (picturesExists)
            QVERIFY(QDir(base.path()).mkpath("Pictures"));
        QFile file(base.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const auto at = [&](const QString &name) { return base.filePath(name); };

        const QString folder = CaptureSaver::chooserFolder(
            saveFolder.isEmpty() ? QString() : at(saveFolder), {at("Pictures"), at("home")});

        QCOMPARE(folder, at(chosen));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void theExtensionChoosesTheFormat_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("extension");

        using F = CaptureSaver::Format;
        QTest::newRow("png") << "/a/b.png" << true << int(F::Png) << ".png";
        QTest::newRow("upper case") << "/a/b.PNG" << true << int(F::Png) << ".PNG";
        QTest::newRow("jpg") << "/a/b.jpg" << true << int(F::Jpeg) << ".jpg";
        QTest::newRow("jpeg") << "/a/b.jpeg" << true << int(F::Jpeg) << ".jpeg";
        QTest::newRow("none is a png") << "/a/b" << true << int(F::Png) << ".png";
        QTest::newRow("gif") << "/a/b.gif" << false << 0 << "";
        QTest::newRow("a dotted folder") << "/a.png/b.txt" << false << 0 << "";
    }

    void theExtensionChoosesTheFormat()
    {
        QFETCH(QString, path);
        QFETCH(bool, taken);
        QFETCH(int, format);
        QFETCH(QString, extension);

        const Result<CaptureSaver::Target> target = CaptureSaver::targetFor(path);

        QCOMPARE(target.ok(), taken);
        if (taken) {
            QCOMPARE(int(target.value().format), format);
            QCOMPARE(target.value().extension, extension);
        } else {
            QVERIFY(target.error().startsWith("cannot save as ."));
        }
    }

    // Into the folder (made on the first save) under the pattern, never over an earlier
    // file; each write says where in one line; the capture stays on the stack.
    void savesIntoTheFolderUnderThePatternWithoutReplacing()
    {
        Fixture f;
        QVERIFY(f.take());
        const QImage expected = f.manager.imageAt(0).convertToFormat(QImage::Format_RGB32);
        StdoutCapture log;
        const QString folder = f.base.filePath("Screenshots");

        const Result<QString> first = f.saveLatest();
        const Result<QString> second = f.saveLatest();

        QVERIFY2(first.ok(), qPrintable(first.error()));
        QCOMPARE(first.value(), folder + "/Shot 10-20.png");
        QCOMPARE(second.value(), folder + "/Shot 10-20 (2).png");
        QCOMPARE(log.takeLines(),
                 QStringList({"Saved " + first.value(), "Saved " + second.value()}));
        QCOMPARE(QImage(first.value()).convertToFormat(QImage::Format_RGB32), expected);
        QCOMPARE(f.manager.count(), 1);
    }

    void savesToAPathInItsFormat()
    {
        Fixture f;
        QVERIFY(f.take());
        const QString path = f.base.filePath("out.jpg");

        const Result<QString> written = f.saveLatest(path);

        QVERIFY(written.ok());
        QCOMPARE(written.value(), path);
        QCOMPARE(QImageReader(path).format(), QByteArray("jpeg"));
        QCOMPARE(QImage(path).size(), f.manager.imageAt(0).size());
    }

    void aSaveThatCannotBeMadeSaysWhyInOneLine_data()
    {
        QTest::addColumn<bool>("capture");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("line");

        QTest::newRow("an empty stack") << false << ""
                                        << "Nothing to save: the stack is empty.";
        QTest::newRow("an unknown format")
            << true << "x.gif"
            << "Save failed: cannot save as .gif: use .png, .jpg or .jpeg";
        QTest::newRow("a missing folder")
            << true << "missing/x.png"
            << "Save failed: cannot write %1/missing/x.png: No such file or directory";
    }

    void aSaveThatCannotBeMadeSaysWhyInOneLine()
    {
        QFETCH(bool, capture);
        QFETCH(QString, path);
        QFETCH(QString, line);
        Fixture f;
        if (capture)
            QVERIFY(f.take());
        StdoutCapture log;

        const Result<QString> written = f.saveLatest(path.isEmpty() ? path : f.base.filePath(path));

        QVERIFY(!written.ok());
        QStringList lines = log.takeLines();
        // Where Qt has a WebP plugin, the format's refusal names it too.
        if (!lines.isEmpty())
            lines.first().replace(".jpg, .jpeg or .webp", ".jpg or .jpeg");
        QCOMPARE(lines, QStringList{line.arg(f.base.path())});
        QCOMPARE(f.manager.count(), capture ? 1 : 0);
        QCOMPARE(QDir(f.base.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Orrinvale.conf"});
    }
};

QTEST_MAIN(CaptureSaverTest)
#include "CaptureSaverTest.moc"
