"""A private X desktop for end-to-end tests of the real orrinvale binary.

`Desktop` starts its own Xvfb (display picked by the server through -displayfd), openbox,
trayer and a session bus, gives the program an isolated home and runtime directory, and
drives and inspects it with the ordinary X and D-Bus command-line tools. Every process it
starts is stopped by pid when it closes, and its temporary directory is removed.

`DesktopTestCase` is the unittest base class: one desktop per test class, a fresh program
per test (unless the class says otherwise), and a clean exit checked after each test, so a
crash or a leak report at shutdown fails the test that caused it.

Environment:
  ORRINVALE_BINARY          the program to test (required)
  ORRINVALE_E2E_TIME_SCALE  multiplies every timeout (default 1)
  ORRINVALE_E2E_KEEP=1      keep the temporary directory (logs, screenshots) after the run
"""

import contextlib
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from dataclasses import dataclass, field
from pathlib import Path

from xwire import XConnection

HERE = Path(__file__).resolve().parent
LSAN_SUPPRESSIONS = HERE.parent / "lsan.supp"

BUS_NAME = "org.orrinvale.Orrinvale"
OBJECT_PATH = "/org/orrinvale/Orrinvale"
INTERFACE = "org.orrinvale.Orrinvale"

PANEL_TITLE = "Orrinvale Stack"
SETTINGS_TITLE = "Settings"
EDITOR_TITLE = "Screenshot Editor"
TRAY_ICON_NAME = "Orrinvale"

TIME_SCALE = float(os.environ.get("ORRINVALE_E2E_TIME_SCALE", "1") or "1")

# Markers the sanitizers print; any of them in the program's stderr is a fault.
SANITIZER_MARKERS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                     "ERROR: UndefinedBehaviorSanitizer")


class WaitTimeout(AssertionError):
    """A condition did not come true in time (a test failure, not an error in the harness)."""


class StopWaiting(AssertionError):
    """Raised by a predicate when waiting longer cannot help (e.g. the process died)."""


def wait_until(predicate, timeout, what, interval=0.05):
    """Polls predicate until it returns something truthy, which is returned.

    Exceptions from the predicate count as "not yet" (the last one is reported), except
    StopWaiting, which ends the wait at once. Raises WaitTimeout naming `what`."""
    timeout *= TIME_SCALE
    deadline = time.monotonic() + timeout
    last_error = None
    last_value = None
    while True:
        try:
            last_value = predicate()
            if last_value:
                return last_value
        except StopWaiting:
            raise
        except Exception as error:  # the tools fail transiently while windows come and go
            last_error = error
        if time.monotonic() >= deadline:
            detail = ""
            if last_error is not None:
                detail = "; last error: %s: %s" % (type(last_error).__name__, last_error)
            elif last_value is not None:
                detail = "; last value: %r" % (last_value,)
            raise WaitTimeout("gave up after %.0f s waiting for %s%s" % (timeout, what, detail))
        time.sleep(interval)


_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    # PR_SET_PDEATHSIG: if the test runner is killed (e.g. a CTest timeout), nothing it
    # started lives on.
    _libc.prctl(1, signal.SIGTERM, 0, 0, 0)


def _tail(path, lines=40):
    try:
        text = Path(path).read_text(errors="replace")
    except OSError:
        return ""
    return "\n".join(text.splitlines()[-lines:])


# ----------------------------------------------------------------------------------------
# Images


class Image:
    """An 8-bit RGB image in memory, as read from or written to a binary PPM."""

    def __init__(self, width, height, data=None):
        self.width = width
        self.height = height
        self.data = bytearray(data) if data is not None else bytearray(width * height * 3)
        if len(self.data) != width * height * 3:
            raise ValueError("pixel data does not match %dx%d" % (width, height))

    @classmethod
    def filled(cls, width, height, rgb):
        return cls(width, height, bytes(rgb) * (width * height))

    @classmethod
    def from_ppm(cls, raw):
        tokens = []
        pos = 0
        while len(tokens) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            if raw[pos:pos + 1] == b"#":
                pos = raw.index(b"\n", pos) + 1
                continue
            start = pos
            while not raw[pos:pos + 1].isspace():
                pos += 1
            tokens.append(raw[start:pos])
        pos += 1  # the single whitespace byte before the pixels
        if tokens[0] != b"P6":
            raise ValueError("not a binary PPM: %r" % tokens[0])
        width, height, maxval = (int(t) for t in tokens[1:])
        if maxval != 255:
            raise ValueError("PPM with maxval %d; expected 8 bits" % maxval)
        return cls(width, height, raw[pos:pos + width * height * 3])

    def to_ppm(self):
        return b"P6\n%d %d\n255\n" % (self.width, self.height) + bytes(self.data)

    def save(self, path):
        Path(path).write_bytes(self.to_ppm())

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError("pixel (%d, %d) outside %dx%d" % (x, y, self.width, self.height))
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def fill_rect(self, x, y, width, height, rgb):
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        if x1 <= x0:
            return
        run = bytes(rgb) * (x1 - x0)
        for row in range(y0, y1):
            start = (row * self.width + x0) * 3
            self.data[start:start + len(run)] = run


