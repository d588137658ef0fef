#pragma once

#include "app/CommandLine.h"

#include <optional>

/**
 * The program's entry once the command line is parsed: forwards the command to an
 * instance already running, or becomes the instance, runs AppDelegate and the event loop.
 */
class OrrinvaleApp
{
public:
    static int run(const CommandLine &commandLine, int &argc, char **argv);

private:
    /// Sends the command to the running instance; false when there is none to reach.
    static bool forwardToRunningInstance(CommandLine::Command command);
    /// Sends a capture request to the running instance; its exit status (2 when the instance
    /// refused a value), or nothing when there is no instance to reach.
    static std::optional<int> forwardCapture(const CaptureRequest &request);
    /// The same for the commands that hand a capture out (--copy, --save), which report
    /// the instance's answer; the exit status, or nothing when there is no instance.
    static std::optional<int> forwardExport(const CommandLine &commandLine);
};
