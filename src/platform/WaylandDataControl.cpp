#include "WaylandDataControl.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>
#include <wayland-client.h>

Result<std::unique_ptr<WaylandDataControl>> WaylandDataControl::connect()
{
    using Connected = Result<std::unique_ptr<WaylandDataControl>>;
    std::unique_ptr<WaylandDataControl> control(new WaylandDataControl);
    control->m_display = wl_display_connect(nullptr);
    if (!control->m_display)
        return Connected::failure(
            QStringLiteral("no Wayland compositor answers at WAYLAND_DISPLAY"));
    control->m_registry = wl_display_get_registry(control->m_display);
    static const wl_registry_listener registryListener{&registryGlobal, &registryGlobalRemove};
    wl_registry_add_listener(control->m_registry, &registryListener, control.get());
    // Once for the globals, once more for the seat's and the device's first events.
    if (wl_display_roundtrip(control->m_display) < 0)
        return Connected::failure(QStringLiteral("the Wayland compositor closed the connection"));
    if (!control->m_manager)
        return Connected::failure(
            QStringLiteral("the compositor offers no data-control clipboard"));
    if (!control->m_seat)
        return Connected::failure(QStringLiteral("the compositor has no seat"));
    control->m_device =
        zwlr_data_control_manager_v1_get_data_device(control->m_manager, control->m_seat);
    static const zwlr_data_control_device_v1_listener deviceListener{
        &deviceDataOffer, &deviceSelection, &deviceFinished, &devicePrimarySelection};
    zwlr_data_control_device_v1_add_listener(control->m_device, &deviceListener, control.get());
    if (wl_display_roundtrip(control->m_display) < 0 || control->m_failed)
        return Connected::failure(
            QStringLiteral("the compositor refused this program its clipboard control"));

    control->m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(control->m_display),
                                                            QSocketNotifier::Read);
    QObject::connect(control->m_notifier.get(), &QSocketNotifier::activated, control.get(),
                     &WaylandDataControl::readEvents);
    return Connected(std::move(control));
}

WaylandDataControl::~WaylandDataControl()
{
    m_notifier.reset();
    releaseProtocolObjects();
    if (m_display) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

void WaylandDataControl::releaseProtocolObjects()
{
    for (auto it = m_sources.cbegin(); it != m_sources.cend(); ++it)
        zwlr_data_control_source_v1_destroy(it.key());
    m_sources.clear();
    if (m_selectionOffer)
        zwlr_data_control_offer_v1_destroy(std::exchange(m_selectionOffer, nullptr));
    if (m_device)
        zwlr_data_control_device_v1_destroy(std::exchange(m_device, nullptr));
    if (m_manager)
        zwlr_data_control_manager_v1_destroy(std::exchange(m_manager, nullptr));
    if (m_seat)
        wl_seat_destroy(std::exchange(m_seat, nullptr));
    if (m_registry)
        wl_registry_destroy(std::exchange(m_registry, nullptr));
}

quint64 WaylandDataControl::offer(const QStringList &types)
{
    const quint64 id = ++m_lastSource;
    if (m_failed)
        return id; // nothing will ask it; the owner has heard why
    zwlr_data_control_source_v1 *source =
        zwlr_data_control_manager_v1_create_data_source(m_manager);
    static const zwlr_data_control_source_v1_listener sourceListener{&sourceSend, &sourceCancelled};
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, this);
    for (const QString &type : types)
        zwlr_data_control_source_v1_offer(source, type.toUtf8().constData());
    zwlr_data_control_device_v1_set_selection(m_device, source);
    m_sources.insert(source, id);
    flush();
    return id;
}

void WaylandDataControl::withdraw(quint64 id)
{
    if (m_failed)
        return;
    zwlr_data_control_source_v1 *source = m_sources.key(id, nullptr);
    if (!source)
        return;
    // Only the newest source can hold the selection; an older one is already cancelled or
    // about to be.
    if (id == m_lastSource)
        zwlr_data_control_device_v1_set_selection(m_device, nullptr);
    zwlr_data_control_source_v1_destroy(source);
    m_sources.remove(source);
    flush();
}

void WaylandDataControl::readEvents()
{
    if (m_failed)
        return;
    // The notifier said the socket is readable, so the read does not block.
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        fail(QStringLiteral("the connection to the Wayland compositor broke (%1)")
                 .arg(QString::fromLocal8Bit(std::strerror(wl_display_get_error(m_display)))));
        return;
    }
    flush();
}

void WaylandDataControl::flush()
{
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        fail(QStringLiteral("the connection to the Wayland compositor broke (%1)")
                 .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

void WaylandDataControl::fail(const QString &reason)
{
    if (m_failed)
        return;
    m_failed = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    Q_EMIT failed(reason);
}

void WaylandDataControl::registryGlobal(void *data, wl_registry *registry, uint32_t name,
                                        const char *interface, uint32_t version)
{
    auto *self = static_cast<WaylandDataControl *>(data);
    if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
        !self->m_manager) {
        // Version 1 has all this program uses (no primary selection).
        self->m_manager = static_cast<zwlr_data_control_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat) {
        self->m_seat = static_cast<wl_seat *>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 1u)));
    }
}

void WaylandDataControl::registryGlobalRemove(void *, wl_registry *, uint32_t) {}

void WaylandDataControl::deviceDataOffer(void *, zwlr_data_control_device_v1 *,
                                         zwlr_data_control_offer_v1 *)
{
    // Announced before the selection event that names it, where it is kept.
}

void WaylandDataControl::deviceSelection(void *data, zwlr_data_control_device_v1 *,
                                         zwlr_data_control_offer_v1 *offer)
{
    auto *self = static_cast<WaylandDataControl *>(data);
    if (self->m_selectionOffer)
        zwlr_data_control_offer_v1_destroy(self->m_selectionOffer);
    self->m_selectionOffer = offer;
}

void WaylandDataControl::devicePrimarySelection(void *, zwlr_data_control_device_v1 *,
                                                zwlr_data_control_offer_v1 *offer)
{
    if (offer)
        zwlr_data_control_offer_v1_destroy(offer);
}

void WaylandDataControl::deviceFinished(void *data, zwlr_data_control_device_v1 *)
{
    auto *self = static_cast<WaylandDataControl *>(data);
    self->fail(QStringLiteral("the compositor withdrew the clipboard control"));
}

void WaylandDataControl::sourceSend(void *data, zwlr_data_control_source_v1 *source,
                                    const char *type, int32_t fd)
{
    auto *self = static_cast<WaylandDataControl *>(data);
    const quint64 id = self->m_sources.value(source, 0);
    if (id == 0) {
        ::close(fd);
        return;
    }
    Q_EMIT self->sendRequested(id, QString::fromUtf8(type), fd);
}

void WaylandDataControl::sourceCancelled(void *data, zwlr_data_control_source_v1 *source)
{
    auto *self = static_cast<WaylandDataControl *>(data);
    const quint64 id = self->m_sources.take(source);
    zwlr_data_control_source_v1_destroy(source);
    if (id != 0)
        Q_EMIT self->cancelled(id);
}
