#!/usr/bin/python3
"""Drives `kestrane-cli serve --dry-run` with a WebSocket client written elsewhere
(Python's websockets) and with `kestrane-cli phone`, in plain TCP and, with `--secure`, over
TLS pinned by the certificate's fingerprint.

usage: serve_dry_run_test.py PATH-TO-KESTRANE-CLI
"""

import asyncio
import hashlib
import json
import os
import queue
import re
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import uuid

import websockets

CLI = sys.argv[1]
TIMEOUT = 20

LAYOUT = {
    "id": "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0",
    "pages": [{
        "buttons": [{
            "action": {"type": "openURL", "url": "https://example.com/"},
            "colorGradient": {"angle": 135, "endHex": "#00f2fe", "startHex": "#4facfe"},
            "icon": {"dataBase64": "iVBORw0KGgo=", "type": "custom"},
            "id": "AAAAAAAA-0000-0000-0000-000000000001",
            "position": 0,
        }],
        "gradient": "zoom", "gridColumns": 6, "gridRows": 3,
        "id": "11111111-2222-3333-4444-555555555555", "name": "メイン", "order": 0,
    }],
    "theme": "liquidGlass",
    "updatedAt": "2026-01-31T09:15:00Z",
}
ACTION = {"type": "launchApp", "bundleID": "org.example.editor"}


class Server:
    """The receiver as a child process, its standard output read line by line."""

    def __init__(self, *options):
        self.process = subprocess.Popen(
            [CLI, "serve", "--dry-run", "--port", "0", "--no-advertise", *options],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, encoding="utf-8")
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        first = self.next_line()
        self.fingerprint = first.get("fingerprint")
        self.port = first["port"]
        self.code = first["pairingCode"]
        assert len(self.code) == 6 and self.code.isdigit(), first

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line)

    def next_line(self):
        try:
            line = self.lines.get(timeout=TIMEOUT)
        except queue.Empty:
            raise AssertionError("the receiver printed nothing: "
                                 + (self.process.stderr.read() if self.process.poll() is not None else ""))
        return json.loads(line)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=TIMEOUT)
        assert status == 0, f"exit status {status}: {self.process.stderr.read()}"


async def receive(ws):
    return json.loads(await asyncio.wait_for(ws.recv(), TIMEOUT))


async def exchange(ws, message):
    await ws.send(json.dumps(message))
    return await receive(ws)


async def third_party_client(server):
    uri = f"ws://127.0.0.1:{server.port}/"
    async with websockets.connect(uri, compression=None, max_size=None) as phone:
        assert await exchange(phone, {"type": "execute", "buttonId": str(uuid.uuid4()),
                                      "action": ACTION}) == \
            {"type": "auth_failure", "reason": "not_authenticated"}
        wrong = "000000" if server.code != "000000" else "111111"
        assert await exchange(phone, {"type": "auth_request", "code": wrong}) == \
            {"type": "auth_failure", "reason": "invalid_code"}
        assert await exchange(phone, {"type": "teleport"}) == \
            {"type": "auth_failure", "reason": "protocol_error"}
        paired = await exchange(phone, {"type": "auth_request", "code": server.code})
        assert paired["type"] == "auth_success" and paired["deviceType"] == "mac", paired
        token = paired["token"]
        pong = await phone.ping(b"still-there")
        await asyncio.wait_for(pong, TIMEOUT)

    async with websockets.connect(uri, compression=None, max_size=None) as phone:
        assert await exchange(phone, {"type": "auth_resume", "token": "forged"}) == \
            {"type": "auth_failure", "reason": "invalid_token"}
        resumed = await exchange(phone, {"type": "auth_resume", "token": token})
        assert resumed["type"] == "auth_success" and resumed["token"] == token, resumed

        button = str(uuid.uuid4()).upper()
        result = await exchange(phone, {"type": "execute", "buttonId": button, "action": ACTION})
        assert result == {"type": "execute_result", "buttonId": button, "success": True}, result
        assert server.next_line() == {"action": ACTION, "type": "executed"}

        echoed = await exchange(phone, {"type": "layout_update", "layout": LAYOUT})
        assert echoed == {"type": "layout_changed", "layout": LAYOUT}, echoed
        assert server.next_line() == {"layout": LAYOUT, "type": "layout_received"}

        # A binary frame carrying JSON counts like a text frame.
        await phone.send(json.dumps({"type": "request_state"}).encode())
        assert await receive(phone) == {"type": "apps_list", "apps": []}
        apps = await exchange(phone, {"type": "list_apps"})
        assert apps["type"] == "apps_list" and isinstance(apps["apps"], list), apps
    return token


