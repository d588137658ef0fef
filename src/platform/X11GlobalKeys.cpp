#include "X11GlobalKeys.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr uint16_t RequiredModifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
constexpr uint8_t BadAccess = 10;

xcb_keycode_t keyCodeOf(GlobalKeys::Combination combination)
{
    switch (combination) {
    case GlobalKeys::Combination::TakeScreenshot:
        return X11GlobalKeys::KeyCode1;
    case GlobalKeys::Combination::ToggleStack:
        return X11GlobalKeys::KeyCode2;
    case GlobalKeys::Combination::SelectRegion:
        return X11GlobalKeys::KeyCode3;
    case GlobalKeys::Combination::CaptureWindow:
        return X11GlobalKeys::KeyCode4;
    }
    return 0;
}

} // namespace

X11GlobalKeys::X11GlobalKeys(xcb_connection_t *connection, xcb_window_t root, QObject *parent)
    : GlobalKeys(parent), m_connection(connection), m_root(root)
{}

X11GlobalKeys::~X11GlobalKeys()
{
    if (m_filterInstalled)
        QCoreApplication::instance()->removeNativeEventFilter(this);
    for (Combination combination : std::as_const(m_taken))
        ungrab(combination);
}

std::unique_ptr<X11GlobalKeys> X11GlobalKeys::forApplication()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    // Qt connects to the screen $DISPLAY names; its root is where the keys are grabbed.
    char *host = nullptr;
    int displayNumber = 0;
    int screenNumber = 0;
    if (!xcb_parse_display(nullptr, &host, &displayNumber, &screenNumber))
        screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 1; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return nullptr;
    return std::make_unique<X11GlobalKeys>(connection, it.data->root);
}

QList<uint16_t> X11GlobalKeys::modifierVariants(uint16_t numLockMask)
{
    QList<uint16_t> optional = {XCB_MOD_MASK_1, XCB_MOD_MASK_4, XCB_MOD_MASK_LOCK};
    // A Num Lock that shares its bit with another modifier adds no states of its own.
    if (numLockMask != 0 && !(numLockMask & RequiredModifiers) && !optional.contains(numLockMask))
        optional.append(numLockMask);

    QList<uint16_t> variants;
    for (uint32_t subset = 0; subset < (1u << optional.size()); ++subset) {
        uint16_t state = RequiredModifiers;
        for (qsizetype bit = 0; bit < optional.size(); ++bit) {
            if (subset & (1u << bit))
                state |= optional[bit];
        }
        variants.append(state);
    }
    return variants;
}

uint16_t
X11GlobalKeys::numLockMask(const QList<QList<xcb_keycode_t>> &modifierKeys,
                           const std::function<QList<xcb_keysym_t>(xcb_keycode_t)> &keysymsOf)
{
    for (qsizetype modifier = 0; modifier < modifierKeys.size() && modifier < 8; ++modifier) {
        for (xcb_keycode_t keycode : modifierKeys[modifier]) {
            if (keycode != 0 && keysymsOf(keycode).contains(NumLockKeysym))
                return uint16_t(1u << modifier);
        }
    }
    return 0;
}

std::optional<GlobalKeys::Combination> X11GlobalKeys::match(xcb_keycode_t keycode, uint16_t state)
{
    if ((state & RequiredModifiers) != RequiredModifiers)
        return std::nullopt;
    if (keycode == KeyCode1)
        return Combination::TakeScreenshot;
    if (keycode == KeyCode2)
        return Combination::ToggleStack;
    if (keycode == KeyCode3)
        return Combination::SelectRegion;
    if (keycode == KeyCode4)
        return Combination::CaptureWindow;
    return std::nullopt;
}

