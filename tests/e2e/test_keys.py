"""End to end: the global key combinations. Ctrl+Shift+1 captures and Ctrl+Shift+2 shows or
hides the stack whatever window is in front, with extra modifiers, locks and another
keyboard layout; the window in front never sees them and sees every other key. A program
that holds a combination first leaves the rest working."""

import re
import sys
import unittest
from pathlib import Path

from desktop import DesktopTestCase, wait_until

HERE = Path(__file__).resolve().parent

KEY_ONE = 10  # XKB key codes of the physical digit keys 1, 2 and 5
KEY_TWO = 11
KEY_FIVE = 14
SHIFT, LOCK, CONTROL = 0x1, 0x2, 0x4


def output(child):
    return child.log.read_text(errors="replace")


def stop(desktop, child):
    if child in desktop._children:
        desktop._stop(child.popen)
        desktop._children.remove(child)


class KeyLog:
    """The window in front: xev, recording every key press it receives."""

    TITLE = "Orrinvale key log"
    MARKER = "z"  # typed to learn that every earlier key has been delivered

    def __init__(self, desktop):
        self.desktop = desktop
        self.helper = desktop._spawn("xev", [
            "xev", "-name", self.TITLE, "-event", "keyboard", "-geometry", "400x300+200+200"])
        self.window = desktop.wait_for_window(self.TITLE, wm_class=None)
        desktop.tool("xdotool", "windowactivate", "--sync", str(self.window.id))
        self._markers = 0
        self.sync()

    def presses(self):
        """(keycode, state, keysym name) of every key press received, in order."""
        return [(int(code), int(state, 16), name) for state, code, name in re.findall(
            r"KeyPress event,.*?state 0x([0-9a-f]+), keycode (\d+) \(keysym 0x[0-9a-f]+, "
            r"([^)]*)\)", output(self.helper), re.S)]

    def codes(self):
        return [code for code, _, _ in self.presses()]

    def sync(self):
        """Types the marker key and waits until it arrives: whatever key events were sent
        before it and meant for this window have arrived too."""
        self._markers += 1
        self.desktop.key(self.MARKER)
        # Compared without case: Caps Lock may be on.
        wait_until(lambda: sum(name.lower() == self.MARKER for _, _, name in self.presses())
                   >= self._markers, 20, "the key log window to receive the marker key")

    def stop(self):
        stop(self.desktop, self.helper)


