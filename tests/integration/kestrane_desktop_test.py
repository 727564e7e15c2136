#!/usr/bin/python3
"""Usage: kestrane_desktop_test.py KESTRANE_BINARY [--screenshots DIR]

Runs the program on a private X server with a window manager (openbox) and a tray host
(trayer), and looks at it only from X, as a user would: the icon in the tray, the status
menu it opens, the pairing window and the code in it, the quick panel opened by its trigger
while another client keeps the focus. Run it through run-isolated.sh: the program listens on 47532.
"""

import asyncio
import ctypes
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kestrane_test import (MEMO_HEAD, MEMO_TAIL, Receiver, exchange, port_is_free,  # noqa: E402
                           sample_layout)

WAIT = 30  # seconds; the sanitizer build is slow on a loaded machine
SCREENSHOTS = None

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XGetSelectionOwner.restype = ctypes.c_ulong
x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XGetInputFocus.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.c_int)]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_ulong]


def wait_for(what, probe, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.1)


class Desktop:
    """Xvfb with openbox and trayer; an Xlib connection for reading and injecting."""

    def __init__(self, folder):
        self.processes = []
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
             "1280x800x24", "-noreset"], pass_fds=(write_end,),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        self.processes.append(xvfb)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.name = ":" + number
        self.environment = dict(os.environ, DISPLAY=self.name, HOME=folder)
        self.display = x11.XOpenDisplay(self.name.encode())
        assert self.display, "cannot open " + self.name
        self.start(["openbox"])
        self.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                    "--height", "24", "--transparent", "false", "--tint", "0xdddddd"])
        tray = x11.XInternAtom(self.display, b"_NET_SYSTEM_TRAY_S0", 0)
        wait_for("a tray host", lambda: x11.XGetSelectionOwner(self.display, tray))

    def start(self, command):
        process = subprocess.Popen(command, env=self.environment, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def close(self):
        x11.XCloseDisplay(self.display)
        for process in reversed(self.processes):
            process.terminate()
            process.wait(10)

    def tree(self):
        """Every window as (id, name, classes, x, y, width, height), positions absolute,
        with its depth below the root."""
        output = subprocess.run(["xwininfo", "-root", "-tree"], env=self.environment,
                                capture_output=True, text=True, check=True).stdout
        windows = []
        line_pattern = re.compile(
            r'^(\s*)(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((.*)\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+'
            r'\s+\+(-?\d+)\+(-?\d+)$')
        for line in output.splitlines():
            match = line_pattern.match(line)
            if match:
                indent, wid, name, classes, w, h, x, y = match.groups()
                windows.append({"id": wid, "depth": len(indent), "name": name or "",
                                "classes": classes, "x": int(x), "y": int(y),
                                "width": int(w), "height": int(h)})
        return windows

    def viewable(self, window):
        output = subprocess.run(["xwininfo", "-id", window["id"]], env=self.environment,
                                capture_output=True, text=True).stdout
        return "IsViewable" in output

    def window_named(self, name):
        return next((w for w in self.tree() if w["name"] == name and self.viewable(w)), None)

    def quick_panel(self):
        return next((w for w in self.tree() if w["name"] == "Kestrane"
                     and (w["width"], w["height"]) == (844, 390) and self.viewable(w)), None)

    def tray_icon(self):
        """The program's window embedded below the tray's panel."""
        inside_panel = None
        for window in self.tree():
            if window["classes"] == '"panel" "trayer"':
                inside_panel = window["depth"]
            elif inside_panel is not None and window["depth"] <= inside_panel:
                inside_panel = None
            elif inside_panel is not None and window["classes"] == '"kestrane" "Kestrane"':
                return window
        return None

    def click(self, x, y, button=1):
        xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        xtst.XTestFakeButtonEvent(self.display, button, 1, 0)
        xtst.XTestFakeButtonEvent(self.display, button, 0, 0)
        x11.XSync(self.display, 0)

    def key(self, keysym, down):
        code = x11.XKeysymToKeycode(self.display, x11.XStringToKeysym(keysym.encode()))
        xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        x11.XSync(self.display, 0)

    def tap(self, keysym):
        self.key(keysym, True)
        self.key(keysym, False)

    def focus(self):
        window = ctypes.c_ulong()
        revert = ctypes.c_int()
        x11.XGetInputFocus(self.display, ctypes.byref(window), ctypes.byref(revert))
        return window.value

    def screenshot(self, path, window=None, own=False):
        """The screen, or the part of it under `window`; with `own`, the window's own
        contents as the server holds them."""
        source = ["-id", window["id"]] if own else ["-root"]
        capture = subprocess.run(["xwd", "-silent", *source], env=self.environment,
                                 capture_output=True, check=True).stdout
        crop = []
        if window and not own:
            crop = ["-crop", f'{window["width"]}x{window["height"]}+{window["x"]}+{window["y"]}',
                    "+repage"]
        subprocess.run(["convert", "xwd:-", *crop, path], input=capture, check=True)


class KestraneOnADesktop(unittest.TestCase):
    binary = None

    def setUp(self):
        self.assertTrue(port_is_free(), "port 47532 is in use; run through run-isolated.sh")
        for tool in ("Xvfb", "openbox", "trayer", "xwininfo", "xwd", "convert", "zbarimg",
                     "xlogo"):
            self.assertTrue(shutil.which(tool), f"{tool} is missing (scripts/bootstrap)")
        self.root = tempfile.TemporaryDirectory(prefix="kestrane-desktop-")
        home = self.root.name
        self.desktop = Desktop(home)
        self.environment = dict(self.desktop.environment, QT_QPA_PLATFORM="xcb",
                                XDG_CONFIG_HOME=os.path.join(home, "config"),
                                XDG_DATA_HOME=os.path.join(home, "data"),
                                XDG_CACHE_HOME=os.path.join(home, "cache"),
                                XDG_RUNTIME_DIR=os.path.join(home, "run"))
        os.makedirs(self.environment["XDG_RUNTIME_DIR"], mode=0o700)
        self.receiver = None

    def tearDown(self):
        if self.receiver:
            self.receiver.terminate()
        self.desktop.close()
        self.root.cleanup()

    def shot(self, name, window=None, own=False):
        path = os.path.join(SCREENSHOTS or self.root.name, name)
        self.desktop.screenshot(path, window, own)
        return path

    def test_tray_menu_pairing_window_and_trigger(self):
        desktop = self.desktop
        self.receiver = Receiver(self.binary, self.environment)
        match = self.receiver.wait_for_line(r"listening on port 47532, pairing code (\d{6}), memo (.+)$",
                                            WAIT)
        memo = match.group(2)
        editor = wait_for("the editor window",
                          lambda: desktop.window_named("Kestrane ショートカット編集"))
        # The installed menu entry claims the program's windows by their class.
        self.assertEqual(editor["classes"].split()[-1], f'"{_startup_wm_class()}"')

        # The icon sits in the tray, and a click opens the menu as a new window of ours.
        icon = wait_for("the tray icon", desktop.tray_icon)
        self.assertLessEqual(icon["width"], 32)
        before = {w["id"] for w in desktop.tree()}
        desktop.click(icon["x"] + icon["width"] // 2, icon["y"] + icon["height"] // 2)

        def popup():
            return next((w for w in desktop.tree() if w["id"] not in before
                         and w["classes"] == '"kestrane" "Kestrane"' and w["height"] > 100
                         and desktop.viewable(w)), None)
        menu = wait_for("the status menu", popup)
        time.sleep(0.3)  # the menu paints after it maps
        # Its own contents: a capture of the whole screen misses what the menu draws.
        self.shot("tray-menu.png", menu, own=True)
        # The first item that can be chosen is "スマホと同期": it opens the pairing window.
        desktop.tap("Down")
        desktop.tap("Return")
        window = wait_for("the pairing window", lambda: desktop.window_named("Kestrane QR"))
        self.assertEqual((window["width"], window["height"]), (360, 420))
        # Centred on the editor.
        self.assertLessEqual(abs((window["x"] + 180) - (editor["x"] + editor["width"] // 2)), 2)

        def code_on_screen():
            picture = self.shot("pairing-window.png", window, own=True)
            return subprocess.run(["zbarimg", "--quiet", "--raw", "-Sbinary", picture],
                                  capture_output=True).stdout
        read = wait_for("a readable code in the pairing window", code_on_screen)
        payload = json.loads(read.decode("utf-8"))
        with open(memo, encoding="utf-8") as memo_file:
            code = memo_file.read()[len(MEMO_HEAD):-len(MEMO_TAIL)]
        self.assertEqual(payload["code"], code, "the window shows the code the memo holds")
        self.assertEqual(payload["port"], 47532)
        self.assertIs(payload["usesSecureTransport"], False)
        self.assertNotIn("fingerprint", payload)
        self.assertTrue(payload["serviceName"])

        # Pairing with the code closes the window; the phone then sends a layout with a button,
        # for the quick panel to show.
        layout = sample_layout("Desktop")
        paired, echoed = asyncio.run(exchange([{"type": "auth_request", "code": code},
                                               {"type": "layout_update", "layout": layout}]))
        self.assertEqual(paired["type"], "auth_success")
        self.assertEqual(echoed["type"], "layout_changed")
        wait_for("the pairing window to close",
                 lambda: desktop.window_named("Kestrane QR") is None)

        # Option (Alt) tapped twice while another client has the focus opens the quick panel
        # over it, and the focus stays there; a click into that client closes the panel, and
        # so does Escape, which only the global monitor sees.
        logo = desktop.start(["xlogo", "-geometry", "200x200+50+50"])
        try:
            logo_window = wait_for("xlogo", lambda: desktop.window_named("xlogo"))
            wait_for("xlogo to take the focus",
                     lambda: desktop.focus() in _window_and_children(desktop, logo_window))
            focused = desktop.focus()

            def open_panel():
                for _ in range(2):
                    desktop.tap("Alt_L")
                    time.sleep(0.1)
                return wait_for("the quick panel", desktop.quick_panel)
            panel = open_panel()
            self.assertEqual(desktop.focus(), focused, "the panel took the focus")
            desktop.click(logo_window["x"] + 100, logo_window["y"] + 100)
            wait_for("the quick panel to close", lambda: not desktop.viewable(panel))
            self.assertEqual(desktop.focus(), focused)
            panel = open_panel()
            # (xlogo ends on Escape; the focus goes elsewhere then.)
            desktop.tap("Escape")
            wait_for("the quick panel to close", lambda: not desktop.viewable(panel))
        finally:
            logo.terminate()
            logo.wait(10)

        # A second start asks this one to show itself and ends.
        second = subprocess.run([self.binary], env=self.environment, capture_output=True,
                                text=True, timeout=WAIT * 2)
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertIn("already running", second.stderr)

        status = self.receiver.terminate()
        self.receiver = None
        self.assertEqual(status, 0)


def _startup_wm_class():
    entry = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging",
                         "kestrane.desktop")
    with open(entry, encoding="utf-8") as lines:
        return next(line.strip().split("=", 1)[1] for line in lines
                    if line.startswith("StartupWMClass="))


def _window_and_children(desktop, window):
    """Ids of the window and of what lies below it (the frame's client, its children)."""
    ids = set()
    inside = None
    for candidate in desktop.tree():
        if candidate["id"] == window["id"]:
            inside = candidate["depth"]
            ids.add(int(candidate["id"], 16))
        elif inside is not None and candidate["depth"] > inside:
            ids.add(int(candidate["id"], 16))
        elif inside is not None:
            break
    # Openbox focuses the client inside its frame; the frame is the client's parent.
    return ids | {int(w["id"], 16) for w in desktop.tree() if w["name"] == "xlogo"}


if __name__ == "__main__":
    arguments = sys.argv[1:]
    if "--screenshots" in arguments:
        index = arguments.index("--screenshots")
        SCREENSHOTS = os.path.abspath(arguments[index + 1])
        del arguments[index:index + 2]
    if len(arguments) != 1:
        sys.exit(__doc__)
    KestraneOnADesktop.binary = arguments[0]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
