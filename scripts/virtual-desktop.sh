# Sourced by scripts that need a private desktop: Xvfb, openbox, a tray and a session bus.
# start_virtual_desktop WIDTHxHEIGHT exports DISPLAY, DBUS_SESSION_BUS_ADDRESS and
# XDG_RUNTIME_DIR; everything it starts is stopped when the calling script exits.

virtual_desktop_pids=()

stop_virtual_desktop() {
    for pid in "${virtual_desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}

start_virtual_desktop() {
    local size=${1:-1920x1080}
    trap stop_virtual_desktop EXIT INT TERM

    # Xvfb picks a free display number and writes it to the descriptor.
    local displayfd number
    exec {displayfd}<> <(:)
    Xvfb -displayfd "$displayfd" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    virtual_desktop_pids+=($!)
    read -r -t 30 -u "$displayfd" number
    export DISPLAY=":$number"

    openbox >/dev/null 2>&1 &
    virtual_desktop_pids+=($!)
    trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
    virtual_desktop_pids+=($!)

    if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
        XDG_RUNTIME_DIR=$(mktemp -d)
        export XDG_RUNTIME_DIR
    fi

    local address_file
    address_file=$(mktemp)
    dbus-daemon --session --nofork --print-address=1 >"$address_file" 2>/dev/null &
    virtual_desktop_pids+=($!)
    for _ in $(seq 200); do [[ -s "$address_file" ]] && break; sleep 0.05; done
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$address_file")
    export DBUS_SESSION_BUS_ADDRESS
    rm -f "$address_file"

    # Ready once the window manager and the tray have announced themselves.
    for _ in $(seq 200); do
        if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
            xwininfo -root -tree 2>/dev/null | grep -qi trayer; then
            break
        fi
        sleep 0.05
    done
}
