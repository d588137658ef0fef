#include "CommandLine.h"

CommandLine CommandLine::parse(const QStringList &arguments)
{
    static const QList<QPair<QString, Command>> options = {
        {QStringLiteral("--take-screenshot"), Command::TakeScreenshot},
        {QStringLiteral("--toggle-stack"), Command::ToggleStack},
        {QStringLiteral("--quit"), Command::Quit},
        {QStringLiteral("--clear"), Command::Clear},
        {QStringLiteral("--copy"), Command::Copy},
        {QStringLiteral("--save"), Command::Save},
        {QStringLiteral("--help"), Command::Help},
        {QStringLiteral("-h"), Command::Help},
        {QStringLiteral("--version"), Command::Version},
    };

    CommandLine result;
    // --save may be followed by its path: a word that is not an option, or "-".
    QStringList words = arguments;
    if (const qsizetype at = words.indexOf(QStringLiteral("--save"));
        at >= 0 && at + 1 < words.size() &&
        (words.at(at + 1) == QLatin1String("-") || !words.at(at + 1).startsWith(u'-'))) {
        result.savePath = words.takeAt(at + 1);
        if (result.savePath.isEmpty())
            return {Command::Invalid, QStringLiteral("--save needs a path, or none")};
    }
    for (const QString &argument : words) {
        Command found = Command::Invalid;
        for (const auto &[name, command] : options) {
            if (argument == name)
                found = command;
        }
        if (found == Command::Invalid) {
            return {Command::Invalid, QStringLiteral("unknown argument \"%1\"").arg(argument)};
        }
        if (result.command != Command::Start && result.command != found) {
            return {Command::Invalid, QStringLiteral("only one command at a time")};
        }
        result.command = found;
    }
    return result;
}

QString CommandLine::usageLine()
{
    return QStringLiteral(
        "Usage: orrinvale [--take-screenshot | --toggle-stack | --quit | --clear | --copy |"
        " --save [PATH|-] | --help | --version]");
}

QString CommandLine::helpText()
{
    // The man page is made from this text too: keep the "Usage:" line first, the
    // "Commands:" and "Options:" headings, and two spaces before each option.
    return usageLine() + QStringLiteral(R"(

Orrinvale lives in the system tray. Ctrl+Shift+1 captures the main screen onto the
stack at the right edge of the screen; Ctrl+Shift+2 shows or hides the stack.

Commands: sent to the running Orrinvale, which is started first if needed.
  --take-screenshot   capture the main screen
  --toggle-stack      show or hide the stack
  --quit              quit the running Orrinvale
  --clear             empty the stack
  --copy              put the newest capture on the clipboard
  --save [PATH|-]     save the newest capture to PATH (.png, .jpg, .webp), to
                      standard output as PNG for -, or with no PATH to the save
                      folder under the name pattern of the settings

Options:
  --help              show this text
  --version           show the version

Where the desktop does not let programs take keys for themselves (most Wayland
desktops), bind "orrinvale --take-screenshot" and "orrinvale --toggle-stack" to keys
in the desktop's own keyboard shortcut settings; "man orrinvale" shows how on GNOME,
KDE Plasma and sway.
)");
}
