"""End to end: the tray icon and its menu, captures, the stack panel window, the settings
window, and the command line with its single instance, on a private X desktop."""

import time
import unittest

from desktop import (DesktopTestCase, Image, colour_close, wait_until)

ALL_DESKTOPS = 0xFFFFFFFF


class TrayMenuTest(DesktopTestCase):
    """The icon sits in the tray; its menu holds Take Screenshot, Settings... and Quit."""

    def test_icon_in_the_tray_opens_the_menu_on_either_click(self):
        icon = self.desktop.tray_icon()  # waits until it rests inside trayer's panel
        self.assertIn(self.desktop.tray_panel().id, [a.id for a in icon.ancestors()])

        def painted():
            shot = self.desktop.screenshot()
            return len({shot.pixel(x, y)
                        for x in range(icon.abs_x, icon.abs_x + icon.width)
                        for y in range(icon.abs_y, icon.abs_y + icon.height)}) > 2

        wait_until(painted, 20, "the tray icon to show a picture")
        self.assertNotIn("No system tray available", self.app.stdout())
        for button in (1, 3):
            with self.subTest(button=button):
                menu = self.desktop.open_tray_menu(button)
                _, _, width, height = self.desktop.geometry(menu)
                self.assertGreater(width, 50)
                self.assertGreater(height, 40)  # three items and two separators
                self.desktop.key("Escape")
                wait_until(lambda: not self.desktop.open_popup_menus(), 20,
                           "the menu to close on Escape")
        self.assertEqual(self.desktop.get_property("CaptureCount"), 0)
        self.assertTrue(self.app.alive())

    def test_first_item_takes_a_screenshot(self):
        with self.desktop.monitor_properties() as changes:
            self.desktop.open_tray_menu(1)
            self.desktop.key("Down", "Return")
            self.desktop.wait_for_property("CaptureCount", 1)
            wait_until(lambda: ("CaptureCount", 1) in changes(), 20,
                       "PropertiesChanged with CaptureCount 1")
        wait_until(lambda: not self.desktop.open_popup_menus(), 20, "the menu to close")
        self.assertEqual(self.desktop.find_windows(name="Settings"), [])
        self.assertNotIn("Failed to capture screen", self.app.stdout())

    def test_settings_item_opens_the_one_settings_window(self):
        desktop = self.desktop
        desktop.open_tray_menu(3)
        desktop.key("Down", "Down", "Down", "Down", "Return")
        settings = desktop.wait_for_window("Settings")
        self.assertEqual(desktop.window_property(settings.id, "_NET_WM_NAME"), '"Settings"')
        centred = desktop.geometry(settings.id)[:2]
        self.assertEqual(desktop.geometry(settings.id)[2:], (400, 350))
        hints = desktop.size_hints(settings.id)
        self.assertEqual(hints.get("minimum size"), (400, 350), hints)
        self.assertEqual(hints.get("maximum size"), (400, 350), hints)
        self.assertEqual(desktop.get_property("CaptureCount"), 0)

        # A resize request is refused by the hints.
        desktop.tool("xdotool", "windowsize", str(settings.id), "600", "500")
        time.sleep(0.5)  # a resize that would happen happens at once; this only lets it show
        self.assertEqual(desktop.geometry(settings.id)[2:], (400, 350))

        # Chosen again while open: still one window, the same one.
        desktop.open_tray_menu(1)
        desktop.key("Down", "Down", "Down", "Down", "Return")
        self.assertEqual(desktop.wait_for_window("Settings").id, settings.id)

        # Moved, closed the way a user closes it, opened again: the window comes back where
        # it was left (a new one would be centred again) and is still the only one.
        desktop.tool("xdotool", "windowmove", "--sync", str(settings.id), "60", "80")
        moved = wait_until(lambda: desktop.geometry(settings.id)[:2] != centred and
                           desktop.geometry(settings.id), 20, "the settings window to move")
        desktop.tool("xdotool", "windowactivate", "--sync", str(settings.id))
        desktop.key("alt+F4")
        wait_until(lambda: not desktop.find_windows(name="Settings") or
                   not desktop.is_viewable(desktop.find_windows(name="Settings")[0].id),
                   20, "the settings window to close on Alt+F4")
        self.assertTrue(self.app.alive(), self.app.describe())
        desktop.open_tray_menu(1)
        desktop.key("Down", "Down", "Down", "Down", "Return")
        again = desktop.wait_for_window("Settings")
        self.assertEqual(len(desktop.find_windows(name="Settings")), 1)
        x, y, width, height = desktop.geometry(again.id)
        self.assertEqual((width, height), (400, 350))
        self.assertLessEqual(abs(x - moved[0]) + abs(y - moved[1]), 40,
                             "reopened at %r, left at %r, first shown at %r"
                             % ((x, y), moved[:2], centred))

    def test_last_item_quits(self):
        self.desktop.open_tray_menu(1)
        self.desktop.key("Up", "Return")
        self.assertExitsCleanly(self.app)
        self.assertIsNone(self.desktop.bus_owner_pid())


