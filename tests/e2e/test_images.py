"""End to end: pictures in the editor. A PNG file copied to the clipboard as a file manager
copies it (text/uri-list) is pasted with Ctrl+V at the canvas's centre and is in the picture
"Save Edits" puts on the stack; a file dragged from another program lands where it is
dropped, and a drag of something that is no image is refused."""

import os
import subprocess
import time

import test_editor
from desktop import TIME_SCALE, Image, colour_close, wait_until
from test_stack import drag_argv

DRAG_SOURCE = os.environ.get("ORRINVALE_DRAG_SOURCE")
DRAG_SOURCE_TITLE = "E2E Drag Source"
MAGENTA = (255, 0, 255)
TEAL = (0, 160, 160)
CAPTURE_COLOUR = test_editor.CAPTURE_COLOUR
# The picture: 200 x 120, magenta on the left, teal on the right.
PICTURE = (200, 120)


class ImagesTest(test_editor.EditorTestCase):
    """One capture of a plain screen, opened in the editor; the canvas area is 940 x 604 and
    shows the capture 940 x 587.5, 8.25 below the area's top."""

    def picture_file(self):
        width, height = PICTURE
        picture = Image.filled(width, height, TEAL)
        picture.fill_rect(0, 0, width // 2, height, MAGENTA)
        ppm = self.desktop.root / "picture.ppm"
        png = self.desktop.root / "picture.png"
        picture.save(ppm)
        subprocess.run(["convert", str(ppm), str(png)], check=True, timeout=60)
        return png

    def spawn(self, name, argv):
        child = self.desktop._spawn(name, argv)
        self.addCleanup(self.stop, child)
        return child

    def stop(self, child):
        if child in self.desktop._children:
            self.desktop._stop(child.popen)
            self.desktop._children.remove(child)

    def drag_from_source(self, source, start, end):
        """Presses on the drag source until its drag is under way, then moves to `end` and
        releases there: a loaded machine may take its time to start the drag, and a release
        the drag never saw would leave it hanging."""
        d = self.desktop
        press = drag_argv(start, end)
        down = press.index("mousedown")

        pressed = []

        def dragging():
            if "dragging" in source.log.read_text(errors="replace"):
                return True
            # A press that has had no answer in 10 s did not reach the window: once more.
            if not pressed or time.monotonic() - pressed[-1] > 10 * TIME_SCALE:
                d.tool("xdotool", "mouseup", "1")
                d.tool(*press[:down + 2])
                pressed.append(time.monotonic())
            return False

        wait_until(dragging, 60, "the drag source to start its drag", interval=0.1)
        d.tool("xdotool", *press[down + 2:], timeout=60)

    def assert_picture_at(self, centre, what):
        """The picture's two halves around `centre`, a point of the canvas area."""
        left = self.at(centre[0] - 50, centre[1])
        right = self.at(centre[0] + 50, centre[1])

        def shown():
            shot = self.desktop.screenshot()
            return colour_close(shot.pixel(*left), MAGENTA) and colour_close(
                shot.pixel(*right), TEAL)

        wait_until(shown, 30, what)

    def test_pasting_a_copied_file_and_saving_it_into_the_capture(self):
        self.require_receiver()
        d = self.desktop
        png = self.picture_file()
        uris = d.root / "copied.txt"
        uris.write_bytes(png.as_uri().encode() + b"\n")
        self.spawn("xclip", ["xclip", "-quiet", "-selection", "clipboard", "-t",
                             "text/uri-list", "-i", str(uris)])
        wait_until(lambda: "text/uri-list" in d.tool(
            "xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"), 20,
            "the file on the clipboard")

        d.key("ctrl+v")

        # At the canvas's centre (470, 293.75), at its natural size.
        self.assert_picture_at((470, 302), "the pasted picture at the canvas centre")
        shot = d.screenshot()
        self.assertTrue(colour_close(shot.pixel(*self.at(470, 302 + 70)), CAPTURE_COLOUR),
                        "the picture is 120 high")
        self.assertTrue(colour_close(shot.pixel(*self.at(470 - 110, 302)), CAPTURE_COLOUR),
                        "the picture is 200 wide")

        self.save_edits()
        saved = self.dragged_out_picture((1280, 800))
        # Canvas units are 1280 / 940 pixels: the picture is 272 x 163 around (640, 400).
        self.assertTrue(colour_close(saved.pixel(640 - 68, 400), MAGENTA, 8))
        self.assertTrue(colour_close(saved.pixel(640 + 68, 400), TEAL, 8))
        self.assertTrue(colour_close(saved.pixel(640, 400 + 90), CAPTURE_COLOUR, 4))
        self.assertTrue(colour_close(saved.pixel(640 - 145, 400), CAPTURE_COLOUR, 4))

    def test_a_file_dropped_from_another_program_lands_where_dropped(self):
        if not DRAG_SOURCE:
            self.skipTest("set ORRINVALE_DRAG_SOURCE to the e2e_drag_source program")
        d = self.desktop
        png = self.picture_file()

        # A device is no picture: the drop is refused and nothing changes.
        for path, outcome in (("/dev/zero", "dropped none"), (str(png), "dropped copy")):
            source = self.spawn("drag-source", [DRAG_SOURCE, path, DRAG_SOURCE_TITLE,
                                                "0", "300", "120", "120"])
            window = d.wait_for_window(DRAG_SOURCE_TITLE, wm_class=None)
            self.drag_from_source(source, window.centre, self.at(300, 200))
            wait_until(lambda: outcome in source.log.read_text(errors="replace"), 30,
                       "the drag's outcome: " + outcome)
            self.stop(source)
            wait_until(lambda: not d.find_windows(name=DRAG_SOURCE_TITLE), 20,
                       "the drag source to close")

        self.assert_picture_at((300, 200), "the dropped picture where it was dropped")
        shot = d.screenshot()
        self.assertTrue(colour_close(shot.pixel(*self.at(470, 450)), CAPTURE_COLOUR))
