"""End to end: pictures in the editor. A PNG file copied to the clipboard as a file manager
copies it (text/uri-list) is pasted with Ctrl+V at the canvas's centre and is in the picture
"Save Edits" puts on the stack; a file dragged from another program lands where it is
dropped, and a drag of something that is no image is refused."""

import os
import subprocess
from pathlib import Path

import test_editor
import test_stack
from desktop import DesktopTestCase, Image, colour_close, wait_until

DRAG_SOURCE = os.environ.get("ORRINVALE_DRAG_SOURCE")
DRAG_SOURCE_TITLE = "E2E Drag Source"
MAGENTA = (255, 0, 255)
TEAL = (0, 160, 160)
CAPTURE_COLOUR = test_editor.CAPTURE_COLOUR
# The picture: 200 x 120, magenta on the left, teal on the right.
PICTURE = (200, 120)


class ImagesTest(DesktopTestCase):
    """One capture of a plain screen, opened in the editor; the canvas area is 940 x 604 and
    shows the capture 940 x 587.5, 8.25 below the area's top."""

    desktop_options = {"width": 1280, "height": 800}

    open_editor = test_editor.EditorTest.open_editor
    wait_for_focus = test_editor.EditorTest.wait_for_focus
    at = test_editor.EditorTest.at
    wait_for_canvas = test_editor.EditorTest.wait_for_canvas
    open_receiver = test_stack.StackTest.open_receiver
    close_receiver = test_stack.StackTest.close_receiver
    drag_between = test_stack.StackTest.drag
    drops = staticmethod(test_stack.StackTest.drops)

    def setUp(self):
        super().setUp()
        d = self.desktop
        d.set_root_background(Image.filled(d.width, d.height, CAPTURE_COLOUR),
                              [(100, 100), (600, 400), (900, 700)])
        d.call("TakeScreenshot")
        d.wait_for_property("CaptureCount", 1)
        self.editor = self.open_editor()
        self.content = d.geometry(self.editor.id)
        self.wait_for_focus()
        self.wait_for_canvas()

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
        if not test_stack.RECEIVER:
            self.skipTest("set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
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

        # "Save Edits", then the stack's thumbnail dragged to another program.
        x, y, width, _ = self.content
        d.tool("xdotool", "mousemove", str(x + width - 15 - 30), str(y + 10 + 14), "click", "1")
        wait_until(lambda: not d.is_viewable(self.editor.id), 20, "the editor to close")
        window, output = self.open_receiver(100, 100, 400, 300)
        left = d.width - 270 + 10
        self.drag_between((left + 115, 40 + 40), window.centre)
        wait_until(lambda: len(self.drops(output)) == 1, 30, "the drop")
        url = self.drops(output)[0]["urls"][0]
        data = Path(url[len("file://"):]).read_bytes()
        self.assertEqual(test_stack.png_size(data), (1280, 800))
        ppm = subprocess.run(["convert", "png:-", "-depth", "8", "ppm:-"], input=data,
                             capture_output=True, check=True, timeout=60).stdout
        saved = Image.from_ppm(ppm)
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
            self.drag_between(window.centre, self.at(300, 200))
            wait_until(lambda: outcome in source.log.read_text(errors="replace"), 30,
                       "the drag's outcome: " + outcome)
            self.stop(source)
            wait_until(lambda: not d.find_windows(name=DRAG_SOURCE_TITLE), 20,
                       "the drag source to close")

        self.assert_picture_at((300, 200), "the dropped picture where it was dropped")
        shot = d.screenshot()
        self.assertTrue(colour_close(shot.pixel(*self.at(470, 450)), CAPTURE_COLOUR))
