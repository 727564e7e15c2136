#!/usr/bin/python3
"""Measures the resident memory of `kestrane` with its editor window open on a large layout.

Usage: bench/kestrane-editor-memory.sh [SCREENSHOT.png]   (builds the release programs and
runs this inside a private network namespace, so the fixed port is free)

The layout is stored by `EditorWindowBenchmark --store-layout` into an empty HOME and XDG
tree; `kestrane` then starts on a private Xvfb, opens the editor, and idles until its icons
have been drawn. With a path, a screenshot of the screen is saved there.
"""

import os
import socket
import subprocess
import sys
import tempfile
import time

PORT = 47532
# After the window shows, for its icons to be decoded and drawn.
SETTLE_SECONDS = 3
WINDOW_TIMEOUT_SECONDS = 60
TITLE = "Kestrane ショートカット編集"


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    raise RuntimeError("no VmRSS")


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                               "-screen", "0", "1280x800x24", "-noreset"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        display = ":" + numbers.readline().strip()
    return server, display


def wait_for_port(process):
    while True:
        try:
            with socket.create_connection(("127.0.0.1", PORT), timeout=1):
                return
        except OSError:
            if process.poll() is not None:
                raise RuntimeError("kestrane ended before it listened")
            time.sleep(0.01)


def wait_for_window(environment):
    deadline = time.monotonic() + WINDOW_TIMEOUT_SECONDS
    while TITLE not in subprocess.run(["xwininfo", "-root", "-tree"], env=environment,
                                      capture_output=True, text=True).stdout:
        if time.monotonic() > deadline:
            raise RuntimeError("the editor window did not open")
        time.sleep(0.1)


def main():
    build = sys.argv[1]
    screenshot = sys.argv[2] if len(sys.argv) > 2 else None
    with tempfile.TemporaryDirectory(prefix="kestrane-editor-") as root:
        environment = {key: value for key, value in os.environ.items()
                       if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        environment.update(HOME=root, XDG_CONFIG_HOME=f"{root}/config",
                           XDG_DATA_HOME=f"{root}/data", XDG_CACHE_HOME=f"{root}/cache",
                           DBUS_SESSION_BUS_ADDRESS="disabled:")
        subprocess.run([f"{build}/bench/EditorWindowBenchmark", "--store-layout"],
                       env=dict(environment, QT_QPA_PLATFORM="offscreen"), check=True)
        server, display = start_xvfb()
        try:
            environment["DISPLAY"] = display
            process = subprocess.Popen([f"{build}/QuorixMacApp/kestrane"], env=environment,
                                       stderr=subprocess.DEVNULL)
            try:
                wait_for_port(process)
                wait_for_window(environment)
                time.sleep(SETTLE_SECONDS)
                print(f"resident memory with the editor open (MiB): {resident_mib(process.pid):.1f}")
                if screenshot:
                    subprocess.run(f"xwd -root -silent | convert xwd:- '{screenshot}'", shell=True,
                                   env=environment, check=True)
            finally:
                process.terminate()
                process.wait(10)
        finally:
            server.terminate()
            server.wait(10)


if __name__ == "__main__":
    main()
