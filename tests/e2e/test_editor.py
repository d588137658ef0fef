"""End to end: the annotation editor opened from the stack. Strokes drawn with the mouse
appear on the capture, tool keys work on any layout, Ctrl+wheel zooms about the canvas's
centre and the wheel pans, and Escape closes the window. "Save Edits" puts the annotated,
grown picture on the stack, and a drag hands it out as a PNG file."""

import subprocess
import time
from pathlib import Path

import test_stack
from desktop import DesktopTestCase, Image, colour_close, wait_until

EDITOR_TITLE = "Screenshot Editor"
CAPTURE_COLOUR = (200, 220, 240)  # the whole screen when captured
RED = (255, 0, 0)
BACKDROP = (128, 128, 128)  # the grey of a grown canvas beyond the capture
# Inside the editor's content: the toolbar band (85) and its divider (1), then the 30-point
# inset of the canvas area.
CANVAS_TOP = 86 + 30
CANVAS_INSET = 30


class EditorTestCase(test_stack.DropReceiver, DesktopTestCase):
    """One capture of a plain screen, opened in the editor by a click on its thumbnail; the
    editor's and the images' tests build on it."""

    desktop_options = {"width": 1280, "height": 800}
    # The size the editor opens at (None: not checked).
    first_size = (1000, 750)

    def setUp(self):
        super().setUp()
        d = self.desktop
        d.set_root_background(Image.filled(d.width, d.height, CAPTURE_COLOUR),
                              [(100, 100), (600, 400), (900, 700)])
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)
        self.editor = self.open_editor()
        self.content = d.geometry(self.editor.id)
        if self.first_size:
            self.assertEqual(self.content[2:], self.first_size)
        self.wait_for_focus()
        self.wait_for_canvas()

    def require_receiver(self):
        if not test_stack.RECEIVER:
            self.skipTest("set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")

    def open_editor(self):
        return self.desktop.open_editor_from_thumbnail()

    def wait_for_focus(self):
        d = self.desktop

        def focused():
            active = d.xprop_root("_NET_ACTIVE_WINDOW")
            return "0x%x" % self.editor.id in active or any(
                "0x%x" % a.id in active for a in self.editor.ancestors())

        wait_until(focused, 20, "the editor window to have the keyboard")

    def at(self, x, y):
        """Screen position of a point of the canvas area."""
        cx, cy = self.content[0], self.content[1]
        return cx + round(CANVAS_INSET + x), cy + round(CANVAS_TOP + y)

    def wait_for_canvas(self):
        # The capture fills the canvas area's width: its colour shows at the area's middle.
        def shown():
            shot = self.desktop.screenshot()
            return colour_close(shot.pixel(*self.at(470, 300)), CAPTURE_COLOUR)

        wait_until(shown, 30, "the capture to show in the canvas")

    def save_edits(self):
        """Clicks "Save Edits", the last control of the first row, 15 points from the right
        edge, and waits for the editor to close."""
        x, y, width, _ = self.content
        self.desktop.tool("xdotool", "mousemove", str(x + width - 15 - 30), str(y + 10 + 14),
                          "click", "1")
        wait_until(lambda: not self.desktop.is_viewable(self.editor.id), 20,
                   "the editor to close")

    def dragged_out_picture(self, size):
        """Drags the first thumbnail into another program: the PNG file it is given, checked
        to be `size` (None: any) and decoded."""
        window, output = self.open_receiver(100, 100, 400, 300)
        left = self.desktop.width - 270 + 10
        self.drag_between((left + 115, 40 + 40), window.centre)
        wait_until(lambda: len(self.drops(output)) == 1, 30, "the drop")
        url = self.drops(output)[0]["urls"][0]
        self.assertTrue(url.startswith("file://"), url)
        data = Path(url[len("file://"):]).read_bytes()
        if size:
            self.assertEqual(test_stack.png_size(data), size)
        ppm = subprocess.run(["convert", "png:-", "-depth", "8", "ppm:-"], input=data,
                             capture_output=True, check=True, timeout=60).stdout
        return Image.from_ppm(ppm)


