"""End to end: Copy Text. Known lines of text are drawn on the virtual screen and captured;
the stack's menu, the editor's button, the command line and D-Bus each put the text on the
clipboard, where another program (xclip) reads it as plain text, close to what was drawn.
A capture of a screen with no text says so and leaves the clipboard as it was."""

import difflib
import json
import subprocess
import unittest

from desktop import (BUS_NAME, EDITOR_TITLE, INTERFACE, OBJECT_PATH, TIME_SCALE,
                     DesktopTestCase, Image, WaitTimeout, _die_with_parent, wait_until)

PROBE_PATH = "/org/orrinvale/Orrinvale/Testing"
PROBE = "org.orrinvale.Orrinvale.Testing"
GROUND = (244, 244, 244)
LINES = ["Copy Text reads what the screen shows.",
         "Invoice 2041 is due on March 14, 2027.",
         "Connect to server 10.0.0.7 and press OK."]
# Text read from a screen may differ from the drawn text in a character or two.
SIMILARITY = 0.95


def read_clipboard_text(desktop):
    result = subprocess.run(["xclip", "-selection", "clipboard", "-t", "UTF8_STRING", "-o"],
                            env=desktop.env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=60 * TIME_SCALE, preexec_fn=_die_with_parent)
    return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None


def similarity(got, expected):
    return difflib.SequenceMatcher(None, " ".join(got.split()), " ".join(expected.split())).ratio()


class CopyTextTestCase(DesktopTestCase):
    desktop_options = {"width": 1280, "height": 800}

    def show_text(self):
        """Dark text on the light ground, at 16 pixels, in the screen's left half."""
        d = self.desktop
        command = ["convert", "-size", "%dx%d" % (d.width, d.height), "xc:rgb%s" % (GROUND,),
                   "-font", "DejaVu-Sans", "-pointsize", "16", "-fill", "rgb(30,30,30)"]
        for i, line in enumerate(LINES):
            command += ["-annotate", "+80+%d" % (120 + 40 * i), line]
        ppm = subprocess.run(command + ["-depth", "8", "ppm:-"], capture_output=True,
                             check=True, timeout=60).stdout
        d.set_root_background(Image.from_ppm(ppm), [(20, 20), (600, 600)])

    def show_no_text(self):
        d = self.desktop
        d.set_root_background(Image.filled(d.width, d.height, GROUND), [(20, 20), (600, 600)])

    def capture(self, count=1):
        self.desktop.call("TakeScreenshot")
        self.desktop.wait_for_property("CaptureCount", count)

    def put_on_clipboard(self, text):
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(),
                       env=self.desktop.env, timeout=60, preexec_fn=_die_with_parent,
                       check=True)
        wait_until(lambda: read_clipboard_text(self.desktop) == text, 30,
                   "xclip to hold the clipboard")

    def wait_for_text(self):
        """The clipboard's text once it is the text drawn; fails with what it holds."""
        expected = "\n".join(LINES)
        got = wait_until(
            lambda: (lambda t: t if t and similarity(t, expected) >= SIMILARITY else None)(
                read_clipboard_text(self.desktop)),
            120, "the clipboard to hold the text drawn", interval=0.5)
        self.assertEqual(len(got.strip().splitlines()), len(LINES), got)
        return got

    def wait_for_line(self, line):
        return wait_until(lambda: line in self.app.stdout(), 120, "the line %r" % line,
                          interval=0.2)


class CopyTextTest(CopyTextTestCase):

    def test_copy_text_from_the_stacks_menu(self):
        d = self.desktop
        self.show_text()
        self.capture()
        x, y = d.width - 270 + 10 + 115, 40 + 20

        def menu_after_a_right_click():
            # The thumbnail slides in after CaptureCount moves: a click before it is there
            # reaches the desktop, so it is made again until the menu opens.
            d.tool("xdotool", "mousemove", str(x), str(y), "click", "3")
            try:
                return wait_until(d.open_popup_menus, 2, "the menu", interval=0.1)
            except WaitTimeout:
                return None

        wait_until(menu_after_a_right_click, 60, "the thumbnail's menu", interval=0.5)

        d.key("Down", "Down", "Down", "Return")  # Edit, Copy, Copy Text

        got = self.wait_for_text()
        self.wait_for_line("Copied %d characters of text." % len(got))

    def test_command_line_and_dbus_give_the_text_and_no_text_says_so(self):
        d = self.desktop
        self.show_text()
        self.capture()

        result = d.run("--copy-text", timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        got = self.wait_for_text()
        self.assertIn("Copied %d characters of text." % len(got), result.stdout)
        answer = d.tool("dbus-send", "--session", "--print-reply=literal",
                        "--reply-timeout=%d" % (120000 * TIME_SCALE), "--dest=" + BUS_NAME,
                        OBJECT_PATH, INTERFACE + ".CopyTextOfLatest", timeout=120)
        self.assertEqual(answer.split(), got.split())

        self.show_no_text()
        self.capture(2)
        self.put_on_clipboard("kept")
        result = d.run("--copy-text", timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("No text found in the capture.", result.stdout)
        self.wait_for_line("No text found in the capture.")
        self.assertEqual(read_clipboard_text(d), "kept")


class CopyTextFromTheEditorTest(CopyTextTestCase):

    def open_editor(self):
        return self.desktop.open_editor_from_thumbnail()

    def button(self, editor, name):
        content = self.desktop.geometry(editor.id)

        def described():
            reply = self.desktop.tool("dbus-send", "--session", "--print-reply=literal",
                                      "--dest=" + BUS_NAME, PROBE_PATH, PROBE + ".DescribeWindow",
                                      "string:" + EDITOR_TITLE)
            return next((i for i in json.loads(reply)["items"]
                         if i["path"] == "toolbar/" + name and i["width"] > 0), None)

        item = wait_until(described, 30, "the editor's %s" % name, interval=0.2)
        return (content[0] + round(item["x"] + item["width"] / 2),
                content[1] + round(item["y"] + item["height"] / 2))

    def test_the_copy_text_button_reads_the_picture_and_the_editor_stays(self):
        d = self.desktop
        self.show_text()
        self.capture()
        editor = self.open_editor()
        x, y = self.button(editor, "copyTextButton")

        d.tool("xdotool", "mousemove", str(x), str(y), "click", "1")

        got = self.wait_for_text()
        self.wait_for_line("Copied %d characters of text." % len(got))
        self.assertTrue(d.is_viewable(editor.id), "the editor stays open")


if __name__ == "__main__":
    unittest.main()
