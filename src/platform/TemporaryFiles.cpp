#include "TemporaryFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

/// Closes a descriptor when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    /// Closes now and reports the result: a failed close can mean lost data.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

} // namespace

TemporaryFiles::TemporaryFiles(QString baseDirectory)
{
    if (baseDirectory.isEmpty())
        baseDirectory = QDir::tempPath();
    m_directory = QDir(baseDirectory).filePath(QStringLiteral("orrinvale-%1").arg(::geteuid()));
}

Result<QString> TemporaryFiles::createFile(const QString &fileName,
                                           const QByteArray &contents) const
{
    using R = Result<QString>;
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) ||
        fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return R::failure(QStringLiteral("invalid file name \"%1\"").arg(fileName));

    const QByteArray directory = QFile::encodeName(m_directory);
    if (::mkdir(directory.constData(), 0700) != 0 && errno != EEXIST)
        return R::failure(
            QStringLiteral("cannot create %1: %2").arg(m_directory, systemError(errno)));

    // Everything after this goes through the opened directory, so nobody can swap the path
    // for a link between the checks and the file's creation.
    Descriptor dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0) {
        const int error = errno;
        // A link is refused as ELOOP or, with O_DIRECTORY, ENOTDIR: say which it was.
        struct stat link;
        if (error == ELOOP || (error == ENOTDIR && ::lstat(directory.constData(), &link) == 0 &&
                               S_ISLNK(link.st_mode)))
            return R::failure(QStringLiteral("%1 is a symbolic link").arg(m_directory));
        if (error == ENOTDIR)
            return R::failure(QStringLiteral("%1 is not a directory").arg(m_directory));
        return R::failure(
            QStringLiteral("cannot open %1: %2").arg(m_directory, systemError(error)));
    }
    struct stat info;
    if (::fstat(dir.get(), &info) != 0)
        return R::failure(
            QStringLiteral("cannot inspect %1: %2").arg(m_directory, systemError(errno)));
    if (!S_ISDIR(info.st_mode))
        return R::failure(QStringLiteral("%1 is not a directory").arg(m_directory));
    if (info.st_uid != ::geteuid()) {
        return R::failure(
            QStringLiteral("%1 belongs to user %2, not to us").arg(m_directory).arg(info.st_uid));
    }
    if ((info.st_mode & 07777) != 0700 && ::fchmod(dir.get(), 0700) != 0)
        return R::failure(
            QStringLiteral("cannot make %1 private: %2").arg(m_directory, systemError(errno)));

    const QByteArray name = QFile::encodeName(fileName);
    const QString path = QDir(m_directory).filePath(fileName);
    Descriptor file(::openat(dir.get(), name.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.get() < 0)
        return R::failure(QStringLiteral("cannot create %1: %2").arg(path, systemError(errno)));

    const auto fail = [&](int error) {
        ::unlinkat(dir.get(), name.constData(), 0);
        return R::failure(QStringLiteral("cannot write %1: %2").arg(path, systemError(error)));
    };
    // The umask may have taken bits the owner needs to read the file back.
    if (::fchmod(file.get(), 0600) != 0)
        return fail(errno);
    const char *data = contents.constData();
    qsizetype left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(file.get(), data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (written == 0)
            return fail(EIO);
        data += written;
        left -= written;
    }
    if (file.close() != 0)
        return fail(errno);
    return path;
}
