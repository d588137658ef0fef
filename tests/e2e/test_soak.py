"""End to end, under load and under faults: a burst of captures asked for all at once, the
editor and the stack opened and closed many times while the memory is watched, drag-out into
a full and a read-only temporary folder, a damaged preferences file, and the session bus and
the X server going away under the running program.

The short form runs with every `make test`. ORRINVALE_SOAK=long (`make soak`) runs the long
one: 1,000 captures, 200 editor openings and 200 stack toggles. Figures go to standard error
as lines starting with "soak:"."""

import errno
import os
import re
import subprocess
import sys
import time
import unittest
from pathlib import Path

import test_stack
from buswire import BusConnection
from desktop import (BUS_NAME, INTERFACE, OBJECT_PATH, DesktopTestCase, Image,
                     colour_close, wait_until)

LONG = os.environ.get("ORRINVALE_SOAK") == "long"
BURST = 1000 if LONG else 100
EDITOR_CYCLES = 200 if LONG else 20
STACK_TOGGLES = 200 if LONG else 40
WARM_UP = 5  # cycles before the first memory reading: caches, fonts, QML types loaded

# Growth after the warm-up that counts as unbounded. ASan keeps freed blocks in quarantine
# (cut to 16 MiB here) and its allocator gives pages back to the system late, so RSS moves by
# some tens of MiB with no leak at all; a leaked capture (4 MiB at 1280x800) or a leaked
# editor window (its QML scene, several MiB) per cycle would pass this well within the short
# run's cycles.
GROWTH_ALLOWANCE_MIB = 32
GROWTH_PER_CYCLE_MIB = 0.5
SMALL_QUARANTINE = "quarantine_size_mb=16:thread_local_quarantine_size_kb=256"

EDITOR_TITLE = "Screenshot Editor"
GREY, TEAL = (128, 128, 128), (30, 150, 150)


def say(text):
    print("soak: " + text, file=sys.stderr, flush=True)


def rss_kib(pid):
    status = Path("/proc/%d/status" % pid).read_text()
    return int(re.search(r"^VmRSS:\s+(\d+) kB", status, re.M).group(1))


def cpu_seconds(pid):
    """User plus system time the process has used so far."""
    fields = Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def lines_with(text, needle):
    return [line for line in text.splitlines() if needle in line]


class StackPlaces:
    """Where the stack's thumbnails are on the default 1280x800 desktop."""

    def thumbnail_centre(self, index):
        d = self.desktop
        height = round(230 * d.height / d.width)
        return d.width - 270 + 10 + 115, 40 + index * (height + 15) + height // 2

    def set_screen(self, colour):
        d = self.desktop
        d.set_root_background(Image.filled(d.width, d.height, colour), [(200, 200), (600, 300)])

    def wait_for_thumbnails(self, colours):
        """The top thumbnails show `colours`, newest first (their middles show the middle of
        the screen each captured)."""
        def shown():
            shot = self.desktop.screenshot()
            return all(colour_close(shot.pixel(*self.thumbnail_centre(i)), colour)
                       for i, colour in enumerate(colours))

        wait_until(shown, 30, "the top thumbnails to show %r" % (colours,), interval=0.2)


