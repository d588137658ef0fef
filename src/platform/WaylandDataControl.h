#pragma once

#include "DataControlConnection.h"
#include "Result.h"

#include <QHash>

#include <memory>

class QSocketNotifier;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

/**
 * A small native Wayland client of the compositor's data-control protocol
 * (zwlr_data_control_manager_v1: wlroots compositors, KWin), through which the program owns
 * the Wayland clipboard although its windows are XWayland's. Its events are read on the UI
 * thread as they arrive and never waited for there. Made by WaylandDataControlClipboard.
 */
class WaylandDataControl final : public DataControlConnection
{
    Q_OBJECT

public:
    /// Connects to the compositor of WAYLAND_DISPLAY and binds the first seat's data device;
    /// why not, when there is no compositor or it does not offer the protocol.
    static Result<std::unique_ptr<WaylandDataControl>> connect();
    ~WaylandDataControl() override;

    quint64 offer(const QStringList &types) override;
    void withdraw(quint64 source) override;

private:
    WaylandDataControl() = default;
    void readEvents();
    void flush();
    void fail(const QString &reason);
    void releaseProtocolObjects();

    static void registryGlobal(void *data, wl_registry *registry, uint32_t name,
                               const char *interface, uint32_t version);
    static void registryGlobalRemove(void *data, wl_registry *registry, uint32_t name);
    static void deviceDataOffer(void *data, zwlr_data_control_device_v1 *device,
                                zwlr_data_control_offer_v1 *offer);
    static void deviceSelection(void *data, zwlr_data_control_device_v1 *device,
                                zwlr_data_control_offer_v1 *offer);
    static void deviceFinished(void *data, zwlr_data_control_device_v1 *device);
    static void devicePrimarySelection(void *data, zwlr_data_control_device_v1 *device,
                                       zwlr_data_control_offer_v1 *offer);
    static void sourceSend(void *data, zwlr_data_control_source_v1 *source, const char *type,
                           int32_t fd);
    static void sourceCancelled(void *data, zwlr_data_control_source_v1 *source);

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    zwlr_data_control_manager_v1 *m_manager = nullptr;
    zwlr_data_control_device_v1 *m_device = nullptr;
    // Another program's selection as the compositor announced it; ours to destroy.
    zwlr_data_control_offer_v1 *m_selectionOffer = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<zwlr_data_control_source_v1 *, quint64> m_sources;
    quint64 m_lastSource = 0;
    bool m_failed = false;
};
