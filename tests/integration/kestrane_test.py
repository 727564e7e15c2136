#!/usr/bin/python3
"""Usage: kestrane_test.py KESTRANE_BINARY. Drives the real program as a phone would.

It always listens on port 47532: run this through run-isolated.sh, so that no other
receiver on the machine holds that port; elsewhere the port must be free.
"""

import asyncio
import json
import os
import re
import signal
import socket
import ssl
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import uuid

import websockets

PORT = 47532
START_TIMEOUT = 30  # seconds; the sanitizer build starts slowly on a loaded machine
STOP_TIMEOUT = 15
MESSAGE_TIMEOUT = 10

MEMO_HEAD = "Kestrane QR接続用コード\n"
MEMO_TAIL = "\n\n通常はKestraneアプリでQRを読み取って接続します。"


class Receiver:
    """One run of the program with its standard error collected line by line."""

    def __init__(self, binary, environment):
        self.process = subprocess.Popen(
            [binary], env=environment, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.lines = []
        self._condition = threading.Condition()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.process.stderr:
            with self._condition:
                self.lines.append(line.rstrip("\n"))
                self._condition.notify_all()
        with self._condition:
            self._condition.notify_all()

    def wait_for_line(self, pattern, timeout):
        """The first match of `pattern` among the status lines, waiting for it."""
        expression = re.compile(pattern)
        deadline = time.monotonic() + timeout
        with self._condition:
            while True:
                for line in self.lines:
                    match = expression.search(line)
                    if match:
                        return match
                left = deadline - time.monotonic()
                if left <= 0 or (self.process.poll() is not None and not self._reader.is_alive()):
                    raise AssertionError(
                        f"no line matching {pattern!r}; the program said: {self.lines!r}")
                self._condition.wait(min(left, 0.2))

    def terminate(self):
        """Sends SIGTERM and returns the exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(STOP_TIMEOUT)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()
            self._reader.join(5)
            self.process.stderr.close()


def ini_value(path, wanted_key):
    """The raw value under `wanted_key` in a QSettings INI file, unescaped."""
    with open(path, encoding="utf-8") as ini:
        for line in ini:
            key, separator, raw = line.rstrip("\n").partition("=")
            if separator and key.strip() == wanted_key:
                return unescape_ini(raw.strip())
    return None


def unescape_ini(raw):
    """Undoes QSettings' quoting: quotes around parts, backslash escapes, \\x hex codes."""
    simple = {"n": "\n", "r": "\r", "t": "\t", "0": "\0"}
    return re.sub(r'\\x([0-9a-fA-F]+)|\\(.)|"',
                  lambda m: chr(int(m.group(1), 16)) if m.group(1)
                  else simple.get(m.group(2), m.group(2)) if m.group(2) else "", raw)


def stored_layout(config_home):
    """The layout the program stored in its standard defaults domain, decoded."""
    value = ini_value(os.path.join(config_home, "QuorixMacHelper", "standard"),
                      "quorix.mac.editor.layout")
    if value is None:
        return None
    match = re.fullmatch(r"@ByteArray\((.*)\)", value, re.DOTALL)
    assert match, f"the stored layout is not data: {value[:80]!r}"
    # Bytes of the UTF-8 JSON were written as Latin-1 characters.
    return json.loads(match.group(1).encode("latin-1").decode("utf-8"))


def port_is_free():
    """Whether a listener could bind the port now; connections of earlier runs lingering in
    TIME_WAIT do not count, as they do not stop the program either."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("127.0.0.1", PORT))
        except OSError:
            return False
    return True


def unverified_tls():
    """A TLS client context that takes any certificate: the caller pins it by fingerprint."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    return context


async def exchange(messages, expect_count=1, secure=False):
    """Sends each message in order on one connection and collects the answers."""
    scheme, context = ("wss", unverified_tls()) if secure else ("ws", None)
    async with websockets.connect(f"{scheme}://127.0.0.1:{PORT}", ssl=context,
                                  open_timeout=MESSAGE_TIMEOUT, close_timeout=2) as connection:
        answers = []
        for message in messages:
            await connection.send(json.dumps(message))
            answers.append(json.loads(
                await asyncio.wait_for(connection.recv(), MESSAGE_TIMEOUT)))
        return answers


def sample_layout(name):
    new_id = lambda: str(uuid.uuid4()).upper()
    button = {"id": new_id(), "position": 0, "icon": {"type": "sfSymbol", "name": "globe"},
              "colorGradient": {"startHex": "#4facfe", "endHex": "#00a3ff", "angle": 135},
              "action": {"type": "openURL", "url": "https://example.com/"}}
    page = {"id": new_id(), "name": name, "order": 0, "gradient": "custom", "gridColumns": 3,
            "gridRows": 5, "buttons": [button]}
    return {"id": new_id(), "theme": "liquidGlass", "updatedAt": "2026-01-02T03:04:05Z",
            "pages": [page]}


class KestraneProgram(unittest.TestCase):
    binary = None

    def setUp(self):
        if not port_is_free():
            self.fail(f"port {PORT} is in use by another program; kestrane always listens "
                      "there, so this test needs it free (run it through run-isolated.sh)")
        self.root = tempfile.TemporaryDirectory(prefix="kestrane-test-")
        self.home = os.path.join(self.root.name, "home")
        self.config_home = os.path.join(self.root.name, "config")
        self.data_home = os.path.join(self.root.name, "data")
        for folder in (self.home, self.config_home, self.data_home):
            os.makedirs(folder)
        self.environment = {key: value for key, value in os.environ.items()
                            if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.environment.update(HOME=self.home, XDG_CONFIG_HOME=self.config_home,
                                XDG_DATA_HOME=self.data_home,
                                XDG_CACHE_HOME=os.path.join(self.root.name, "cache"),
                                XDG_RUNTIME_DIR=os.path.join(self.root.name, "run"))
        # The program keeps one running copy per user through this folder.
        os.makedirs(self.environment["XDG_RUNTIME_DIR"], mode=0o700)
        self.receiver = None

    def tearDown(self):
        if self.receiver is not None:
            self.receiver.terminate()
        self.root.cleanup()

    def start(self):
        self.receiver = Receiver(self.binary, self.environment)
        match = self.receiver.wait_for_line(
            r"listening on port (\d+), pairing code (\d{6}), memo (.+)$", START_TIMEOUT)
        self.assertEqual(int(match.group(1)), PORT)
        return match.group(2), match.group(3)

    def stop(self):
        status = self.receiver.terminate()
        self.receiver = None
        self.assertEqual(status, 0, "kestrane did not end cleanly on SIGTERM")
        with self.assertRaises(ConnectionRefusedError, msg="still listening after it ended"):
            socket.create_connection(("127.0.0.1", PORT), timeout=2).close()

    def test_pairs_resumes_and_keeps_the_layout_across_restarts(self):
        # First run: the memo carries the code, and the code pairs.
        code, memo_path = self.start()
        self.assertEqual(memo_path,
                         os.path.join(self.data_home, "QuorixMacHelper", "pairing-code.txt"))
        with open(memo_path, "rb") as memo:
            self.assertEqual(memo.read(), (MEMO_HEAD + code + MEMO_TAIL).encode("utf-8"))
        self.assertEqual(stat.S_IMODE(os.stat(memo_path).st_mode), 0o600)

        wrong = "000000" if code != "000000" else "111111"
        [refused] = asyncio.run(exchange([{"type": "auth_request", "code": wrong}]))
        self.assertEqual(refused, {"type": "auth_failure", "reason": "invalid_code"})
        [paired] = asyncio.run(exchange([{"type": "auth_request", "code": code}]))
        self.assertEqual(paired["type"], "auth_success")
        self.assertEqual(paired["deviceType"], "mac")
        self.assertTrue(paired["deviceName"])
        token = paired["token"]
        self.receiver.wait_for_line(r"a phone connected", MESSAGE_TIMEOUT)
        self.stop()

        # Second run: a new memo; the token still opens the door, and a layout goes in.
        second_code, _ = self.start()
        with open(memo_path, encoding="utf-8") as memo:
            self.assertEqual(memo.read(), MEMO_HEAD + second_code + MEMO_TAIL)
        layout = sample_layout("Integration")
        resumed, echoed = asyncio.run(exchange([
            {"type": "auth_resume", "token": token},
            {"type": "layout_update", "layout": layout},
        ]))
        self.assertEqual(resumed["type"], "auth_success")
        self.assertEqual(resumed["token"], token)
        self.assertEqual(echoed, {"type": "layout_changed", "layout": layout})
        [unknown] = asyncio.run(exchange([{"type": "auth_resume", "token": "not-a-token"}]))
        self.assertEqual(unknown, {"type": "auth_failure", "reason": "invalid_token"})
        self.stop()

        # Third run: the phone's layout is what the program loaded and kept.
        self.start()
        stored = stored_layout(self.config_home)
        self.assertIsNotNone(stored, "no layout stored")
        self.assertEqual(stored["id"], layout["id"])
        self.assertEqual([page["name"] for page in stored["pages"]], ["Integration"])
        self.assertEqual(stored["pages"][0]["buttons"][0]["action"], layout["pages"][0]["buttons"][0]["action"])
        self.stop()

    def test_the_secure_setting_serves_tls_with_the_identity_it_made(self):
        os.makedirs(os.path.join(self.config_home, "QuorixMacHelper"))
        with open(os.path.join(self.config_home, "QuorixMacHelper", "standard"), "w") as ini:
            ini.write("[General]\nquorix.mac.server.secureTransport=true\n")
        code, _ = self.start()
        self.receiver.wait_for_line(r"speaking TLS, certificate fingerprint [0-9a-f]{64}$",
                                    START_TIMEOUT)
        [paired] = asyncio.run(exchange([{"type": "auth_request", "code": code}], secure=True))
        self.assertEqual(paired["type"], "auth_success")
        self.assertTrue(os.path.exists(
            os.path.join(self.data_home, "Quorix", "M1TLS", "quorix-local-identity.p12")))
        self.stop()

    def test_a_taken_port_is_reported_and_ends_the_program(self):
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as occupant:
            occupant.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            occupant.bind(("0.0.0.0", PORT))
            occupant.listen()
            receiver = Receiver(self.binary, self.environment)
            receiver.wait_for_line(r"cannot receive on port 47532: The WebSocket listener failed",
                                   START_TIMEOUT)
            self.assertEqual(receiver.process.wait(STOP_TIMEOUT), 1)
            receiver.terminate()
        self.assertFalse(os.path.exists(
            os.path.join(self.data_home, "QuorixMacHelper", "pairing-code.txt")))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    KestraneProgram.binary = sys.argv.pop()
    unittest.main(verbosity=2)
