#include "platform/Preferences.h"
#include "fakes/StdoutCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QStringList defaults = {"v", "t", "d", "r", "l", "a", "e", "h", "n", "x", "c"};
const char *const properties[] = {"shortcutPointer",   "shortcutText",        "shortcutPen",
                                  "shortcutRectangle", "shortcutLine",        "shortcutArrow",
                                  "shortcutEllipse",   "shortcutHighlighter", "shortcutStep",
                                  "shortcutRedact",    "shortcutCrop"};

QStringList shortcuts(const Preferences &preferences)
{
    QStringList values;
    for (int tool = 0; tool < Preferences::shortcutToolCount; ++tool)
        values << preferences.shortcut(Preferences::ShortcutTool(tool));
    return values;
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

const QByteArray junk("\x89PNG\r\n\x1a\n\0\0\0", 11);

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Reading takes what is stored as it is, falls back per key, and never writes the file.
    void storedValueIsUsedAsStored_data()
    {
        QTest::addColumn<QByteArray>("contents"); // null: no file
        QTest::addColumn<QString>("pen");

        QTest::newRow("no file") << QByteArray() << "d";
        QTest::newRow("upper case") << QByteArray("[General]\nshortcutPen=X\n") << "X";
        QTest::newRow("quoted spaces") << QByteArray("[General]\nshortcutPen=\" x \"\n") << " x ";
        QTest::newRow("over-long") << "[General]\nshortcutPen=" + QByteArray(100000, 'q') + "\n"
                                   << QString(100000, QLatin1Char('q'));
        QTest::newRow("without a section") << QByteArray("shortcutPen=x\n") << "x";
        QTest::newRow("list") << QByteArray("[General]\nshortcutPen=a, b\n") << "d";
        QTest::newRow("other section") << QByteArray("[Editor]\nshortcutPen=x\n") << "d";
        QTest::newRow("partly damaged")
            << QByteArray("[General]\nno equals sign\nshortcutPen=x\n\x01\xff=z\n[broken\n") << "x";
    }

    void storedValueIsUsedAsStored()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, pen);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale/Orrinvale.conf"));
        QVERIFY(contents.isNull() || writeFile(path, contents));
        StdoutCapture log;

        Preferences preferences(path);

        QCOMPARE(shortcuts(preferences), QStringList(defaults).replaceInStrings("d", pen));
        QCOMPARE(QFileInfo::exists(path), !contents.isNull());
        QCOMPARE(readFile(path), contents);
    }

    void writeIsStoredAtOnceAndReadBackUnchanged_data()
    {
        QTest::addColumn<QString>("value");

        for (const char *value : {"x", "", ",", "=", "\"", "@", "\\", " ", "a, b", "@Invalid()",
                                  "\xf0\x9f\x87\xab\xf0\x9f\x87\xb7"})
            QTest::newRow(value) << QString::fromUtf8(value);
    }

    void writeIsStoredAtOnceAndReadBackUnchanged()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new/folder/Orrinvale.conf"));
        Preferences preferences(path);

        preferences.setShortcut(Preferences::Pen, value);

        QCOMPARE(preferences.shortcut(Preferences::Pen), value);
        QCOMPARE(QSettings(path, QSettings::IniFormat).allKeys(), QStringList{"shortcutPen"});
        QCOMPARE(shortcuts(Preferences(path)), QStringList(defaults).replaceInStrings("d", value));
    }

    // Each key is signalled by name and has its own stored entry; an unchanged value is
    // stored but not signalled.
    void eachKeyIsSignalledByName()
    {
        for (int index = 0; index < 6; ++index) {
            QTemporaryDir dir;
            Preferences preferences(dir.filePath(QStringLiteral("Orrinvale.conf")));
            QSignalSpy changed(&preferences, &Preferences::shortcutChanged);
            const auto tool = Preferences::ShortcutTool(index);

            // The default chosen by the user is stored, though nothing changes.
            preferences.setShortcut(tool, defaults[index]);
            QCOMPARE(
                QSettings(preferences.filePath(), QSettings::IniFormat).value(properties[index]),
                QVariant(defaults[index]));
            preferences.setShortcut(tool, QStringLiteral("q"));
            preferences.setShortcut(tool, QStringLiteral("q"));
            preferences.setPermissionsResetBuild(QStringLiteral("1"));

            QCOMPARE(changed.count(), 1);
            QCOMPARE(changed.first().first().value<Preferences::ShortcutTool>(), tool);
            QCOMPARE(shortcuts(Preferences(preferences.filePath())),
                     QStringList(defaults).replaceInStrings(defaults[index], "q"));
        }
    }

    void unwritableFileKeepsChangesForTheRunAndSaysSoOnce()
    {
        QTemporaryDir dir;
        // A regular file where the folder should be: not even root can create the file.
        const QString blocker = dir.filePath(QStringLiteral("Orrinvale"));
        QVERIFY(writeFile(blocker, "not a folder"));
        const QString path = blocker + QStringLiteral("/Orrinvale.conf");
        Preferences preferences(path);
        StdoutCapture log;

        preferences.setShortcut(Preferences::Pen, QStringLiteral("x"));
        preferences.setShortcut(Preferences::Text, QStringLiteral("y"));

        QCOMPARE(shortcuts(preferences),
                 (QStringList{"v", "y", "x", "r", "l", "a", "e", "h", "n", "x", "c"}));
        QCOMPARE(log.takeLines(),
                 QStringList{QStringLiteral("Could not store the preferences in %1; changes "
                                            "apply until Orrinvale quits.")
                                 .arg(path)});

        // Once the folder can be made, the next write stores every change of the run.
        QVERIFY(QFile::remove(blocker));
        preferences.setShortcut(Preferences::Line, QStringLiteral("z"));

        QCOMPARE(log.takeLines(), QStringList());
        QCOMPARE(shortcuts(Preferences(path)),
                 (QStringList{"v", "y", "x", "r", "z", "a", "e", "h", "n", "x", "c"}));
    }

    void unreadableFileIsSaidOnce_data()
    {
        QTest::addColumn<QString>("kind"); // "folder", "pipe" or "file" with `contents`
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("line");

        QTest::newRow("a folder in its place")
            << "folder" << QByteArray()
            << "Could not read the preferences in %1; using the defaults.";
        // Opening it would wait for a writer forever: the program would never start.
        QTest::newRow("a named pipe in its place")
            << "pipe" << QByteArray()
            << "Could not read the preferences in %1; using the defaults.";
        QTest::newRow("binary junk")
            << "file" << junk << "The preferences in %1 are damaged; using what could be read.";
        QTest::newRow("sound file")
            << "file" << QByteArray("[General]\nshortcutPen=x\n") << QString();
    }

    void unreadableFileIsSaidOnce()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, contents);
        QFETCH(QString, line);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Orrinvale.conf"));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        else if (kind == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(writeFile(path, contents));
        StdoutCapture log;

        Preferences preferences(path);

        QCOMPARE(log.takeLines(), line.isEmpty() ? QStringList() : QStringList{line.arg(path)});
        QCOMPARE(preferences.shortcut(Preferences::Rectangle), QStringLiteral("r"));
        preferences.setShortcut(Preferences::Arrow, QStringLiteral("w"));
        QCOMPARE(preferences.shortcut(Preferences::Arrow), QStringLiteral("w"));
        if (kind != QLatin1String("file")) {
            // Nothing is written over what is not a file; the edit holds for the run.
            QCOMPARE(log.takeLines(), QStringList{QStringLiteral("Could not store the preferences "
                                                                 "in %1; changes apply until "
                                                                 "Orrinvale quits.")
                                                      .arg(path)});
            QCOMPARE(QFileInfo(path).isFile(), false);
            return;
        }
        // A damaged file is replaced by the first edit, silently.
        QCOMPARE(log.takeLines(), QStringList());
        QCOMPARE(Preferences(path).shortcut(Preferences::Arrow), QStringLiteral("w"));
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

        QCOMPARE(preferences.permissionsResetBuild(), marker);
        preferences.setPermissionsResetBuild(QStringLiteral("0.2.0+gdef"));
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("permissionsResetBuild_v3"),
                 QVariant("0.2.0+gdef"));
    }
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
