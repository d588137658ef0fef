#pragma once

#include "Result.h"

#include <QByteArray>

#include <chrono>

/**
 * Writes bytes into a pipe another program reads, as a clipboard owner answers a paste: all
 * of them, or a reason why not. It runs on a worker thread and may block there, but never
 * longer than the stall limit without progress, so a reader that stops reading does not hold
 * a thread for ever. A reader that goes away early (`wl-paste | head -c 8`) wanted no more:
 * that ends the write without a failure, and never as a SIGPIPE that would end the program.
 * Used by WaylandDataControlClipboard.
 */
class PipeWriter
{
public:
    static constexpr std::chrono::milliseconds defaultStallLimit{10'000};

    /// Writes `bytes` to `fd` (which stays open); the number written, which is fewer than
    /// all only when the reader closed its end.
    static Result<qsizetype> writeAll(int fd, const QByteArray &bytes,
                                      std::chrono::milliseconds stallLimit = defaultStallLimit);
};
