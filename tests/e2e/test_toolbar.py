"""End to end: every control of the editor's two toolbar rows lies wholly inside the window,
side by side, from the 850-point minimum width up, with the default fonts and with the
system font 1.25x larger. The controls are found by their object names, so a control added
later is checked as well."""

import json
import math

from desktop import BUS_NAME, colour_close, wait_until
from test_editor import EDITOR_TITLE, EditorTestCase

PROBE_PATH = "/org/orrinvale/Orrinvale/Testing"
PROBE = "org.orrinvale.Orrinvale.Testing"
SAVE_BLUE = (0x35, 0x84, 0xe4)


class ToolbarFitTest(EditorTestCase):
    widths = (850, 1000)

    def describe_editor(self):
        reply = self.desktop.tool("dbus-send", "--session", "--print-reply=literal",
                                  "--dest=" + BUS_NAME, PROBE_PATH,
                                  PROBE + ".DescribeWindow", "string:" + EDITOR_TITLE)
        return json.loads(reply)

    def resize_editor(self, width):
        """Makes the editor `width` points wide; a larger system font scales points to more
        pixels (QT_FONT_DPI=120: 1.25 pixels a point)."""
        d = self.desktop
        pixels = math.ceil(width * self.scale)
        d.tool("xdotool", "windowsize", str(self.editor.id), str(pixels),
               str(math.ceil(750 * self.scale)))
        wait_until(lambda: d.geometry(self.editor.id)[2] == pixels, 20,
                   "the editor to be %d pixels wide" % pixels)
        wait_until(lambda: self.describe_editor().get("width") == width, 20,
                   "the editor's content to be laid out %d points wide" % width)

    def toolbar_rows(self, description):
        """The toolbar's controls (its named items, not what is inside them), in two rows
        by their vertical place, each sorted from left to right."""
        controls = [item for item in description["items"]
                    if item["path"].count("/") == 1 and item["path"].startswith("toolbar/")
                    and item["visible"]]
        rows = [sorted((c for c in controls if (c["y"] < 44) == first), key=lambda c: c["x"])
                for first in (True, False)]
        return rows

    def test_every_control_is_inside_the_window_and_none_overlaps(self):
        # The stack stays out of the way of the pixels looked at.
        self.desktop.call("ToggleStack")
        self.desktop.wait_for_property("StackVisible", False)
        for width in self.widths:
            with self.subTest(width=width):
                self.resize_editor(width)
                description = self.describe_editor()
                rows = self.toolbar_rows(description)
                names = [c["name"] for row in rows for c in row]
                # Both rows are there with what they always hold.
                for expected in ("toolPan", "insertButton", "undoButton", "zoomReadout",
                                 "cancelButton", "saveButton", "swatch0", "colorWell"):
                    self.assertIn(expected, names)
                for row in rows:
                    for control in row:
                        self.assertGreater(control["width"], 0, control)
                        self.assertGreaterEqual(control["x"], 0, control)
                        self.assertLessEqual(control["x"] + control["width"], width, control)
                        self.assertGreaterEqual(control["y"], 0, control)
                        self.assertLessEqual(control["y"] + control["height"], 85, control)
                    for left, right in zip(row, row[1:]):
                        self.assertLessEqual(left["x"] + left["width"], right["x"] + 0.5,
                                             (left["name"], right["name"]))
                # "Save Edits" ends 15 points from the window's right edge, its blue seen there.
                save = next(c for c in rows[0] if c["name"] == "saveButton")
                self.assertAlmostEqual(save["x"] + save["width"], width - 15, delta=1)
                x, y = self.content[0], self.content[1]
                right_end = (x + int((save["x"] + save["width"] - 4) * self.scale),
                             y + int((save["y"] + save["height"] / 2) * self.scale))
                wait_until(lambda: colour_close(self.desktop.screenshot().pixel(*right_end),
                                                SAVE_BLUE, 40), 20,
                           "the blue of Save Edits at its right end")


class LargerFontToolbarFitTest(ToolbarFitTest):
    # Qt 6 takes a larger font resolution as a larger scale: 1.25 pixels a point.
    app_env = {"QT_FONT_DPI": "120"}
    desktop_options = {"width": 1600, "height": 1100}
    scale = 1.25


if __name__ == "__main__":
    import unittest

    unittest.main()
