"""End to end: the annotation tools with the mouse and keyboard of the X server. Each new
kind is drawn with its key, a shape is picked and moved with Select, a step is deleted,
undone and redone, and the saved picture handed out by the stack holds what was shown."""

import json
import math

import test_editor
from desktop import BUS_NAME, colour_close, wait_until
from test_editor import CAPTURE_COLOUR, EDITOR_TITLE, RED

BLACK = (0, 0, 0)
# Red at 40% over the capture's colour: the highlighter.
HIGHLIGHT = tuple(round(0.6 * c + 0.4 * r) for c, r in zip(CAPTURE_COLOUR, RED))
# The 1280 x 800 capture fills the 940-wide canvas area, 587.5 high and centred in its
# 604: canvas y is area y less 8.25; the saved picture has 1280 / 940 pixels a unit.
TOP = (604 - 587.5) / 2
SX = 1280 / 940
# Outside the crop the canvas is dimmed by black at 50%.
DIMMED = tuple(round(c / 2) for c in CAPTURE_COLOUR)


# Through the module, so that the editor's own tests are not run again from here.
class AnnotationToolsTest(test_editor.EditorTest):
    def colour_at(self, point, colour, what, tolerance=24, present=True):
        def seen():
            shot = self.desktop.screenshot()
            return colour_close(shot.pixel(*self.at(*point)), colour, tolerance) == present

        wait_until(seen, 20, what)

    def click(self, point):
        x, y = self.at(*point)
        self.desktop.tool("xdotool", "mousemove", str(x), str(y), "click", "1")

    def click_control(self, name):
        """Clicks the toolbar control with object name `name`, found where the window lays
        it out."""
        reply = self.desktop.tool(
            "dbus-send", "--session", "--print-reply=literal", "--dest=" + BUS_NAME,
            "/org/orrinvale/Orrinvale/Testing", "org.orrinvale.Orrinvale.Testing.DescribeWindow",
            "string:" + EDITOR_TITLE)
        items = [i for i in json.loads(reply)["items"] if i["name"] == name and i["visible"]]
        self.assertEqual(len(items), 1, name)
        item = items[0]
        x = self.content[0] + round(item["x"] + item["width"] / 2)
        y = self.content[1] + round(item["y"] + item["height"] / 2)
        self.desktop.tool("xdotool", "mousemove", str(x), str(y), "click", "1")

    # Only this file's case, not the inherited ones.
    test_drawing_switching_tools_zooming_and_escape = None
    test_save_edits_grows_the_picture_and_the_stack_hands_it_out = None

    def test_each_new_kind_select_move_delete_undo_redo_and_save(self):
        self.require_receiver()
        d = self.desktop
        d.key("h")
        self.drag((100, 100), (400, 100))
        self.colour_at((250, 100), HIGHLIGHT, "the translucent highlighter stroke", 16)

        d.key("e")
        self.drag((500, 50), (800, 250))
        self.colour_at((650, 50), RED, "the ellipse's top")
        self.colour_at((650, 150), CAPTURE_COLOUR, "the ellipse's inside left alone", 4)
        self.colour_at((502, 52), CAPTURE_COLOUR, "its box's corner left alone", 4)

        d.key("n")
        self.click((150, 300))
        self.click((250, 300))
        self.colour_at((164, 300), RED, "the first step's circle")
        self.colour_at((264, 300), RED, "the second step's circle")

        # A pen stroke, then a redaction over part of it.
        d.key("d")
        self.drag((450, 400), (750, 400))
        d.key("x")
        self.drag((500, 350), (700, 450))
        self.colour_at((600, 400), BLACK, "the solid redaction over the stroke", 4)
        self.colour_at((725, 400), RED, "the stroke beyond the redaction")

        # Select: a press on the ellipse's outline picks it, a drag moves it down 30.
        d.key("v")
        self.drag((650, 50), (650, 80))
        self.colour_at((650, 80), RED, "the ellipse where it was moved")
        self.colour_at((650, 50), CAPTURE_COLOUR, "nothing where it was", 4)

        # The second step: picked, deleted, the deletion undone and redone.
        self.click((250, 300))
        d.key("Delete")
        self.colour_at((264, 300), CAPTURE_COLOUR, "the deleted step gone", 4)
        d.key("ctrl+z")
        self.colour_at((264, 300), RED, "the step back after Undo")
        d.key("ctrl+shift+z")
        self.colour_at((264, 300), CAPTURE_COLOUR, "the step gone again after Redo", 4)

        self.save_edits()
        saved = self.dragged_out_picture((1280, 800))

        def pixel(x, y):
            return saved.pixel(round(SX * x), round(SX * (y - TOP)))

        for (x, y), colour, what in [
                ((650, 80), RED, "the moved ellipse's top"),
                ((650, 50), CAPTURE_COLOUR, "nothing where the ellipse was"),
                ((650, 165), CAPTURE_COLOUR, "the ellipse's inside"),
                ((250, 100), HIGHLIGHT, "the highlighter"),
                ((164, 300), RED, "the first step"),
                ((264, 300), CAPTURE_COLOUR, "no second step"),
                ((600, 400), BLACK, "the redaction"),
                ((725, 400), RED, "the stroke beside it")]:
            self.assertTrue(colour_close(pixel(x, y), colour, 16), (what, pixel(x, y)))
        self.assertNotIn("Edits not saved", self.app.stdout())

    def test_crop_handles_reset_undo_and_the_saved_picture(self):
        self.require_receiver()
        d = self.desktop
        # A red stroke across what the crop will keep and beyond it.
        d.key("d")
        self.drag((150, 300), (800, 300))
        self.colour_at((400, 300), RED, "the stroke")

        d.key("c")
        self.drag((200, 150), (600, 450))
        self.colour_at((100, 100), DIMMED, "the canvas dimmed outside the crop", 12)
        self.colour_at((400, 250), CAPTURE_COLOUR, "the crop's inside as it was", 4)

        # Its bottom-right handle dragged out to (700, 500).
        self.drag((600, 450), (700, 500))
        self.colour_at((650, 250), CAPTURE_COLOUR, "the grown crop's new part", 4)
        self.colour_at((750, 250), DIMMED, "beyond the grown crop", 12)

        d.key("ctrl+z")
        self.colour_at((650, 250), DIMMED, "the handle's drag taken back by Undo", 12)
        d.key("ctrl+y")
        self.colour_at((650, 250), CAPTURE_COLOUR, "the drag made again by Redo", 4)

        self.click_control("resetCropButton")
        self.colour_at((100, 100), CAPTURE_COLOUR, "no dimming after Reset Crop", 4)
        d.key("ctrl+z")
        self.colour_at((100, 100), DIMMED, "the crop back after Undo of the reset", 12)
        self.colour_at((650, 250), CAPTURE_COLOUR, "the crop as it was, grown", 4)

        self.save_edits()
        # The crop in canvas units, to whole pixels outward.
        left, top, right, bottom = 200, 150 - TOP, 700, 500 - TOP
        x0, y0 = math.floor(left * SX), math.floor(top * SX)
        size = (math.ceil(right * SX) - x0, math.ceil(bottom * SX) - y0)
        saved = self.dragged_out_picture(size)

        def pixel(x, y):
            return saved.pixel(round(SX * x) - x0, round(SX * (y - TOP)) - y0)

        for (x, y), colour, what in [
                ((205, 300), RED, "the stroke at the crop's left edge"),
                ((695, 300), RED, "the stroke at its right edge"),
                ((400, 250), CAPTURE_COLOUR, "the capture inside the crop"),
                ((205, 155), CAPTURE_COLOUR, "the crop's top-left corner, not dimmed"),
                ((695, 495), CAPTURE_COLOUR, "its bottom-right corner")]:
            self.assertTrue(colour_close(pixel(x, y), colour, 16), (what, pixel(x, y)))
        self.assertNotIn("Edits not saved", self.app.stdout())


if __name__ == "__main__":
    import unittest

    unittest.main()
