"""End to end: text boxes in the annotation editor. A click with the Text tool places a box
that takes the typing (tool letters included); Escape first ends the typing and keeps the
window, a second Escape closes it. With Select a double click edits a box again, "Bg" puts a
plate in the text's colour behind it, and "Save Edits" draws the box into the picture at
its place."""

import json
import time

import test_editor
from desktop import BUS_NAME, colour_close, wait_until

RED = (255, 0, 0)
WHITE = (255, 255, 255)
CAPTURE_COLOUR = test_editor.CAPTURE_COLOUR
# The 1280 x 800 capture fills the 940-point width of the canvas area: 587.5 high, centred
# in its 604 points.
AREA_WIDTH, SHOWN_TOP = 940, (604 - 587.5) / 2
SX = 1280 / AREA_WIDTH


class TextTest(test_editor.EditorTestCase):
    """One capture of a plain screen, opened in the editor."""

    def click(self, x, y, repeat=1):
        sx, sy = self.at(x, y)
        self.desktop.tool("xdotool", "mousemove", str(sx), str(sy), "click", "--repeat",
                          str(repeat), "--delay", "120", "1")

    def control_centre(self, name):
        """Where the editor lays out its control `name` now, in window points, as the test
        build's layout probe reports it."""
        reply = self.desktop.tool("dbus-send", "--session", "--print-reply=literal",
                                  "--dest=" + BUS_NAME, "/org/orrinvale/Orrinvale/Testing",
                                  "org.orrinvale.Orrinvale.Testing.DescribeWindow",
                                  "string:" + test_editor.EDITOR_TITLE)
        found = [item for item in json.loads(reply)["items"]
                 if item["name"] == name and item["visible"]]
        self.assertEqual(len(found), 1, reply)
        item = found[0]
        return round(item["x"] + item["width"] / 2), round(item["y"] + item["height"] / 2)

    def toolbar_click(self, x, y):
        cx, cy = self.content[0], self.content[1]
        self.desktop.tool("xdotool", "mousemove", str(cx + x), str(cy + y), "click", "1")

    def type(self, text):
        self.desktop.tool("xdotool", "type", "--delay", "60", text)

    def red_extent(self, x, y, shot=None):
        """How far right of area point (x, y) the red text of a box reaches, on the line
        through y and the 20 lines around it."""
        shot = shot or self.desktop.screenshot()
        right = None
        for dy in range(-10, 11, 2):
            for dx in range(0, 400):
                if colour_close(shot.pixel(*self.at(x + dx, y + dy)), RED, 60):
                    right = dx if right is None else max(right, dx)
        return right

    def place_box(self, x, y, text):
        d = self.desktop
        d.key("t")
        self.click(x, y)
        time.sleep(0.5)  # the new box takes the keyboard 0.1 s after it shows
        self.type(text)

    def test_typing_tool_letters_then_escape_twice(self):
        d = self.desktop
        self.place_box(200, 150, "tv")
        wait_until(lambda: (self.red_extent(200, 150) or 0) > 8, 20, "the typed letters")
        self.type("tvtv")
        # Six letters: had "t" or "v" switched tools, at most two would have been typed.
        wait_until(lambda: (self.red_extent(200, 150) or 0) > 40, 20, "all six letters")

        d.key("Escape")
        time.sleep(1.0)
        self.assertTrue(d.is_viewable(self.editor.id), "the first Escape closed the editor")
        self.assertGreater(self.red_extent(200, 150), 40)  # the box with its text stays
        d.key("Escape")
        wait_until(lambda: not d.is_viewable(self.editor.id), 20, "the editor to close")
        self.assertTrue(self.app.alive(), self.app.describe())

    def test_double_click_edits_again_and_the_plate_is_saved(self):
        self.require_receiver()
        d = self.desktop
        x, y = 200, 150
        self.place_box(x, y, "Hello")
        wait_until(lambda: (self.red_extent(x, y) or 0) > 40, 20, "the typed text")
        # A click away ends the typing; the box stays.
        self.click(600, 450)
        time.sleep(0.5)
        width = self.red_extent(x, y)

        d.key("v")
        self.click(x + 20, y, repeat=2)
        time.sleep(0.5)
        d.key("End")
        self.type(" you")
        wait_until(lambda: (self.red_extent(x, y) or 0) > width + 30, 20,
                   "the text to grow after the double click")

        # "Bg": the selected box gets a red plate, its text turns white.
        self.toolbar_click(*self.control_centre("backgroundSwitch"))

        def plated():
            shot = d.screenshot()
            return (colour_close(shot.pixel(*self.at(x - 4, y)), RED, 30) and
                    any(colour_close(shot.pixel(*self.at(x + dx, y + dy)), WHITE, 40)
                        for dx in range(0, 60) for dy in range(-8, 9, 2)))

        wait_until(plated, 20, "a red plate with white text behind the box")
        self.assertTrue(colour_close(d.screenshot().pixel(*self.at(x - 14, y)),
                                     CAPTURE_COLOUR, 8))

        # "Save Edits", then the picture the stack hands out.
        self.save_edits()
        time.sleep(1.0)
        saved = self.dragged_out_picture((1280, 800))

        # The box's top-left corner is 8 left of and 22 above the click, in canvas units.
        cxu, cyu = x, y - SHOWN_TOP

        def pixel(u, v):
            return saved.pixel(round(SX * u), round(SX * v))

        self.assertTrue(colour_close(pixel(cxu - 4, cyu), RED, 30), pixel(cxu - 4, cyu))
        self.assertTrue(colour_close(pixel(cxu - 14, cyu), CAPTURE_COLOUR, 8),
                        pixel(cxu - 14, cyu))
        self.assertTrue(colour_close(pixel(cxu - 4, cyu - 22 + 12), RED, 30))
        self.assertTrue(colour_close(pixel(cxu, cyu - 22 - 4), CAPTURE_COLOUR, 8))
        whites = sum(1 for u in range(0, 80) for v in range(-12, 13, 2)
                     if colour_close(pixel(cxu + u, cyu + v), WHITE, 40))
        self.assertGreater(whites, 10)
        self.assertNotIn("Edits not saved", self.app.stdout())
