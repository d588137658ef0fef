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
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
