#pragma once

#include "GlobalKeys.h"

#include <QAbstractNativeEventFilter>
#include <QList>

#include <xcb/xcb.h>

#include <functional>
#include <optional>

/**
 * The global combinations on an X server: passive grabs of the key codes of the digits 1
 * to 4 on the root window, with Ctrl+Shift and every mix of the modifiers that must not
 * matter (Alt, Super, Caps Lock, Num Lock). While a grab holds, the server sends the key to
 * this program alone, auto-repeat included; the events arrive through a native event filter.
 *
 * The grabs are made on Qt's own connection: the server delivers a grabbed key to the
 * client that grabbed it, so on Qt's connection it lands in Qt's event queue and reaches the
 * filter on the UI thread, with no second connection or reader of our own.
 */
class X11GlobalKeys final : public GlobalKeys, public QAbstractNativeEventFilter
{
public:
    /// XKB key codes (evdev code + 8) of the physical digit keys, whatever the layout.
    static constexpr xcb_keycode_t KeyCode1 = 10;
    static constexpr xcb_keycode_t KeyCode2 = 11;
    static constexpr xcb_keycode_t KeyCode3 = 12;
    static constexpr xcb_keycode_t KeyCode4 = 13;
    static constexpr xcb_keysym_t NumLockKeysym = 0xff7f;

    X11GlobalKeys(xcb_connection_t *connection, xcb_window_t root, QObject *parent = nullptr);
    ~X11GlobalKeys() override;

    /// On Qt's connection and the root of its default screen; none when Qt runs elsewhere.
    static std::unique_ptr<X11GlobalKeys> forApplication();

    /// Every modifier state a combination is grabbed with: Ctrl+Shift plus each subset of
    /// Alt (Mod1), Super (Mod4), Lock and `numLockMask` (0 when Num Lock is not mapped).
    static QList<uint16_t> modifierVariants(uint16_t numLockMask);
    /// The modifier bit the server maps Num Lock to: `modifierKeys` holds the key codes of
    /// each of the eight modifiers (Shift, Lock, Control, Mod1 ... Mod5), `keysymsOf` the
    /// symbols of a key code. 0 when no modifier carries Num Lock.
    static uint16_t numLockMask(const QList<QList<xcb_keycode_t>> &modifierKeys,
                                const std::function<QList<xcb_keysym_t>(xcb_keycode_t)> &keysymsOf);
    /// The combination a key event of this code and modifier state stands for: Ctrl and
    /// Shift must both be held, every other modifier is ignored.
    static std::optional<Combination> match(xcb_keycode_t keycode, uint16_t state);

    bool isInstallable() const override { return true; }
    QList<Outcome> install() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    uint16_t queryNumLockMask() const;
    /// Grabs every variant of `combination`; all or none: a refused variant releases the rest.
    Outcome grab(Combination combination);
    void ungrab(Combination combination);
    void modifierMappingChanged();

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    uint16_t m_numLockMask = 0;
    QList<Combination> m_taken;
    bool m_filterInstalled = false;
};
