#include "WaylandDataControlClipboard.h"

#include "DisplaySession.h"
#include "Log.h"
#include "PipeWriter.h"
#include "SelectionFormats.h"
#include "SystemClipboard.h"
#include "WaylandDataControl.h"

#include <QMimeData>
#include <QThread>

#include <unistd.h>

namespace {

/// The last reference may go on a worker thread: the object is deleted on its own.
void deleteOnItsThread(QMimeData *data)
{
    if (data->thread() == QThread::currentThread())
        delete data;
    else
        data->deleteLater();
}

} // namespace

WaylandDataControlClipboard::WaylandDataControlClipboard(
    std::unique_ptr<DataControlConnection> connection, std::unique_ptr<Clipboard> xClipboard,
    std::chrono::milliseconds stallLimit)
    : m_connection(std::move(connection)), m_xClipboard(std::move(xClipboard)),
      m_stallLimit(stallLimit)
{
    // Each reader that stalls holds a thread until its limit: a few may, the next still goes.
    m_writers.setMaxThreadCount(4);
    DataControlConnection *control = m_connection.get();
    QObject::connect(
        control, &DataControlConnection::sendRequested, control,
        [this](quint64 source, const QString &type, int fd) { send(source, type, fd); });
    QObject::connect(control, &DataControlConnection::cancelled, control, [this](quint64 source) {
        // Another program copied; a cancelled older source had been replaced already.
        if (source == m_source) {
            m_source = 0;
            m_data.reset();
        }
    });
    QObject::connect(control, &DataControlConnection::failed, control,
                     [this](const QString &reason) {
                         m_connected = false;
                         m_source = 0;
                         m_data.reset();
                         Log::line(QStringLiteral("Wayland clipboard lost: %1; copies go "
                                                  "through XWayland from now on.")
                                       .arg(reason));
                     });
}

WaylandDataControlClipboard::~WaylandDataControlClipboard()
{
    // Requests being answered read the data: they end first.
    m_writers.waitForDone();
    m_data.reset();
}

std::unique_ptr<Clipboard> WaylandDataControlClipboard::create()
{
    auto xClipboard = std::make_unique<SystemClipboard>();
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return xClipboard;
    auto connection = WaylandDataControl::connect();
    if (!connection.ok()) {
        Log::line(QStringLiteral("Copies reach Wayland programs only through XWayland, which "
                                 "may refuse them while no window of this program has the "
                                 "keyboard: %1.")
                      .arg(connection.error()));
        return xClipboard;
    }
    return std::make_unique<WaylandDataControlClipboard>(
        std::move(connection.value()), std::move(xClipboard), PipeWriter::defaultStallLimit);
}

const QMimeData *WaylandDataControlClipboard::mimeData() const
{
    // Ours is answered here, not through XWayland, which would ask this very program.
    if (m_data)
        return m_data.get();
    return m_xClipboard->mimeData();
}

void WaylandDataControlClipboard::setMimeData(QMimeData *data)
{
    if (!m_connected) {
        m_xClipboard->setMimeData(data);
        return;
    }
    if (!data) {
        m_connection->withdraw(m_source);
        m_source = 0;
        // The data may be what a request still reads (and what its maker's threads make):
        // the requests end before the maker goes.
        m_writers.waitForDone();
        m_data.reset();
        return;
    }
    m_data = std::shared_ptr<QMimeData>(data, deleteOnItsThread);
    m_source = m_connection->offer(SelectionFormats::offered(*data));
}

void WaylandDataControlClipboard::send(quint64 source, const QString &type, int fd)
{
    if (source != m_source || !m_data) {
        ::close(fd); // a replaced copy: the reader gets nothing
        return;
    }
    m_writers.start([data = m_data, type, fd, limit = m_stallLimit] {
        const QByteArray bytes = SelectionFormats::bytes(*data, type);
        if (!bytes.isEmpty()) {
            const Result<qsizetype> written = PipeWriter::writeAll(fd, bytes, limit);
            if (!written.ok())
                Log::line(QStringLiteral("Paste failed: %1.").arg(written.error()));
        }
        ::close(fd);
    });
}