class StackPanelTest(DesktopTestCase):
    """The stack panel window: placed at the right edge, on every desktop, always on top."""

    desktop_options = {"width": 1024, "height": 768}

    def panel(self):
        return self.desktop.wait_for_window("Orrinvale Stack")

    def test_geometry_and_window_state(self):
        desktop = self.desktop
        panel = self.panel()
        self.assertEqual(desktop.geometry(panel.id),
                         (desktop.width - 270, 0, 250, desktop.height))
        self.assertEqual(int(desktop.window_property(panel.id, "_NET_WM_DESKTOP")),
                         ALL_DESKTOPS)
        states = desktop.window_atoms(panel.id, "_NET_WM_STATE")
        for state in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                      "_NET_WM_STATE_ABOVE"):
            self.assertIn(state, states)
        self.assertIn("Client accepts input or input focus: False",
                      desktop.xprop(panel.id, "WM_HINTS"))

    def test_stays_above_a_normal_window_opened_later(self):
        desktop = self.desktop
        panel = self.panel()
        # A thumbnail gives the panel pixels of its own to compare (its empty parts may be
        # cut out of the window).
        desktop.call("TakeScreenshot")
        desktop.wait_for_property("CaptureCount", 1)
        red = (255, 0, 0)
        # Half over the first thumbnail (230 wide at panel x + 10, from y = 40), half beside.
        thumbnail_left = desktop.width - 270 + 10
        plain = desktop.open_plain_window("E2E Plain Window", thumbnail_left - 150, 60, 300, 300,
                                          red)
        desktop.tool("xdotool", "windowactivate", "--sync", str(plain.id))
        desktop.tool("xdotool", "windowraise", str(plain.id))

        def panel_on_top():
            order = [w for w in desktop.stacking() if w in (panel.id, plain.id)]
            return order == [plain.id, panel.id]

        wait_until(panel_on_top, 20, "_NET_CLIENT_LIST_STACKING to list the panel above the "
                   "normal window")
        px, py, pw, _ = desktop.geometry(plain.id)
        beside = (thumbnail_left - 50, py + 20)
        on_thumbnail = (thumbnail_left + 40, py + 20)
        self.assertLess(on_thumbnail[0], px + pw)
        self.assertLess(on_thumbnail[1], 40 + 100)  # the thumbnail is more than 100 high

        def drawn():
            shot = desktop.screenshot()
            return (colour_close(shot.pixel(*beside), red)
                    and not colour_close(shot.pixel(*on_thumbnail), red))

        wait_until(drawn, 20, "the normal window to show beside the panel and not over its "
                   "thumbnail")


