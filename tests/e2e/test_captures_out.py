"""End to end: getting captures out of the stack. The thumbnail's menu; removing a capture
(the others move up, its editor closes) and emptying the stack from the command line;
copying from the menu, the editor and the command line, read by another program (xclip)
after the editor has closed."""

import json
import os
import shutil
import subprocess
import unittest
from pathlib import Path
from urllib.parse import unquote, urlparse

from desktop import (BUS_NAME, TIME_SCALE, DesktopTestCase, Image, _die_with_parent,
                     colour_close, wait_until)
from test_editor import CAPTURE_COLOUR, RED, EditorTestCase
from test_stack import RECEIVER, DropReceiver, drag_argv, png_size

PROBE_PATH = "/org/orrinvale/Orrinvale/Testing"
PROBE = "org.orrinvale.Orrinvale.Testing"


def read_clipboard(desktop, target):
    """What another program gets from the clipboard as `target`, as bytes."""
    return subprocess.run(["xclip", "-selection", "clipboard", "-t", target, "-o"],
                          env=desktop.env, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=60 * TIME_SCALE, preexec_fn=_die_with_parent,
                          check=True).stdout


def decode_png(data):
    ppm = subprocess.run(["convert", "png:-", "-depth", "8", "ppm:-"], input=data,
                         capture_output=True, check=True, timeout=60).stdout
    return Image.from_ppm(ppm)


def clipboard_picture(test, size):
    """The clipboard's PNG as another program reads it, checked to be `size`, decoded; the
    file-manager form (a file of the same bytes) is checked on the way."""
    desktop = test.desktop
    targets = read_clipboard(desktop, "TARGETS").decode().split()
    test.assertIn("image/png", targets)
    test.assertIn("text/uri-list", targets)
    data = read_clipboard(desktop, "image/png")
    test.assertEqual(png_size(data), size)
    uris = read_clipboard(desktop, "text/uri-list").decode().split()
    test.assertEqual(len(uris), 1, uris)
    test.assertEqual(Path(unquote(urlparse(uris[0]).path)).read_bytes(), data)
    return decode_png(data)

EDITOR_TITLE = "Screenshot Editor"


class StackOfThree(DesktopTestCase):
    """Three captures of three plain screens, then the screen turned grey: the thumbnails
    show blue (newest, on top), green, red on a grey desktop."""

    RED, GREEN, BLUE = (210, 40, 40), (40, 170, 70), (40, 70, 210)
    GREY = (128, 128, 128)
    WIDTH = 230
    TOP_INSET = 40
    SPACING = 15

    def setUp(self):
        super().setUp()
        desktop = self.desktop
        self.left = desktop.width - 270 + 10
        self.height = round(self.WIDTH * desktop.height / desktop.width)
        for count, colour in enumerate((self.RED, self.GREEN, self.BLUE), start=1):
            self.set_screen(colour)
            desktop.call("TakeScreenshot")
            desktop.wait_for_property("CaptureCount", count)
        self.set_screen(self.GREY)
        self.wait_for_thumbnails([self.BLUE, self.GREEN, self.RED])

    def set_screen(self, colour):
        desktop = self.desktop
        desktop.set_root_background(Image.filled(desktop.width, desktop.height, colour),
                                    [(200, 200), (600, 300)])

    def thumbnail_centre(self, index):
        top = self.TOP_INSET + index * (self.height + self.SPACING)
        return self.left + self.WIDTH // 2, top + self.height // 2

    def wait_for_thumbnails(self, colours):
        """Waits until the stack shows thumbnails of `colours`, top down, and grey below."""
        def shown():
            shot = self.desktop.screenshot()
            expected = list(colours) + [self.GREY]
            return all(colour_close(shot.pixel(*self.thumbnail_centre(i)), colour)
                       for i, colour in enumerate(expected))

        wait_until(shown, 30, "the stack to show %r" % (colours,), interval=0.2)

    def open_menu(self, index):
        """Right-clicks thumbnail `index`; returns the menu window that opens."""
        x, y = self.thumbnail_centre(index)
        self.desktop.tool("xdotool", "mousemove", str(x), str(y), "click", "3")
        menus = wait_until(self.desktop.open_popup_menus, 30, "the thumbnail's menu",
                           interval=0.1)
        return menus[0]

    def choose_last_item(self):
        # Up from no selection wraps to the last item, whatever the menu holds above it.
        self.desktop.key("Up", "Return")
        wait_until(lambda: not self.desktop.open_popup_menus(), 30, "the menu to close")


