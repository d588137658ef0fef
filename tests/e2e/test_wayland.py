"""End to end on a real Wayland session (headless sway, see wayland.py): the program starts
as a desktop starts it (no QT_QPA_PLATFORM) and puts its windows on XWayland, captures
through the desktop's screenshot portal without a prompt, leaves no file of the portal's
behind, shows the stack at its place on every workspace and drags captures out into other
programs."""

import difflib
import hashlib
import json
import os
import shutil
import subprocess
import unittest
from pathlib import Path

import test_stack
from desktop import SANITIZER_MARKERS, TIME_SCALE, colour_close, wait_until
from test_captures_out import decode_png
from test_stack import drag_argv, png_size
from wayland import WaylandSession

BLUE = (0x33, 0x66, 0xCC)
RED = (0xCC, 0x33, 0x33)
WIDTH, HEIGHT = 1920, 1080
# The first thumbnail's centre: the 250-wide panel ends 20 in from the right edge, the
# 230-wide thumbnail sits in its middle, 40 below the top.
THUMBNAIL_CENTRE = (WIDTH - 20 - 125, 40 + (230 * HEIGHT // WIDTH) // 2)
PORTAL_FILE = Path("/tmp/out.png")  # where the wlr backend has grim write


class WaylandTestCase(unittest.TestCase):
    """One headless sway session per test."""

    global_shortcuts = False

    def setUp(self):
        # A stale file of another user's would keep the portal from writing its own.
        try:
            PORTAL_FILE.unlink(missing_ok=True)
        except PermissionError:
            self.fail("%s belongs to another user: the portal could not write it" % PORTAL_FILE)
        self.session = WaylandSession(os.environ["ORRINVALE_BINARY"], WIDTH, HEIGHT,
                                      background="#3366cc",
                                      global_shortcuts=self.global_shortcuts)
        self.addCleanup(self.session.close)
        self.session.start()

    def pixel(self, x, y):
        return self.session.screenshot().pixel(x, y)

    def log(self):
        return self.session.log("orrinvale").read_text(errors="replace")

    def quit_cleanly(self, app):
        self.session.call("Quit")
        self.assertEqual(app.wait(60 * TIME_SCALE), 0)
        for marker in SANITIZER_MARKERS + ("QML error",):
            self.assertNotIn(marker, self.log())
        self.assertNotIn("Failed to capture screen", self.log())


class WaylandSessionTest(WaylandTestCase):
    def test_capture_through_the_portal_onto_a_stack_on_every_workspace(self):
        session = self.session
        app = session.start_app()
        self.assertEqual(session.get_property("CaptureCount"), 0)

        session.call("TakeScreenshot")
        # The portal's first activation can be slow.
        wait_until(lambda: session.get_property("CaptureCount") == 1, 90,
                   "the capture through the portal")
        self.assertFalse(PORTAL_FILE.exists(), "the portal's file was left behind")

        # Repaint the desktop red: the thumbnail keeps the blue it captured.
        session.swaymsg("output", "HEADLESS-1", "bg", "#cc3333", "solid_color")
        wait_until(lambda: colour_close(self.pixel(10, 10), RED), 30, "the red desktop")
        wait_until(lambda: colour_close(self.pixel(*THUMBNAIL_CENTRE), BLUE), 30,
                   "the blue thumbnail at the right edge")
        # Left of the panel the desktop shows through.
        self.assertTrue(colour_close(self.pixel(WIDTH - 300, THUMBNAIL_CENTRE[1]), RED))

        session.swaymsg("workspace", "2")
        wait_until(lambda: colour_close(self.pixel(*THUMBNAIL_CENTRE), BLUE), 30,
                   "the thumbnail on the second workspace")

        # Qt would have taken its Wayland plugin (qt6-wayland is installed) had the program
        # not chosen XWayland: the panel is an X window of this very process there, at the
        # right edge.
        self.assertNotIn("QT_QPA_PLATFORM", session.env())
        panels = session.x_windows("Orrinvale Stack")
        self.assertEqual(len(panels), 1, panels)
        self.assertEqual((panels[0].abs_x, panels[0].width), (WIDTH - 270, 250))
        self.assertEqual(session.x_property(panels[0].id, "_NET_WM_PID"), str(app.pid))
        self.assertNotIn("stack cannot be placed", self.log())

        # sway has no GlobalShortcuts portal: said once, with how to bind the keys instead.
        wait_until(lambda: "Global keys are unavailable" in self.log(), 60,
                   "the line about global keys")
        self.quit_cleanly(app)
        unavailable = [line for line in self.log().splitlines()
                       if line.startswith("Global keys are unavailable")]
        self.assertEqual(len(unavailable), 1, unavailable)
        self.assertIn("orrinvale --take-screenshot", unavailable[0])
        self.assertIn("orrinvale --toggle-stack", unavailable[0])


RECEIVER = os.environ.get("ORRINVALE_DROP_RECEIVER")


@unittest.skipUnless(RECEIVER, "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
class WaylandDragOutTest(WaylandTestCase):
    """A thumbnail dragged into another XWayland program's window. The headless compositor has
    no pointer device, so the drag is XTEST's inside XWayland, which picks windows by X's own
    stacking: the receiver is mapped first, so that the panel is above it there as well."""

    def drag(self, start, end):
        self.session.tool(*drag_argv(start, end, pause=0.03), timeout=60)

    def test_a_thumbnail_dragged_out_gives_a_png_file_of_the_capture(self):
        session = self.session
        output = session.runtime / "drops.txt"
        # Another program's window on XWayland, where the drag is made.
        session._spawn("receiver", [session.install(RECEIVER), str(output), "Drop Receiver", "0",
                                    "0", "800", "600"], extra={"QT_QPA_PLATFORM": "xcb"})
        wait_until(lambda: "Drop Receiver" in session.swaymsg("-t", "get_tree"), 60,
                   "the receiver's window")
        app = session.start_app()
        session.call("TakeScreenshot")
        wait_until(lambda: session.get_property("CaptureCount") == 1, 90,
                   "the capture through the portal")

        # The receiver is tiled over the whole workspace, under the panel, and the thumbnail
        # shows it: no colour tells when the thumbnail is there, so a drag that found none
        # is made again.
        drops = lambda: test_stack.DropReceiver.drops(output)
        for attempt in range(5):
            self.drag(THUMBNAIL_CENTRE, (WIDTH // 3, HEIGHT // 2))
            try:
                wait_until(drops, 10 if attempt < 4 else 30, "the drop")
                break
            except AssertionError:
                if attempt == 4:
                    raise

        drop = drops()[0]
        self.assertEqual(len(drop["urls"]), 1, drop)
        self.assertTrue(drop["urls"][0].startswith("file://"), drop)
        data = Path(drop["urls"][0][len("file://"):]).read_bytes()
        self.assertEqual(png_size(data), (WIDTH, HEIGHT))
        # The image/png data the receiver also took is the file's bytes.
        self.assertEqual(drop["png"], (len(data), hashlib.sha1(data).hexdigest()))
        self.assertNotIn("Drag-out failed", self.log())
        self.quit_cleanly(app)


def focused_view_name(tree):
    """The name of the window sway gives the keyboard, or None."""
    nodes = [tree]
    while nodes:
        node = nodes.pop()
        if node.get("focused") and node.get("type") in ("con", "floating_con"):
            return node.get("name")
        nodes += node.get("nodes", []) + node.get("floating_nodes", [])
    return None


class WaylandClipboardTest(WaylandTestCase):
    """Every copy reaches native Wayland programs, whichever window has the keyboard: sway
    offers data-control, so the program owns the Wayland clipboard itself, and it stays there
    after the editor has closed until another program copies. X programs read it through
    XWayland's bridge, which wlroots opens to them only while an XWayland window has the
    keyboard."""

    def wl_paste(self, *args):
        return self.session.tool("wl-paste", *args, timeout=60, binary=True)

    def offered_types(self):
        try:
            return self.wl_paste("--list-types").decode().split()
        except subprocess.CalledProcessError:
            return []  # "No selection"

    def wl_copy(self, text):
        """Another Wayland program copies `text`; it serves it until something replaces it."""
        self.session._spawn("wl-copy", ["wl-copy", "--foreground", text])
        wait_until(lambda: self.offered_types() and self.wl_paste("--no-newline") ==
                   text.encode(), 60, "wl-copy's text on the clipboard")

    def capture(self, count):
        self.session.call("TakeScreenshot")
        wait_until(lambda: self.session.get_property("CaptureCount") == count, 90,
                   "the capture through the portal")

    def assert_pasted_picture(self, colour):
        """wl-paste's PNG is a whole capture in `colour`; its bytes."""
        data = wait_until(lambda: "image/png" in self.offered_types()
                          and self.wl_paste("--type", "image/png"), 60, "wl-paste's PNG")
        self.assertEqual(png_size(data), (WIDTH, HEIGHT))
        picture = decode_png(data)
        for point in [(10, 10), (WIDTH // 2, HEIGHT // 2), (WIDTH - 400, 200)]:
            self.assertTrue(colour_close(picture.pixel(*point), colour), point)
        self.assertIn("file://", self.wl_paste("--type", "text/uri-list").decode())
        return data

    def test_a_copy_from_the_editor_is_read_by_wl_paste_after_the_editor_closed(self):
        session = self.session
        app = session.start_app()
        self.capture(1)
        self.assertEqual(self.offered_types(), [])
        # A red desktop tells when the blue thumbnail is there to be clicked.
        session.swaymsg("output", "HEADLESS-1", "bg", "#cc3333", "solid_color")
        wait_until(lambda: colour_close(self.pixel(*THUMBNAIL_CENTRE), BLUE)
                   and colour_close(self.pixel(10, 10), RED), 30, "the thumbnail")

        tree = lambda: json.loads(session.swaymsg("-t", "get_tree"))
        # XTEST's click inside XWayland: the panel is the topmost X window there.
        session.tool("xdotool", "mousemove", *map(str, THUMBNAIL_CENTRE), "click", "1")
        wait_until(lambda: focused_view_name(tree()) == "Screenshot Editor", 60,
                   "the editor to open with the keyboard")
        session.tool("xdotool", "key", "ctrl+c")
        wait_until(lambda: "image/png" in self.offered_types(), 60,
                   "the copy on the Wayland clipboard")
        # While an XWayland window has the keyboard, X programs get the same bytes.
        from_x = session.tool("xclip", "-selection", "clipboard", "-t", "image/png", "-o",
                              binary=True)
        session.tool("xdotool", "key", "Escape")
        wait_until(lambda: "Screenshot Editor" not in session.swaymsg("-t", "get_tree"), 60,
                   "the editor to close")

        self.assertEqual(self.assert_pasted_picture(BLUE), from_x)
        self.quit_cleanly(app)

    def test_menu_command_line_and_copy_text_reach_wayland_with_no_window_focused(self):
        session = self.session
        app = session.start_app()
        self.capture(1)  # blue
        session.swaymsg("output", "HEADLESS-1", "bg", "#cc3333", "solid_color")
        wait_until(lambda: colour_close(self.pixel(10, 10), RED), 30, "the red desktop")
        self.capture(2)  # red, on top of the blue one

        # The newest capture, from the command line, in place of another program's text.
        self.wl_copy("another program's copy")
        result = subprocess.run(session._as_user([session.binary, "--copy"]),
                                env=session.env(), cwd=session.home, capture_output=True,
                                text=True, timeout=60 * TIME_SCALE)
        self.assertEqual(result.returncode, 0, result.stderr)
        wait_until(lambda: "image/png" in self.offered_types(), 60, "--copy's PNG")
        self.assertNotIn("text/plain", self.offered_types())
        self.assert_pasted_picture(RED)

        # The blue capture, second on the stack, from its menu.
        second = (THUMBNAIL_CENTRE[0], THUMBNAIL_CENTRE[1] + 230 * HEIGHT // WIDTH + 15)
        session.tool("xdotool", "mousemove", *map(str, second), "click", "3")
        for attempt in range(5):
            session.tool("xdotool", "key", "Down", "Down", "Return")  # Edit, Copy
            try:
                wait_until(lambda: colour_close(decode_png(self.wl_paste(
                    "--type", "image/png")).pixel(10, 10), BLUE), 10 if attempt < 4 else 30,
                    "the menu's copy of the blue capture")
                break
            except AssertionError:
                if attempt == 4:
                    raise
                session.tool("xdotool", "mousemove", *map(str, second), "click", "3")
        self.assert_pasted_picture(BLUE)

        # Copy Text: a picture of text as the desktop, captured and read.
        text_png = session.root / "text.png"
        subprocess.run(["convert", "-size", "%dx%d" % (WIDTH, HEIGHT), "xc:rgb(244,244,244)",
                        "-font", "DejaVu-Sans", "-pointsize", "24", "-fill", "rgb(30,30,30)",
                        "-annotate", "+80+120", TEXT_LINE, str(text_png)], check=True,
                       timeout=60)
        os.chmod(text_png, 0o644)
        session.swaymsg("output", "HEADLESS-1", "bg", str(text_png), "stretch")
        wait_until(lambda: colour_close(self.pixel(10, 10), (244, 244, 244)), 30,
                   "the desktop of text")
        self.capture(3)
        result = subprocess.run(session._as_user([session.binary, "--copy-text"]),
                                env=session.env(), cwd=session.home, capture_output=True,
                                text=True, timeout=120 * TIME_SCALE)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Copied", result.stdout)
        text = wait_until(lambda: "text/plain;charset=utf-8" in self.offered_types()
                          and self.wl_paste("--type", "text/plain;charset=utf-8").decode(),
                          60, "the text on the Wayland clipboard")
        self.assertGreaterEqual(difflib.SequenceMatcher(None, " ".join(text.split()),
                                                        TEXT_LINE).ratio(), 0.95, text)
        self.assertNotIn("image/png", self.offered_types())

        # Another program's copy takes the clipboard; the program lets go of it.
        self.wl_copy("the last word")
        self.assertNotIn("text/uri-list", self.offered_types())
        self.quit_cleanly(app)
        self.assertNotIn("Paste failed", self.log())


TEXT_LINE = "Copies reach Wayland programs at once."


class WaylandGlobalShortcutsTest(WaylandTestCase):
    """The keys through the GlobalShortcuts portal: the real frontend with a fake backend."""

    global_shortcuts = True

    def test_keys_bound_through_the_portal_take_a_capture_and_toggle_the_stack(self):
        session = self.session
        app = session.start_app()
        backend_log = lambda: session.log("global-shortcuts").read_text(errors="replace")
        wait_until(lambda: "BindShortcuts" in backend_log(), 90,
                   "the program to bind its keys")
        self.assertIn("['take-screenshot', 'toggle-stack', 'select-region', 'capture-window']", backend_log())

        self.assertEqual(session.press_global_shortcut("take-screenshot"), 1)
        wait_until(lambda: session.get_property("CaptureCount") == 1, 90,
                   "the capture from the key")
        self.assertEqual(session.press_global_shortcut("toggle-stack"), 1)
        wait_until(lambda: session.get_property("StackVisible") is False, 30,
                   "the stack to hide from the key")
        self.assertNotIn("Global keys are unavailable", self.log())
        self.quit_cleanly(app)


class WaylandRegionAndWindowTest(WaylandTestCase):
    """The region overlay over the portal's picture of the whole desktop, and window capture,
    which only the portal's interactive request could do there. The headless compositor has
    no input devices: the drag and the clicks are XTEST's inside XWayland, where the
    overlay's windows are. Keys come from wtype, through the compositor, as a user's do."""

    def saved_capture(self):
        """The newest capture as PNG bytes, saved by the command line into the session."""
        path = self.session.runtime / "newest.png"
        path.unlink(missing_ok=True)
        self.session.tool(self.session.binary, "--save", str(path))
        return path.read_bytes()

    def type_key(self, key):
        """Presses `key` on a keyboard of the compositor's, once sway has given the overlay
        the keyboard. wtype's keyboard exists only while it runs: it waits half a second
        first, as a real keyboard would be there before the key is pressed (XWayland drops a
        key that comes with the keyboard it was pressed on)."""
        wait_until(lambda: self.session.focused_window() == "Orrinvale Region", 30,
                   "sway to give the overlay the keyboard")
        self.session.tool("wtype", "-s", "500", "-k", key)

    def open_overlay_and_drag(self):
        session = self.session
        self.assertEqual(session.tool(session.binary, "--region"), "")
        wait_until(lambda: session.x_shown("Orrinvale Region"), 90, "the region overlay")
        # From pixel (300, 300) to pixel (499, 459), both included: 200x160.
        session.tool(*drag_argv((300, 300), (499, 459), steps=20), timeout=60)

    def test_a_region_selected_on_the_portal_picture_lands_at_its_size(self):
        session = self.session
        app = session.start_app()
        # Warm the portal up: its first activation can be slow.
        session.call("TakeScreenshot")
        wait_until(lambda: session.get_property("CaptureCount") == 1, 90,
                   "the first capture through the portal")

        # Escape, typed on a keyboard of the compositor's (wtype's virtual one), reaches the
        # overlay: sway gives it the keyboard as it would any window that opens.
        self.assertEqual(session.tool(session.binary, "--region"), "")
        wait_until(lambda: session.x_shown("Orrinvale Region"), 90, "the region overlay")
        self.type_key("Escape")
        wait_until(lambda: not session.x_shown("Orrinvale Region"), 30, "Escape to close it")
        self.assertEqual(session.get_property("CaptureCount"), 1)

        self.open_overlay_and_drag()
        self.type_key("Return")
        wait_until(lambda: session.get_property("CaptureCount") == 2, 60,
                   "the region on the stack")
        wait_until(lambda: not session.x_shown("Orrinvale Region"), 30, "the overlay to close")

        data = self.saved_capture()
        self.assertEqual(png_size(data), (200, 160))
        shot = decoded_png(data)
        self.assertTrue(colour_close(shot.pixel(100, 80), BLUE), shot.pixel(100, 80))
        self.assertFalse(PORTAL_FILE.exists(), "the portal's file was left behind")
        self.quit_cleanly(app)

    @unittest.skipIf(shutil.which("slurp"), "with slurp the portal would wait for a pick")
    def test_window_capture_where_the_portal_cannot_pick_says_so_once(self):
        session = self.session
        app = session.start_app()
        self.assertEqual(session.tool(session.binary, "--window"), "")
        # The wlr portal's interactive request needs slurp to pick: without it, it fails.
        failed = lambda: [line for line in self.log().splitlines()
                          if line.startswith("Failed to capture screen")]
        wait_until(failed, 90, "the line saying window capture failed")
        self.assertEqual(len(failed()), 1, failed())
        self.assertIn("portal", failed()[0])
        self.assertEqual(session.get_property("CaptureCount"), 0)
        self.assertFalse(PORTAL_FILE.exists(), "the portal's file was left behind")
        session.call("Quit")
        self.assertEqual(app.wait(60 * TIME_SCALE), 0)
        self.assertEqual(len(failed()), 1, failed())


def decoded_png(data):
    """A PNG's pixels, through ImageMagick."""
    from desktop import Image
    ppm = subprocess.run(["convert", "png:-", "-depth", "8", "ppm:-"], input=data,
                         capture_output=True, check=True, timeout=60).stdout
    return Image.from_ppm(ppm)


class WaylandQuitWhileAskingTest(WaylandTestCase):
    """Quitting while the desktop's key dialog is open (it may stay so for minutes) or a
    portal capture is on its way ends the program at once."""

    global_shortcuts = "leave-bind-open"

    def start_asking(self):
        asked = lambda: self.session.log("global-shortcuts").read_text(
            errors="replace").count("BindShortcuts left open")
        before = asked()
        app = self.session.start_app()
        wait_until(lambda: asked() > before, 90, "the program to wait on the key dialog")
        return app

    def quit_at_once(self, quit):
        app = self.start_asking()
        # A capture on its way as well: its portal request is in flight.
        self.session.call("TakeScreenshot")
        quit()
        # The program's own wait on the dialog is two minutes; ending within these 20 s
        # means it was abandoned, not waited out.
        self.assertEqual(app.wait(20 * TIME_SCALE), 0)
        for marker in SANITIZER_MARKERS + ("QML error",):
            self.assertNotIn(marker, self.log())

    def test_quit_over_d_bus_ends_at_once_while_the_dialog_is_open(self):
        self.quit_at_once(lambda: self.session.call("Quit"))

    def test_quit_from_the_command_line_ends_at_once_while_the_dialog_is_open(self):
        self.quit_at_once(lambda: self.session.tool(self.session.binary, "--quit"))


if __name__ == "__main__":
    unittest.main()
