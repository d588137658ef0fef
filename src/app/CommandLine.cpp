#include "CommandLine.h"

CommandLine CommandLine::parse(const QStringList &arguments)
{
    static const QList<QPair<QString, Command>> options = {
        {QStringLiteral("--take-screenshot"), Command::TakeScreenshot},
        {QStringLiteral("--toggle-stack"), Command::ToggleStack},
        {QStringLiteral("--quit"), Command::Quit},
        {QStringLiteral("--clear"), Command::Clear},
        {QStringLiteral("--copy"), Command::Copy},
        {QStringLiteral("--copy-text"), Command::CopyText},
        {QStringLiteral("--save"), Command::Save},
        {QStringLiteral("--help"), Command::Help},
        {QStringLiteral("-h"), Command::Help},
        {QStringLiteral("--version"), Command::Version},
    };

    if (auto capture = parseCapture(arguments))
        return *capture;

    CommandLine result;
    // --save may be followed by its path: a word that is not an option, or "-".
    QStringList words = arguments;
    if (const qsizetype at = words.indexOf(QStringLiteral("--save"));
        at >= 0 && at + 1 < words.size() &&
        (words.at(at + 1) == QLatin1String("-") || !words.at(at + 1).startsWith(u'-'))) {
        result.savePath = words.takeAt(at + 1);
        if (result.savePath.isEmpty())
            return {Command::Invalid, QStringLiteral("--save needs a path, or none"), {}};
    }
    for (const QString &argument : words) {
        Command found = Command::Invalid;
        for (const auto &[name, command] : options) {
            if (argument == name)
                found = command;
        }
        if (found == Command::Invalid) {
            return {Command::Invalid, QStringLiteral("unknown argument \"%1\"").arg(argument), {}};
        }
        if (result.command != Command::Start && result.command != found) {
            return {Command::Invalid, QStringLiteral("only one command at a time"), {}};
        }
        result.command = found;
    }
    return result;
}

std::optional<CommandLine> CommandLine::parseCapture(const QStringList &arguments)
{
    static const QStringList names = {QStringLiteral("--screen"), QStringLiteral("--region"),
                                      QStringLiteral("--last-region"), QStringLiteral("--window"),
                                      QStringLiteral("--delay")};
    const auto nameOf = [](const QString &argument) {
        return argument.section(QLatin1Char('='), 0, 0);
    };
    if (std::none_of(arguments.begin(), arguments.end(),
                     [&](const QString &a) { return names.contains(nameOf(a)); }))
        return std::nullopt;

    const auto invalid = [](const QString &error) {
        CommandLine line;
        line.command = Command::Invalid;
        line.error = error;
        return line;
    };
    const auto badValue = [](const QString &error) {
        CommandLine line;
        line.command = Command::BadValue;
        line.error = error;
        return line;
    };

    std::optional<CaptureRequest> capture;
    std::optional<int> delay;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const QString name = nameOf(argument);
        const bool inlineValue = argument.contains(QLatin1Char('='));
        const QString attached = argument.section(QLatin1Char('='), 1);
        // The value of an option that takes one: after "=", or the next argument.
        const auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return attached;
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--")))
                return arguments[++i];
            return std::nullopt;
        };

        std::optional<CaptureRequest> found;
        if (name == QLatin1String("--delay")) {
            if (delay)
                return invalid(QStringLiteral("--delay given twice"));
            const auto text = value();
            if (!text)
                return invalid(QStringLiteral("--delay needs a number of seconds"));
            const auto seconds = CaptureRequest::parseDelay(*text);
            if (!seconds.ok())
                return badValue(seconds.error());
            delay = seconds.value();
            continue;
        } else if (name == QLatin1String("--screen")) {
            const auto text = value();
            if (!text)
                return invalid(QStringLiteral("--screen needs primary, pointer or all"));
            const auto screens = CaptureRequest::parseScreens(*text);
            if (!screens.ok())
                return badValue(screens.error());
            found = CaptureRequest::ofScreens(screens.value());
        } else if (name == QLatin1String("--region")) {
            // Without a value the region is chosen on the screen.
            const auto text = value();
            if (!text) {
                found = CaptureRequest::ofKind(CaptureRequest::Kind::SelectRegion);
            } else {
                const auto region = CaptureRequest::parseRegion(*text);
                if (!region.ok())
                    return badValue(region.error());
                found = CaptureRequest::ofRegion(region.value());
            }
        } else if (argument == QLatin1String("--last-region")) {
            found = CaptureRequest::ofKind(CaptureRequest::Kind::LastRegion);
        } else if (argument == QLatin1String("--window")) {
            found = CaptureRequest::ofKind(CaptureRequest::Kind::Window);
        } else if (argument == QLatin1String("--take-screenshot")) {
            found = CaptureRequest::ofScreens(CaptureRequest::Screens::Primary);
        } else if (argument == QLatin1String("--toggle-stack") ||
                   argument == QLatin1String("--quit") || argument == QLatin1String("--help") ||
                   argument == QLatin1String("-h") || argument == QLatin1String("--version") ||
                   argument == QLatin1String("--clear") || argument == QLatin1String("--copy") ||
                   argument == QLatin1String("--copy-text") ||
                   argument == QLatin1String("--save")) {
            return invalid(QStringLiteral("only one command at a time"));
        } else {
            return invalid(QStringLiteral("unknown argument \"%1\"").arg(argument));
        }
        if (capture && !(*capture == *found))
            return invalid(QStringLiteral("only one command at a time"));
        capture = found;
    }
    if (!capture)
        return invalid(QStringLiteral("--delay goes with a capture: --take-screenshot, --screen, "
                                      "--region, --last-region or --window"));
    CommandLine line;
    line.command = Command::Capture;
    line.capture = capture->after(delay.value_or(0));
    return line;
}

