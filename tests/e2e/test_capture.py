"""End to end: captures of a given region, of the screen under the pointer and of all
screens (two monitors made with xrandr --setmonitor, at equal and at mixed scales), and the
refusal of bad values on the command line. Each capture is checked on the PNG file that a
drag from its thumbnail hands another program."""

import subprocess
import time
import unittest
from pathlib import Path

from desktop import (BUS_NAME, INTERFACE, OBJECT_PATH, DesktopTestCase, Image, colour_close,
                     wait_until)
from test_stack import RECEIVER, DropReceiver, drag_argv, png_size


class CaptureChecks(DropReceiver):
    """Drags the newest capture into a drop receiver and reads the PNG it was given."""

    RECEIVER_PLACE = (100, 300, 400, 300)

    def setUp(self):
        super().setUp()
        self.receiver, self.drops_file = self.open_receiver(*self.RECEIVER_PLACE)

    def newest_png(self, panel_screen_width):
        """The newest capture's PNG file, as a drag from the top of its thumbnail gives it."""
        before = len(self.drops(self.drops_file))
        # 20 points into the thumbnail at the top of the panel, whatever its height.
        start = (panel_screen_width - 270 + 10 + 115, 40 + 20)
        self.drag_between(start, self.receiver.centre)
        wait_until(lambda: len(self.drops(self.drops_file)) > before, 30, "the drop")
        url = self.drops(self.drops_file)[-1]["urls"][0]
        with open(url[len("file://"):], "rb") as png:
            return png.read()

    def decoded(self, data):
        """The PNG's pixels."""
        path = self.desktop.root / "decoded.png"
        path.write_bytes(data)
        ppm = subprocess.run(["convert", "png:" + str(path), "-depth", "8", "ppm:-"],
                             capture_output=True, check=True, timeout=60).stdout
        return Image.from_ppm(ppm)

    def capture(self, *args, count):
        result = self.desktop.run(*args)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.desktop.wait_for_property("CaptureCount", count)