def colour_close(actual, expected, tolerance=24):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


# ----------------------------------------------------------------------------------------
# Windows


@dataclass
class XWindow:
    """One window of the `xwininfo -root -tree` listing."""
    id: int
    name: str | None
    wm_class: tuple
    x: int  # relative to the parent
    y: int
    width: int
    height: int
    abs_x: int
    abs_y: int
    parent: "XWindow | None" = field(default=None, repr=False)
    children: list = field(default_factory=list, repr=False)

    def ancestors(self):
        node = self.parent
        while node is not None:
            yield node
            node = node.parent

    def walk(self):
        yield self
        for child in self.children:
            yield from child.walk()

    @property
    def centre(self):
        return self.abs_x + self.width // 2, self.abs_y + self.height // 2


_TREE_LINE = re.compile(
    r'^(?P<indent>\s*)(?P<id>0x[0-9a-f]+) (?:"(?P<name>.*)"|\(has no name\)): '
    r'\((?P<cls>.*)\)\s+(?P<w>\d+)x(?P<h>\d+)\+(?P<x>-?\d+)\+(?P<y>-?\d+)\s+'
    r'\+(?P<ax>-?\d+)\+(?P<ay>-?\d+)\s*$')


def parse_window_tree(text):
    """Parses `xwininfo -root -tree` output into the root XWindow."""
    root = None
    stack = []  # (indent, window)
    for line in text.splitlines():
        if root is None:
            found = re.search(r"Root window id: (0x[0-9a-f]+)", line)
            if found:
                root = XWindow(int(found.group(1), 16), None, (), 0, 0, 0, 0, 0, 0)
                stack = [(-1, root)]
            continue
        match = _TREE_LINE.match(line)
        if not match:
            continue
        indent = len(match.group("indent"))
        while stack and stack[-1][0] >= indent:
            stack.pop()
        parent = stack[-1][1] if stack else root
        window = XWindow(
            int(match.group("id"), 16), match.group("name"),
            tuple(re.findall(r'"([^"]*)"', match.group("cls"))),
            int(match.group("x")), int(match.group("y")),
            int(match.group("w")), int(match.group("h")),
            int(match.group("ax")), int(match.group("ay")), parent)
        parent.children.append(window)
        stack.append((indent, window))
    if root is None:
        raise ValueError("no root window in xwininfo output")
    return root


def parse_xprop_value(text, name):
    """The right-hand side of `NAME(TYPE) = value` or `NAME(TYPE): value`; None if unset."""
    for line in text.splitlines():
        if not line.startswith(name):
            continue
        rest = line[len(name):]
        if "not found" in rest or "no such atom" in rest:
            return None
        found = re.match(r"\([^)]*\)\s*[=:]\s*(.*)$", rest)
        if found:
            return found.group(1).strip()
    return None


def parse_size_hints(text):
    """WM_NORMAL_HINTS lines of xprop as {"minimum size": (w, h), ...}."""
    hints = {}
    for found in re.finditer(r"specified (.+?): (-?\d+) by (-?\d+)", text):
        hints[found.group(1)] = (int(found.group(2)), int(found.group(3)))
    return hints


# ----------------------------------------------------------------------------------------
# D-Bus


def parse_gvariant_scalar(text):
    """The value of a one-element gdbus reply such as `(<int32 3>,)`, `(<true>,)`."""
    found = re.fullmatch(r"\(<?(.*?)>?,\)", text.strip(), re.S)
    if not found:
        raise ValueError("unexpected gdbus reply: %r" % text)
    value = found.group(1).strip()
    if value in ("true", "false"):
        return value == "true"
    value = re.sub(r"^(?:byte|int16|uint16|int32|uint32|int64|uint64|double)\s+", "", value)
    if re.fullmatch(r"-?\d+", value):
        return int(value)
    if len(value) >= 2 and value[0] == value[-1] and value[0] in "'\"":
        return value[1:-1]
    return value