class KeysTest(DesktopTestCase):
    """A fresh program per test, with the key log window in front of it."""

    def setUp(self):
        super().setUp()
        self.keylog = KeyLog(self.desktop)
        self.addCleanup(self.keylog.stop)

    def count(self):
        return self.desktop.get_property("CaptureCount")

    def assert_nothing_captured_after_sync(self):
        self.keylog.sync()
        self.assertEqual(self.count(), 0)
        self.assertIs(self.desktop.get_property("StackVisible"), True)

    def test_capture_combination_with_any_extra_modifier_or_lock(self):
        d = self.desktop
        d.key("ctrl+shift+1")
        d.wait_for_property("CaptureCount", 1)
        d.key("ctrl+alt+shift+1")
        d.wait_for_property("CaptureCount", 2)
        d.key("ctrl+super+shift+1")
        d.wait_for_property("CaptureCount", 3)

        d.key("Num_Lock")
        self.addCleanup(self.set_lock, "Num Lock", "Num_Lock", False)
        self.assertTrue(self.lock_on("Num Lock"))
        d.key("ctrl+shift+1")
        d.wait_for_property("CaptureCount", 4)
        d.key("Caps_Lock")
        self.addCleanup(self.set_lock, "Caps Lock", "Caps_Lock", False)
        self.assertTrue(self.lock_on("Caps Lock"))
        d.key("ctrl+alt+shift+1")
        d.wait_for_property("CaptureCount", 5)

        self.keylog.sync()
        self.assertNotIn(KEY_ONE, self.keylog.codes())
        self.assertEqual(self.count(), 5)
        self.assertNotIn("Failed to capture screen", self.app.stdout())
        self.assertNotIn("Could not take", self.app.stdout())

    def test_other_keys_reach_the_front_window_untouched(self):
        cases = [("shift+1", KEY_ONE, SHIFT), ("ctrl+1", KEY_ONE, CONTROL),
                 ("ctrl+shift+5", KEY_FIVE, CONTROL | SHIFT), ("1", KEY_ONE, 0),
                 ("shift+2", KEY_TWO, SHIFT)]
        for keys, code, state in cases:
            with self.subTest(keys=keys):
                before = len(self.keylog.presses())
                self.desktop.key(keys)
                self.keylog.sync()
                received = [(c, s) for c, s, _ in self.keylog.presses()[before:]]
                self.assertIn((code, state), received)
        self.assert_nothing_captured_after_sync()

    def test_stack_combination_hides_and_shows_the_stack(self):
        d = self.desktop
        self.assertIs(d.get_property("StackVisible"), True)
        d.key("ctrl+shift+2")
        d.wait_for_property("StackVisible", False)
        d.key("ctrl+shift+2")
        d.wait_for_property("StackVisible", True)

        self.keylog.sync()
        self.assertNotIn(KEY_TWO, self.keylog.codes())
        self.assertEqual(self.count(), 0)

    def test_physical_keys_count_whatever_the_layout(self):
        d = self.desktop
        d.tool("setxkbmap", "fr")
        self.addCleanup(d.tool, "setxkbmap", "us")
        d.key("ampersand")  # the unshifted symbol of the digit-1 key on a French keyboard
        self.keylog.sync()
        self.assertEqual(self.keylog.presses()[-2][::2], (KEY_ONE, "ampersand"))

        d.key("ctrl+shift+ampersand")
        d.wait_for_property("CaptureCount", 1)
        d.key("ctrl+shift+eacute")
        d.wait_for_property("StackVisible", False)
        self.keylog.sync()
        self.assertEqual(self.keylog.codes().count(KEY_ONE), 1)  # the plain ampersand only
        self.assertNotIn(KEY_TWO, self.keylog.codes())

    def test_holding_the_keys_captures_once_per_repeat(self):
        d = self.desktop
        d.tool("xset", "r", "rate", "300", "5")  # after 0.3 s, five repeats a second
        self.addCleanup(d.tool, "xset", "r", "rate")
        # The same hold of a key that is not ours shows how many presses the server makes.
        d.tool("xdotool", "keydown", "ctrl+shift+5", "sleep", "1.5", "keyup", "5", "shift",
               "ctrl")
        self.keylog.sync()
        repeats_seen_by_window = self.keylog.codes().count(KEY_FIVE)
        self.assertGreater(repeats_seen_by_window, 2)

        d.tool("xdotool", "keydown", "ctrl+shift+1", "sleep", "1.5", "keyup", "1", "shift",
               "ctrl")
        self.keylog.sync()
        wait_until(lambda: self.count() > 2, 30, "a capture per repeated press")

        self.assertNotIn(KEY_ONE, self.keylog.codes())

    def test_region_and_window_combinations(self):
        d = self.desktop
        d.key("ctrl+alt+shift+3")
        overlay = d.wait_for_window("Orrinvale Region")
        d.key("Escape")
        wait_until(lambda: not d.is_viewable(overlay.id), 30, "the overlay to close")
        # Over the key log window: that window, with its frame.
        x, y, _, _ = d.geometry(self.keylog.window.id)
        d.tool("xdotool", "mousemove", str(x + 20), str(y + 20))
        d.key("ctrl+shift+4")
        d.wait_for_property("CaptureCount", 1)
        self.keylog.sync()
        self.assertNotIn(12, self.keylog.codes())
        self.assertNotIn(13, self.keylog.codes())
        self.assertNotIn("Could not take", self.app.stdout())

    def test_keys_work_while_our_menu_is_open(self):
        d = self.desktop
        d.open_tray_menu(1)
        d.key("ctrl+shift+1")
        d.wait_for_property("CaptureCount", 1)
        self.assertTrue(d.open_popup_menus())
        d.key("Escape")
        wait_until(lambda: not d.open_popup_menus(), 20, "the menu to close on Escape")

    def test_launch_stores_the_build_and_asks_for_nothing(self):
        # On X11 both permissions are always there: the bootstrap only notes the build.
        version = self.desktop.run("--version").stdout
        build = re.search(r"\(build ([^)]+)\)", version).group(1)
        config = self.desktop.config_home / "Orrinvale" / "Orrinvale.conf"
        wait_until(lambda: config.exists(), 20, "the preferences file")
        self.assertIn("permissionsResetBuild_v3=%s\n" % build, config.read_text())
        self.keylog.sync()
        self.assertNotIn("permission", self.app.stdout())

    def set_lock(self, name, key, on):
        if self.lock_on(name) != on:
            self.desktop.key(key)
        wait_until(lambda: self.lock_on(name) == on, 10, "%s to be %s" % (name, on))

    def lock_on(self, name):
        match = re.search(r"%s:\s+(on|off)" % re.escape(name), self.desktop.tool("xset", "q"))
        return bool(match) and match.group(1) == "on"