class EditorTest(EditorTestCase):
    """Drawing, tool keys, zoom and saving, with the mouse and keyboard of the X server."""

    def drag(self, start, end, steps=20):
        d = self.desktop
        (x0, y0), (x1, y1) = self.at(*start), self.at(*end)
        args = ["xdotool", "mousemove", str(x0), str(y0), "mousedown", "1"]
        for i in range(1, steps + 1):
            args += ["mousemove", str(x0 + (x1 - x0) * i // steps),
                     str(y0 + (y1 - y0) * i // steps)]
        args += ["mouseup", "1"]
        d.tool(*args)

    def assert_red(self, points, what, red=True):
        def seen():
            shot = self.desktop.screenshot()
            return all(colour_close(shot.pixel(*self.at(x, y)), RED) == red for x, y in points)

        wait_until(seen, 20, what)

    def test_drawing_switching_tools_zooming_and_escape(self):
        d = self.desktop
        # Pen, the first tool: a horizontal stroke.
        self.drag((100, 200), (400, 200))
        self.assert_red([(150, 200), (250, 200), (390, 200)], "the pen stroke")
        self.assert_red([(250, 190), (250, 210)], "only the stroke's width", red=False)

        # A box, with its key.
        d.key("r")
        self.drag((500, 100), (800, 300))
        self.assert_red([(650, 100), (650, 300), (500, 200), (800, 200)], "the box's four sides")
        self.assert_red([(650, 200)], "the box's inside left alone", red=False)

        # On a French keyboard, the key of the US "a" types "q" and still selects the arrow.
        d.tool("setxkbmap", "fr")
        self.addCleanup(d.tool, "setxkbmap", "us")
        d.key("q")
        self.drag((100, 450), (400, 450))
        self.assert_red([(200, 450), (300, 450)], "the arrow's shaft")
        # Its head: two wings 21 long behind the tip, 10.5 to each side.
        self.assert_red([(391, 445), (391, 455)], "the arrowhead's wings")
        d.tool("setxkbmap", "us")

        # Ctrl+wheel away from the user: one pinch step of 1.2 about the area's centre.
        centre = (470, 302)
        cx, cy = self.at(*centre)
        d.tool("xdotool", "mousemove", str(cx), str(cy), "keydown", "ctrl", "click", "4",
               "keyup", "ctrl")
        zoomed_y = centre[1] + 1.2 * (200 - centre[1])
        self.assert_red([(centre[0] + 1.2 * (x - centre[0]), round(zoomed_y))
                         for x in (150, 250, 390)], "the stroke where the zoom took it")
        self.assert_red([(250, 200)], "the stroke gone from where it was", red=False)

        # A plain wheel turn towards the user pans the view up by one step (three lines).
        d.tool("xdotool", "click", "5")
        self.assert_red([(centre[0] + 1.2 * (250 - centre[0]), round(zoomed_y) - 60)],
                        "the stroke panned up")

        # Escape closes the editor without saving; the program runs on.
        d.key("Escape")
        wait_until(lambda: not d.is_viewable(self.editor.id), 20, "the editor to close")
        time.sleep(0.3)
        self.assertTrue(self.app.alive(), self.app.describe())
        self.assertEqual(d.get_property("CaptureCount"), 1)

    def test_save_edits_grows_the_picture_and_the_stack_hands_it_out(self):
        self.require_receiver()
        d = self.desktop
        # The canvas area is 940 x 604 and the 1280 x 800 capture fills its width, 587.5
        # high. Zoomed out one step (1 / 1.2 about the area's centre) there is room to
        # draw past the capture's right edge.
        area_width, area_height, shown_height = 940, 604, 587.5
        zoom = 1 / 1.2
        cx, cy = self.at(area_width / 2, area_height / 2)
        d.tool("xdotool", "mousemove", str(cx), str(cy), "keydown", "ctrl", "click", "5",
               "keyup", "ctrl")

        def area(x, y):
            return (area_width / 2 + zoom * (x - area_width / 2),
                    area_height / 2 + zoom * (y - shown_height / 2))

        def canvas(ax, ay):
            return (area_width / 2 + (ax - area_width / 2) / zoom,
                    shown_height / 2 + (ay - area_height / 2) / zoom)

        # Wait for the zoom: the capture's right edge has moved in.
        edge = round(area(area_width, 300)[0])
        wait_until(lambda: not colour_close(d.screenshot().pixel(*self.at(edge + 5, 300)),
                                            CAPTURE_COLOUR), 20, "the zoom out")

        d.key("r")
        start, end = area(600, 200), area(1000, 400)
        start, end = (round(start[0]), round(start[1])), (round(end[0]), round(end[1]))
        self.drag(start, end)
        self.assert_red([(end[0], (start[1] + end[1]) // 2)], "the box's right side")

        self.save_edits()

        # Where the box is in the saved picture: canvas units times 1280 / 940, line 4 wide.
        sx = 1280 / area_width
        (x0, y0), (x1, y1) = canvas(*start), canvas(*end)
        right = sx * x1 + sx * 2
        expected_width = 1280 + (right - 1280) + 40

        # The thumbnail changes at once: the grey strip of the grown canvas shows at its
        # right end (230 wide, 10 into the panel, 40 from the top).
        left = d.width - 270 + 10
        strip = (left + 230 - 4, 40 + 20)
        wait_until(lambda: colour_close(d.screenshot().pixel(*strip), BACKDROP, 12), 30,
                   "the thumbnail to show the saved picture", interval=0.2)

        saved = self.dragged_out_picture(None)
        self.assertLessEqual(abs(saved.width - expected_width), 2, (saved.width, expected_width))
        self.assertEqual(saved.height, 800)

        def pixel(px, py):
            return saved.pixel(round(px), round(py))

        middle_y = sx * (y0 + y1) / 2
        # The right side beyond the capture's edge, the top and bottom sides inside it.
        self.assertTrue(colour_close(pixel(sx * x1, middle_y), RED), pixel(sx * x1, middle_y))
        self.assertTrue(colour_close(pixel(sx * 900, sx * y0), RED), pixel(sx * 900, sx * y0))
        self.assertTrue(colour_close(pixel(sx * 900, sx * y1), RED), pixel(sx * 900, sx * y1))
        # Inside the box and the rest of the capture: unchanged; beyond it: the backdrop.
        self.assertTrue(colour_close(pixel(sx * 800, middle_y), CAPTURE_COLOUR, 4))
        self.assertTrue(colour_close(pixel(100, 700), CAPTURE_COLOUR, 4))
        self.assertTrue(colour_close(pixel(saved.width - 5, 100), BACKDROP, 4))
        self.assertTrue(colour_close(pixel(1285, 700), BACKDROP, 4))
        self.assertEqual(d.get_property("CaptureCount"), 1)
        self.assertNotIn("Edits not saved", self.app.stdout())
