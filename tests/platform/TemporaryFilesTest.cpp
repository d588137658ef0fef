#include "platform/TemporaryFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

} // namespace

class TemporaryFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The folder is made private (or narrowed to private) and the file is 0600 whatever the umask.
    void createsAPrivateFileInAPrivateFolder_data()
    {
        QTest::addColumn<bool>("widerFolder");
        QTest::newRow("new folder") << false;
        QTest::newRow("existing folder open to others") << true;
    }

    void createsAPrivateFileInAPrivateFolder()
    {
        QFETCH(bool, widerFolder);
        QTemporaryDir base;
        const TemporaryFiles files(base.path());
        if (widerFolder) {
            QVERIFY(QDir().mkdir(files.directoryPath()));
            QVERIFY(::chmod(QFile::encodeName(files.directoryPath()).constData(), 0755) == 0);
        }
        const mode_t previous = ::umask(0277);

        const Result<QString> created = files.createFile(QStringLiteral("a.png"), "hello");

        ::umask(previous);
        QVERIFY2(created.ok(), qPrintable(created.error()));
        QCOMPARE(files.directoryPath(),
                 base.filePath(QStringLiteral("orrinvale-%1").arg(::geteuid())));
        QCOMPARE(created.value(), QDir(files.directoryPath()).filePath(QStringLiteral("a.png")));
        QCOMPARE(modeOf(files.directoryPath()), mode_t(0700));
        QCOMPARE(modeOf(created.value()), mode_t(0600));
        QFile file(created.value());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("hello"));
    }

    void refusesAnUnsafeFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");

        QTest::newRow("symbolic link to a directory") << "link"
                                                      << "symbolic link";
        QTest::newRow("dangling symbolic link") << "dangling"
                                                << "symbolic link";
        QTest::newRow("a plain file") << "file"
                                      << "not a directory";
        QTest::newRow("owned by someone else") << "foreign"
                                               << "belongs to user";
    }

    void refusesAnUnsafeFolder()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir base;
        const TemporaryFiles files(base.path());
        const QByteArray path = QFile::encodeName(files.directoryPath());
        const QString elsewhere = base.filePath(QStringLiteral("elsewhere"));
        if (kind == QLatin1String("link")) {
            QVERIFY(QDir().mkdir(elsewhere));
            QVERIFY(::symlink(QFile::encodeName(elsewhere).constData(), path.constData()) == 0);
        } else if (kind == QLatin1String("dangling")) {
            QVERIFY(::symlink(QFile::encodeName(elsewhere).constData(), path.constData()) == 0);
        } else if (kind == QLatin1String("file")) {
            QFile file(files.directoryPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkdir(files.directoryPath()));
            if (::chown(path.constData(), ::geteuid() + 4242, ::getegid()) != 0)
                QSKIP("changing a folder's owner needs root");
        }

        const Result<QString> created = files.createFile(QStringLiteral("d.png"), "x");

        QVERIFY(!created.ok());
        QVERIFY2(created.error().contains(reason), qPrintable(created.error()));
        QVERIFY2(created.error().contains(files.directoryPath()), qPrintable(created.error()));
        // Nothing was created through the link or beside the file.
        QVERIFY(!QFileInfo::exists(elsewhere + QStringLiteral("/d.png")));
        QCOMPARE(QDir(base.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).filter("d.png"),
                 QStringList());
    }

    void neverOverwritesFollowsOrLeavesTheFolder()
    {
        QTemporaryDir base;
        const TemporaryFiles files(base.path());
        QVERIFY(files.createFile(QStringLiteral("taken.png"), "first").ok());
        const QString target = base.filePath(QStringLiteral("target"));
        QVERIFY(::symlink(QFile::encodeName(target).constData(),
                          QFile::encodeName(files.directoryPath() + "/link.png").constData()) == 0);

        const Result<QString> again = files.createFile(QStringLiteral("taken.png"), "second");
        const Result<QString> throughLink = files.createFile(QStringLiteral("link.png"), "data");

        QVERIFY(!again.ok());
        QVERIFY(!throughLink.ok());
        for (const QString &name : {QString(), QStringLiteral(".."), QStringLiteral("../t.png")})
            QVERIFY2(!files.createFile(name, "x").ok(), qPrintable(name)); // leaves the folder
        QVERIFY(!QFileInfo::exists(base.filePath(QStringLiteral("t.png"))));
        QFile first(files.directoryPath() + QStringLiteral("/taken.png"));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), QByteArray("first"));
        QVERIFY(!QFileInfo::exists(target));
    }

    void failedWriteLeavesNoFile()
    {
        // A file size limit makes the write fail halfway, as a full disk would.
        QTemporaryDir base;
        const TemporaryFiles files(base.path());
        struct rlimit saved;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 4096;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);

        const Result<QString> created =
            files.createFile(QStringLiteral("big.png"), QByteArray(100000, 'x'));

        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!created.ok());
        QVERIFY2(created.error().contains(QStringLiteral("big.png")), qPrintable(created.error()));
        QVERIFY(QDir(files.directoryPath()).entryList(QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TemporaryFilesTest)
#include "TemporaryFilesTest.moc"