class ModifierMappingTest(DesktopTestCase):
    """Num Lock wherever the server maps it: looked up at start and again on a change."""

    launch_app = False

    def setUp(self):
        super().setUp()
        self.keylog = KeyLog(self.desktop)
        self.addCleanup(self.keylog.stop)
        self.addCleanup(self.map_num_lock, "mod2")
        self.addCleanup(self.num_lock_off)

    def map_num_lock(self, modifier):
        self.desktop.tool("xmodmap", "-e", "clear mod2", "-e", "clear mod3", "-e",
                          "add %s = Num_Lock" % modifier)

    def num_lock_on(self):
        return "Num Lock:    on" in self.desktop.tool("xset", "q")

    def num_lock_off(self):
        if self.num_lock_on():
            self.desktop.key("Num_Lock")

    def capture_with_num_lock(self, expected_count):
        d = self.desktop
        if not self.num_lock_on():
            d.key("Num_Lock")
        d.key("ctrl+shift+1")
        d.wait_for_property("CaptureCount", expected_count)
        self.keylog.sync()
        self.assertNotIn(KEY_ONE, self.keylog.codes())

    def test_num_lock_on_mod3_from_the_start(self):
        self.map_num_lock("mod3")
        self.desktop.start_app()
        self.keylog.sync()  # the program's windows may have taken the focus meanwhile
        self.desktop.tool("xdotool", "windowactivate", "--sync", str(self.keylog.window.id))
        self.capture_with_num_lock(1)

    def test_num_lock_moved_while_running(self):
        self.desktop.start_app()
        self.desktop.tool("xdotool", "windowactivate", "--sync", str(self.keylog.window.id))
        self.capture_with_num_lock(1)
        self.num_lock_off()
        self.map_num_lock("mod3")
        self.capture_with_num_lock(2)


class HeldByAnotherProgramTest(DesktopTestCase):
    """Another program holds Ctrl+Shift+1 before the program starts."""

    launch_app = False

    def test_starts_says_so_and_captures_otherwise(self):
        d = self.desktop
        holder = d._spawn("hold-key", [sys.executable, str(HERE / "hold_key.py"),
                                       str(KEY_ONE), hex(CONTROL | SHIFT)])
        self.addCleanup(stop, d, holder)
        wait_until(lambda: "holding" in output(holder) or holder.popen.poll() is not None,
                   20, "the other program to take Ctrl+Shift+1")
        self.assertIn("holding", output(holder))

        app = d.start_app()
        line = "Could not take Ctrl+Shift+1: another program holds it."
        wait_until(lambda: line in app.stdout(), 30, "the line about Ctrl+Shift+1")
        self.assertEqual(app.stdout().count("Could not take"), 1, app.stdout())

        # The key goes to the program that holds it; ours stays untouched.
        d.key("ctrl+shift+1")
        wait_until(lambda: "pressed %d" % KEY_ONE in output(holder), 20,
                   "the other program to receive Ctrl+Shift+1")
        d.key("ctrl+shift+2")
        d.wait_for_property("StackVisible", False)
        self.assertEqual(d.get_property("CaptureCount"), 0)

        # Every other way to capture still works.
        result = d.run("--take-screenshot")
        self.assertEqual(result.returncode, 0, result.stderr)
        d.wait_for_property("CaptureCount", 1)
        d.open_tray_menu(1)
        d.key("Down", "Return")
        d.wait_for_property("CaptureCount", 2)
        self.assertTrue(app.alive())


if __name__ == "__main__":
    unittest.main()
