#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

/**
 * The program's private folder for files it hands to other programs (drag-out PNGs):
 * `<temp>/orrinvale-<uid>/`, mode 0700, used only when it is a real directory owned by this
 * user. Files in it are created exclusively (never overwriting, never through a link) with
 * mode 0600, and a file whose write fails is removed again. Safe to use from any thread.
 */
class TemporaryFiles
{
public:
    /// `baseDirectory` defaults to the system's temporary directory (TMPDIR or /tmp).
    explicit TemporaryFiles(QString baseDirectory = QString());

    /// `<base>/orrinvale-<uid>`; not checked or created by asking.
    QString directoryPath() const { return m_directory; }

    /// Creates `fileName` (a bare name) in the folder holding exactly `contents`; returns its
    /// absolute path, or why it could not (the folder unusable, the name taken, disk full).
    Result<QString> createFile(const QString &fileName, const QByteArray &contents) const;

private:
    QString m_directory;
};