class RemoveTest(DropReceiver, StackOfThree):

    def test_remove_from_the_menu_moves_the_others_up_and_closes_its_editor(self):
        desktop = self.desktop
        x, y = self.thumbnail_centre(1)
        desktop.tool("xdotool", "mousemove", str(x), str(y), "click", "1")
        editor = desktop.wait_for_window(EDITOR_TITLE)

        self.open_menu(1)
        self.choose_last_item()

        desktop.wait_for_property("CaptureCount", 2)
        self.wait_for_thumbnails([self.BLUE, self.RED])
        wait_until(lambda: not desktop.is_viewable(editor.id), 30,
                   "the editor of the removed capture to close")

    @unittest.skipUnless(RECEIVER, "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
    def test_right_click_beside_the_thumbnails_reaches_the_window_below(self):
        desktop = self.desktop
        _, below_top = self.thumbnail_centre(3)
        window, output = self.open_receiver(self.left - 30, below_top - 50, 290, 200)
        x, y = self.left + self.WIDTH // 2, below_top
        desktop.tool("xdotool", "mousemove", str(x), str(y), "click", "3")

        wait_until(lambda: output.exists() and "press" in output.read_text(), 20,
                   "the window below the panel to get the right click")
        self.assertEqual(desktop.open_popup_menus(), [])

    def test_clear_empties_the_stack(self):
        result = self.desktop.run("--clear")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.desktop.wait_for_property("CaptureCount", 0)
        self.wait_for_thumbnails([])
        self.desktop.call("TakeScreenshot")
        self.desktop.wait_for_property("CaptureCount", 1)


class CopyFromTheStackTest(StackOfThree):

    def test_copy_from_the_menu_gives_that_capture(self):
        desktop = self.desktop
        self.open_menu(1)
        desktop.key("Down", "Down", "Return")  # Edit, Copy

        picture = wait_until(lambda: clipboard_picture(self, (desktop.width, desktop.height)),
                             30, "the clipboard to hold the capture")
        for point in [(5, 5), (640, 400), (1270, 790)]:
            self.assertTrue(colour_close(picture.pixel(*point), self.GREEN), point)

    def test_copy_from_the_command_line_gives_the_newest(self):
        desktop = self.desktop
        result = desktop.run("--copy")

        self.assertEqual(result.returncode, 0, result.stderr)
        picture = clipboard_picture(self, (desktop.width, desktop.height))
        self.assertTrue(colour_close(picture.pixel(640, 400), self.BLUE))
        desktop.run("--clear")
        desktop.wait_for_property("CaptureCount", 0)
        empty = desktop.run("--copy")
        self.assertEqual(empty.returncode, 1)
        self.assertIn("Nothing to copy: the stack is empty.", empty.stderr)
        # The earlier copy stays.
        self.assertTrue(colour_close(
            clipboard_picture(self, (desktop.width, desktop.height)).pixel(640, 400),
            self.BLUE))


class CopyFromTheEditorTest(EditorTestCase):
    """Ctrl+C and the "Copy" button copy the picture as "Save Edits" would render it, and the
    editor stays open; the copy outlives the editor."""

    def draw_stroke(self):
        d = self.desktop
        d.key("d")  # the pen
        (x0, y0), (x1, y1) = self.at(200, 150), self.at(600, 150)
        args = ["xdotool", "mousemove", str(x0), str(y0), "mousedown", "1"]
        for i in range(1, 21):
            args += ["mousemove", str(x0 + (x1 - x0) * i // 20), str(y0)]
        d.tool(*args, "mouseup", "1")
        wait_until(lambda: colour_close(d.screenshot().pixel(*self.at(400, 150)), RED), 20,
                   "the stroke to show")

    def copy_button(self):
        reply = self.desktop.tool("dbus-send", "--session", "--print-reply=literal",
                                  "--dest=" + BUS_NAME, PROBE_PATH, PROBE + ".DescribeWindow",
                                  "string:Screenshot Editor")
        item = next(i for i in json.loads(reply)["items"] if i["path"] == "toolbar/copyButton")
        return (self.content[0] + round(item["x"] + item["width"] / 2),
                self.content[1] + round(item["y"] + item["height"] / 2))

    def assert_copied_with_stroke(self):
        d = self.desktop
        picture = wait_until(lambda: clipboard_picture(self, (d.width, d.height)), 30,
                             "the clipboard to hold the rendered picture")
        row = [picture.pixel(x, y) for y in range(picture.height // 8, picture.height // 3, 2)
               for x in range(0, picture.width, 8)]
        self.assertGreater(sum(colour_close(p, RED, 40) for p in row), 20, "the stroke")
        # Away from the stroke (and from the tray at the screen's edge) the capture shows.
        self.assertTrue(colour_close(picture.pixel(100, picture.height * 3 // 4), CAPTURE_COLOUR))

    def test_ctrl_c_copies_the_rendered_picture_which_outlives_the_editor(self):
        d = self.desktop
        self.draw_stroke()

        d.key("ctrl+c")
        self.assert_copied_with_stroke()
        self.assertTrue(d.is_viewable(self.editor.id), "the editor stays open")
        d.key("Escape")
        wait_until(lambda: not d.is_viewable(self.editor.id), 20, "the editor to close")

        self.assert_copied_with_stroke()
        self.assertEqual(d.get_property("CaptureCount"), 1)

    def test_the_copy_button_copies_and_the_editor_stays(self):
        d = self.desktop
        self.draw_stroke()
        x, y = self.copy_button()

        d.tool("xdotool", "mousemove", str(x), str(y), "click", "1")

        self.assert_copied_with_stroke()
        self.assertTrue(d.is_viewable(self.editor.id), "the editor stays open")


class SaveTest(StackOfThree):
    """--save to a path, to standard output and to the save folder (by default
    ~/Pictures/Screenshots, made on the first save) under the name pattern; saves into a full
    and a read-only folder fail in one line and leave nothing."""

    # No time fields: two saves always compete for one name (the fields have unit tests).
    PATTERN = "Shot"

    def setUp(self):
        config = self.desktop.config_home / "Orrinvale" / "Orrinvale.conf"
        config.parent.mkdir(parents=True, exist_ok=True)
        config.write_text("[General]\nnamePattern=%s\n" % self.PATTERN)
        super().setUp()

    def decoded_file(self, path):
        data = Path(path).read_bytes()
        self.assertEqual(png_size(data), (self.desktop.width, self.desktop.height))
        return decode_png(data)

    def test_save_to_a_path_and_to_standard_output(self):
        desktop = self.desktop
        path = desktop.root / "out" / "newest.png"
        path.parent.mkdir()

        result = desktop.run("--save", str(path))

        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "Saved %s\n" % path)
        self.assertTrue(colour_close(self.decoded_file(path).pixel(640, 400), self.BLUE))
        output = subprocess.run([desktop.binary, "--save", "-"], env=desktop.env,
                                stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=60 * TIME_SCALE, preexec_fn=_die_with_parent)
        self.assertEqual(output.returncode, 0, output.stderr)
        self.assertEqual(png_size(output.stdout), (desktop.width, desktop.height))
        self.assertTrue(colour_close(decode_png(output.stdout).pixel(640, 400), self.BLUE))
        self.assertIn("Saved %s" % path, self.app.stdout())

    def test_save_to_the_folder_under_the_pattern_never_replaces(self):
        desktop = self.desktop
        folder = desktop.home / "Pictures" / "Screenshots"
        # Save As, tested on the same desktop, makes the folder before it opens there.
        shutil.rmtree(folder, ignore_errors=True)

        first = desktop.run("--save")
        second = desktop.run("--save")

        self.assertEqual(first.returncode, 0, first.stderr)
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertEqual(first.stdout, "Saved %s\n" % (folder / "Shot.png"))
        self.assertEqual(second.stdout, "Saved %s\n" % (folder / "Shot (2).png"))
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["Shot (2).png", "Shot.png"])
        for name in ("Shot.png", "Shot (2).png"):
            self.assertTrue(colour_close(self.decoded_file(folder / name).pixel(640, 400),
                                         self.BLUE))

    def test_save_as_from_the_menu_writes_the_file_named_in_a_chooser_of_its_own(self):
        desktop = self.desktop
        self.open_menu(1)
        desktop.key(*["Down"] * 5, "Return")  # Edit, Copy, Copy Text, Save, Save As...

        chooser = desktop.wait_for_window("Save As")
        # A name typed over the one suggested is the file written, in the format it names.
        path = Path(desktop.root) / "chosen.jpg"
        desktop.tool("xdotool", "windowactivate", "--sync", str(chooser.id), check=False)
        desktop.key("ctrl+a")
        desktop.tool("xdotool", "type", "--delay", "20", str(path))
        desktop.key("Return")
        wait_until(lambda: path.exists(), 30, "the file named in the chooser")
        with open(path, "rb") as written:
            self.assertEqual(written.read(3), b"\xff\xd8\xff")
        wait_until(lambda: "Saved %s" % path in self.app.stdout(), 20, "the line saying so")

    def small_folder(self, options):
        if os.geteuid() != 0:
            self.skipTest("mounting a small file system needs root")
        mount = Path(self.desktop.root) / ("small-%d" % len(list(self.desktop.root.iterdir())))
        mount.mkdir()
        subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", str(mount)], check=True)
        self.addCleanup(subprocess.run, ["umount", str(mount)], check=True)
        return mount

    def assert_save_fails(self, folder, cause, keep):
        path = folder / "out.png"
        result = self.desktop.run("--save", str(path))
        self.assertEqual(result.returncode, 1)
        line = "Save failed: cannot write in %s: %s" % (folder, cause)
        self.assertIn(line, result.stderr)
        wait_until(lambda: line in self.app.stdout(), 20, "the instance's line")
        self.assertEqual(sorted(p.name for p in folder.iterdir()), keep)
        self.assertEqual(self.desktop.get_property("CaptureCount"), 3)

    def test_a_full_or_read_only_folder_leaves_no_partial_file(self):
        full = self.small_folder("size=64k")
        with self.assertRaises(OSError):
            with open(full / "filler", "wb") as filler:
                while True:
                    filler.write(b"x" * 4096)
                    filler.flush()
        self.assert_save_fails(full, "No space left on device", ["filler"])
        read_only = self.small_folder("ro,size=1m")
        self.assert_save_fails(read_only, "Read-only file system", [])


class SaveFolderChoiceTest(DesktopTestCase):
    """The settings' "Choose..." beside the save folder: the desktop's folder chooser, and
    the folder picked there is where captures are saved."""

    def test_the_folder_picked_in_the_chooser_becomes_the_save_folder(self):
        desktop = self.desktop
        chosen = Path(desktop.root) / "picked"
        chosen.mkdir()
        desktop.open_tray_menu(1)
        desktop.key("Down", "Down", "Down", "Down", "Return")  # "Settings..."
        window = desktop.wait_for_window("Settings")
        x, y, width, _ = desktop.geometry(window.id)
        desktop.tool("xdotool", "mousemove", str(x + width * 3 // 4), str(y + 10), "click", "1")
        # "Choose..." ends the folder's row, 20 points in from the window's right edge.
        desktop.tool("xdotool", "mousemove", str(x + width - 55), str(y + 192), "click", "1")

        chooser = desktop.wait_for_window("Choose Folder")
        desktop.tool("xdotool", "windowactivate", "--sync", str(chooser.id), check=False)
        desktop.key("ctrl+a")
        desktop.tool("xdotool", "type", "--delay", "20", str(chosen))
        desktop.key("Return")
        desktop.run("--take-screenshot")
        desktop.wait_for_property("CaptureCount", 1)

        result = desktop.run("--save")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual([p.parent for p in chosen.iterdir()], [chosen])


class PinTest(StackOfThree):
    """A pin: on top, on every workspace, the capture at its natural size; the wheel zooms it;
    Escape closes it; removing its capture closes it too."""

    TITLE = "Orrinvale Pin"

    def open_pin(self, index):
        self.open_menu(index)
        self.desktop.key(*["Down"] * 6, "Return")  # Edit, Copy, Copy Text, Save, Save As, Pin
        return self.desktop.wait_for_window(self.TITLE)

    def test_pin_is_on_top_zooms_and_closes(self):
        desktop = self.desktop
        pin = self.open_pin(1)

        wait_until(lambda: desktop.geometry(pin.id)[2:] == (desktop.width, desktop.height), 20,
                   "the pin at the capture's natural size")
        self.assertIn("_NET_WM_STATE_ABOVE", desktop.window_atoms(pin.id, "_NET_WM_STATE"))
        self.assertEqual(desktop.window_property(pin.id, "_NET_WM_DESKTOP"), "4294967295")
        x, y, _, _ = desktop.geometry(pin.id)
        desktop.tool("xdotool", "mousemove", str(max(x, 0) + 20), str(max(y, 0) + 20),
                     "click", "5")
        smaller = (round(desktop.width / 1.1), round(desktop.height / 1.1))
        wait_until(lambda: abs(desktop.geometry(pin.id)[2] - smaller[0]) <= 1, 20,
                   "the pin to zoom out one notch")
        desktop.tool("xdotool", "windowactivate", "--sync", str(pin.id), check=False)
        desktop.key("Escape")
        wait_until(lambda: not desktop.is_viewable(pin.id), 20, "the pin to close")
        self.assertEqual(desktop.get_property("CaptureCount"), 3)

    def test_removing_the_capture_closes_its_pin(self):
        desktop = self.desktop
        pin = self.open_pin(0)

        desktop.run("--clear")

        wait_until(lambda: not desktop.is_viewable(pin.id), 20, "the pin to close")


# openbox without its Alt+drag binding, which moves a window wherever it is grabbed (and so
# takes the Alt-drag out of a pin for itself); a press still focuses and raises.
PLAIN_OPENBOX = Path(__file__).with_name("openbox-no-alt-drag.xml")


@unittest.skipUnless(RECEIVER, "set ORRINVALE_DROP_RECEIVER to the e2e_drop_receiver program")
class PinOpacityAndDragOutTest(DropReceiver, StackOfThree):
    """A pin's Ctrl+wheel and its Alt-drag out, on a desktop whose window manager leaves
    Alt+drag to the programs."""

    desktop_options = {"openbox_config": PLAIN_OPENBOX}
    TITLE = PinTest.TITLE
    open_pin = PinTest.open_pin

    def opacity(self, pin):
        """The window's opacity as the window manager reads it; 1 when unset (opaque)."""
        value = self.desktop.window_property(pin.id, "_NET_WM_WINDOW_OPACITY")
        return int(value) / 0xFFFFFFFF if value is not None else 1.0

    def wheel(self, pin, button, notches, *modifiers):
        x, y, _, _ = self.desktop.geometry(pin.id)
        argv = ["xdotool", "mousemove", str(max(x, 0) + 20), str(max(y, 0) + 20)]
        argv += [a for m in modifiers for a in ("keydown", m)]
        argv += ["click", "--repeat", str(notches), "--delay", "30", str(button)]
        argv += [a for m in modifiers for a in ("keyup", m)]
        self.desktop.tool(*argv)

    def test_ctrl_wheel_sets_the_opacity_within_its_bounds_and_leaves_the_zoom(self):
        desktop = self.desktop
        pin = self.open_pin(1)
        wait_until(lambda: desktop.geometry(pin.id)[2] == desktop.width, 20,
                   "the pin at the capture's natural size")
        self.assertEqual(self.opacity(pin), 1.0)

        self.wheel(pin, 5, 3, "ctrl")
        wait_until(lambda: abs(self.opacity(pin) - 0.85) < 0.001, 20, "85% opacity")
        self.wheel(pin, 5, 30, "ctrl")
        wait_until(lambda: abs(self.opacity(pin) - 0.2) < 0.001, 20, "the floor of 20%")
        self.wheel(pin, 4, 40, "ctrl")
        wait_until(lambda: self.opacity(pin) == 1.0, 20, "fully opaque again")
        self.assertEqual(desktop.geometry(pin.id)[2], desktop.width)

    def test_alt_drag_out_of_a_pin_gives_a_png_file_of_its_capture(self):
        desktop = self.desktop
        pin = self.open_pin(1)
        # Ten notches smaller, the pin leaves room for the receiver beside it.
        self.wheel(pin, 5, 10)
        small = round(desktop.width / 1.1 ** 10)
        wait_until(lambda: abs(desktop.geometry(pin.id)[2] - small) <= 2, 20,
                   "the pin to zoom out")
        x, y, _, _ = desktop.geometry(pin.id)
        start = (max(x, 0) + 30, max(y, 0) + 30)
        _, output = self.open_receiver(20, 420, 400, 300)

        self.desktop.tool("xdotool", "keydown", "alt",
                          *drag_argv(start, (220, 570))[1:], "keyup", "alt", timeout=60)

        drops = wait_until(lambda: self.drops(output), 30, "the drop from the pin")
        self.assertEqual(len(drops[0]["urls"]), 1, drops)
        data = Path(unquote(urlparse(drops[0]["urls"][0]).path)).read_bytes()
        self.assertEqual(png_size(data), (desktop.width, desktop.height))
        picture = decode_png(data)
        self.assertTrue(colour_close(picture.pixel(640, 400), self.GREEN))
        # The pin stayed where it was: the drag took the capture out, not the window.
        self.assertEqual(desktop.geometry(pin.id)[:2], (x, y))


if __name__ == "__main__":
    unittest.main()
