"""A private Wayland session for end-to-end tests: headless sway with XWayland, swaybar as
the tray, PipeWire and the desktop portal (wlr and gtk backends) on a session bus of its own.

sway refuses to run as root, so the whole session, the program under test and every tool
that talks to it run as an unprivileged user with their own home and runtime directory.
That user may not be able to read the checkout or the build (a clone in a private folder):
whatever it runs or reads of ours is copied into the session's folder first (`install`).
Every process is stopped by its process group when the session closes.

The program is started as a desktop would start it, without QT_QPA_PLATFORM: it chooses
XWayland by itself. Other Qt programs of the tests are told to use it.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from desktop import (BUS_NAME, INTERFACE, LSAN_SUPPRESSIONS, OBJECT_PATH, TIME_SCALE,
                     StopWaiting, _die_with_parent, _tail, parse_gvariant_scalar,
                     parse_window_tree, parse_xprop_value, wait_until)

# sway refuses to run as root: as root, the session runs as nobody; otherwise as ourselves.
AS_ROOT = os.geteuid() == 0
USER_ID = 65534 if AS_ROOT else os.geteuid()
HERE = Path(__file__).resolve().parent
GLOBAL_SHORTCUTS_BACKEND = "org.orrinvale.E2E.GlobalShortcutsBackend"
PORTALS = Path("/usr/share/xdg-desktop-portal/portals")

SWAY_CONFIG = """\
xwayland enable
output HEADLESS-1 resolution {width}x{height} bg {background} solid_color
bar {{
    tray_output *
}}
exec sh -c 'echo "$DISPLAY" > "$XDG_RUNTIME_DIR/x-display"'
exec dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP
exec pipewire
"""


class WaylandSession:
    def __init__(self, binary, width=1920, height=1080, background="#3366cc",
                 global_shortcuts=False):
        # False, True, or "leave-bind-open": a backend whose key dialog never closes.
        self._binary_source = binary
        self.binary = None  # the session's own copy, once started
        self.global_shortcuts = global_shortcuts
        self.width, self.height, self.background = width, height, background
        self.root = Path(tempfile.mkdtemp(prefix="orrinvale-wayland-"))
        self.home = self.root / "home"
        self.runtime = self.root / "run"
        self.portals = self.root / "portals"
        self.programs = self.root / "bin"
        self.lsan_suppressions = self.root / LSAN_SUPPRESSIONS.name
        self._sessions = []
        self.display = None
        self.bus_address = None

    # -- lifetime -------------------------------------------------------------------------

    def start(self):
        os.chmod(self.root, 0o755)
        for folder in (self.home, self.runtime, self.portals, self.programs):
            folder.mkdir()
        self.binary = self.install(self._binary_source)
        shutil.copy(LSAN_SUPPRESSIONS, self.lsan_suppressions)
        os.chmod(self.lsan_suppressions, 0o644)
        # Only the wlr screenshot backend and gtk's access dialogs, as on a real sway desktop.
        for name in ("wlr.portal", "gtk.portal"):
            shutil.copy(PORTALS / name, self.portals / name)
        (self.home / "sway.conf").write_text(SWAY_CONFIG.format(
            width=self.width, height=self.height, background=self.background))
        for path in (self.home, self.runtime, self.home / "sway.conf"):
            if AS_ROOT:
                os.chown(path, USER_ID, USER_ID)
        os.chmod(self.runtime, 0o700)

        bus_file = self.runtime / "bus"
        script = ('echo "$DBUS_SESSION_BUS_ADDRESS" > "%s"; exec sway -c "%s"'
                  % (bus_file, self.home / "sway.conf"))
        self._spawn("sway", ["dbus-run-session", "--", "sh", "-c", script],
                    extra={"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                           "WLR_RENDERER": "pixman"})
        display_file = self.runtime / "x-display"

        def ready():
            self._check_alive("sway")
            return (display_file.exists() and display_file.read_text().strip()
                    and bus_file.exists() and bus_file.read_text().strip()
                    and list(self.runtime.glob("sway-ipc.*.sock")))

        wait_until(ready, 60, "sway to start", interval=0.1)
        self.display = display_file.read_text().strip()
        self.bus_address = bus_file.read_text().strip()
        if self.global_shortcuts:
            self._start_global_shortcuts_backend()
        return self

    def _start_global_shortcuts_backend(self):
        """sway has no GlobalShortcuts backend: a fake one behind the real portal frontend,
        which must see its name taken before it starts."""
        (self.portals / "e2e-global-shortcuts.portal").write_text(
            "[portal]\nDBusName=%s\nInterfaces=org.freedesktop.impl.portal.GlobalShortcuts;\n"
            "UseIn=sway\n" % GLOBAL_SHORTCUTS_BACKEND)
        argv = ["/usr/bin/python3", "-u", self.install(HERE / "fake_global_shortcuts.py")]
        if self.global_shortcuts == "leave-bind-open":
            argv.append("--leave-bind-open")
        self._spawn("global-shortcuts", argv)

        def ready():
            self._check_alive("global-shortcuts")
            return "ready" in self.log("global-shortcuts").read_text(errors="replace")

        wait_until(ready, 30, "the fake GlobalShortcuts backend", interval=0.1)

    def press_global_shortcut(self, shortcut_id):
        """Has the fake backend report a press of `shortcut_id`; how many sessions got it."""
        return parse_gvariant_scalar(self.gdbus_call(
            GLOBAL_SHORTCUTS_BACKEND, "/org/freedesktop/portal/desktop",
            GLOBAL_SHORTCUTS_BACKEND + ".Press", shortcut_id))

    def close(self):
        for name, popen, log in reversed(self._sessions):
            if popen.poll() is None:
                try:
                    os.killpg(popen.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    popen.wait(10)
                except subprocess.TimeoutExpired:
                    os.killpg(popen.pid, signal.SIGKILL)
                    popen.wait()
            log.close()
        # What the bus and sway started on their own (Xwayland, pipewire, the portals) left
        # the process groups; they are known by the runtime directory in their environment.
        marker = ("XDG_RUNTIME_DIR=%s" % self.runtime).encode()
        for entry in Path("/proc").iterdir():
            try:
                if (entry.name.isdigit() and entry.stat().st_uid == USER_ID
                        and marker in (entry / "environ").read_bytes().split(b"\0")):
                    os.kill(int(entry.name), signal.SIGKILL)
            except OSError:
                continue
        if os.environ.get("ORRINVALE_E2E_KEEP") != "1":
            shutil.rmtree(self.root, ignore_errors=True)

    # -- processes ------------------------------------------------------------------------

    def install(self, path):
        """A copy of the program or script at `path` that the session's user may run."""
        target = self.programs / Path(path).name
        if not target.exists():
            shutil.copy(path, target)
            os.chmod(target, 0o755)
        return str(target)

    def env(self, extra=None):
        env = {
            "PATH": os.environ.get("PATH", "/usr/local/bin:/usr/bin:/bin"),
            "LANG": "C.UTF-8",
            "HOME": str(self.home),
            "XDG_RUNTIME_DIR": str(self.runtime),
            "XDG_CONFIG_HOME": str(self.home / ".config"),
            "XDG_CURRENT_DESKTOP": "sway",
            "XDG_SESSION_TYPE": "wayland",
            "XDG_DESKTOP_PORTAL_DIR": str(self.portals),
            "QT_QUICK_BACKEND": "software",
            "ASAN_OPTIONS": "detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0",
            "LSAN_OPTIONS": "suppressions=%s:print_suppressions=0" % self.lsan_suppressions,
            "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1",
        }
        sockets = sorted(self.runtime.glob("wayland-*[0-9]"))
        if sockets:
            env["WAYLAND_DISPLAY"] = sockets[0].name
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        env.update(extra or {})
        return env

    def _as_user(self, argv):
        if not AS_ROOT:
            return list(argv)
        return ["setpriv", "--reuid=%d" % USER_ID, "--regid=%d" % USER_ID, "--clear-groups",
                *argv]

    def _spawn(self, name, argv, extra=None):
        log = open(self.root / (name + ".log"), "wb")
        popen = subprocess.Popen(self._as_user(argv), env=self.env(extra), cwd=self.home,
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                 preexec_fn=_die_with_parent, start_new_session=True)
        self._sessions.append((name, popen, log))
        return popen

    def _check_alive(self, name):
        for child, popen, _ in self._sessions:
            if child == name and popen.poll() is not None:
                raise StopWaiting("%s exited (%s):\n%s" % (name, popen.returncode,
                                                          _tail(self.log(name))))

    def log(self, name):
        return self.root / (name + ".log")

    def start_app(self, *args):
        popen = self._spawn("orrinvale", [self.binary, *args])

        def up():
            self._check_alive("orrinvale")
            return self.bus_has_owner()

        wait_until(up, 90, "orrinvale to own " + BUS_NAME, interval=0.2)
        return popen

    def tool(self, *argv, timeout=60, extra=None, binary=False):
        """Runs a program as the session's user; its standard output, as bytes if `binary`."""
        text = {} if binary else {"text": True, "errors": "replace"}
        result = subprocess.run(self._as_user(list(argv)), env=self.env(extra), cwd=self.home,
                                stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=timeout * TIME_SCALE, **text)
        if result.returncode != 0:
            raise subprocess.CalledProcessError(result.returncode, argv, result.stdout,
                                                result.stderr)
        return result.stdout

    def swaymsg(self, *args):
        sock = str(next(self.runtime.glob("sway-ipc.*.sock")))
        return self.tool("swaymsg", "-s", sock, *args)

    def focused_window(self):
        """The title of the window sway gives the keyboard, or None."""
        import json

        def walk(node):
            if node.get("focused"):
                return node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                found = walk(child)
                if found:
                    return found
            return None

        node = walk(json.loads(self.swaymsg("-t", "get_tree")))
        return node.get("name") if node and node.get("type") == "con" else None

    # -- D-Bus ----------------------------------------------------------------------------

    def gdbus_call(self, destination, path, method, *args, timeout=60):
        return self.tool("gdbus", "call", "--session", "--dest", destination, "--object-path",
                         path, "--method", method, *args, timeout=timeout)

    def bus_has_owner(self, name=BUS_NAME):
        return parse_gvariant_scalar(self.gdbus_call(
            "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus.NameHasOwner", name))

    def call(self, method):
        return self.gdbus_call(BUS_NAME, OBJECT_PATH, INTERFACE + "." + method)

    def get_property(self, name):
        return parse_gvariant_scalar(self.gdbus_call(
            BUS_NAME, OBJECT_PATH, "org.freedesktop.DBus.Properties.Get", INTERFACE, name))

    # -- XWayland ---------------------------------------------------------------------------

    def x_windows(self, name):
        """The windows titled `name` on the XWayland display."""
        tree = parse_window_tree(self.tool("xwininfo", "-root", "-tree"))
        return [window for window in tree.walk()
                if window.parent is not None and window.name == name]

    def x_shown(self, name):
        """The windows titled `name` that are mapped on the XWayland display."""
        return [window for window in self.x_windows(name)
                if "IsViewable" in self.tool("xwininfo", "-id", str(window.id))]

    def x_property(self, window_id, name):
        """One property of an XWayland window as xprop prints it, or None when it is unset."""
        return parse_xprop_value(self.tool("xprop", "-id", str(window_id), name), name)

    # -- the screen -----------------------------------------------------------------------

    def screenshot(self):
        """The whole output as an RGB PPM `Image`, taken with grim."""
        from desktop import Image
        path = self.runtime / ("screen-%d.ppm" % time.monotonic_ns())
        self.tool("grim", "-t", "ppm", str(path))
        try:
            return Image.from_ppm(path.read_bytes())
        finally:
            path.unlink(missing_ok=True)
