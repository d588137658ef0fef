"""End to end: every control of the editor's two toolbar rows lies wholly inside the window,
side by side, whichever tool's second row shows, at the window's first size and at the
narrowest the window manager lets it be, and the note of restored edits sits between the
toolbar and the canvas: with the default fonts, and with the desktop's font 10% and 25%
larger, set as a Plasma desktop sets it (the font of kdeglobals, which Qt reads there). The
controls are found by their object names, so a control added later is checked as well."""

import json

from desktop import BUS_NAME, colour_close, wait_until
from test_editor import EDITOR_TITLE, EditorTestCase

PROBE_PATH = "/org/orrinvale/Orrinvale/Testing"
PROBE = "org.orrinvale.Orrinvale.Testing"
SAVE_BLUE = (0x35, 0x84, 0xe4)
# Select, Text, then every tool of the first row and the second, each with the control of
# the second row that shows with it (Pan has no row of its own; Step shares the pen's).
TOOL_KEYS = (("v", "textStyleGroup"), ("t", "textStyleGroup"), ("d", "lineWidthGroup"),
             ("x", "redactStyleGroup"), ("r", "lineWidthGroup"), ("c", "resetCropButton"),
             ("l", "lineWidthGroup"), ("a", "lineWidthGroup"), ("e", "lineWidthGroup"),
             ("h", "lineWidthGroup"), ("n", None))
# Qt's own system font when the desktop names none.
DEFAULT_POINT_SIZE = 9


