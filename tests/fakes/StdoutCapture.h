#pragma once

#include <QStringList>
#include <QTemporaryFile>

/**
 * Redirects the process's standard output into a temporary file while it lives, so tests
 * can read the program's log lines.
 */
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();

    /// The lines written since the capture started (or since the last call).
    QStringList takeLines();

private:
    QTemporaryFile m_file;
    int m_savedFd = -1;
    qint64 m_readOffset = 0;
};
