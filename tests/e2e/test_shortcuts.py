"""End to end: the Shortcuts tab of the settings window edits the tool keys, stores each edit
in ~/.config/Orrinvale/Orrinvale.conf at once, and shows the stored key after a restart."""

import configparser
import time
import unittest

from desktop import DesktopTestCase, wait_until

SHORTCUT_KEYS = ("shortcutPointer", "shortcutText", "shortcutPen", "shortcutRectangle",
                 "shortcutLine", "shortcutArrow")
PEN, BOX = 2, 3
WHITE = (255, 255, 255)

# The 380-wide pane sits centred in the 400-wide window; the fields of its first column (the
# first six tools) end where that column does, 16 points in and (380 - 32 - 24) / 2 wide;
# they are 40 wide.
FIELD_CENTRE_X = (400 - 380) // 2 + 16 + (380 - 32 - 24) // 2 - 20


class ShortcutSettingsTest(DesktopTestCase):
    """Typing into a shortcut field, as a user does with the keyboard of the X server."""

    launch_app = False  # each test starts from an empty preferences file

    def setUp(self):
        super().setUp()
        self.config_file.unlink(missing_ok=True)
        self.app = self.desktop.start_app()

    @property
    def config_file(self):
        return self.desktop.config_home / "Orrinvale" / "Orrinvale.conf"

    def stored(self):
        """The shortcut keys in the preferences file, by name (absent keys left out)."""
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str  # keys are case-sensitive
        if self.config_file.exists():
            parser.read_string(self.config_file.read_text())
        general = parser["General"] if parser.has_section("General") else {}
        return {key: general[key] for key in SHORTCUT_KEYS if key in general}

    def open_settings(self):
        self.desktop.open_tray_menu(1)
        self.desktop.key("Down", "Down", "Down", "Down", "Return")  # "Settings..."
        window = self.desktop.wait_for_window("Settings")
        wait_until(lambda: len(self.fields(window)) == 6, 20, "six shortcut fields on screen")
        return window

    def fields(self, window, shot=None):
        """The fields' white insides, top to bottom, as (left, top, right, bottom) on screen:
        the runs of white in a column just inside their left edges (where no letter is
        drawn), below the tab bar."""
        x0, y0, _, height = self.desktop.geometry(window.id)
        shot = shot or self.desktop.screenshot()
        x = x0 + FIELD_CENTRE_X
        scan_x = x - 15
        runs, start = [], None
        for y in range(y0 + 40, y0 + height):
            white = shot.pixel(scan_x, y) == WHITE
            if white and start is None:
                start = y
            elif not white and start is not None:
                if y - start >= 10:
                    runs.append((x - 17, start, x + 17, y))
                start = None
        return runs

    def field_pixels(self, window, index):
        shot = self.desktop.screenshot()
        fields = self.fields(window, shot)
        if len(fields) != 6:
            return None
        left, top, right, bottom = fields[index]
        return tuple(shot.pixel(x, y) for y in range(top, bottom) for x in range(left, right))

    def settled_pixels(self, window, index, unlike=None):
        """The field's pixels when two looks a moment apart agree (and differ from
        `unlike`); None otherwise."""
        first = self.field_pixels(window, index)
        time.sleep(0.3)
        second = self.field_pixels(window, index)
        return second if second and second == first and second != unlike else None

    def click_field(self, window, index):
        left, top, right, bottom = self.fields(window)[index]
        self.desktop.tool("xdotool", "mousemove", str((left + right) // 2),
                          str((top + bottom) // 2), "click", "1")

    def test_edits_are_stored_at_once_and_shown_after_a_restart(self):
        window = self.open_settings()
        self.assertEqual(self.stored(), {}, "defaults must not be written")
        showing_d = self.field_pixels(window, PEN)

        self.click_field(window, PEN)
        self.desktop.tool("xdotool", "type", "--delay", "50", "X")
        wait_until(lambda: self.stored() == {"shortcutPen": "x"}, 20,
                   "shortcutPen=x in the preferences file, and nothing else")
        # Deleting a key stores the empty string.
        self.click_field(window, BOX)
        self.desktop.key("End", "BackSpace")
        edited = {"shortcutPen": "x", "shortcutRectangle": ""}
        wait_until(lambda: self.stored() == edited, 20,
                   "an empty shortcutRectangle in the preferences file")
        # Move the keyboard on, so no caret is drawn in the Pen field.
        self.desktop.key("Tab")
        showing_x = wait_until(lambda: self.settled_pixels(window, PEN, unlike=showing_d), 20,
                               "the Pen field to show its new key")

        self.assertEqual(self.desktop.quit_app(self.app), 0, self.app.describe())
        self.assertEqual(self.app.sanitizer_reports(), [], self.app.describe())
        self.app = self.desktop.start_app()
        window = self.open_settings()

        wait_until(lambda: self.field_pixels(window, PEN) == showing_x, 20,
                   "the Pen field to show the stored key after the restart")
        self.assertEqual(self.stored(), edited)

if __name__ == "__main__":
    unittest.main()
