"""End to end: the annotation editor opened from the stack. Strokes drawn with the mouse
appear on the capture, tool keys work on any layout, Ctrl+wheel zooms about the canvas's
centre and the wheel pans, and Escape closes the window."""

import time

from desktop import DesktopTestCase, Image, colour_close, wait_until

EDITOR_TITLE = "Screenshot Editor"
CAPTURE_COLOUR = (200, 220, 240)  # the whole screen when captured
RED = (255, 0, 0)
# Inside the editor's content: the toolbar band (85) and its divider (1), then the 30-point
# inset of the canvas area.
CANVAS_TOP = 86 + 30
CANVAS_INSET = 30


class EditorTest(DesktopTestCase):
    """One capture of a plain screen, opened in the editor by a click on its thumbnail."""

    desktop_options = {"width": 1280, "height": 800}

    def setUp(self):
        super().setUp()
        d = self.desktop
        d.set_root_background(Image.filled(d.width, d.height, CAPTURE_COLOUR),
                              [(100, 100), (600, 400), (900, 700)])
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)
        self.editor = self.open_editor()
        x, y, width, height = d.geometry(self.editor.id)
        self.content = (x, y, width, height)
        self.assertEqual((width, height), (1000, 750))
        self.wait_for_focus()
        self.wait_for_canvas()

    def open_editor(self):
        """Clicks the first thumbnail until the editor opens (the stack may still be sliding
        in when the capture lands)."""
        d = self.desktop
        thumbnail = (d.width - 270 + 10 + 115, 40 + 20)

        def opened():
            windows = [w for w in d.find_windows(name=EDITOR_TITLE, wm_class="orrinvale")
                       if d.is_viewable(w.id)]
            if windows:
                return windows[0]
            d.tool("xdotool", "mousemove", str(thumbnail[0]), str(thumbnail[1]), "click", "1")
            return None

        return wait_until(opened, 30, "the editor to open from the thumbnail", interval=1.0)

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
        return cx + CANVAS_INSET + round(x), cy + CANVAS_TOP + round(y)

    def wait_for_canvas(self):
        # The capture fills the canvas area's width: its colour shows at the area's middle.
        def shown():
            shot = self.desktop.screenshot()
            return colour_close(shot.pixel(*self.at(470, 300)), CAPTURE_COLOUR)

        wait_until(shown, 30, "the capture to show in the canvas")

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