QString CommandLine::usageLine()
{
    return QStringLiteral(
        "Usage: orrinvale [--take-screenshot | --screen WHICH | --region [X,Y,WxH] | "
        "--last-region | --window] [--delay SECONDS] | --toggle-stack | --quit | --clear | "
        "--copy | --copy-text | --save [PATH|-] | --help | --version");
}

QString CommandLine::helpText()
{
    // The man page is made from this text too: keep the "Usage:" line first, the
    // "Commands:" and "Options:" headings, and two spaces before each option.
    return usageLine() + QStringLiteral(R"(

Orrinvale lives in the system tray. Ctrl+Shift+1 captures the main screen onto the
stack at the right edge of the screen; Ctrl+Shift+2 shows or hides the stack.
Ctrl+Shift+3 selects a region to capture, Ctrl+Shift+4 captures the window under
the pointer.

Commands: sent to the running Orrinvale, which is started first if needed.
  --take-screenshot   capture the main screen
  --toggle-stack      show or hide the stack
  --quit              quit the running Orrinvale
  --screen WHICH      capture the primary screen, the screen under the pointer
                      or all screens (WHICH: primary, pointer or all); with
                      screens of different scales the picture is at the
                      highest, and gaps between screens are transparent
  --region            select a region on a frozen picture of the desktop:
                      drag, then Enter or a double-click (Ctrl+Shift+3)
  --region X,Y,WxH    capture that region, in the desktop's logical pixels
  --last-region       capture the region selected or given last again
  --window            capture the window under the pointer (Ctrl+Shift+4)
  --clear             empty the stack
  --copy              put the newest capture on the clipboard
  --copy-text         read the text of the newest capture and put it on the
                      clipboard as plain text (English and the language of the
                      locale, or those chosen in the settings)
  --save [PATH|-]     save the newest capture to PATH (.png, .jpg, .webp), to
                      standard output as PNG for -, or with no PATH to the save
                      folder under the name pattern of the settings

Options:
  --delay SECONDS     take the capture that many seconds later (0 to 60)
  --help              show this text
  --version           show the version

A value that cannot be taken (a region outside every screen, a zero or negative
size, a delay out of range) is refused with one line naming it and exit status 2;
a running Orrinvale that does not answer or refuses the command gives status 1.

Where the desktop does not let programs take keys for themselves (most Wayland
desktops), bind "orrinvale --take-screenshot", "orrinvale --toggle-stack",
"orrinvale --region" and "orrinvale --window" to keys in the desktop's own keyboard
shortcut settings; "man orrinvale" shows how on GNOME, KDE Plasma and sway.
)");
}
