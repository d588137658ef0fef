#pragma once

#include <QMutex>
#include <QPointer>
#include <QSet>

class QEventLoop;

/**
 * Lets the UI thread end the blocking portal waits of a backend's worker threads at once,
 * so that quitting never waits for a desktop dialog or a slow portal. The portal clients
 * hold one and pass it to PortalRequest::send; their destructors cancel it before they
 * wait for their workers. Thread-safe.
 */
class WaitCanceller
{
public:
    /// Every wait running now returns at once, and every later one before it starts.
    void cancel();
    bool isCancelled() const;

    /// Registers `loop` (running on the calling worker thread) for the time of a wait;
    /// false when the canceller was already cancelled, and then nothing is registered.
    bool enter(QEventLoop *loop);
    void leave(QEventLoop *loop);

private:
    mutable QMutex m_mutex;
    bool m_cancelled = false;
    QSet<QEventLoop *> m_loops;
};
