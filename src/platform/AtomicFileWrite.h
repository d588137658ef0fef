#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

#include <functional>

/**
 * Writes a whole file or nothing: the bytes go to a hidden temporary file in the target
 * folder, which is then renamed into place, so no program ever sees half a picture and a
 * failure (no space, a read-only folder, a folder that cannot be made) leaves no file behind.
 * Used by the saving of captures, off the UI thread; safe from any thread.
 */
class AtomicFileWrite
{
public:
    /// The file name to try on attempt 1, 2, ...; empty ends the attempts.
    using Names = std::function<QString(int attempt)>;
    static constexpr int MaxAttempts = 10'000;

    /// Writes `bytes` into `folder` (made, with its parents, when missing) under the first of
    /// `names` that no file has yet: an existing file is never replaced. The path written,
    /// or why nothing was.
    static Result<QString> writeNew(const QString &folder, const Names &names,
                                    const QByteArray &bytes);
    /// Writes `bytes` to `path`, replacing a file that is there.
    static Result<QString> replace(const QString &path, const QByteArray &bytes);
};
