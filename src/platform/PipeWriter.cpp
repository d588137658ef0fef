#include "PipeWriter.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

/// Keeps SIGPIPE from this thread while it lives, and swallows one raised meanwhile, so that
/// a reader closing its end early gives EPIPE here and nothing else.
class SigPipeBlock
{
public:
    SigPipeBlock()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~SigPipeBlock()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            sigtimedwait(&m_pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigPipeBlock(const SigPipeBlock &) = delete;
    SigPipeBlock &operator=(const SigPipeBlock &) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_wasPending = false;
};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

Result<qsizetype> PipeWriter::writeAll(int fd, const QByteArray &bytes,
                                       std::chrono::milliseconds stallLimit)
{
    const SigPipeBlock block;
    // Non-blocking, so that the wait for room is poll's, with its limit.
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return Result<qsizetype>::failure(systemError(errno));
    if (!(flags & O_NONBLOCK))
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);

    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EPIPE)
            return written;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return Result<qsizetype>::failure(systemError(errno));
        pollfd wait{fd, POLLOUT, 0};
        int ready;
        do
            ready = ::poll(&wait, 1, int(stallLimit.count()));
        while (ready < 0 && errno == EINTR);
        if (ready == 0)
            return Result<qsizetype>::failure(
                QStringLiteral("the reader took nothing for %1 seconds")
                    .arg(double(stallLimit.count()) / 1000));
        if (ready < 0)
            return Result<qsizetype>::failure(systemError(errno));
        // POLLERR or POLLHUP: the next write says which.
    }
    return written;
}
