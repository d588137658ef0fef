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
        QTest::newRow("copy text") << QStringList{"--copy-text"} << C::CopyText;
        QTest::newRow("copy text and a capture")
            << QStringList{"--copy-text", "--window"} << C::Invalid;
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

    // The capture options: what each asks for, and which mistakes end with one line naming
    // the bad value (exit status 2, no usage line) or with the usage.
    void parsesCaptures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Command>("command");
        QTest::addColumn<QString>("action"); // the request, or a part of the error
        QTest::addColumn<int>("delay");

        using C = CommandLine::Command;
        QTest::newRow("screen") << QStringList{"--screen", "all"} << C::Capture << "screen all"
                                << 0;
        QTest::newRow("screen=") << QStringList{"--screen=pointer"} << C::Capture
                                 << "screen pointer" << 0;
        QTest::newRow("region given") << QStringList{"--region", "-10,20,300x200"} << C::Capture
                                      << "region -10,20,300x200" << 0;
        QTest::newRow("region to select") << QStringList{"--region"} << C::Capture << "region" << 0;
        QTest::newRow("region to select, later")
            << QStringList{"--region", "--delay", "5"} << C::Capture << "region" << 5;
        QTest::newRow("window later")
            << QStringList{"--delay=3", "--window"} << C::Capture << "window" << 3;
        QTest::newRow("screenshot later") << QStringList{"--take-screenshot", "--delay", "60"}
                                          << C::Capture << "take-screenshot" << 60;
        QTest::newRow("last region")
            << QStringList{"--last-region"} << C::Capture << "last-region" << 0;
        QTest::newRow("zero size") << QStringList{"--region", "0,0,0x5"} << C::BadValue
                                   << "\"0,0,0x5\" has a zero or negative size" << 0;
        QTest::newRow("not a region")
            << QStringList{"--region=here"} << C::BadValue << "\"here\" is not X,Y,WxH" << 0;
        QTest::newRow("delay too long")
            << QStringList{"--window", "--delay", "61"} << C::BadValue << "delay \"61\"" << 0;
        QTest::newRow("negative delay")
            << QStringList{"--window", "--delay=-1"} << C::BadValue << "delay \"-1\"" << 0;
        QTest::newRow("unknown screen")
            << QStringList{"--screen", "left"} << C::BadValue << "screen \"left\"" << 0;
        QTest::newRow("delay alone")
            << QStringList{"--delay", "2"} << C::Invalid << "--delay goes with a capture" << 0;
        QTest::newRow("two captures")
            << QStringList{"--window", "--last-region"} << C::Invalid << "only one command" << 0;
        QTest::newRow("capture and toggle")
            << QStringList{"--window", "--toggle-stack"} << C::Invalid << "only one command" << 0;
        QTest::newRow("screen without a value")
            << QStringList{"--screen"} << C::Invalid << "--screen needs" << 0;
        QTest::newRow("stray word")
            << QStringList{"--window", "now"} << C::Invalid << "\"now\"" << 0;
    }

    void parsesCaptures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Command, command);
        QFETCH(QString, action);
        QFETCH(int, delay);

        const CommandLine parsed = CommandLine::parse(arguments);

        QCOMPARE(parsed.command, command);
        if (command == CommandLine::Command::Capture) {
            QCOMPARE(parsed.capture.action(), action);
            QCOMPARE(parsed.capture.delaySeconds, delay);
        } else {
            QVERIFY2(parsed.error.contains(action), qPrintable(parsed.error));
        }
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

    // The man page is made from --help: an option missing there is missing from both.
    void helpListsEveryOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("entry");

        QTest::newRow("take") << QStringList{"--take-screenshot"} << "--take-screenshot";
        QTest::newRow("toggle") << QStringList{"--toggle-stack"} << "--toggle-stack";
        QTest::newRow("quit") << QStringList{"--quit"} << "--quit";
        QTest::newRow("screen") << QStringList{"--screen", "all"} << "--screen WHICH";
        QTest::newRow("select") << QStringList{"--region"} << "--region ";
        QTest::newRow("region") << QStringList{"--region", "0,0,1x1"} << "--region X,Y,WxH";
        QTest::newRow("last") << QStringList{"--last-region"} << "--last-region";
        QTest::newRow("window") << QStringList{"--window"} << "--window";
        QTest::newRow("delay") << QStringList{"--window", "--delay", "1"} << "--delay SECONDS";
        QTest::newRow("clear") << QStringList{"--clear"} << "--clear";
        QTest::newRow("copy") << QStringList{"--copy"} << "--copy";
        QTest::newRow("save") << QStringList{"--save"} << "--save [PATH|-]";
        QTest::newRow("help") << QStringList{"--help"} << "--help";
        QTest::newRow("version") << QStringList{"--version"} << "--version";
    }

    void helpListsEveryOption()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, entry);

        const CommandLine parsed = CommandLine::parse(arguments);
        const QString help = CommandLine::helpText();

        QVERIFY2(parsed.command != CommandLine::Command::Invalid, qPrintable(parsed.error));
        QVERIFY2(help.contains(QLatin1String("\n  ") + entry), qPrintable(entry));
        QVERIFY(CommandLine::usageLine().contains(arguments.first()));
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
