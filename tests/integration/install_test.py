#!/usr/bin/python3
"""Usage: install_test.py CMAKE BUILD_DIR

Installs the build into a scratch prefix and checks the tree a desktop reads: both
programs, the menu and autostart entries, the icon in every size, the manual pages and the
documents Debian expects.
"""

import configparser
import gzip
import os
import struct
import subprocess
import sys
import tempfile
import unittest

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
PROGRAMS = ("kestrane", "kestrane-cli")


def png_size(path):
    with open(path, "rb") as picture:
        head = picture.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG")
    return struct.unpack(">II", head[16:24])


def desktop_entry(path):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str  # keys are case-sensitive
    parser.read(path, encoding="utf-8")
    return parser["Desktop Entry"]


class InstalledTree(unittest.TestCase):
    cmake = None
    build = None

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="kestrane-install-")
        cls.prefix = os.path.join(cls.scratch.name, "prefix")
        subprocess.run([cls.cmake, "--install", cls.build, "--prefix", cls.prefix],
                       check=True, stdout=subprocess.DEVNULL)
        cls.menu = os.path.join(cls.prefix, "share/applications/kestrane.desktop")
        cls.autostart = os.path.join(cls.prefix, "etc/xdg/autostart/kestrane.desktop")

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def test_entries_validate_and_start_the_installed_program(self):
        for path in (self.menu, self.autostart):
            with self.subTest(path=path):
                checked = subprocess.run(["desktop-file-validate", path], capture_output=True,
                                         text=True)
                self.assertEqual((checked.returncode, checked.stdout + checked.stderr), (0, ""))
                entry = desktop_entry(path)
                self.assertEqual((entry["Exec"], entry["TryExec"]), ("kestrane", "kestrane"))
                self.assertTrue(os.access(os.path.join(self.prefix, "bin", "kestrane"), os.X_OK))
                self.assertEqual(entry["Icon"], "kestrane")
                self.assertTrue(entry["Comment"].isascii())
                self.assertFalse(entry["Comment[ja]"].isascii())
        menu, autostart = desktop_entry(self.menu), desktop_entry(self.autostart)
        self.assertEqual(autostart["X-GNOME-Autostart-enabled"], "true")
        # Any desktop starts it, and nothing hides it until the user says so.
        self.assertNotIn("OnlyShowIn", autostart)
        self.assertNotIn("Hidden", autostart)
        self.assertEqual(dict(menu), {k: v for k, v in autostart.items()
                                      if k != "X-GNOME-Autostart-enabled"})

    def test_icon_in_every_size(self):
        icons = os.path.join(self.prefix, "share/icons/hicolor")
        with open(os.path.join(icons, "scalable/apps/kestrane.svg"), encoding="utf-8") as svg:
            self.assertIn("<svg", svg.read())
        for size in ICON_SIZES:
            with self.subTest(size=size):
                self.assertEqual(png_size(os.path.join(icons, f"{size}x{size}/apps/kestrane.png")),
                                 (size, size))

    def test_programs_print_their_usage_and_start_nothing(self):
        home = os.path.join(self.scratch.name, "home")
        runtime = os.path.join(home, "run")
        os.makedirs(runtime, mode=0o700)
        environment = {"PATH": os.environ["PATH"], "HOME": home, "XDG_RUNTIME_DIR": runtime,
                       "DISPLAY": ":99999"}
        for name in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
            if name in os.environ:
                environment[name] = os.environ[name]
        for program in PROGRAMS:
            for flag in ("--help", "-h"):
                with self.subTest(program=program, flag=flag):
                    run = subprocess.run([os.path.join(self.prefix, "bin", program), flag],
                                         env=environment, capture_output=True, text=True,
                                         timeout=30)
                    self.assertEqual((run.returncode, run.stderr), (0, ""))
                    self.assertTrue(run.stdout.startswith(f"usage: {program} "), run.stdout)
        # No display was opened (there is none at :99999), no lock taken, no file written.
        self.assertEqual(os.listdir(runtime), [])
        self.assertEqual(os.listdir(home), ["run"])

    def test_manual_pages_and_documents(self):
        for program in PROGRAMS:
            with gzip.open(os.path.join(self.prefix, f"share/man/man1/{program}.1.gz"), "rt") as page:
                self.assertTrue(page.read().startswith(f".TH {program.upper()} 1 "))
        documents = os.path.join(self.prefix, "share/doc/kestrane")
        with gzip.open(os.path.join(documents, "changelog.gz"), "rt") as changelog:
            self.assertRegex(changelog.readline(), r"^kestrane \(\d+\.\d+\.\d+\) unstable;")
        self.assertTrue(os.path.getsize(os.path.join(documents, "copyright")))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    InstalledTree.build = sys.argv.pop()
    InstalledTree.cmake = sys.argv.pop()
    unittest.main(verbosity=2)
