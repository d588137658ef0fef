#include "WaitCanceller.h"

#include <QEventLoop>
#include <QMetaObject>

void WaitCanceller::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_cancelled = true;
    // Each loop runs on its own worker thread; the quit is posted to that thread. A loop
    // leaves the set under the same lock before it is destroyed, so none is dangling here.
    for (QEventLoop *loop : std::as_const(m_loops))
        QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
}

bool WaitCanceller::isCancelled() const
{
    QMutexLocker lock(&m_mutex);
    return m_cancelled;
}

bool WaitCanceller::enter(QEventLoop *loop)
{
    QMutexLocker lock(&m_mutex);
    if (m_cancelled)
        return false;
    m_loops.insert(loop);
    return true;
}

void WaitCanceller::leave(QEventLoop *loop)
{
    QMutexLocker lock(&m_mutex);
    m_loops.remove(loop);
}