class CaptureBurstTest(StackPlaces, DesktopTestCase):
    """Captures asked for all at once over D-Bus each arrive, once, in the order they
    complete. The bus shows only the count: capture ids stay inside the program. So the
    order is read from the count's announcements, which must be 1, 2, ... N with none
    missing or repeated, and from the stack, where a capture taken after the burst lands on
    top of the burst's."""

    def test_burst_of_captures_all_arrive_in_order(self):
        d = self.desktop
        self.set_screen(GREY)
        with d.monitor_properties() as changes:
            start = time.monotonic()
            with BusConnection(d.bus_address) as bus:
                bus.send_many(BURST, BUS_NAME, OBJECT_PATH, INTERFACE, "TakeScreenshot")
            sent = time.monotonic() - start
            wait_until(lambda: d.get_property("CaptureCount") >= BURST, 60 + BURST * 0.5,
                       "%d captures" % BURST, interval=0.25)
            duration = time.monotonic() - start
            counts = lambda: [v for name, v in changes() if name == "CaptureCount"]
            wait_until(lambda: len(counts()) >= BURST, 60, "every CaptureCount announcement")
            time.sleep(0.5)  # anything announced after the last one would show by now
            announced = counts()

        self.assertEqual(d.get_property("CaptureCount"), BURST)
        self.assertEqual(announced, list(range(1, BURST + 1)))
        self.assertEqual(lines_with(self.app.stdout(), "Failed to capture"), [])
        say("burst: %d captures asked in %.2f s, all %d in the stack after %.1f s "
            "(%.1f per second); RSS then %.0f MiB"
            % (BURST, sent, BURST, duration, BURST / duration, rss_kib(self.app.pid) / 1024))

        # One more, of another screen, lands on top of the burst's last.
        self.set_screen(TEAL)
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", BURST + 1)
        self.wait_for_thumbnails([TEAL, GREY, GREY])


class ChurnTest(StackPlaces, DesktopTestCase):
    """The editor opened and closed, and the stack hidden and shown, many times: the memory
    after a warm-up stays bounded."""

    launch_app = False

    def setUp(self):
        super().setUp()
        d = self.desktop
        self.app = d.start_app(env={"ASAN_OPTIONS": d.env["ASAN_OPTIONS"] + ":" +
                                    SMALL_QUARANTINE})
        self.set_screen(GREY)
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)
        self.wait_for_thumbnails([GREY])

    def assert_bounded(self, what, cycles, before, after):
        growth = (after - before) / 1024
        allowed = GROWTH_ALLOWANCE_MIB + GROWTH_PER_CYCLE_MIB * cycles
        say("%s: %d cycles, RSS %.1f MiB after the warm-up, %.1f MiB at the end, growth "
            "%+.1f MiB (%+.0f KiB per cycle; allowed %.0f MiB)"
            % (what, cycles, before / 1024, after / 1024, growth, (after - before) / cycles,
               allowed))
        self.assertLess(growth, allowed, "%s: RSS grew without bound" % what)

    def open_and_close_editor(self):
        d = self.desktop
        x, y = self.thumbnail_centre(0)

        def opened():
            windows = [w for w in d.find_windows(name=EDITOR_TITLE, wm_class="orrinvale")
                       if d.is_viewable(w.id)]
            if windows:
                return windows[0]
            d.tool("xdotool", "mousemove", str(x), str(y), "click", "1")
            return None

        editor = wait_until(opened, 30, "the editor to open", interval=1.0)

        def focused():
            if "0x%x" % editor.id in d.xprop_root("_NET_ACTIVE_WINDOW"):
                return True
            d.tool("xdotool", "windowactivate", str(editor.id), check=False)
            return False

        wait_until(focused, 20, "the editor to have the keyboard", interval=0.2)
        d.key("Escape")
        wait_until(lambda: not d.is_viewable(editor.id), 20, "the editor to close")
        self.assertTrue(self.app.alive(), self.app.describe())

    def toggle_stack(self, visible):
        self.desktop.key("ctrl+shift+2")
        self.desktop.wait_for_property("StackVisible", visible)

    def test_editor_opened_and_closed_many_times(self):
        for _ in range(WARM_UP):
            self.open_and_close_editor()
        before = rss_kib(self.app.pid)
        for _ in range(EDITOR_CYCLES):
            self.open_and_close_editor()
        self.assert_bounded("editor", EDITOR_CYCLES, before, rss_kib(self.app.pid))
        self.assertNotIn("QML error", self.app.stdout())

    def test_stack_toggled_many_times(self):
        visible = True
        for _ in range(WARM_UP * 2):
            visible = not visible
            self.toggle_stack(visible)
        before = rss_kib(self.app.pid)
        for _ in range(STACK_TOGGLES):
            visible = not visible
            self.toggle_stack(visible)
        self.assert_bounded("stack toggles", STACK_TOGGLES, before, rss_kib(self.app.pid))