def parse_properties_changed(monitor_text, interface=INTERFACE):
    """(property, value) pairs of every PropertiesChanged for `interface` that dbus-monitor
    printed, in order."""
    changes = []
    for block in re.split(r"\n(?=\S)", monitor_text):
        if "member=PropertiesChanged" not in block:
            continue
        first = re.search(r'^\s*string "([^"]*)"', block, re.M)
        if not first or first.group(1) != interface:
            continue
        for name, kind, value in re.findall(
                r'string "([^"]*)"\s*\n\s*variant\s+(\w+)\s+(\S+)', block):
            if kind == "boolean":
                changes.append((name, value == "true"))
            elif re.fullmatch(r"-?\d+", value):
                changes.append((name, int(value)))
            else:
                changes.append((name, value.strip('"')))
    return changes


# ----------------------------------------------------------------------------------------
# Processes


class App:
    """One run of the program under test, with its output captured to files."""

    def __init__(self, desktop, popen, args, stdout_path, stderr_path):
        self.desktop = desktop
        self.popen = popen
        self.args = list(args)
        self.stdout_path = stdout_path
        self.stderr_path = stderr_path
        # The status a test lets it end with by itself (e.g. 1 when its X server went away);
        # any other, or a signal, fails the test.
        self.expected_status = 0

    @property
    def pid(self):
        return self.popen.pid

    @property
    def returncode(self):
        return self.popen.poll()

    def alive(self):
        return self.popen.poll() is None

    def stdout(self):
        return Path(self.stdout_path).read_text(errors="replace")

    def stderr(self):
        return Path(self.stderr_path).read_text(errors="replace")

    def describe(self):
        return ("orrinvale %s (pid %d, status %r)\n--- stdout (tail) ---\n%s\n"
                "--- stderr (tail) ---\n%s" % (" ".join(self.args), self.pid, self.returncode,
                                               _tail(self.stdout_path), _tail(self.stderr_path)))

    def wait(self, timeout=30):
        """Waits for the process to end; returns its status."""
        try:
            return self.popen.wait(timeout * TIME_SCALE)
        except subprocess.TimeoutExpired:
            raise WaitTimeout("orrinvale did not exit within %.0f s\n%s"
                              % (timeout * TIME_SCALE, self.describe())) from None

    def sanitizer_reports(self):
        text = self.stderr()
        return [marker for marker in SANITIZER_MARKERS if marker in text]


@dataclass
class _Child:
    name: str
    popen: subprocess.Popen
    log: Path | None


