#pragma once

#include "capture/CaptureRequest.h"

#include <QString>
#include <QStringList>

#include <optional>

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
        CopyText,       ///< --copy-text
        Save,           ///< --save [PATH|-]; `savePath` holds PATH
        Help,           ///< --help, -h
        Version,        ///< --version
        Invalid,        ///< anything else; `error` says what
        Capture,        ///< --screen, --region, --last-region, --window, --delay: `capture`
        BadValue,       ///< a capture option with a value it refuses; `error` names it
    };

    Command command = Command::Start;
    QString error;
    CaptureRequest capture;
    /// With --save: the file to write as given, "-" for standard output, empty for the
    /// save folder under the name pattern.
    QString savePath = {};

    /// `arguments` without the program name.
    static CommandLine parse(const QStringList &arguments);
    /// The capture options, when any is among `arguments`.
    static std::optional<CommandLine> parseCapture(const QStringList &arguments);
    static QString usageLine();
    static QString helpText();
};
