#include "platform/Preferences.h"
#include "fakes/StdoutCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList defaults = {"v", "t", "d", "r", "l", "a"};

QStringList shortcuts(const Preferences &preferences)
{
    return {preferences.shortcutPointer(), preferences.shortcutText(),
            preferences.shortcutPen(),     preferences.shortcutRectangle(),
            preferences.shortcutLine(),    preferences.shortcutArrow()};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList storedKeys(const QString &path)
{
    return QSettings(path, QSettings::IniFormat).allKeys();
}

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingKeysReadAsDefaultsAndWriteNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale/Orrinvale.conf"));

        Preferences preferences(path);

        QCOMPARE(shortcuts(preferences), defaults);
        QCOMPARE(preferences.permissionsResetBuild(), std::nullopt);
        QVERIFY(!QFileInfo::exists(path));
    }

    void readingLeavesAnExistingFileUntouched()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale.conf"));
        const QByteArray contents = "[General]\nshortcutLine=k\nsomethingElse=1\n";
        QVERIFY(writeFile(path, contents));

        Preferences preferences(path);
        const QStringList values = shortcuts(preferences);
        Preferences second(path);

        QCOMPARE(values, (QStringList{"v", "t", "d", "r", "k", "a"}));
        QCOMPARE(shortcuts(second), values);
        QCOMPARE(readFile(path), contents);
    }

    void storedValueIsUsedAsStored_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("pen");

        QTest::newRow("upper case") << QByteArray("[General]\nshortcutPen=X\n") << "X";
        QTest::newRow("a word") << QByteArray("[General]\nshortcutPen=hello\n") << "hello";
        QTest::newRow("empty") << QByteArray("[General]\nshortcutPen=\n") << "";
        QTest::newRow("quoted spaces") << QByteArray("[General]\nshortcutPen=\" x \"\n") << " x ";
        QTest::newRow("non-Latin")
            << QByteArray("[General]\nshortcutPen=\xd0\xb6\n") << QString::fromUtf8("\xd0\xb6");
        QTest::newRow("over-long") << "[General]\nshortcutPen=" + QByteArray(100000, 'q') + "\n"
                                   << QString(100000, QLatin1Char('q'));
        QTest::newRow("without a section") << QByteArray("shortcutPen=x\n") << "x";
        QTest::newRow("list") << QByteArray("[General]\nshortcutPen=a, b\n") << "d";
        QTest::newRow("number") << QByteArray("[General]\nshortcutPen=@Variant(\\0\\0\\0\\x2\\0\\0"
                                              "\\0\\x5)\n")
                                << "d";
        QTest::newRow("bytes") << QByteArray("[General]\nshortcutPen=@ByteArray(x)\n") << "d";
        QTest::newRow("invalid") << QByteArray("[General]\nshortcutPen=@Invalid()\n") << "d";
        QTest::newRow("other section") << QByteArray("[Editor]\nshortcutPen=x\n") << "d";
        QTest::newRow("binary junk") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "d";
        QTest::newRow("JSON") << QByteArray("{\"shortcutPen\": \"x\"}\n") << "d";
        QTest::newRow("partly damaged")
            << QByteArray("[General]\nno equals sign\nshortcutPen=x\n\x01\xff=z\n[broken\n") << "x";
    }

    void storedValueIsUsedAsStored()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, pen);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale.conf"));
        QVERIFY(writeFile(path, contents));
        StdoutCapture log;

        Preferences preferences(path);

        QCOMPARE(preferences.shortcutPen(), pen);
        QCOMPARE(preferences.shortcutPointer(), QStringLiteral("v"));
        QCOMPARE(preferences.shortcutArrow(), QStringLiteral("a"));
        QCOMPARE(readFile(path), contents);
    }

    void writeIsStoredAtOnceAndReadBackUnchanged_data()
    {
        QTest::addColumn<QString>("value");

        for (const char *value : {"x", "", ",", "=", ";", "#", "\"", "@", "[", "\\", " ", "a, b",
                                  "@Invalid()", "\xc3\xa9", "\xf0\x9f\x87\xab\xf0\x9f\x87\xb7"})
            QTest::newRow(value) << QString::fromUtf8(value);
    }

    void writeIsStoredAtOnceAndReadBackUnchanged()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new/folder/Orrinvale.conf"));
        Preferences preferences(path);

        preferences.setShortcutPen(value);

        QCOMPARE(preferences.shortcutPen(), value);
        QCOMPARE(storedKeys(path), QStringList{"shortcutPen"});
        Preferences reader(path);
        QCOMPARE(reader.shortcutPen(), value);
        QCOMPARE(reader.shortcutText(), QStringLiteral("t"));
    }

    void eachKeyHasItsOwnSignal_data()
    {
        QTest::addColumn<int>("index");

        const QStringList names = {"pointer", "text", "pen", "rectangle", "line", "arrow"};
        for (int i = 0; i < names.size(); ++i)
            QTest::newRow(qPrintable(names[i])) << i;
    }

    void eachKeyHasItsOwnSignal()
    {
        QFETCH(int, index);
        QTemporaryDir dir;
        Preferences preferences(dir.filePath(QStringLiteral("Orrinvale.conf")));
        const char *signalNames[] = {
            SIGNAL(shortcutPointerChanged()), SIGNAL(shortcutTextChanged()),
            SIGNAL(shortcutPenChanged()),     SIGNAL(shortcutRectangleChanged()),
            SIGNAL(shortcutLineChanged()),    SIGNAL(shortcutArrowChanged())};
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const char *signal : signalNames)
            spies.push_back(std::make_unique<QSignalSpy>(&preferences, signal));
        const char *properties[] = {"shortcutPointer",   "shortcutText", "shortcutPen",
                                    "shortcutRectangle", "shortcutLine", "shortcutArrow"};

        QVERIFY(preferences.setProperty(properties[index], QStringLiteral("q")));
        preferences.setPermissionsResetBuild(QStringLiteral("1"));

        for (int i = 0; i < 6; ++i)
            QCOMPARE(spies[size_t(i)]->count(), i == index ? 1 : 0);
        QCOMPARE(preferences.property(properties[index]).toString(), QStringLiteral("q"));
        QCOMPARE(Preferences(preferences.filePath()).property(properties[index]).toString(),
                 QStringLiteral("q"));
    }

    void sameValueIsStoredButNotSignalled()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale.conf"));
        Preferences preferences(path);
        QSignalSpy changed(&preferences, &Preferences::shortcutPenChanged);

        preferences.setShortcutPen(QStringLiteral("d")); // the default, now chosen by the user
        preferences.setShortcutPen(QStringLiteral("x"));
        preferences.setShortcutPen(QStringLiteral("x"));

        QCOMPARE(changed.count(), 1);
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("shortcutPen"), QVariant("x"));
    }

    void unwritableFileKeepsChangesForTheRunAndSaysSoOnce()
    {
        QTemporaryDir dir;
        // A regular file where the folder should be: not even root can create the file.
        const QString blocker = dir.filePath(QStringLiteral("Orrinvale"));
        QVERIFY(writeFile(blocker, "not a folder"));
        const QString path = blocker + QStringLiteral("/Orrinvale.conf");
        Preferences preferences(path);
        QSignalSpy changed(&preferences, &Preferences::shortcutPenChanged);
        StdoutCapture log;

        preferences.setShortcutPen(QStringLiteral("x"));
        preferences.setShortcutText(QStringLiteral("y"));

        QCOMPARE(preferences.shortcutPen(), QStringLiteral("x"));
        QCOMPARE(preferences.shortcutText(), QStringLiteral("y"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(log.takeLines(),
                 QStringList{QStringLiteral("Could not store the preferences in %1; changes "
                                            "apply until Orrinvale quits.")
                                 .arg(path)});

        // Once the folder can be made, the next write stores every change of the run.
        QVERIFY(QFile::remove(blocker));
        preferences.setShortcutLine(QStringLiteral("z"));

        QCOMPARE(log.takeLines(), QStringList());
        Preferences reader(path);
        QCOMPARE(shortcuts(reader), (QStringList{"v", "y", "x", "r", "z", "a"}));
    }

    void unreadableFileIsSaidOnce_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("line");

        QTest::newRow("a folder in its place")
            << true << QByteArray() << "Could not read the preferences in %1; using the defaults.";
        QTest::newRow("binary junk") << false << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11)
                                     << "The preferences in %1 are damaged; using what could "
                                        "be read.";
        QTest::newRow("sound file")
            << false << QByteArray("[General]\nshortcutPen=x\n") << QString();
    }

    void unreadableFileIsSaidOnce()
    {
        QFETCH(bool, folder);
        QFETCH(QByteArray, contents);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale.conf"));
        QVERIFY(folder ? QDir().mkpath(path) : writeFile(path, contents));
        StdoutCapture log;

        Preferences preferences(path);

        QCOMPARE(log.takeLines(), line.isEmpty() ? QStringList() : QStringList{line.arg(path)});
        QCOMPARE(preferences.shortcutRectangle(), QStringLiteral("r"));
    }

    void damagedFileIsReplacedOnTheFirstEdit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale.conf"));
        QVERIFY(writeFile(path, QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11)));
        StdoutCapture log;
        Preferences preferences(path);
        log.takeLines();

        preferences.setShortcutArrow(QStringLiteral("w"));

        QCOMPARE(log.takeLines(), QStringList());
        QCOMPARE(Preferences(path).shortcutArrow(), QStringLiteral("w"));
    }

    void permissionsMarker_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<std::optional<QString>>("marker");

        QTest::newRow("absent") << QByteArray("[General]\nshortcutPen=x\n")
                                << std::optional<QString>();
        QTest::newRow("a build") << QByteArray("[General]\npermissionsResetBuild_v3=0.1.0+gabc\n")
                                 << std::optional<QString>("0.1.0+gabc");
        QTest::newRow("empty") << QByteArray("[General]\npermissionsResetBuild_v3=\n")
                               << std::optional<QString>("");
        QTest::newRow("a list") << QByteArray("[General]\npermissionsResetBuild_v3=1, 2\n")
                                << std::optional<QString>();
    }

    void permissionsMarker()
    {
        QFETCH(QByteArray, contents);
        QFETCH(std::optional<QString>, marker);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale.conf"));
        QVERIFY(writeFile(path, contents));
        Preferences preferences(path);

        const std::optional<QString> before = preferences.permissionsResetBuild();
        preferences.setPermissionsResetBuild(QStringLiteral("0.2.0+gdef"));

        QCOMPARE(before, marker);
        QCOMPARE(preferences.permissionsResetBuild(), std::optional<QString>("0.2.0+gdef"));
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("permissionsResetBuild_v3"),
                 QVariant("0.2.0+gdef"));
    }
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