class Desktop:
    """Xvfb + openbox + trayer + a private session bus, and the program under test."""

    def __init__(self, width=1280, height=800, depth=24, tray=True, binary=None,
                 service_dirs=(), openbox_config=None):
        # An rc.xml of openbox's to use in place of its default one (None: the default).
        self.openbox_config = openbox_config
        self.width = width
        self.height = height
        self.depth = depth
        self.tray = tray
        self.binary = binary or os.environ.get("ORRINVALE_BINARY")
        if not self.binary:
            raise RuntimeError("set ORRINVALE_BINARY to the orrinvale executable to test")
        self.binary = str(Path(self.binary).resolve())
        # D-Bus service directories the session bus activates from (none by default).
        self.service_dirs = [str(Path(d).resolve()) for d in service_dirs]
        self.display = None
        self.bus_address = None
        self._trayer = None
        self.root = None
        self._children = []  # desktop services, stopped last-started first
        self._apps = []
        self._log_counter = 0

    # -- lifetime ------------------------------------------------------------------------

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()

    def start(self):
        try:
            self._make_dirs()
            self._start_xvfb()
            self._start_openbox()
            if self.tray:
                self._start_trayer()
            self._start_bus()
        except BaseException:
            self.close()
            raise
        return self

    def close(self):
        """Stops every process this desktop started, newest first, then removes its files."""
        for app in reversed(self._apps):
            self._stop(app.popen)
        self._apps.clear()
        for child in reversed(self._children):
            self._stop(child.popen)
        self._children.clear()
        if self.root is not None:
            if os.environ.get("ORRINVALE_E2E_KEEP") == "1":
                print("e2e: kept %s" % self.root, file=sys.stderr)
            else:
                shutil.rmtree(self.root, ignore_errors=True)
            self.root = None

    @staticmethod
    def _stop(popen, grace=5.0):
        if popen.poll() is None:
            with contextlib.suppress(ProcessLookupError):
                popen.send_signal(signal.SIGTERM)
            try:
                popen.wait(grace)
            except subprocess.TimeoutExpired:
                with contextlib.suppress(ProcessLookupError):
                    popen.kill()
                with contextlib.suppress(subprocess.TimeoutExpired):
                    popen.wait(grace)
        for stream in (popen.stdout, popen.stderr, popen.stdin):
            if stream is not None:
                stream.close()

    # -- environment ---------------------------------------------------------------------

    def _make_dirs(self):
        self.root = Path(tempfile.mkdtemp(prefix="orrinvale-e2e-"))
        self.home = self.root / "home"
        self.config_home = self.home / ".config"
        self.runtime_dir = self.root / "runtime"
        self.tmp_dir = self.root / "tmp"
        self.log_dir = self.root / "logs"
        self.bus_dir = self.root / "bus"
        for path in (self.home, self.config_home, self.runtime_dir, self.tmp_dir,
                     self.log_dir, self.bus_dir):
            path.mkdir(parents=True, exist_ok=True)
        self.runtime_dir.chmod(0o700)

    @property
    def env(self):
        """The environment every process of this desktop runs in."""
        env = {
            "PATH": os.environ.get("PATH", "/usr/local/bin:/usr/bin:/bin"),
            "LANG": "C.UTF-8",
            "HOME": str(self.home),
            "XDG_CONFIG_HOME": str(self.config_home),
            "XDG_RUNTIME_DIR": str(self.runtime_dir),
            "XDG_CACHE_HOME": str(self.home / ".cache"),
            "XDG_DATA_HOME": str(self.home / ".local" / "share"),
            "TMPDIR": str(self.tmp_dir),
            "USER": os.environ.get("USER", "root"),
            "LOGNAME": os.environ.get("LOGNAME", "root"),
            "QT_QPA_PLATFORM": "xcb",
            # Mesa's swrast driver leaks under ASan in a way no suppression can match.
            "QT_QUICK_BACKEND": "software",
            "ASAN_OPTIONS": "detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0",
            "LSAN_OPTIONS": "suppressions=%s:print_suppressions=0" % LSAN_SUPPRESSIONS,
            "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1",
            # Lets the harness tell its own program instances from anyone else's.
            "ORRINVALE_E2E_DESKTOP": str(self.root),
        }
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        return env

    def _log_path(self, name):
        self._log_counter += 1
        return self.log_dir / ("%02d-%s" % (self._log_counter, name))

    def _spawn(self, name, argv, pass_fds=()):
        log = self._log_path(name + ".log")
        with open(log, "wb") as out:
            popen = subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                     stderr=subprocess.STDOUT, pass_fds=pass_fds,
                                     preexec_fn=_die_with_parent, start_new_session=True)
        child = _Child(name, popen, log)
        self._children.append(child)
        return child

    def _read_line_from(self, fd, child, timeout, what):
        """Reads one line that a starting service writes to the pipe `fd`."""
        data = b""
        deadline = time.monotonic() + timeout * TIME_SCALE
        while b"\n" not in data:
            if time.monotonic() > deadline:
                raise WaitTimeout("gave up waiting for %s\n%s" % (what, _tail(child.log)))
            ready, _, _ = select.select([fd], [], [], 0.1)
            if ready:
                chunk = os.read(fd, 4096)
                if chunk:
                    data += chunk
                    continue
            if child.popen.poll() is not None:
                raise StopWaiting("%s exited with status %s before giving %s\n%s"
                                  % (child.name, child.popen.returncode, what, _tail(child.log)))
        return data.split(b"\n", 1)[0].decode().strip()

    # -- services ------------------------------------------------------------------------

    def _start_xvfb(self):
        read_fd, write_fd = os.pipe()
        try:
            child = self._spawn("xvfb", [
                "Xvfb", "-displayfd", str(write_fd), "-nolisten", "tcp", "-noreset",
                "-screen", "0", "%dx%dx%d" % (self.width, self.height, self.depth)],
                pass_fds=(write_fd,))
            os.close(write_fd)
            write_fd = None
            number = self._read_line_from(read_fd, child, 30, "the Xvfb display number")
        finally:
            os.close(read_fd)
            if write_fd is not None:
                os.close(write_fd)
        self.display = ":" + number

    def _start_openbox(self):
        config = ["--config-file", str(self.openbox_config)] if self.openbox_config else []
        child = self._spawn("openbox", ["openbox", "--sm-disable", *config])

        def managed():
            if child.popen.poll() is not None:
                raise StopWaiting("openbox exited with status %s\n%s"
                                  % (child.popen.returncode, _tail(child.log)))
            check = parse_xprop_value(self.xprop_root("_NET_SUPPORTING_WM_CHECK"),
                                      "_NET_SUPPORTING_WM_CHECK")
            return check and "0x" in check

        wait_until(managed, 30, "openbox to manage the screen (_NET_SUPPORTING_WM_CHECK)")

    def _start_trayer(self):
        child = self._spawn("trayer", [
            "trayer", "--edge", "bottom", "--align", "left", "--widthtype", "request",
            "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true",
            "--transparent", "false", "--expand", "true"])

        def owned():
            if child.popen.poll() is not None:
                raise StopWaiting("trayer exited with status %s\n%s"
                                  % (child.popen.returncode, _tail(child.log)))
            with XConnection(self.display) as x:
                return x.selection_owner("_NET_SYSTEM_TRAY_S0")

        wait_until(owned, 30, "trayer to own the _NET_SYSTEM_TRAY_S0 selection")
        self._trayer = child

    def _start_bus(self):
        # The session bus's own policy without its service directories: nothing is
        # activated behind the harness's back, so every bus client is one it started
        # (or one from a service directory the test named).
        config = self.root / "session-bus.conf"
        service_dirs = "".join("  <servicedir>%s</servicedir>\n" % d for d in self.service_dirs)
        config.write_text(
            '<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"\n'
            ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
            "<busconfig>\n"
            "  <type>session</type>\n"
            "  <listen>unix:dir=%s</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "%s"
            '  <policy context="default">\n'
            '    <allow send_destination="*" eavesdrop="true"/>\n'
            '    <allow eavesdrop="true"/>\n'
            '    <allow own="*"/>\n'
            "  </policy>\n"
            "</busconfig>\n" % (self.bus_dir, service_dirs))
        read_fd, write_fd = os.pipe()
        try:
            child = self._spawn("dbus", [
                "dbus-daemon", "--config-file=%s" % config, "--nofork", "--nopidfile",
                "--nosyslog", "--print-address=%d" % write_fd],
                pass_fds=(write_fd,))
            os.close(write_fd)
            write_fd = None
            address = self._read_line_from(read_fd, child, 30, "the session bus address")
        finally:
            os.close(read_fd)
            if write_fd is not None:
                os.close(write_fd)
        self.bus_address = address

    # -- the program ---------------------------------------------------------------------

    def start_app(self, *args, wait_for_bus=True, timeout=60, env=None):
        """Starts orrinvale with `args` (and `env` over the desktop's environment); by default
        waits until it owns its bus name."""
        stdout_path = self._log_path("orrinvale.out")
        stderr_path = self._log_path("orrinvale.err")
        with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
            popen = subprocess.Popen([self.binary, *args], env={**self.env, **(env or {})},
                                     stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                     preexec_fn=_die_with_parent, start_new_session=True)
        app = App(self, popen, args, stdout_path, stderr_path)
        self._apps.append(app)
        if wait_for_bus:
            def up():
                if not app.alive():
                    raise StopWaiting("orrinvale exited before taking its bus name\n"
                                      + app.describe())
                return self.bus_owner_pid() == app.pid

            wait_until(up, timeout, "orrinvale to own " + BUS_NAME, interval=0.1)
        return app

    def run(self, *args, timeout=60):
        """Runs orrinvale with `args` to completion (e.g. a second launch); returns the
        CompletedProcess with text stdout and stderr."""
        try:
            return subprocess.run([self.binary, *args], env=self.env, stdin=subprocess.DEVNULL,
                                  capture_output=True, text=True, errors="replace",
                                  timeout=timeout * TIME_SCALE, preexec_fn=_die_with_parent,
                                  start_new_session=True)
        except subprocess.TimeoutExpired as expired:
            raise WaitTimeout("orrinvale %s did not finish within %.0f s; stderr: %s"
                              % (" ".join(args), timeout * TIME_SCALE, expired.stderr)) from None

    def kill_service(self, name, sig=signal.SIGKILL, timeout=30):
        """Ends one of the desktop's own services ("xvfb", "dbus", "openbox", "trayer") the
        way a crash would, and waits until it is gone."""
        child = next(c for c in self._children if c.name == name)
        with contextlib.suppress(ProcessLookupError):
            child.popen.send_signal(sig)
        child.popen.wait(timeout * TIME_SCALE)

    def quit_app(self, app, timeout=30):
        """Asks the instance to quit over D-Bus; returns its exit status."""
        self.call("Quit")
        return app.wait(timeout)

    def instances(self):
        """Pids of orrinvale processes running in this desktop."""
        marker = ("ORRINVALE_E2E_DESKTOP=%s" % self.root).encode()
        pids = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                if os.path.realpath(entry / "exe") != self.binary:
                    continue
                if marker in (entry / "environ").read_bytes().split(b"\0"):
                    pids.append(int(entry.name))
            except OSError:
                continue
        return sorted(pids)

    # -- tools ---------------------------------------------------------------------------

    def tool(self, *argv, timeout=30, check=True):
        """Runs an X or D-Bus tool in this desktop's environment; returns its stdout."""
        result = subprocess.run(argv, env=self.env, stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, errors="replace",
                                timeout=timeout * TIME_SCALE, preexec_fn=_die_with_parent)
        if check and result.returncode != 0:
            raise subprocess.CalledProcessError(result.returncode, argv, result.stdout,
                                                result.stderr)
        return result.stdout

    # -- D-Bus ---------------------------------------------------------------------------

    def gdbus_call(self, destination, path, method, *args, timeout=30):
        return self.tool("gdbus", "call", "--session", "--dest", destination, "--object-path",
                         path, "--method", method, *args, timeout=timeout)

    def bus_owner_pid(self, name=BUS_NAME):
        """The pid of the process owning `name`, None when nobody does."""
        has = parse_gvariant_scalar(self.gdbus_call(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
            name))
        if not has:
            return None
        return parse_gvariant_scalar(self.gdbus_call(
            "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus.GetConnectionUnixProcessID", name))

    def get_property(self, name):
        return parse_gvariant_scalar(self.gdbus_call(
            BUS_NAME, OBJECT_PATH, "org.freedesktop.DBus.Properties.Get", INTERFACE, name))

    def call(self, method):
        return self.gdbus_call(BUS_NAME, OBJECT_PATH, INTERFACE + "." + method)

    def wait_for_property(self, name, expected, timeout=30):
        return wait_until(lambda: self.get_property(name) == expected, timeout,
                          "%s to become %r" % (name, expected), interval=0.1)

    @contextlib.contextmanager
    def monitor_properties(self):
        """Records PropertiesChanged of the program's object while the block runs; yields a
        function that returns the (property, value) pairs seen so far."""
        log = self._log_path("dbus-monitor.log")
        probe_interface = "org.orrinvale.E2EProbe"
        with open(log, "wb") as out:
            popen = subprocess.Popen(
                ["dbus-monitor", "--session",
                 "type='signal',path='%s',interface='org.freedesktop.DBus.Properties'"
                 % OBJECT_PATH,
                 "type='signal',interface='%s'" % probe_interface],
                env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                preexec_fn=_die_with_parent, start_new_session=True)
        try:
            # Ready once it prints a signal sent after it started.
            def ready():
                if popen.poll() is not None:
                    raise StopWaiting("dbus-monitor exited: " + _tail(log))
                self.tool("gdbus", "emit", "--session", "--object-path", "/org/orrinvale/E2E",
                          "--signal", probe_interface + ".Probe")
                return "member=Probe" in log.read_text(errors="replace")

            wait_until(ready, 30, "dbus-monitor to start", interval=0.2)
            yield lambda: parse_properties_changed(log.read_text(errors="replace"))
        finally:
            self._stop(popen)

    # -- windows -------------------------------------------------------------------------

    def xprop_root(self, *names):
        return self.tool("xprop", "-root", *names, check=False)

    def xprop(self, window_id, *names):
        return self.tool("xprop", "-id", str(window_id), *names, check=False)

    def window_property(self, window_id, name):
        """The value of one property as xprop prints it, or None when it is not set."""
        return parse_xprop_value(self.xprop(window_id, name), name)

    def window_atoms(self, window_id, name):
        value = self.window_property(window_id, name)
        return [atom.strip() for atom in value.split(",")] if value else []

    def size_hints(self, window_id):
        return parse_size_hints(self.xprop(window_id, "WM_NORMAL_HINTS"))

    def window_tree(self):
        return parse_window_tree(self.tool("xwininfo", "-root", "-tree"))

    def find_windows(self, name=None, wm_class=None, toplevel_only=False):
        """Windows by exact title and/or WM_CLASS class name, from the live window tree."""
        found = []
        for window in self.window_tree().walk():
            if window.parent is None:
                continue
            if name is not None and window.name != name:
                continue
            if wm_class is not None and wm_class not in window.wm_class:
                continue
            found.append(window)
        return found

    def search_windows(self, name_regex):
        """Window ids that `xdotool search --name` finds (an extended regular expression)."""
        out = self.tool("xdotool", "search", "--name", name_regex, check=False)
        return [int(line) for line in out.split()]

    def window_info(self, window_id):
        """`xwininfo -id` as a dict: "Absolute upper-left X", "Width", "Map State", ..."""
        info = {}
        for line in self.tool("xwininfo", "-id", str(window_id)).splitlines():
            key, sep, value = line.strip().partition(":")
            if sep and value:
                info[key.strip()] = value.strip()
        return info

    def geometry(self, window_id):
        """(x, y, width, height) of the window's content, in root coordinates."""
        info = self.window_info(window_id)
        return (int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"]),
                int(info["Width"]), int(info["Height"]))

    def is_viewable(self, window_id):
        try:
            return self.window_info(window_id).get("Map State") == "IsViewable"
        except subprocess.CalledProcessError:
            return False  # destroyed meanwhile

    def wait_for_window(self, name, timeout=30, wm_class="orrinvale"):
        """The one viewable window titled `name` (of class `wm_class`)."""
        def viewable():
            windows = [w for w in self.find_windows(name=name, wm_class=wm_class)
                       if self.is_viewable(w.id)]
            if len(windows) > 1:
                raise StopWaiting("more than one viewable window titled %r: %s"
                                  % (name, [hex(w.id) for w in windows]))
            return windows[0] if windows else None

        return wait_until(viewable, timeout, "a viewable window titled %r" % name,
                          interval=0.1)

    def open_editor_from_thumbnail(self, scale=1.0, timeout=30):
        """The editor window, opened by clicking the first thumbnail until it shows (the
        stack may still be sliding in when the capture lands). `scale` is the pixels to a
        point of the stack."""
        thumbnail = (round((self.width / scale - 270 + 10 + 115) * scale),
                     round((40 + 20) * scale))

        def opened():
            windows = [w for w in self.find_windows(name=EDITOR_TITLE, wm_class="orrinvale")
                       if self.is_viewable(w.id)]
            if windows:
                return windows[0]
            self.tool("xdotool", "mousemove", str(thumbnail[0]), str(thumbnail[1]),
                      "click", "1")
            return None

        return wait_until(opened, timeout, "the editor to open from the thumbnail",
                          interval=1.0)

    def stacking(self):
        """_NET_CLIENT_LIST_STACKING, bottom to top."""
        value = parse_xprop_value(self.xprop_root("_NET_CLIENT_LIST_STACKING"),
                                  "_NET_CLIENT_LIST_STACKING") or ""
        return [int(token, 16) for token in re.findall(r"0x[0-9a-f]+", value)]

    # -- tray ----------------------------------------------------------------------------

    def tray_panel(self, tree=None):
        """trayer's panel window, where icons are embedded; None while it does not exist."""
        tree = tree or self.window_tree()
        return next((w for w in tree.walk() if w.wm_class == ("panel", "trayer")), None)

    def tray_icon(self, timeout=30):
        """The program's icon window once it is embedded: a viewable descendant of trayer's
        panel, inside the panel's rectangle, and at rest (trayer resizes itself and moves
        its icons while one is added)."""
        previous = []

        def settled():
            tree = self.window_tree()
            tray = self.tray_panel(tree)
            if tray is None:
                return None
            icons = [w for w in tray.walk()
                     if w.name == TRAY_ICON_NAME and "orrinvale" in w.wm_class]
            if len(icons) != 1 or not self.is_viewable(icons[0].id):
                previous.clear()
                return None
            icon = icons[0]
            place = (icon.abs_x, icon.abs_y, icon.width, icon.height,
                     tray.abs_x, tray.abs_y, tray.width, tray.height)
            inside = (tray.abs_x <= icon.abs_x
                      and icon.abs_x + icon.width <= tray.abs_x + tray.width
                      and tray.abs_y <= icon.abs_y
                      and icon.abs_y + icon.height <= tray.abs_y + tray.height)
            at_rest = previous == [place]
            previous[:] = [place]
            return icon if inside and at_rest else None

        try:
            return wait_until(settled, timeout, "the tray icon to be embedded in trayer",
                              interval=0.15)
        except WaitTimeout as timeout_error:
            windows = [line for line in self.tool("xwininfo", "-root", "-tree").splitlines()
                       if "trayer" in line or "orrinvale" in line]
            raise WaitTimeout("%s\nwindows:\n%s\ntrayer's log:\n%s" % (
                timeout_error, "\n".join(windows),
                _tail(self._trayer.log) if self._trayer else "(no trayer)")) from None

    def open_popup_menus(self):
        """Ids of the program's viewable popup menus: its override-redirect top-level
        windows other than tooltips (Qt marks its menus as plain windows)."""
        menus = []
        for window in self.window_tree().children:
            if "orrinvale" not in window.wm_class:
                continue
            try:
                info = self.window_info(window.id)
            except subprocess.CalledProcessError:
                continue  # gone meanwhile
            if (info.get("Map State") != "IsViewable"
                    or info.get("Override Redirect State") != "yes"):
                continue
            kinds = self.window_atoms(window.id, "_NET_WM_WINDOW_TYPE")
            if not any(kind.endswith("_TOOLTIP") for kind in kinds):
                menus.append(window.id)
        return menus

    def open_tray_menu(self, button=1, timeout=30):
        """Clicks the tray icon with `button`; returns the popup menu window that opens."""
        icon = self.tray_icon()
        if self.open_popup_menus():
            raise AssertionError("a menu is already open before clicking the tray icon")
        x, y = icon.centre
        # One xdotool call: the server handles the motion before the click. (--sync would
        # wait forever for a motion when the pointer is already there.)
        self.tool("xdotool", "mousemove", str(x), str(y), "click", str(button))
        menus = wait_until(self.open_popup_menus, timeout,
                           "a popup menu after clicking the tray icon with button %d" % button,
                           interval=0.1)
        return menus[0]

    def key(self, *keys):
        self.tool("xdotool", "key", "--delay", "50", *keys)

    # -- pixels --------------------------------------------------------------------------

    def screenshot(self):
        """The whole screen, read from the X server into memory."""
        raw = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                             env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                             timeout=60 * TIME_SCALE, preexec_fn=_die_with_parent, check=True)
        return Image.from_ppm(raw.stdout)

    def set_root_background(self, image, check_points, tolerance=8, timeout=30):
        """Puts `image` (screen-sized) on the root window and waits until the screen shows it
        at every (x, y) of check_points (choose points no window covers)."""
        if (image.width, image.height) != (self.width, self.height):
            raise ValueError("the background must be %dx%d" % (self.width, self.height))
        path = self._log_path("background.ppm")
        image.save(path)
        # display exits non-zero even when it has set the background: the pixels decide.
        self.tool("display", "-window", "root", str(path), check=False, timeout=60)

        def shown():
            shot = self.screenshot()
            return all(colour_close(shot.pixel(x, y), image.pixel(x, y), tolerance)
                       for x, y in check_points)

        wait_until(shown, timeout, "the root window to show the test pattern", interval=0.2)

    def open_plain_window(self, title, x, y, width, height, rgb, timeout=30):
        """Opens a normal, managed window of another program showing one colour; returns its
        XWindow. Closed with the desktop (or with close_plain_window)."""
        path = self._log_path("plain.ppm")
        Image.filled(width, height, rgb).save(path)
        child = self._spawn("display", ["display", "-title", title, "-geometry",
                                        "%dx%d+%d+%d" % (width, height, x, y), str(path)])
        window = self.wait_for_window(title, timeout=timeout, wm_class=None)
        window.process = child
        return window

    def close_plain_window(self, window):
        self._stop(window.process.popen)
        self._children.remove(window.process)


