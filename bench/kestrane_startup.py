#!/usr/bin/python3
"""Measures the `kestrane` receiver from outside: the time from starting the process until
its port accepts a connection, and its resident memory once it has idled.

Usage: bench/kestrane-startup.sh [RUNS]   (builds the release program and runs this inside a
private network namespace, so the fixed port is free and nothing else is disturbed)

Each run gets an empty HOME and XDG tree, so it includes the first-run work (default layout,
token files, memo). No display is offered: the program runs on Qt's offscreen platform.
"""

import os
import socket
import statistics
import subprocess
import sys
import tempfile
import time

PORT = 47532
IDLE_SECONDS = 3


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def one_run(binary):
    with tempfile.TemporaryDirectory(prefix="kestrane-bench-") as root:
        environment = {key: value for key, value in os.environ.items()
                       if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        environment.update(HOME=root, XDG_CONFIG_HOME=f"{root}/config",
                           XDG_DATA_HOME=f"{root}/data", XDG_CACHE_HOME=f"{root}/cache")
        started = time.monotonic()
        process = subprocess.Popen([binary], env=environment, stderr=subprocess.DEVNULL)
        try:
            while True:
                try:
                    with socket.create_connection(("127.0.0.1", PORT), timeout=1):
                        listening = time.monotonic() - started
                        break
                except OSError:
                    if process.poll() is not None:
                        raise RuntimeError("kestrane ended before it listened")
                    time.sleep(0.0005)
            time.sleep(IDLE_SECONDS)
            return listening * 1000, resident_kib(process.pid) / 1024
        finally:
            process.terminate()
            process.wait(10)


def main():
    binary = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    times, memories = zip(*(one_run(binary) for _ in range(runs)))
    print(f"runs: {runs}")
    print(f"start to listening (ms): median {statistics.median(times):.1f}, "
          f"min {min(times):.1f}, max {max(times):.1f}")
    print(f"idle resident memory after {IDLE_SECONDS} s (MiB): median "
          f"{statistics.median(memories):.1f}, max {max(memories):.1f}")


if __name__ == "__main__":
    main()
