"""End to end: `cmake --install` into a private prefix puts every file where the desktop
looks for it, the files pass the desktop's own validators without a remark, the documents
a package ships are there and agree with the build, and a D-Bus call with no instance
running starts the installed program through its service file. (lintian judges the
package itself, built from the release tree, in `make deb`.)"""

import gzip
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

from desktop import (BUS_NAME, INTERFACE, OBJECT_PATH, SANITIZER_MARKERS, TIME_SCALE, Desktop,
                     wait_until)

APP_ID = "org.orrinvale.Orrinvale"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
LICENSE = "GPL-3.0-or-later"
# The one remark `appstreamcli validate --pedantic` may make: the component id is the
# program's app id, also the launcher's file name and the D-Bus name, and has capitals.
APPSTREAM_ACCEPTED = {"cid-contains-uppercase-letter"}
GZIP_FNAME = 0x08
# The program's binary lies in <build>/src/.
BUILD_DIR = Path(os.environ["ORRINVALE_BINARY"]).resolve().parents[1]


def png_size(path):
    """(width, height) from a PNG's header; None when the file is no PNG."""
    with open(path, "rb") as file:
        header = file.read(24)
    if len(header) < 24 or header[:8] != b"\x89PNG\r\n\x1a\n" or header[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", header[16:24])


def gzip_header(path):
    """(flags, mtime) of a gzip file's header; None when the file is not gzip."""
    with open(path, "rb") as file:
        header = file.read(10)
    if len(header) < 10 or header[:3] != b"\x1f\x8b\x08":
        return None
    return header[3], struct.unpack("<I", header[4:8])[0]


def project_version():
    """The version the build was configured with, from its CMake cache."""
    cache = (BUILD_DIR / "CMakeCache.txt").read_text()
    return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache, re.M).group(1)


def dep5_paragraphs(path):
    """The paragraphs of a machine-readable copyright file, as dicts of their fields
    (continuation lines dropped)."""
    paragraphs = []
    for block in Path(path).read_text().split("\n\n"):
        fields = {}
        for line in block.splitlines():
            if line and not line[0].isspace() and ":" in line:
                key, value = line.split(":", 1)
                fields[key] = value.strip()
        if fields:
            paragraphs.append(fields)
    return paragraphs