# ----------------------------------------------------------------------------------------
# unittest glue


class DesktopTestCase(unittest.TestCase):
    """One desktop per test class; a fresh program per test unless `launch_app` is False.

    After each test every program instance still running is asked to quit over D-Bus and
    must exit with status 0 and no sanitizer report; one that ended during the test must have
    ended with its `expected_status` (0 unless the test says otherwise)."""

    desktop_options = {}
    launch_app = True
    # Environment of the program started for each test, over the desktop's.
    app_env = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desktop = Desktop(**cls.desktop_options)
        cls.addClassCleanup(cls.desktop.close)
        cls.desktop.start()

    def setUp(self):
        super().setUp()
        self.addCleanup(self._finish_apps)
        self.app = self.desktop.start_app(env=self.app_env) if self.launch_app else None

    def _finish_apps(self):
        problems = []
        for app in list(self.desktop._apps):
            if app.alive():
                try:
                    status = self.desktop.quit_app(app)
                except Exception as error:  # keep stopping the others
                    problems.append("could not quit: %s\n%s" % (error, app.describe()))
                    continue
                if status != 0 or app.sanitizer_reports():
                    problems.append("unclean exit after the test:\n" + app.describe())
            elif app.returncode != app.expected_status:
                problems.append("ended with status %r during the test (expected %r):\n%s"
                                % (app.returncode, app.expected_status, app.describe()))
            elif app.sanitizer_reports():
                problems.append("sanitizer report:\n" + app.describe())
            if "QML error" in app.stdout():
                problems.append("QML errors:\n" + app.describe())
            self.desktop._stop(app.popen)
            self.desktop._apps.remove(app)
        wait_until(lambda: not self.desktop.instances(), 30,
                   "every orrinvale instance of this desktop to end")
        if problems:
            self.fail("\n\n".join(problems))

    def assertExitsCleanly(self, app, timeout=30):
        status = app.wait(timeout)
        self.assertEqual(status, 0, app.describe())
        self.assertEqual(app.sanitizer_reports(), [], app.describe())
