"""End to end: edits are never lost. A box saved with "Save Edits" is still a box when the
capture is opened again: Select picks it and moves it, and the stack hands out the picture
with it where it went. An editor closed with Escape keeps its edits for the next one; Cancel
throws them away."""

import test_editor
from desktop import colour_close, wait_until
from test_editor import CAPTURE_COLOUR, RED

# The canvas area is 940 x 604 and the 1280 x 800 capture fills its width, 587.5 high,
# centred: a canvas-area point (x, y) is capture pixel (sx x, sx (y - 8.25)).
SX = 1280 / 940
TOP = (604 - 587.5) / 2


class EditsKeptTest(test_editor.EditorTestCase):
    """One capture of a plain screen, edited, closed and opened again."""

    drag = test_editor.EditorTest.drag
    assert_red = test_editor.EditorTest.assert_red

    def reopen(self):
        wait_until(lambda: not self.desktop.is_viewable(self.editor.id), 20,
                   "the editor to close")
        self.editor = self.open_editor()
        self.content = self.desktop.geometry(self.editor.id)
        self.wait_for_focus()
        self.wait_for_canvas()

    def cancel(self):
        """Clicks "Cancel": the button 8 points left of "Save Edits" (the blue one at the
        right end of the first row, found on the screen), 10 points into it."""
        x, y, width, _ = self.content
        row = y + 10 + 14
        shot = self.desktop.screenshot()
        background = shot.pixel(x + width - 5, row)
        save_left = x + width - 15 - 2
        while save_left > x and not colour_close(shot.pixel(save_left - 1, row), background, 6):
            save_left -= 1
        self.desktop.tool("xdotool", "mousemove", str(save_left - 8 - 10), str(row),
                          "click", "1")

    def test_a_saved_box_can_be_picked_and_moved_after_reopening(self):
        self.require_receiver()
        d = self.desktop
        d.key("r")
        self.drag((200, 150), (500, 350))
        self.assert_red([(350, 150), (200, 250)], "the box")
        self.save_edits()
        wait_until(lambda: d.get_property("CaptureCount") == 1, 10, "the capture to stay")

        self.reopen()
        # The box is drawn over the original, not baked into it: Select picks it by its
        # top side and drags it 150 right and 100 down.
        self.assert_red([(350, 150), (200, 250), (500, 250)], "the saved box, shown again")
        d.key("v")
        self.drag((350, 150), (500, 250))
        self.assert_red([(500, 250), (350, 350), (650, 350)], "the box where it was moved")
        self.assert_red([(350, 150), (200, 250)], "nothing left where it was", red=False)
        self.save_edits()

        saved = self.dragged_out_picture((1280, 800))

        def pixel(x, y):
            return saved.pixel(round(SX * x), round(SX * (y - TOP)))

        for x, y in [(500, 250), (350, 350), (650, 350), (500, 450)]:
            self.assertTrue(colour_close(pixel(x, y), RED), (x, y, pixel(x, y)))
        for x, y in [(350, 150), (200, 250), (500, 350)]:
            self.assertTrue(colour_close(pixel(x, y), CAPTURE_COLOUR, 4), (x, y, pixel(x, y)))
        self.assertNotIn("Edits not saved", self.app.stdout())

    def test_escape_keeps_the_edits_and_cancel_drops_them(self):
        d = self.desktop
        self.drag((100, 200), (400, 200))
        self.assert_red([(150, 200), (390, 200)], "the pen stroke")

        d.key("Escape")
        self.reopen()
        self.assert_red([(150, 200), (250, 200), (390, 200)], "the stroke, kept as a draft")

        self.cancel()
        self.reopen()
        self.assert_red([(150, 200), (250, 200), (390, 200)], "the stroke gone", red=False)
        self.assertEqual(d.get_property("CaptureCount"), 1)

