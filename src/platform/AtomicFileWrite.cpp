#include "AtomicFileWrite.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

/** A temporary file in the target folder, removed again unless it was renamed into place. */
class TemporaryFile
{
public:
    explicit TemporaryFile(const QString &folder)
        : m_path(QFile::encodeName(folder + QStringLiteral("/.orrinvale-XXXXXX.part")))
    {
        m_fd = ::mkostemps(m_path.data(), 5, O_CLOEXEC);
        m_error = m_fd < 0 ? errno : 0;
        m_created = m_fd >= 0;
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_created && !m_placed)
            ::unlink(m_path.constData());
    }

    /// 0 when the file was made, else errno.
    int error() const { return m_error; }

    /// 0 when every byte was written and the file closed, else errno.
    int write(const QByteArray &bytes)
    {
        // Readable like any file the user saves (mkostemps makes it 0600).
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
        const char *data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, data, size_t(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            data += written;
            left -= written;
        }
        // A full disk may only say so when the data is flushed.
        const int closed = ::close(m_fd);
        m_fd = -1;
        return closed == 0 ? 0 : errno;
    }

    const char *path() const { return m_path.constData(); }
    void placed() { m_placed = true; }

private:
    QByteArray m_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_created = false;
    bool m_placed = false;
};

Result<QString> failure(const QString &what, const QString &path, int error)
{
    return Result<QString>::failure(
        QStringLiteral("cannot %1 %2: %3").arg(what, path, reason(error)));
}

} // namespace

Result<QString> AtomicFileWrite::writeNew(const QString &folder, const Names &names,
                                          const QByteArray &bytes)
{
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        // QDir says nothing of why: the system says it for the folder itself.
        const int made = ::mkdir(QFile::encodeName(folder).constData(), 0777);
        if (!QFileInfo(folder).isDir())
            return failure(QStringLiteral("create the folder"), folder, made == 0 ? EIO : errno);
    }
    TemporaryFile temporary(folder);
    if (temporary.error())
        return failure(QStringLiteral("write in"), folder, temporary.error());
    if (const int error = temporary.write(bytes))
        return failure(QStringLiteral("write in"), folder, error);

    for (int attempt = 1; attempt <= MaxAttempts; ++attempt) {
        const QString name = names(attempt);
        if (name.isEmpty())
            break;
        const QString target = QDir(folder).filePath(name);
        const QByteArray encoded = QFile::encodeName(target);
        // A hard link is made only where no file is: the check and the placing are one step,
        // so a file that appears meanwhile is never replaced.
        if (::link(temporary.path(), encoded.constData()) == 0) {
            ::unlink(temporary.path());
            temporary.placed();
            return target;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
            return failure(QStringLiteral("write"), target, errno);
        // A file system without hard links (FAT, some network mounts): the kernel's
        // no-replace rename does the same where it exists.
        if (::renameat2(AT_FDCWD, temporary.path(), AT_FDCWD, encoded.constData(),
                        RENAME_NOREPLACE) == 0) {
            temporary.placed();
            return target;
        }
        if (errno == EEXIST)
            continue;
        return failure(QStringLiteral("write"), target, errno);
    }
    return Result<QString>::failure(
        QStringLiteral("every name for the file in %1 is taken").arg(folder));
}

Result<QString> AtomicFileWrite::replace(const QString &path, const QByteArray &bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return failure(QStringLiteral("write"), path, ENOENT);
    TemporaryFile temporary(folder);
    if (temporary.error())
        return failure(QStringLiteral("write in"), folder, temporary.error());
    if (const int error = temporary.write(bytes))
        return failure(QStringLiteral("write in"), folder, error);
    if (::rename(temporary.path(), QFile::encodeName(path).constData()) != 0)
        return failure(QStringLiteral("write"), path, errno);
    temporary.placed();
    return QFileInfo(path).absoluteFilePath();
}