@unittest.skipUnless(test_stack.RECEIVER,
                     "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
class DragOutFaultTest(StackPlaces, test_stack.DropReceiver, DesktopTestCase):
    """Drag-out with the temporary folder on a full file system, then on a read-only one:
    one line says what failed, no file is left behind, and once the room is back the next
    drag hands out its file."""

    launch_app = False

    def setUp(self):
        super().setUp()
        if os.geteuid() != 0:
            self.skipTest("mounting a small file system needs root")
        self.mount = self.desktop.root / "small-tmp"
        self.mount.mkdir()
        result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m,mode=1777", "tmpfs",
                                 str(self.mount)], capture_output=True, text=True)
        if result.returncode != 0:
            self.skipTest("cannot mount a tmpfs here: " + result.stderr.strip())
        self.addCleanup(self.unmount)
        d = self.desktop
        self.app = d.start_app(env={"TMPDIR": str(self.mount)})
        self.folder = self.mount / ("orrinvale-%d" % os.geteuid())
        self.set_screen(GREY)
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)
        self.wait_for_thumbnails([GREY])
        window, self.output = self.open_receiver(100, 100, 400, 300)
        self.target = window.centre

    def unmount(self):
        # The program is gone by now (cleanups run last-added first); lazily if something
        # still holds it.
        if subprocess.run(["umount", str(self.mount)], capture_output=True).returncode != 0:
            subprocess.run(["umount", "-l", str(self.mount)], capture_output=True)

    def fill(self):
        """Writes a file until the file system has no byte left."""
        filler = self.mount / "filler"
        with open(filler, "wb", buffering=0) as out:
            chunk = 65536
            while chunk:
                try:
                    out.write(b"\0" * chunk)
                except OSError as error:
                    if error.errno != errno.ENOSPC:
                        raise
                    chunk //= 2
        return filler

    def remount(self, mode):
        subprocess.run(["mount", "-o", "remount," + mode, str(self.mount)], check=True,
                       capture_output=True)

    def drag_and_wait(self, count):
        self.drag_between(self.thumbnail_centre(0), self.target)
        wait_until(lambda: len(self.drops(self.output)) == count, 30, "drop %d" % count)
        return self.drops(self.output)[-1]

    def assert_failed_once(self, drop, lines_before, cause):
        failures = lines_with(self.app.stdout(), "Drag-out failed")
        self.assertEqual(len(failures), lines_before + 1, self.app.stdout())
        self.assertIn(cause, failures[-1])
        self.assertEqual(drop["urls"], [], "a file was handed out: %r" % drop)
        self.assertEqual(list(self.folder.iterdir()) if self.folder.exists() else [], [])
        self.assertTrue(self.app.alive(), self.app.describe())

    def test_full_then_read_only_then_writable_again(self):
        filler = self.fill()
        self.assert_failed_once(self.drag_and_wait(1), 0, "No space left on device")

        filler.unlink()
        self.remount("ro")
        self.assert_failed_once(self.drag_and_wait(2), 1, "Read-only file system")

        self.remount("rw")
        drop = self.drag_and_wait(3)
        self.assertEqual(len(drop["urls"]), 1, drop)
        path = Path(drop["urls"][0][len("file://"):])
        self.assertEqual(path.parent, self.folder)
        self.assertEqual(test_stack.png_size(path.read_bytes()),
                         (self.desktop.width, self.desktop.height))
        self.assertEqual(len(lines_with(self.app.stdout(), "Drag-out failed")), 2)


