#pragma once

#include <QString>
#include <QStringList>

/** What one invocation of the program asks for; parsed before any Qt application exists. */
struct CommandLine
{
    enum class Command {
        Start,          ///< no argument: start, or do nothing if already running
        TakeScreenshot, ///< --take-screenshot
        ToggleStack,    ///< --toggle-stack
        Quit,           ///< --quit
        Clear,          ///< --clear
        Copy,           ///< --copy
        Save,           ///< --save [PATH|-]; `savePath` holds PATH
        Help,           ///< --help, -h
        Version,        ///< --version
        Invalid,        ///< anything else; `error` says what
    };

    Command command = Command::Start;
    QString error;
    /// With --save: the file to write as given, "-" for standard output, empty for the
    /// save folder under the name pattern.
    QString savePath = {};

    /// `arguments` without the program name.
    static CommandLine parse(const QStringList &arguments);
    static QString usageLine();
    static QString helpText();
};