def quadrants(width, height):
    """Four colours in four quadrants, so that a region's pixels show where it was cut."""
    image = Image.filled(width, height, (200, 40, 40))
    image.fill_rect(width // 2, 0, width - width // 2, height // 2, (40, 160, 60))
    image.fill_rect(0, height // 2, width // 2, height - height // 2, (40, 60, 200))
    image.fill_rect(width // 2, height // 2, width - width // 2, height - height // 2,
                    (230, 220, 50))
    return image


@unittest.skipUnless(RECEIVER, "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
class RegionFromTheCommandLineTest(CaptureChecks, DesktopTestCase):
    desktop_options = {"width": 1280, "height": 800}

    def test_a_given_region_lands_at_its_size_and_pixels(self):
        desktop = self.desktop
        background = quadrants(desktop.width, desktop.height)
        desktop.set_root_background(background, [(50, 50), (1200, 50), (50, 750)])

        self.capture("--region", "540,300,200x160", count=1)

        data = self.newest_png(desktop.width)
        self.assertEqual(png_size(data), (200, 160))
        shot = self.decoded(data)
        # The region straddles the quadrants' corner at (640, 400): 100 and 100 in from it.
        for (x, y) in ((10, 10), (190, 10), (10, 150), (190, 150)):
            expected = background.pixel(540 + x, 300 + y)
            self.assertTrue(colour_close(shot.pixel(x, y), expected, 8),
                            "%r: %r, wanted %r" % ((x, y), shot.pixel(x, y), expected))

        # And again, through --last-region.
        self.capture("--last-region", count=2)
        self.assertEqual(png_size(self.newest_png(desktop.width)), (200, 160))

    def test_delays_from_the_command_line_and_d_bus(self):
        desktop = self.desktop
        start = time.monotonic()
        self.capture("--region", "0,0,64x48", "--delay", "1", count=1)
        self.assertGreaterEqual(time.monotonic() - start, 1.0)
        desktop.gdbus_call(BUS_NAME, OBJECT_PATH, INTERFACE + ".Delayed", "1", "screen all")
        desktop.wait_for_property("CaptureCount", 2)
        self.assertEqual(png_size(self.newest_png(desktop.width)), (desktop.width, desktop.height))
        with self.assertRaises(subprocess.CalledProcessError) as refused:
            desktop.gdbus_call(BUS_NAME, OBJECT_PATH, INTERFACE + ".Delayed", "61", "window")
        self.assertIn("InvalidArgs", refused.exception.stderr)
        self.assertIn('delay "61"', refused.exception.stderr)
        self.assertEqual(desktop.get_property("CaptureCount"), 2)

    def test_bad_values_exit_2_with_one_line_and_capture_nothing(self):
        for args, named in ((("--region", "10,10,0x50"), "10,10,0x50"),
                            (("--region", "5000,10,50x50"), "5000,10,50x50"),
                            (("--region", "-300,0,300x300"), "-300,0,300x300"),
                            (("--window", "--delay", "61"), "61"),
                            (("--screen", "left"), "left")):
            with self.subTest(args=args):
                result = self.desktop.run(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertIn('"%s"' % named, lines[0])
        self.assertEqual(self.desktop.get_property("CaptureCount"), 0)


def two_monitors(desktop):
    for name, x in (("LEFT", 0), ("RIGHT", 1920)):
        desktop.tool("xrandr", "--setmonitor", name, "1920/508x1080/286+%d+0" % x, "none")


@unittest.skipUnless(RECEIVER, "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
class TwoMonitorsTest(CaptureChecks, DesktopTestCase):
    """Two 1920x1080 monitors side by side on one 3840x1080 X screen."""

    desktop_options = {"width": 3840, "height": 1080}
    launch_app = False

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        two_monitors(cls.desktop)

    def start(self, env=None):
        self.app = self.desktop.start_app(env=env)

    def test_pointer_and_all_screens(self):
        self.start()
        self.desktop.tool("xdotool", "mousemove", "2500", "500")
        self.capture("--screen", "pointer", count=1)
        self.assertEqual(png_size(self.newest_png(1920)), (1920, 1080))
        self.capture("--screen", "all", count=2)
        self.assertEqual(png_size(self.newest_png(1920)), (3840, 1080))

    def test_mixed_scales_are_at_the_highest(self):
        # RIGHT at scale 2 is 960x540 logical pixels at (1920, 0): the desktop is 2880x1080
        # logical, 5760x2160 at scale 2, with the left screen doubled.
        self.start(env={"QT_SCREEN_SCALE_FACTORS": "LEFT=1;RIGHT=2"})
        self.desktop.tool("xdotool", "mousemove", "3000", "500")
        self.capture("--screen", "pointer", count=1)
        self.assertEqual(png_size(self.newest_png(1920)), (1920, 1080))
        self.capture("--screen", "all", count=2)
        self.assertEqual(png_size(self.newest_png(1920)), (5760, 2160))
        # Off the small screen is off every screen.
        result = self.desktop.run("--region", "2000,600,100x100")
        self.assertEqual(result.returncode, 2, result.stderr)



OVERLAY_TITLE = "Orrinvale Region"


@unittest.skipUnless(RECEIVER, "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
class RegionOverlayTest(CaptureChecks, DesktopTestCase):
    """The overlay over a frozen picture of the desktop, driven as a user does."""

    desktop_options = {"width": 1280, "height": 800}

    def setUp(self):
        super().setUp()
        desktop = self.desktop
        self.background = quadrants(desktop.width, desktop.height)
        desktop.set_root_background(self.background, [(50, 50), (1200, 50), (50, 750)])

    def open_overlay(self):
        self.desktop.call("SelectRegion")
        return self.desktop.wait_for_window(OVERLAY_TITLE)

    def overlay_gone(self):
        wait_until(lambda: not [w for w in self.desktop.find_windows(name=OVERLAY_TITLE)
                                if self.desktop.is_viewable(w.id)], 30, "the overlay to close")

    def drag(self, start, end):
        self.desktop.tool(*drag_argv(start, end, steps=20), timeout=60)

    def test_a_dragged_region_accepted_with_enter_lands_at_its_size(self):
        self.open_overlay()
        # From pixel (540, 300) to pixel (739, 459), both included: 200x160.
        self.drag((540, 300), (739, 459))
        self.desktop.key("Return")
        self.overlay_gone()
        self.desktop.wait_for_property("CaptureCount", 1)

        data = self.newest_png(self.desktop.width)
        self.assertEqual(png_size(data), (200, 160))
        shot = self.decoded(data)
        for (x, y) in ((10, 10), (190, 10), (10, 150), (190, 150)):
            expected = self.background.pixel(540 + x, 300 + y)
            self.assertTrue(colour_close(shot.pixel(x, y), expected, 8),
                            "%r: %r, wanted %r" % ((x, y), shot.pixel(x, y), expected))
        # The accepted region is the one to repeat.
        self.capture("--last-region", count=2)
        self.assertEqual(png_size(self.newest_png(self.desktop.width)), (200, 160))

    def test_the_tray_items_select_a_region_and_capture_a_window(self):
        desktop = self.desktop
        desktop.open_tray_menu(1)
        desktop.key("Down", "Down", "Return")  # "Capture Region", after "Take Screenshot"
        desktop.wait_for_window(OVERLAY_TITLE)
        self.drag((100, 100), (199, 149))
        desktop.key("Return")
        self.overlay_gone()
        desktop.wait_for_property("CaptureCount", 1)
        self.assertEqual(png_size(self.newest_png(desktop.width)), (100, 50))
        desktop.open_tray_menu(1)
        desktop.key("Down", "Down", "Down", "Return")  # "Capture Window"
        desktop.wait_for_property("CaptureCount", 2)

    def test_escape_and_a_right_click_add_nothing(self):
        before = self.app.stdout()
        self.open_overlay()
        self.drag((100, 100), (300, 300))
        self.desktop.key("Escape")
        self.overlay_gone()
        self.open_overlay()
        self.desktop.tool("xdotool", "mousemove", "400", "400", "click", "3")
        self.overlay_gone()
        self.assertEqual(self.desktop.get_property("CaptureCount"), 0)
        self.assertEqual(self.app.stdout(), before)

    def test_arrow_keys_move_the_selection(self):
        self.open_overlay()
        # 40x40 straddling the quadrants' corner at (640, 400), then 10 left and 20 up.
        self.drag((620, 380), (659, 419))
        self.desktop.key("shift+Left", "shift+Up", *["Up"] * 12, "Down", "Down")
        self.desktop.key("Return")
        self.overlay_gone()
        self.desktop.wait_for_property("CaptureCount", 1)

        data = self.newest_png(self.desktop.width)
        self.assertEqual(png_size(data), (40, 40))
        shot = self.decoded(data)
        # Moved to (610, 360): the corner is at (30, 40), just below the bottom edge.
        top_left = self.background.pixel(0, 0)
        top_right = self.background.pixel(self.desktop.width - 1, 0)
        self.assertTrue(colour_close(shot.pixel(28, 20), top_left, 8), shot.pixel(28, 20))
        self.assertTrue(colour_close(shot.pixel(31, 20), top_right, 8), shot.pixel(31, 20))
        self.assertTrue(colour_close(shot.pixel(31, 39), top_right, 8), shot.pixel(31, 39))

    def test_a_click_on_a_window_selects_it_with_its_frame(self):
        window = self.desktop.open_plain_window("E2E Plain", 200, 150, 320, 240, (90, 90, 90))
        x, y, width, height = self.desktop.geometry(window.id)
        left, right, top, bottom = frame_extents(self.desktop, window.id)
        self.open_overlay()
        self.desktop.tool("xdotool", "mousemove", str(x + 50), str(y + 50), "sleep", "0.3",
                          "click", "1")
        self.desktop.key("Return")
        self.overlay_gone()
        self.desktop.wait_for_property("CaptureCount", 1)

        data = self.newest_png(self.desktop.width)
        self.assertEqual(png_size(data), (width + left + right, height + top + bottom))
        shot = self.decoded(data)
        self.assertTrue(colour_close(shot.pixel(left + 10, top + 10), (90, 90, 90), 8))

    def test_window_capture_takes_the_window_under_the_pointer(self):
        window = self.desktop.open_plain_window("E2E Plain", 300, 200, 300, 200, (90, 90, 90))
        x, y, width, height = self.desktop.geometry(window.id)
        left, right, top, bottom = frame_extents(self.desktop, window.id)
        self.desktop.tool("xdotool", "mousemove", str(x + 20), str(y + 20))

        self.capture("--window", count=1)

        data = self.newest_png(self.desktop.width)
        self.assertEqual(png_size(data), (width + left + right, height + top + bottom))


def frame_extents(desktop, window_id):
    """_NET_FRAME_EXTENTS of a client window: left, right, top, bottom."""
    value = wait_until(lambda: desktop.window_property(window_id, "_NET_FRAME_EXTENTS"), 30,
                       "the window manager to give the frame's extents")
    return tuple(int(part) for part in value.split(","))


class UnansweredCommandsTest(DesktopTestCase):
    """Commands handed to an instance that refuses them or never answers: one line, exit
    status 1, and no second instance started in its place."""

    launch_app = False

    def test_a_refused_or_unanswered_command_fails_with_one_line(self):
        desktop = self.desktop
        fake = desktop._spawn("fake-instance", ["/usr/bin/python3", "-u",
                                                str(Path(__file__).with_name("fake_instance.py"))])
        self.addCleanup(desktop._stop, fake.popen)
        wait_until(lambda: b"ready" in fake.log.read_bytes(), 30, "the stand-in instance")
        for args, said in ((("--window",), "refused the command: not now"),
                           (("--screen", "all"), "refused the command"),  # no such method
                           (("--region",), "did not answer"),
                           (("--toggle-stack",), "did not answer")):
            with self.subTest(args=args):
                result = desktop.run(*args)
                self.assertEqual(result.returncode, 1, result.stderr)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertIn(said, lines[0])
        self.assertEqual(desktop.bus_owner_pid(), fake.popen.pid)
        self.assertEqual(desktop.instances(), [])


if __name__ == "__main__":
    unittest.main()