class CaptureContentTest(DesktopTestCase):
    """A capture holds what was on the screen, not flipped, cropped or scaled unevenly."""

    GREY = (128, 128, 128)
    RED, GREEN, BLUE, YELLOW = (220, 30, 30), (30, 200, 60), (40, 60, 220), (230, 210, 40)
    BLOCK = 320  # four blocks in the top-left 640x640, away from the panel and the tray

    def pattern(self, colours):
        image = Image.filled(self.desktop.width, self.desktop.height, self.GREY)
        for (column, row), colour in zip(((0, 0), (1, 0), (0, 1), (1, 1)), colours):
            image.fill_rect(column * self.BLOCK, row * self.BLOCK, self.BLOCK, self.BLOCK, colour)
        return image

    def block_points(self):
        """Screen points well inside each block, and one in the grey."""
        points = []
        for column, row in ((0, 0), (1, 0), (0, 1), (1, 1)):
            for dx, dy in ((0, 0), (-90, -90), (90, 90)):
                points.append((column * self.BLOCK + self.BLOCK // 2 + dx,
                               row * self.BLOCK + self.BLOCK // 2 + dy))
        points.append((800, 400))
        return points

    def set_pattern(self, colours):
        image = self.pattern(colours)
        self.desktop.set_root_background(image, self.block_points())
        return image

    def thumbnail_matches(self, shot, image, top):
        """Whether the thumbnail whose top edge is at `top` shows `image` at the sample
        points: 230 wide at scale 1, 10 in from the panel's left edge."""
        width, height = self.desktop.width, self.desktop.height
        thumb_width = 230
        thumb_height = round(thumb_width * height / width)
        left = width - 270 + 10
        mismatches = []
        for x, y in self.block_points():
            tx = left + int(x * thumb_width / width)
            ty = top + int(y * thumb_height / height)
            seen, wanted = shot.pixel(tx, ty), image.pixel(x, y)
            if not colour_close(seen, wanted):
                mismatches.append("screen %r -> thumbnail %r: %r, wanted %r"
                                  % ((x, y), (tx, ty), seen, wanted))
        return mismatches

    def wait_for_thumbnails(self, expected):
        """expected: [(image, top)], every thumbnail at its place at once."""
        last = []

        def shown():
            shot = self.desktop.screenshot()
            last[:] = [m for image, top in expected
                       for m in self.thumbnail_matches(shot, image, top)]
            return not last

        try:
            wait_until(shown, 30, "the thumbnails to show the captured pattern", interval=0.2)
        except AssertionError:
            path = self.desktop.log_dir / "thumbnails.ppm"
            self.desktop.screenshot().save(path)
            self.fail("thumbnails differ from the pattern (screen saved to %s):\n%s"
                      % (path, "\n".join(last)))

    # The order of several captures is checked by the stack's tests.
    def test_a_capture_holds_the_screen(self):
        first = self.set_pattern((self.RED, self.GREEN, self.BLUE, self.YELLOW))
        result = self.desktop.run("--take-screenshot")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.desktop.wait_for_property("CaptureCount", 1)
        self.wait_for_thumbnails([(first, 40)])
        self.assertNotIn("Failed to capture screen", self.app.stdout())


class CommandLineTest(DesktopTestCase):
    """Commands, the single instance, and the D-Bus interface."""

    launch_app = False

    def test_without_an_instance_bad_arguments_exit_2_and_quit_exits_0(self):
        result = self.desktop.run("--frobnicate")
        self.assertEqual(result.returncode, 2)
        self.assertRegex(result.stderr, r"(?m)^Usage: orrinvale ")
        self.assertEqual(result.stdout, "")
        result = self.desktop.run("--quit")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIsNone(self.desktop.bus_owner_pid())
        self.assertEqual(self.desktop.instances(), [])

    def test_take_screenshot_starts_the_one_instance(self):
        desktop = self.desktop
        app = desktop.start_app("--take-screenshot")
        desktop.wait_for_property("CaptureCount", 1)

        second = desktop.run()
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertEqual(desktop.instances(), [app.pid])
        self.assertEqual(desktop.bus_owner_pid(), app.pid)

        forwarded = desktop.run("--take-screenshot")
        self.assertEqual(forwarded.returncode, 0, forwarded.stderr)
        desktop.wait_for_property("CaptureCount", 2)
        self.assertEqual(desktop.instances(), [app.pid])

        quit_result = desktop.run("--quit")
        self.assertEqual(quit_result.returncode, 0, quit_result.stderr)
        self.assertExitsCleanly(app)
        self.assertIsNone(desktop.bus_owner_pid())

    def test_toggle_stack_flips_visibility_and_announces_it(self):
        desktop = self.desktop
        app = desktop.start_app()
        self.assertIs(desktop.get_property("StackVisible"), True)
        with desktop.monitor_properties() as changes:
            for expected in (False, True):
                result = desktop.run("--toggle-stack")
                self.assertEqual(result.returncode, 0, result.stderr)
                desktop.wait_for_property("StackVisible", expected)
            desktop.call("ToggleStack")
            desktop.wait_for_property("StackVisible", False)
            # A capture always shows the stack again.
            desktop.call("TakeScreenshot")
            desktop.wait_for_property("CaptureCount", 1)
            desktop.wait_for_property("StackVisible", True)
            wanted = [("StackVisible", False), ("StackVisible", True), ("StackVisible", False),
                      ("CaptureCount", 1), ("StackVisible", True)]
            wait_until(lambda: sorted(changes()) == sorted(wanted), 20,
                       "PropertiesChanged for each change: %r" % (wanted,))
            seen = changes()
            self.assertEqual([c for c in seen if c[0] == "StackVisible"],
                             [c for c in wanted if c[0] == "StackVisible"])
        desktop.call("Quit")
        self.assertExitsCleanly(app)

    def test_launches_at_the_same_moment_leave_one_instance_with_both_keys(self):
        desktop = self.desktop
        # The race is lost by either side in turn; a few rounds give it every chance to show.
        for round_ in range(4):
            with self.subTest(round=round_):
                apps = [desktop.start_app(wait_for_bus=False) for _ in range(2)]
                wait_until(lambda: sum(app.alive() for app in apps) == 1, 60,
                           "one of the two launches to leave", interval=0.1)
                winner = next(app for app in apps if app.alive())
                loser = next(app for app in apps if app is not winner)
                self.assertEqual(loser.wait(), 0, loser.describe())
                # The loser tried no key, so neither side was refused one.
                for app in apps:
                    self.assertNotIn("Could not take", app.stdout(), app.describe())
                wait_until(lambda: desktop.bus_owner_pid() == winner.pid, 60,
                           "the one left to own the bus name", interval=0.1)

                desktop.key("ctrl+shift+1")
                desktop.wait_for_property("CaptureCount", 1)
                desktop.key("ctrl+shift+2")
                desktop.wait_for_property("StackVisible", False)
                self.assertEqual(desktop.instances(), [winner.pid])
                desktop.call("Quit")
                self.assertExitsCleanly(winner)

    def test_toggle_stack_with_no_instance_starts_one_that_toggles(self):
        desktop = self.desktop
        app = desktop.start_app("--toggle-stack")
        desktop.wait_for_property("StackVisible", False)
        self.assertEqual(desktop.get_property("CaptureCount"), 0)
        self.assertEqual(desktop.instances(), [app.pid])


if __name__ == "__main__":
    unittest.main()
