#include "app/CommandLine.h"

#include <QTest>

class CommandLineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Command>("command");

        using C = CommandLine::Command;
        QTest::newRow("nothing starts") << QStringList() << C::Start;
        QTest::newRow("toggle") << QStringList{"--toggle-stack"} << C::ToggleStack;
        QTest::newRow("clear") << QStringList{"--clear"} << C::Clear;
        QTest::newRow("copy") << QStringList{"--copy"} << C::Copy;
        QTest::newRow("save and another command") << QStringList{"--save", "--copy"} << C::Invalid;
        QTest::newRow("a path without --save") << QStringList{"--copy", "a.png"} << C::Invalid;
        QTest::newRow("help") << QStringList{"--help"} << C::Help;
        QTest::newRow("short help") << QStringList{"-h"} << C::Help;
        QTest::newRow("version") << QStringList{"--version"} << C::Version;
        QTest::newRow("same command twice") << QStringList{"--quit", "--quit"} << C::Quit;
        QTest::newRow("unknown") << QStringList{"--frobnicate"} << C::Invalid;
        QTest::newRow("unknown after a command")
            << QStringList{"--take-screenshot", "x"} << C::Invalid;
        QTest::newRow("two commands") << QStringList{"--quit", "--toggle-stack"} << C::Invalid;
        QTest::newRow("empty argument") << QStringList{""} << C::Invalid;
        QTest::newRow("case matters") << QStringList{"--QUIT"} << C::Invalid;
    }

    void parses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Command, command);

        const CommandLine parsed = CommandLine::parse(arguments);

        QCOMPARE(parsed.command, command);
        QCOMPARE(parsed.error.isEmpty(), command != CommandLine::Command::Invalid);
        if (arguments == QStringList{"--frobnicate"})
            QVERIFY(parsed.error.contains("--frobnicate")); // names what it did not understand
    }

    // --save takes the word after it as its path, "-" included; an option is not a path.
    void savePaths_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");

        QTest::newRow("no path") << QStringList{"--save"} << QString();
        QTest::newRow("a path") << QStringList{"--save", "shots/a.png"} << "shots/a.png";
        QTest::newRow("standard output") << QStringList{"--save", "-"} << "-";
        QTest::newRow("a path with spaces")
            << QStringList{"--save", "my shot.jpg"} << "my shot.jpg";
    }

    void savePaths()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);

        const CommandLine parsed = CommandLine::parse(arguments);

        QCOMPARE(parsed.command, CommandLine::Command::Save);
        QCOMPARE(parsed.savePath, path);
    }

    void emptySavePathIsRefused()
    {
        const CommandLine parsed = CommandLine::parse({"--save", ""});

        QCOMPARE(parsed.command, CommandLine::Command::Invalid);
        QVERIFY(!parsed.error.isEmpty());
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
