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
import subprocess
import tempfile

from serve_dry_run_test import ACTION, CLI, TIMEOUT, Server, run_phone


def presented_fingerprint(port):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    with socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT) as raw:
        with context.wrap_socket(raw) as tls:
            return hashlib.sha256(tls.getpeercert(binary_form=True)).hexdigest()


def main():
    with tempfile.TemporaryDirectory(prefix="kestrane-tls-") as root:
        server = Server("--secure", "--tls-dir", os.path.join(root, "tls"))
        try:
            fingerprint = server.fingerprint
            assert re.fullmatch(r"[0-9a-f]{64}", fingerprint or ""), fingerprint
            assert presented_fingerprint(server.port) == fingerprint

            # A phone pinning another certificate sends nothing: had the code gone out, it
            # would be used up and the pairing below would fail.
            other = ("0" if fingerprint[0] != "0" else "1") + fingerprint[1:]
            refused = subprocess.run(
                [CLI, "phone", "--port", str(server.port), "--secure", "--fingerprint", other,
                 "pair", server.code], capture_output=True, text=True, timeout=TIMEOUT)
            assert refused.returncode == 1 and refused.stdout == "", refused
            assert f"fingerprint {fingerprint}, not the pinned {other}" in refused.stderr, refused
            run_phone(server, "pair", server.code, expect_status=1)

            pin = ["--secure", "--fingerprint", fingerprint.upper()]
            token = run_phone(server, *pin, "pair", server.code).strip()
            result = json.loads(run_phone(server, *pin, "--token", token, "execute",
                                          json.dumps(ACTION)))
            assert result["type"] == "execute_result" and result["success"] is True, result
            assert server.next_line() == {"action": ACTION, "type": "executed"}
        finally:
            if server.process.poll() is None:
                server.stop()
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