uint16_t X11GlobalKeys::queryNumLockMask() const
{
    Reply<xcb_get_modifier_mapping_reply_t> modifiers(xcb_get_modifier_mapping_reply(
        m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const xcb_keycode_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> keyboard(xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, first, uint8_t(count)), nullptr));
    if (!modifiers || !keyboard)
        return 0;

    QList<QList<xcb_keycode_t>> modifierKeys(8);
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int perModifier = modifiers->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i)
            modifierKeys[modifier].append(codes[modifier * perModifier + i]);
    }

    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
    const int perKey = keyboard->keysyms_per_keycode;
    const int available = xcb_get_keyboard_mapping_keysyms_length(keyboard.get());
    return numLockMask(modifierKeys, [&](xcb_keycode_t keycode) {
        QList<xcb_keysym_t> symbols;
        const int start = (keycode - first) * perKey;
        for (int i = 0; i < perKey && keycode >= first && start + i < available; ++i)
            symbols.append(keysyms[start + i]);
        return symbols;
    });
}

QList<GlobalKeys::Outcome> X11GlobalKeys::install()
{
    m_numLockMask = queryNumLockMask();
    QList<Outcome> outcomes;
    for (Combination combination : combinations()) {
        const Outcome outcome = grab(combination);
        if (outcome.taken && !m_taken.contains(combination))
            m_taken.append(combination);
        outcomes.append(outcome);
    }
    if (!m_filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    return outcomes;
}

GlobalKeys::Outcome X11GlobalKeys::grab(Combination combination)
{
    const xcb_keycode_t key = keyCodeOf(combination);
    const QList<uint16_t> variants = modifierVariants(m_numLockMask);
    QList<xcb_void_cookie_t> cookies;
    for (uint16_t state : variants) {
        // Not owner-events: the key is always reported on the root, even when one of our own
        // windows has the focus.
        cookies.append(xcb_grab_key_checked(m_connection, 0, m_root, state, key,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }

    uint8_t refusal = 0;
    QList<uint16_t> granted;
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        Reply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookies[i]));
        if (!error)
            granted.append(variants[i]);
        else if (refusal == 0)
            refusal = error->error_code;
    }
    if (refusal == 0)
        return {combination, true, QString()};

    // Half a combination would capture with Num Lock on and not without it: give it all back.
    for (uint16_t state : std::as_const(granted))
        xcb_ungrab_key(m_connection, key, m_root, state);
    xcb_flush(m_connection);
    return {combination, false,
            refusal == BadAccess
                ? QStringLiteral("another program holds it")
                : QStringLiteral("the X server refused it (error %1)").arg(refusal)};
}

void X11GlobalKeys::ungrab(Combination combination)
{
    for (uint16_t state : modifierVariants(m_numLockMask))
        xcb_ungrab_key(m_connection, keyCodeOf(combination), m_root, state);
    xcb_flush(m_connection);
}

void X11GlobalKeys::modifierMappingChanged()
{
    const uint16_t mask = queryNumLockMask();
    if (mask == m_numLockMask)
        return;
    const QList<Combination> taken = m_taken;
    for (Combination combination : taken)
        ungrab(combination);
    m_numLockMask = mask;
    m_taken.clear();
    // A combination another program took in the meantime stays lost for this run.
    for (Combination combination : taken) {
        if (grab(combination).taken)
            m_taken.append(combination);
    }
}

bool X11GlobalKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & 0x7f;

    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        // Mostly from the root grab; from one of our own windows while a menu of ours holds
        // the keyboard, where the grab on the root does not apply.
        auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
        const std::optional<Combination> combination = match(key->detail, key->state);
        if (!combination || !m_taken.contains(*combination))
            return false;
        // Every press counts, auto-repeat included; releases are only swallowed.
        if (type == XCB_KEY_PRESS)
            Q_EMIT activated(*combination);
        return true;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        auto *mapping = reinterpret_cast<xcb_mapping_notify_event_t *>(event);
        if (mapping->request == XCB_MAPPING_MODIFIER)
            modifierMappingChanged();
    }
    return false;
}
