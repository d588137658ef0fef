#include "app/CommandLine.h"
#include "app/OrrinvaleApp.h"
#include "ocr/RecognitionThreads.h"

#include <QStringList>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(OrrinvalePlugin)

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments);

    switch (commandLine.command) {
    case CommandLine::Command::Help:
        std::printf("%s", qPrintable(CommandLine::helpText()));
        return 0;
    case CommandLine::Command::Version:
        std::printf("orrinvale %s (build %s)\n", ORRINVALE_VERSION, ORRINVALE_BUILD_ID);
        return 0;
    case CommandLine::Command::BadValue:
        std::fprintf(stderr, "orrinvale: %s\n", qPrintable(commandLine.error));
        return 2;
    case CommandLine::Command::Invalid:
        std::fprintf(stderr, "orrinvale: %s\n%s\n", qPrintable(commandLine.error),
                     qPrintable(CommandLine::usageLine()));
        return 2;
    case CommandLine::Command::Quit:
        return OrrinvaleApp::run(commandLine, argc, argv);
    default:
        // Any other command may become the running instance, which reads text.
        RecognitionThreads::limitAndRestart(argv);
        return OrrinvaleApp::run(commandLine, argc, argv);
    }
}
