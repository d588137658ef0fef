#pragma once

#include "app/CommandLine.h"

#include <optional>

class QDBusMessage;

/**
 * The program's entry once the command line is parsed: forwards the command to an
 * instance already running, or becomes the instance, runs AppDelegate and the event loop.
 */
class OrrinvaleApp
{
public:
    static int run(const CommandLine &commandLine, int &argc, char **argv);

private:
    /// Sends the command to the running instance; its exit status (1 when the instance did
    /// not answer or refused it), or nothing when there is no instance to reach.
    static std::optional<int> forwardToRunningInstance(CommandLine::Command command);
    /// Sends a capture request to the running instance; its exit status (2 when the instance
    /// refused a value, 1 when it did not answer or refused the call), or nothing when there
    /// is no instance to reach.
    static std::optional<int> forwardCapture(const CaptureRequest &request);
    /// The same for the commands that hand a capture out (--copy, --save), which report
    /// the instance's answer; the exit status, or nothing when there is no instance.
    static std::optional<int> forwardExport(const CommandLine &commandLine);
    /// The exit status for the running instance's answer to a command, with the one line
    /// an error gets on standard error.
    static int answerStatus(const QDBusMessage &reply);
};
