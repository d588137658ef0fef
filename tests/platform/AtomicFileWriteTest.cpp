#include "platform/AtomicFileWrite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

AtomicFileWrite::Names numbered(const QString &base)
{
    return [base](int attempt) {
        return attempt == 1 ? base + ".png" : QStringLiteral("%1 (%2).png").arg(base).arg(attempt);
    };
}

} // namespace

class AtomicFileWriteTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Existing files keep their bytes; the new one takes the first free name, and no
    // temporary file is left behind.
    void neverReplacesAFile()
    {
        QTemporaryDir folder;
        const QString first = folder.filePath("a.png");
        QFile existing(first);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("old");
        existing.close();

        const Result<QString> second =
            AtomicFileWrite::writeNew(folder.path(), numbered("a"), "two");
        const Result<QString> third =
            AtomicFileWrite::writeNew(folder.path(), numbered("a"), "three");

        QVERIFY(second.ok());
        QVERIFY(third.ok());
        QCOMPARE(second.value(), folder.filePath("a (2).png"));
        QCOMPARE(third.value(), folder.filePath("a (3).png"));
        QCOMPARE(read(first), QByteArray("old"));
        QCOMPARE(read(second.value()), QByteArray("two"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"a (2).png", "a (3).png", "a.png"}));
    }

    void makesTheMissingFolderAndReplacesOnlyWhenAsked()
    {
        QTemporaryDir base;
        const QString folder = base.filePath("Pictures/Screenshots");

        const Result<QString> written = AtomicFileWrite::writeNew(folder, numbered("a"), "png");
        const Result<QString> replaced = AtomicFileWrite::replace(written.value(), "new");

        QVERIFY(written.ok());
        QCOMPARE(written.value(), folder + "/a.png");
        QVERIFY(replaced.ok());
        QCOMPARE(read(written.value()), QByteArray("new"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"a.png"});
    }

    // Every refusal says why and leaves nothing in the folder.
    void aFailureLeavesNoFile_data()
    {
        QTest::addColumn<QString>("where"); // under the temporary folder
        QTest::addColumn<bool>("replacing");
        QTest::addColumn<QString>("message");

        QTest::newRow("a folder under a file")
            << "file/sub" << false << "cannot create the folder %1/file/sub: Not a directory";
        QTest::newRow("replacing in a missing folder")
            << "missing/a.png" << true
            << "cannot write %1/missing/a.png: No such file or directory";
        QTest::newRow("a name that is a folder")
            << "folder" << true << "cannot write %1/folder: Is a directory";
    }

    void aFailureLeavesNoFile()
    {
        QFETCH(QString, where);
        QFETCH(bool, replacing);
        QFETCH(QString, message);
        QTemporaryDir base;
        QFile file(base.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QDir(base.path()).mkdir("folder"));
        const QStringList before =
            QDir(base.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        const Result<QString> written =
            replacing ? AtomicFileWrite::replace(base.filePath(where), "bytes")
                      : AtomicFileWrite::writeNew(base.filePath(where), numbered("a"), "bytes");

        QVERIFY(!written.ok());
        QCOMPARE(written.error(), message.arg(base.path()));
        QCOMPARE(
            QDir(base.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            before);
        QVERIFY(QDir(base.filePath("folder"))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void runningOutOfNamesIsSaid()
    {
        QTemporaryDir folder;
        QFile taken(folder.filePath("a.png"));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.close();

        const Result<QString> written = AtomicFileWrite::writeNew(
            folder.path(), [](int attempt) { return attempt == 1 ? QString("a.png") : QString(); },
            "bytes");

        QVERIFY(!written.ok());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.png"});
    }
};

QTEST_APPLESS_MAIN(AtomicFileWriteTest)
#include "AtomicFileWriteTest.moc"