class ToolbarFitTest(EditorTestCase):
    # The desktop's font, as a multiple of the default size (None: the desktop names none).
    font_scale = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if cls.font_scale:
            # What Plasma's font settings write; Qt's KDE theme reads the font from here.
            size = DEFAULT_POINT_SIZE * cls.font_scale
            (cls.desktop.config_home / "kdeglobals").write_text(
                "[General]\nfont=DejaVu Sans,%g,-1,5,50,0,0,0,0,0\n" % size)
            cls.app_env = {"KDE_SESSION_VERSION": "5", "XDG_CURRENT_DESKTOP": "KDE"}

    def describe_editor(self):
        reply = self.desktop.tool("dbus-send", "--session", "--print-reply=literal",
                                  "--dest=" + BUS_NAME, PROBE_PATH,
                                  PROBE + ".DescribeWindow", "string:" + EDITOR_TITLE)
        return json.loads(reply)

    def make_narrowest(self):
        """Asks for a window far narrower than any editor may be; the window manager holds
        it at the minimum the program gives. Returns that width."""
        d = self.desktop
        d.tool("xdotool", "windowsize", str(self.editor.id), "400", "600")
        minimum = d.size_hints(self.editor.id)["minimum size"][0]
        wait_until(lambda: d.geometry(self.editor.id)[2] == minimum, 20,
                   "the editor to be %d pixels wide" % minimum)
        wait_until(lambda: self.describe_editor().get("width") == minimum, 20,
                   "the editor's content to be laid out %d wide" % minimum)
        self.content = d.geometry(self.editor.id)
        return minimum

    def toolbar_rows(self, description):
        """The toolbar's controls (its named items, not what is inside them), in two rows
        by their vertical place, each sorted from left to right."""
        toolbar = next(item for item in description["items"] if item["path"] == "toolbar")
        controls = [item for item in description["items"]
                    if item["path"].count("/") == 1 and item["path"].startswith("toolbar/")
                    and item["visible"]]
        divider = toolbar["height"] / 2
        first = sorted((c for c in controls if c["y"] + c["height"] / 2 < divider),
                       key=lambda c: c["x"])
        second = sorted((c for c in controls if c["y"] + c["height"] / 2 >= divider),
                        key=lambda c: c["x"])
        return toolbar, first, second

    def assert_rows_fit(self, what):
        description = self.describe_editor()
        width = description["width"]
        toolbar, first, second = self.toolbar_rows(description)
        names = [c["name"] for c in first + second]
        for expected in ("toolPan", "insertButton", "undoButton", "redoButton", "clearButton",
                         "revertButton", "zoomReadout", "copyButton", "copyTextButton",
                         "cancelButton", "saveButton", "swatch0", "colorWell", "moreTools"):
            self.assertIn(expected, names, what)
        for row in (first, second):
            for control in row:
                self.assertGreater(control["width"], 0, (what, control))
                # Its label or text is whole, not cut and not spilling over a neighbour.
                self.assertTrue(control.get("contentFits", True), (what, control))
                self.assertGreaterEqual(control["x"], 0, (what, control))
                self.assertLessEqual(control["x"] + control["width"], width, (what, control))
                self.assertGreaterEqual(control["y"], 0, (what, control))
                self.assertLessEqual(control["y"] + control["height"], toolbar["height"],
                                     (what, control))
            for left, right in zip(row, row[1:]):
                self.assertLessEqual(left["x"] + left["width"], right["x"] + 0.5,
                                     (what, left["name"], right["name"]))
        return first

    def wait_for_control(self, name):
        wait_until(lambda: any(item["name"] == name and item["visible"]
                               for item in self.describe_editor()["items"]), 20,
                   "%s to show" % name)

    def assert_every_tools_row_fits(self, size):
        for key, shown in TOOL_KEYS:
            self.desktop.key(key)
            if shown:
                self.wait_for_control(shown)
            self.assert_rows_fit("%s, tool key %s" % (size, key))

    def test_every_control_is_inside_the_window_and_none_overlaps(self):
        d = self.desktop
        # The stack stays out of the way of the pixels looked at.
        d.call("ToggleStack")
        d.wait_for_property("StackVisible", False)
        # Once the window has taken the width its toolbar asks for, it is on the screen.
        previous = []

        def settled():
            now = (d.geometry(self.editor.id), d.size_hints(self.editor.id)["minimum size"])
            same = previous == [now]
            previous[:] = [now]
            return now if same and now[0][2] >= now[1][0] else None

        (x, _, width, _), _ = wait_until(settled, 20, "the editor's width to settle",
                                         interval=0.5)
        self.assertGreaterEqual(x, 0)
        self.assertLessEqual(x + width, d.width)
        self.assert_every_tools_row_fits("first size")

        minimum = self.make_narrowest()
        if not self.font_scale:
            self.assertEqual(minimum, 850)
        self.assert_every_tools_row_fits("narrowest")
        first = self.assert_rows_fit("narrowest")
        # "Save Edits" ends 15 points from the window's right edge, its blue seen there.
        save = next(c for c in first if c["name"] == "saveButton")
        self.assertAlmostEqual(save["x"] + save["width"], minimum - 15, delta=1)
        x, y = self.content[0], self.content[1]
        right_end = (x + int(save["x"] + save["width"] - 4),
                     y + int(save["y"] + save["height"] / 2))
        wait_until(lambda: colour_close(d.screenshot().pixel(*right_end), SAVE_BLUE, 40), 20,
                   "the blue of Save Edits at its right end")

        # A stroke, kept by Escape: the next editor says so above the canvas, clear of the
        # toolbar and the canvas.
        d.key("d")
        x0, y0 = self.at(100, 200)
        d.tool("xdotool", "mousemove", str(x0), str(y0), "mousedown", "1",
               "mousemove", str(x0 + 100), str(y0), "mousemove", str(x0 + 200), str(y0),
               "mouseup", "1")
        d.key("Escape")
        wait_until(lambda: not d.is_viewable(self.editor.id), 20, "the editor to close")
        d.call("ToggleStack")
        d.wait_for_property("StackVisible", True)
        self.editor = self.open_editor()
        d.call("ToggleStack")
        d.wait_for_property("StackVisible", False)
        self.wait_for_focus()
        self.assertEqual(self.make_narrowest(), minimum)
        self.wait_for_control("draftNote")
        items = {item["name"]: item for item in self.describe_editor()["items"]}
        note, toolbar, canvas = items["draftNote"], items["toolbar"], items["canvasArea"]
        self.assertGreaterEqual(note["x"], 0)
        self.assertLessEqual(note["x"] + note["width"], minimum)
        self.assertGreaterEqual(note["y"], toolbar["y"] + toolbar["height"])
        self.assertLessEqual(note["y"] + note["height"], canvas["y"])


class LargerFontToolbarFitTest(ToolbarFitTest):
    font_scale = 1.1


class MuchLargerFontToolbarFitTest(ToolbarFitTest):
    font_scale = 1.25


class HugeFontToolbarFitTest(ToolbarFitTest):
    # The toolbar is wider than the window opens (1336 points): it widens, and moves left
    # to stay on the screen.
    font_scale = 2
    first_size = None
    desktop_options = {"width": 1600, "height": 1000}


if __name__ == "__main__":
    import unittest

    unittest.main()
