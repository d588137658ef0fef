#pragma once

#include "Clipboard.h"

#include <QThreadPool>

#include <chrono>
#include <memory>

class DataControlConnection;

/**
 * The clipboard of a Wayland session whose compositor lets a client own the selection
 * directly (data-control): every copy is offered to Wayland programs by this program's own
 * Wayland connection, whichever window has the keyboard, and XWayland hands it on to X
 * programs. The X clipboard (SystemClipboard, through XWayland) stays the one read while
 * another program's copy is on it, and takes the copies if the connection breaks. A program's
 * request is answered on a worker thread: the UI thread never waits for a PNG or a slow
 * reader. Chosen by `create()`; owned by AppDelegate.
 */
class WaylandDataControlClipboard final : public Clipboard
{
public:
    WaylandDataControlClipboard(std::unique_ptr<DataControlConnection> connection,
                                std::unique_ptr<Clipboard> xClipboard,
                                std::chrono::milliseconds stallLimit);
    ~WaylandDataControlClipboard() override;

    /// The clipboard for this session: this one on a Wayland session whose compositor offers
    /// data-control, else SystemClipboard (saying once why Wayland programs may not see
    /// copies then).
    static std::unique_ptr<Clipboard> create();

    const QMimeData *mimeData() const override;
    void setMimeData(QMimeData *data) override;

private:
    void send(quint64 source, const QString &type, int fd);

    std::unique_ptr<DataControlConnection> m_connection;
    std::unique_ptr<Clipboard> m_xClipboard;
    std::chrono::milliseconds m_stallLimit;
    // What the Wayland selection offers while our source holds it; a request being answered
    // keeps its own reference.
    std::shared_ptr<QMimeData> m_data;
    quint64 m_source = 0;
    bool m_connected = true;
    QThreadPool m_writers;
};
