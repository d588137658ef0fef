"""End to end: getting captures out of the stack. The thumbnail's menu, removing a capture
(the others move up, its editor closes) and emptying the stack from the command line."""

import unittest

from desktop import DesktopTestCase, Image, colour_close, wait_until
from test_stack import RECEIVER, DropReceiver

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


if __name__ == "__main__":
    unittest.main()