class DamagedPreferencesTest(DesktopTestCase):
    """Whatever sits where the preferences file belongs, the program starts, says so in one
    line, and works (which values it then uses is PreferencesTest's matter)."""

    launch_app = False

    @property
    def config_file(self):
        return self.desktop.config_home / "Orrinvale" / "Orrinvale.conf"

    def setUp(self):
        super().setUp()
        self.config_file.parent.mkdir(parents=True, exist_ok=True)
        self.addCleanup(self.clear)

    def clear(self):
        if self.config_file.is_dir() and not self.config_file.is_symlink():
            self.config_file.rmdir()
        else:
            self.config_file.unlink(missing_ok=True)

    def start_and_use(self):
        d = self.desktop
        app = d.start_app()
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)
        d.key("ctrl+shift+2")
        d.wait_for_property("StackVisible", False)
        d.open_tray_menu(1)
        d.key("Down", "Down", "Down", "Down", "Return")  # "Settings..."
        d.wait_for_window("Settings")
        self.assertTrue(app.alive(), app.describe())
        return app

    def test_unreadable_or_garbage_preferences(self):
        cases = {
            # Root reads files whatever their mode; these fail for anyone.
            "a directory": lambda path: path.mkdir(),
            "a named pipe": lambda path: os.mkfifo(path),
            "garbage": lambda path: path.write_bytes(
                bytes(range(256)) * 3 + b"\n[General\n=\xff\xfe\0shortcutPen\n[]]=\n"),
        }
        for name, make in cases.items():
            with self.subTest(name):
                make(self.config_file)
                app = self.start_and_use()
                said = lines_with(app.stdout(), "preferences")
                self.assertEqual(len([l for l in said if "Could not read" in l or
                                      "damaged" in l]), 1, app.stdout())
                self.assertEqual(self.desktop.quit_app(app), 0, app.describe())
                self.assertEqual(app.sanitizer_reports(), [], app.describe())
                self.clear()


class BusLossTest(StackPlaces, DesktopTestCase):
    """The session bus goes away under the running program: it says so once and runs on,
    reached through its keys and its tray icon."""

    def stack_shows(self, shown):
        """The grey capture's thumbnail on the teal desktop, or the desktop alone."""
        def seen():
            pixel = self.desktop.screenshot().pixel(*self.thumbnail_centre(0))
            return colour_close(pixel, GREY if shown else TEAL)

        wait_until(seen, 20, "the stack to be %s" % ("shown" if shown else "hidden"),
                   interval=0.2)

    def test_runs_on_without_the_session_bus(self):
        d = self.desktop
        d.tray_icon()
        self.set_screen(GREY)
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)
        self.set_screen(TEAL)
        self.stack_shows(True)

        d.kill_service("dbus")
        line = "Lost the D-Bus session bus"
        wait_until(lambda: line in self.app.stdout(), 30, "the line about the lost bus")
        used = cpu_seconds(self.app.pid)
        time.sleep(3)  # a busy loop would show as CPU time spent meanwhile
        busy = cpu_seconds(self.app.pid) - used
        say("after the bus went away: %.2f s of CPU in 3 s" % busy)
        self.assertLess(busy, 1.0, "the program spins without its bus")

        d.key("ctrl+shift+2")
        self.stack_shows(False)
        d.key("ctrl+shift+2")
        self.stack_shows(True)
        self.assertEqual(len(lines_with(self.app.stdout(), line)), 1, self.app.stdout())

        # The tray menu's last item quits, cleanly, with no bus to say goodbye to.
        d.open_tray_menu(1)
        d.key("Up", "Return")
        self.assertExitsCleanly(self.app)


class XServerLossTest(DesktopTestCase):
    """The X server goes away under the running program: it ends with status 1 and one line
    saying why, not with a crash."""

    def test_exits_with_one_line_when_the_x_server_dies(self):
        d = self.desktop
        d.tray_icon()
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)

        self.app.expected_status = 1
        d.kill_service("xvfb")
        status = self.app.wait(60)
        self.assertEqual(status, 1, self.app.describe())
        said = [l for l in self.app.stdout().splitlines() + self.app.stderr().splitlines()
                if "X server" in l or "X11" in l]
        self.assertEqual(said, ["Lost the connection to the X server: Orrinvale quits."],
                         self.app.describe())
        self.assertEqual(self.app.sanitizer_reports(), [], self.app.describe())


if __name__ == "__main__":
    unittest.main()