def run_phone(server, *arguments, expect_status=0):
    completed = subprocess.run(
        [CLI, "phone", "--host", "127.0.0.1", "--port", str(server.port), *arguments],
        capture_output=True, text=True, encoding="utf-8", timeout=TIMEOUT)
    assert completed.returncode == expect_status, \
        f"phone {arguments}: status {completed.returncode}, stderr: {completed.stderr}"
    return completed.stdout


def own_phone(server, token):
    assert json.loads(run_phone(server, "resume", token))["token"] == token
    run_phone(server, "resume", "forged", expect_status=1)
    result = json.loads(run_phone(server, "--token", token, "execute", json.dumps(ACTION)))
    assert result["type"] == "execute_result" and result["success"] is True, result
    assert server.next_line() == {"action": ACTION, "type": "executed"}
    refused = json.loads(run_phone(server, "execute", json.dumps(ACTION), expect_status=1))
    assert refused == {"type": "auth_failure", "reason": "not_authenticated"}, refused
    with tempfile.NamedTemporaryFile("w", suffix=".json", encoding="utf-8") as file:
        json.dump(LAYOUT, file, ensure_ascii=False)
        file.flush()
        pushed = json.loads(run_phone(server, "--token", token, "push-layout", file.name))
    assert pushed == {"type": "layout_changed", "layout": LAYOUT}, pushed
    assert server.next_line() == {"layout": LAYOUT, "type": "layout_received"}
    assert json.loads(run_phone(server, "--token", token, "list-apps"))["type"] == "apps_list"

    watcher = subprocess.Popen(
        [CLI, "phone", "--port", str(server.port), "--token", token, "watch"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, encoding="utf-8")
    try:
        first = json.loads(watcher.stdout.readline())
        assert first["type"] == "auth_success" and first["token"] == token, first
    finally:
        watcher.kill()
        watcher.wait(timeout=TIMEOUT)


def pinned_phone(server):
    fingerprint = server.fingerprint
    assert re.fullmatch(r"[0-9a-f]{64}", fingerprint or ""), fingerprint
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    with context.wrap_socket(socket.create_connection(("127.0.0.1", server.port),
                                                      TIMEOUT)) as tls:
        assert hashlib.sha256(tls.getpeercert(binary_form=True)).hexdigest() == fingerprint

    # A phone pinning another certificate sends nothing: had the code gone out, it would be
    # used up and the pairing below would fail.
    other = ("0" if fingerprint[0] != "0" else "1") + fingerprint[1:]
    refused = subprocess.run(
        [CLI, "phone", "--port", str(server.port), "--secure", "--fingerprint", other, "pair",
         server.code], capture_output=True, text=True, timeout=TIMEOUT)
    assert refused.returncode == 1 and refused.stdout == "", refused
    assert f"fingerprint {fingerprint}, not the pinned {other}" in refused.stderr, refused
    run_phone(server, "pair", server.code, expect_status=1)

    pin = ["--secure", "--fingerprint", fingerprint.upper()]
    token = run_phone(server, *pin, "pair", server.code).strip()
    result = json.loads(run_phone(server, *pin, "--token", token, "execute", json.dumps(ACTION)))
    assert result["type"] == "execute_result" and result["success"] is True, result
    assert server.next_line() == {"action": ACTION, "type": "executed"}


def serve(options, phones):
    server = Server(*options)
    try:
        phones(server)
    finally:
        if server.process.poll() is None:
            server.stop()


def main():
    serve([], lambda server: own_phone(server, asyncio.run(third_party_client(server))))
    with tempfile.TemporaryDirectory(prefix="kestrane-tls-") as root:
        serve(["--secure", "--tls-dir", os.path.join(root, "tls")], pinned_phone)
    print("2 passed, 0 failed")


if __name__ == "__main__":
    main()
