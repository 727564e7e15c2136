#!/usr/bin/python3
"""Drives `kestrane-cli serve --dry-run --secure` with `kestrane-cli phone --secure` and
checks the certificate it presents with Python's own TLS client.

usage: serve_secure_test.py PATH-TO-KESTRANE-CLI
"""

import hashlib
import json
import os
import re
import socket
import ssl
import stat
import subprocess
import tempfile

from serve_dry_run_test import ACTION, CLI, TIMEOUT, Server, run_phone


def presented_fingerprint(port):
    """SHA-256 of the certificate the receiver presents, as a client nobody here wrote sees it."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    with socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT) as raw:
        with context.wrap_socket(raw) as tls:
            return hashlib.sha256(tls.getpeercert(binary_form=True)).hexdigest()


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8",
                          timeout=TIMEOUT)


def check_usage():
    refused = run("serve", "--dry-run", "--tls-dir", "/nowhere")
    assert refused.returncode == 2 and "--tls-dir needs --secure" in refused.stderr, refused
    for arguments in (["--secure"], ["--fingerprint", "ab" * 32], ["--secure", "--fingerprint", "ab"]):
        refused = run("phone", *arguments, "list-apps")
        assert refused.returncode == 2, (arguments, refused)


def check_files(folder):
    assert sorted(os.listdir(folder)) == ["quorix-local-identity.p12",
                                          "quorix-local-identity.passphrase"], os.listdir(folder)
    assert stat.S_IMODE(os.stat(folder).st_mode) == 0o700
    for name in os.listdir(folder):
        assert stat.S_IMODE(os.stat(os.path.join(folder, name)).st_mode) == 0o600, name


def pinned(server, fingerprint, *arguments, expect_status=0):
    return run_phone(server, "--secure", "--fingerprint", fingerprint, *arguments,
                     expect_status=expect_status)


def main():
    check_usage()
    with tempfile.TemporaryDirectory(prefix="kestrane-tls-") as root:
        folder = os.path.join(root, "tls")
        server = Server("--secure", "--tls-dir", folder)
        try:
            fingerprint = server.fingerprint
            assert re.fullmatch(r"[0-9a-f]{64}", fingerprint or ""), fingerprint
            assert presented_fingerprint(server.port) == fingerprint
            check_files(folder)

            # A receiver with another certificate hears nothing: had the code been sent, it
            # would be used up and the pairing below would fail.
            other = ("0" if fingerprint[0] != "0" else "1") + fingerprint[1:]
            refused = subprocess.run(
                [CLI, "phone", "--port", str(server.port), "--secure", "--fingerprint", other,
                 "pair", server.code], capture_output=True, text=True, timeout=TIMEOUT)
            assert refused.returncode == 1 and refused.stdout == "", refused
            assert f"fingerprint {fingerprint}, not the pinned {other}" in refused.stderr, refused
            # Nor does a plain client get through to the protocol.
            run_phone(server, "pair", server.code, expect_status=1)

            token = pinned(server, fingerprint.upper(), "pair", server.code).strip()
            result = json.loads(pinned(server, fingerprint, "--token", token, "execute",
                                       json.dumps(ACTION)))
            assert result["type"] == "execute_result" and result["success"] is True, result
            assert server.next_line() == {"action": ACTION, "type": "executed"}
        finally:
            if server.process.poll() is None:
                server.stop()

        # The next receiver in the same folder presents the same identity.
        again = Server("--secure", "--tls-dir", folder)
        try:
            assert again.fingerprint == fingerprint
            assert presented_fingerprint(again.port) == fingerprint
        finally:
            again.stop()
        check_files(folder)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
