"""End to end: the stack panel with captures on it. Thumbnails at their places, drawn alone
(no black panel without a compositor), hidden and shown again, a click that opens the editor
on that capture, clicks beside them reaching the window below, and drags that hand another
program a private PNG file of the capture."""

import hashlib
import os
import re
import shutil
import stat
import subprocess
import unittest
from pathlib import Path

from desktop import (TIME_SCALE, DesktopTestCase, Image, colour_close, wait_until)

RECEIVER = os.environ.get("ORRINVALE_DROP_RECEIVER")
RECEIVER_TITLE = "E2E Drop Receiver"
FILE_NAME = re.compile(r"^Screenshot-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-"
                       r"[0-9A-F]{12}\.png$")


def png_size(data):
    """(width, height) from a PNG's IHDR; fails unless `data` starts like a PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise AssertionError("not a PNG: %r" % data[:16])
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def drag_argv(start, end, steps=40, pause=0.02):
    """xdotool's arguments to press at `start`, move there in small steps and release: a drag
    the X server and both programs see as a user's."""
    argv = ["xdotool", "mousemove", str(start[0]), str(start[1]), "sleep", "0.2",
            "mousedown", "1", "sleep", "0.1"]
    for step in range(1, steps + 1):
        argv += ["mousemove", str(start[0] + (end[0] - start[0]) * step // steps),
                 str(start[1] + (end[1] - start[1]) * step // steps),
                 "sleep", "%.3f" % (pause * TIME_SCALE)]
    return argv + ["sleep", "0.3", "mouseup", "1"]


class DropReceiver:
    """Another program's window to drop on and click through to, for desktop test cases."""

    def open_receiver(self, x, y, width, height):
        """Another program's window that records presses and drops into a file."""
        output = self.desktop.root / ("receiver-%d-%d.txt" % (x, y))
        # The desktop outlives a test: an earlier test's drops are not this one's.
        output.unlink(missing_ok=True)
        child = self.desktop._spawn("receiver", [RECEIVER, str(output), RECEIVER_TITLE,
                                                 str(x), str(y), str(width), str(height)])
        window = self.desktop.wait_for_window(RECEIVER_TITLE, wm_class=None)
        self.addCleanup(self.close_receiver, child)
        return window, output

    def close_receiver(self, child):
        self.desktop._stop(child.popen)
        self.desktop._children.remove(child)

    def drag_between(self, start, end):
        self.desktop.tool(*drag_argv(start, end), timeout=60)

    @staticmethod
    def drops(output):
        """Each drop the receiver recorded: {"urls": [...], "png": (size, sha1) or None}."""
        if not output.exists():
            return []
        found = []
        for block in re.findall(r"^drop\n(.*?)^end\n", output.read_text(), re.S | re.M):
            urls = re.findall(r"^url (\S+)$", block, re.M)
            png = re.search(r"^png (\d+) ([0-9a-f]+)$", block, re.M)
            found.append({"urls": urls,
                          "png": (int(png.group(1)), png.group(2)) if png else None})
        return found


@unittest.skipUnless(RECEIVER, "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
class StackTest(DropReceiver, DesktopTestCase):
    """Three captures of three plain screens, then the screen turned grey: the thumbnails
    show red (oldest), green, blue (newest, on top) on a grey desktop."""

    RED, GREEN, BLUE = (210, 40, 40), (40, 170, 70), (40, 70, 210)
    GREY = (128, 128, 128)
    WIDTH = 230
    LEFT_INSET = 10   # inside the 250-wide panel
    TOP_INSET = 40
    SPACING = 15

    def setUp(self):
        super().setUp()
        desktop = self.desktop
        self.left = desktop.width - 270 + self.LEFT_INSET
        self.height = round(self.WIDTH * desktop.height / desktop.width)
        for count, colour in enumerate((self.RED, self.GREEN, self.BLUE), start=1):
            self.set_screen(colour)
            desktop.call("TakeScreenshot")
            desktop.wait_for_property("CaptureCount", count)
        self.set_screen(self.GREY)
        # Newest first.
        self.thumbnails = [(self.BLUE, self.top(0)), (self.GREEN, self.top(1)),
                           (self.RED, self.top(2))]
        self.wait_for_stack(shown=True)

    def top(self, index):
        return self.TOP_INSET + index * (self.height + self.SPACING)

    def set_screen(self, colour):
        desktop = self.desktop
        desktop.set_root_background(Image.filled(desktop.width, desktop.height, colour),
                                    [(200, 200), (600, 300)])

    def stack_points(self):
        """(point, expected colour) around and inside every thumbnail: its edges two pixels
        in and out, and the panel's empty parts."""
        points = []
        middle_x = self.left + self.WIDTH // 2
        for colour, top in self.thumbnails:
            middle_y = top + self.height // 2
            points += [
                ((self.left + 2, middle_y), colour), ((self.left - 3, middle_y), self.GREY),
                ((self.left + self.WIDTH - 3, middle_y), colour),
                ((self.left + self.WIDTH + 2, middle_y), self.GREY),
                ((middle_x, top + 2), colour), ((middle_x, top - 3), self.GREY),
                ((middle_x, top + self.height - 3), colour),
                ((middle_x, top + self.height + 3), self.GREY),
                ((self.left + 15, top + 20), colour),
            ]
        # Below the last thumbnail the panel is empty down to the screen's bottom.
        points.append(((middle_x, self.top(3) + 40), self.GREY))
        return points

    def wait_for_stack(self, shown):
        last = []

        def matches():
            shot = self.desktop.screenshot()
            last[:] = []
            for point, colour in self.stack_points():
                wanted = colour if shown else self.GREY
                seen = shot.pixel(*point)
                if not colour_close(seen, wanted):
                    last.append("%r: %r, wanted %r" % (point, seen, wanted))
            return not last

        try:
            wait_until(matches, 30, "the stack to be %s" % ("shown" if shown else "hidden"),
                       interval=0.2)
        except AssertionError:
            path = self.desktop.log_dir / "stack.ppm"
            self.desktop.screenshot().save(path)
            self.fail("the stack differs (screen saved to %s):\n%s" % (path, "\n".join(last)))

    def thumbnail_centre(self, index):
        return self.left + self.WIDTH // 2, self.top(index) + self.height // 2

    def decoded_pixel(self, path, x, y):
        ppm = subprocess.run(["convert", "png:" + str(path), "-depth", "8", "ppm:-"],
                             capture_output=True, check=True, timeout=60).stdout
        return Image.from_ppm(ppm).pixel(x, y)

    # -- the tests -----------------------------------------------------------------------

    def test_thumbnails_drawn_alone_then_hidden_and_shown_again(self):
        # setUp waited for every edge: 230 wide, 10 in, 40 from the top, 15 apart, and the
        # panel's empty parts showing the grey desktop (no black block, no compositor here).
        shot = self.desktop.screenshot()
        self.assertTrue(colour_close(shot.pixel(self.left + 2, 40 + 2), self.GREY),
                        "the thumbnail's corner is rounded off")
        below_first = (self.left + self.WIDTH // 2, self.top(0) + self.height + 1)
        self.assertTrue(colour_close(shot.pixel(*below_first), self.GREY, 4),
                        "no shadow is drawn without a compositor")

        self.desktop.call("ToggleStack")
        self.desktop.wait_for_property("StackVisible", False)
        self.wait_for_stack(shown=False)
        self.desktop.call("ToggleStack")
        self.desktop.wait_for_property("StackVisible", True)
        self.wait_for_stack(shown=True)

    def test_click_opens_the_editor_on_that_capture(self):
        desktop = self.desktop
        x, y = self.thumbnail_centre(1)
        # Two quick clicks: still one editor, on the second capture (green).
        desktop.tool("xdotool", "mousemove", str(x), str(y), "click", "--repeat", "2",
                     "--delay", "80", "1")
        editor = desktop.wait_for_window("Screenshot Editor")

        def shows_green():
            ex, ey, width, height = desktop.geometry(editor.id)
            shot = desktop.screenshot()
            counts = {self.RED: 0, self.GREEN: 0, self.BLUE: 0}
            total = 0
            for py in range(ey + 5, ey + height - 5, 12):
                for px in range(max(ex, 0), min(ex + width, desktop.width), 12):
                    if self.left - 5 <= px <= self.left + self.WIDTH + 5:
                        continue  # the panel stays above the editor
                    total += 1
                    pixel = shot.pixel(px, py)
                    for colour in counts:
                        if colour_close(pixel, colour, 30):
                            counts[colour] += 1
            return (counts[self.GREEN] > total // 4 and counts[self.RED] < total // 50
                    and counts[self.BLUE] < total // 50)

        wait_until(shows_green, 30, "the editor to show the second capture (green)",
                   interval=0.3)
        self.assertEqual(len([w for w in desktop.find_windows(name="Screenshot Editor",
                                                              wm_class="orrinvale")
                              if desktop.is_viewable(w.id)]), 1)

    def test_click_beside_the_thumbnails_reaches_the_window_below(self):
        # Under the panel's empty lower part; the panel stays above it.
        below_top = self.top(3) + 20
        window, output = self.open_receiver(self.left - 30, below_top, 290, 200)
        x, y = self.left + self.WIDTH // 2, below_top + 100
        self.desktop.tool("xdotool", "mousemove", str(x), str(y), "click", "1")

        def pressed():
            text = output.read_text() if output.exists() else ""
            return re.search(r"^press (\d+) (\d+)$", text, re.M)

        press = wait_until(pressed, 20, "the window below the panel to get the click")
        wx, wy, _, _ = self.desktop.geometry(window.id)
        self.assertEqual((int(press.group(1)), int(press.group(2))), (x - wx, y - wy))

    def test_drags_give_private_png_files_of_the_capture(self):
        desktop = self.desktop
        window, output = self.open_receiver(100, 100, 400, 300)
        target = window.centre

        self.drag_between(self.thumbnail_centre(1), target)
        wait_until(lambda: len(self.drops(output)) == 1, 30, "the first drop")
        self.drag_between(self.thumbnail_centre(1), target)
        wait_until(lambda: len(self.drops(output)) == 2, 30, "the second drop")

        folder = desktop.tmp_dir / ("orrinvale-%d" % os.geteuid())
        self.assertEqual(stat.S_IMODE(os.lstat(folder).st_mode), 0o700)
        paths = []
        for drop in self.drops(output):
            self.assertEqual(len(drop["urls"]), 1, drop)
            url = drop["urls"][0]
            self.assertTrue(url.startswith("file://"), url)
            path = Path(url[len("file://"):])
            paths.append(path)
            self.assertEqual(path.parent, folder)
            self.assertRegex(path.name, FILE_NAME)
            info = os.lstat(path)
            self.assertTrue(stat.S_ISREG(info.st_mode))
            self.assertEqual(stat.S_IMODE(info.st_mode), 0o600)
            data = path.read_bytes()
            self.assertEqual(png_size(data), (desktop.width, desktop.height))
            # The image/png data the receiver also took is the file's bytes.
            self.assertEqual(drop["png"], (len(data), hashlib.sha1(data).hexdigest()))
            self.assertTrue(colour_close(self.decoded_pixel(path, 300, 300), self.GREEN, 4))
        self.assertNotEqual(paths[0], paths[1])
        self.assertEqual(sorted(p.name for p in folder.iterdir()),
                         sorted(p.name for p in paths))
        self.assertNotIn("Drag-out failed", self.app.stdout())


@unittest.skipUnless(shutil.which("xcompmgr"), "xcompmgr (a compositing manager) is not installed")
class CompositedStackTest(DesktopTestCase):
    """With a compositing manager the panel is truly transparent: the window below shows
    through its empty parts unchanged, and the thumbnails' soft shadow falls on it."""

    BACKDROP = (220, 220, 220)

    def test_empty_parts_show_the_window_below_and_the_shadow_falls_on_it(self):
        desktop = self.desktop
        compositor = desktop._spawn("xcompmgr", ["xcompmgr"])
        self.addCleanup(lambda: (desktop._stop(compositor.popen),
                                 desktop._children.remove(compositor)))
        left = desktop.width - 270
        backdrop = desktop.open_plain_window("E2E Backdrop", left - 40, 0, 330, 600,
                                             self.BACKDROP)
        self.addCleanup(desktop.close_plain_window, backdrop)
        desktop.call("TakeScreenshot")
        desktop.wait_for_property("CaptureCount", 1)
        height = round(230 * desktop.height / desktop.width)
        middle = left + 10 + 115
        below_thumbnail = (middle, 40 + height + 3)
        empty = (middle, 40 + height + 150)

        def composited():
            shot = desktop.screenshot()
            shadow = shot.pixel(*below_thumbnail)
            darker = all(90 < s < b - 10 for s, b in zip(shadow, self.BACKDROP))
            return darker and colour_close(shot.pixel(*empty), self.BACKDROP, 4)

        wait_until(composited, 30, "the backdrop to show through the empty panel, shadowed "
                   "under the thumbnail", interval=0.3)


if __name__ == "__main__":
    unittest.main()