def desktop_entry(path):
    """The key/value pairs of a .desktop or .service file's first group."""
    values = {}
    for line in Path(path).read_text().splitlines()[1:]:
        if line.startswith("["):
            break
        if "=" in line and not line.startswith("#"):
            key, value = line.split("=", 1)
            values[key.strip()] = value.strip()
    return values


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix="orrinvale-install-"))
        cls.addClassCleanup(shutil.rmtree, cls.root, ignore_errors=True)
        cls.prefix = cls.root / "prefix"
        result = subprocess.run(["cmake", "--install", str(BUILD_DIR), "--prefix", str(cls.prefix)],
                                capture_output=True, text=True, timeout=120 * TIME_SCALE)
        if result.returncode != 0:
            raise AssertionError("cmake --install failed:\n" + result.stdout + result.stderr)
        cls.share = cls.prefix / "share"
        cls.binary = cls.prefix / "bin" / "orrinvale"
        cls.man_page = cls.share / "man" / "man1" / "orrinvale.1.gz"
        cls.docs = cls.share / "doc" / "orrinvale"

    def test_every_file_lands_where_the_desktop_looks(self):
        expected = [
            self.binary,
            self.share / "applications" / (APP_ID + ".desktop"),
            self.share / "dbus-1" / "services" / (APP_ID + ".service"),
            self.share / "metainfo" / (APP_ID + ".metainfo.xml"),
            self.share / "icons" / "hicolor" / "scalable" / "apps" / (APP_ID + ".svg"),
            self.man_page,
            self.docs / "copyright",
            self.docs / "changelog.gz",
        ]
        for path in expected:
            with self.subTest(path=str(path.relative_to(self.prefix))):
                self.assertTrue(path.is_file())
        self.assertTrue(os.access(self.binary, os.X_OK))

    def test_the_binary_carries_no_run_path(self):
        result = subprocess.run(["readelf", "--dynamic", str(self.binary)], capture_output=True,
                                text=True, timeout=30 * TIME_SCALE)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("(NEEDED)", result.stdout)
        self.assertEqual(re.findall(r"\((?:RPATH|RUNPATH)\).*", result.stdout), [])

    def test_icons_at_every_size(self):
        for size in ICON_SIZES:
            with self.subTest(size=size):
                path = self.share / "icons" / "hicolor" / ("%dx%d" % (size, size)) / "apps" / (
                    APP_ID + ".png")
                self.assertEqual(png_size(path), (size, size))
        svg = self.share / "icons" / "hicolor" / "scalable" / "apps" / (APP_ID + ".svg")
        self.assertEqual(ElementTree.parse(svg).getroot().tag, "{http://www.w3.org/2000/svg}svg")

    def test_launcher_is_valid_and_names_the_icon(self):
        path = self.share / "applications" / (APP_ID + ".desktop")
        result = subprocess.run(["desktop-file-validate", str(path)], capture_output=True,
                                text=True, timeout=30 * TIME_SCALE)
        # Hints count too: a launcher in two main categories shows twice in menus.
        self.assertEqual((result.returncode, result.stdout + result.stderr), (0, ""))
        entry = desktop_entry(path)
        self.assertEqual(entry["Exec"], "orrinvale")
        self.assertEqual(entry["Icon"], APP_ID)
        # A D-Bus activatable launcher needs the service of the same name.
        self.assertEqual(entry.get("DBusActivatable"), "true")

    def test_service_file_starts_the_installed_binary(self):
        entry = desktop_entry(self.share / "dbus-1" / "services" / (APP_ID + ".service"))
        self.assertEqual(entry["Name"], BUS_NAME)
        self.assertEqual(entry["Exec"], str(self.binary))

    def test_metainfo_is_valid(self):
        path = self.share / "metainfo" / (APP_ID + ".metainfo.xml")
        root = ElementTree.parse(path).getroot()
        self.assertEqual(root.findtext("id"), APP_ID)
        self.assertEqual(root.find("launchable").text, APP_ID + ".desktop")
        self.assertEqual(root.find("releases/release").get("version"), project_version())
        result = subprocess.run(
            ["appstreamcli", "validate", "--pedantic", "--no-net", "--no-color", str(path)],
            capture_output=True, text=True, timeout=60 * TIME_SCALE)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # Remarks read "<severity letter>: <component>:<line>: <tag> ...".
        remarks = re.findall(r"^[EWIP]: \S+ (\S+)", result.stdout, re.M)
        self.assertLessEqual(set(remarks), APPSTREAM_ACCEPTED, result.stdout)

    def test_the_licence_is_stated_alike_everywhere(self):
        paragraphs = dep5_paragraphs(self.docs / "copyright")
        self.assertEqual(paragraphs[0].get("Format"),
                         "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/")
        everything = next(p for p in paragraphs if p.get("Files") == "*")
        self.assertEqual(everything["License"], LICENSE)
        metainfo = ElementTree.parse(self.share / "metainfo" / (APP_ID + ".metainfo.xml"))
        self.assertEqual(metainfo.getroot().findtext("project_license"), LICENSE)

    def test_documents_are_compressed_without_name_or_time(self):
        # gzip -n: two builds of the same sources give the same bytes.
        for path in (self.man_page, self.docs / "changelog.gz"):
            with self.subTest(path=path.name):
                header = gzip_header(path)
                self.assertIsNotNone(header)
                flags, mtime = header
                self.assertEqual((flags & GZIP_FNAME, mtime), (0, 0))

    def test_the_changelog_names_this_version(self):
        with gzip.open(self.docs / "changelog.gz", "rt") as file:
            first_line = file.readline().rstrip("\n")
        match = re.fullmatch(r"orrinvale \(([^)]+)\) [a-z-]+; urgency=[a-z]+", first_line)
        self.assertIsNotNone(match, first_line)
        self.assertEqual(match.group(1), project_version())

    def test_man_page_formats_without_warnings(self):
        with gzip.open(self.man_page, "rt") as file:
            page = file.read()
        result = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z"], input=page,
                                capture_output=True, text=True, timeout=30 * TIME_SCALE)
        self.assertEqual((result.returncode, result.stderr), (0, ""))

    def test_a_call_starts_the_program_on_demand(self):
        desktop = Desktop(binary=self.binary,
                          service_dirs=[self.share / "dbus-1" / "services"])
        self.addCleanup(desktop.close)
        desktop.start()
        self.addCleanup(self._stop_started, desktop)
        self.assertIsNone(desktop.bus_owner_pid())
        self.assertEqual(desktop.instances(), [])

        # The bus holds the call until the started program owns its name.
        desktop.call("TakeScreenshot")
        pids = desktop.instances()
        self.assertEqual(len(pids), 1)
        self.assertEqual(desktop.bus_owner_pid(), pids[0])
        desktop.wait_for_property("CaptureCount", 1)

        # It is the bus's child, not ours: ask it to quit and wait for it to go.
        desktop.gdbus_call(BUS_NAME, OBJECT_PATH, INTERFACE + ".Quit")
        wait_until(lambda: not desktop.instances(), 30, "the started program to quit")
        # The bus gave it its own output: the daemon's log.
        log = next(child.log for child in desktop._children if child.name == "dbus").read_text(
            errors="replace")
        for marker in SANITIZER_MARKERS + ("QML error",):
            self.assertNotIn(marker, log)

    def test_the_launcher_and_its_actions_reach_the_program_through_the_bus(self):
        entry = (self.share / "applications" / (APP_ID + ".desktop")).read_text()
        self.assertIn("Actions=take-screenshot;toggle-stack;", entry)
        desktop = Desktop(binary=self.binary,
                          service_dirs=[self.share / "dbus-1" / "services"])
        self.addCleanup(desktop.close)
        desktop.start()
        self.addCleanup(self._stop_started, desktop)

        def activation(method, *args):
            return desktop.gdbus_call(BUS_NAME, OBJECT_PATH,
                                      "org.freedesktop.Application." + method, *args)

        # A launcher's action starts the program and is carried out.
        activation("ActivateAction", "take-screenshot", "[]", "{}")
        self.assertEqual(len(desktop.instances()), 1)
        desktop.wait_for_property("CaptureCount", 1)
        activation("ActivateAction", "toggle-stack", "[]", "{}")
        desktop.wait_for_property("StackVisible", False)
        # Choosing the launcher again brings the hidden stack back, and only shows it.
        activation("Activate", "{}")
        desktop.wait_for_property("StackVisible", True)
        activation("Activate", "{}")
        activation("ActivateAction", "no-such-action", "[]", "{}")
        activation("Open", "['file:///tmp/x.png']", "{}")
        self.assertEqual(desktop.get_property("StackVisible"), True)
        self.assertEqual(desktop.get_property("CaptureCount"), 1)
        self.assertEqual(len(desktop.instances()), 1)

        desktop.gdbus_call(BUS_NAME, OBJECT_PATH, INTERFACE + ".Quit")
        wait_until(lambda: not desktop.instances(), 30, "the started program to quit")

    @staticmethod
    def _stop_started(desktop):
        """Ends a program the bus started and the test could not quit, by its pid."""
        for pid in desktop.instances():
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass


if __name__ == "__main__":
    unittest.main()
