#!/usr/bin/env bash
# Runs a command in a private network namespace whose loopback is up, so that a test of a
# program with a fixed port can neither collide with nor disturb a receiver running on the
# machine. Where the system allows no such namespace, the command runs as it is.
set -euo pipefail

if [ "${1-}" = "--inside" ]; then
    shift
    # A new namespace starts with its loopback down.
    /usr/bin/python3 - <<'PYTHON'
import fcntl, socket, struct
SIOCGIFFLAGS, SIOCSIFFLAGS, IFF_UP = 0x8913, 0x8914, 0x1
with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as control:
    request = struct.pack("16sH", b"lo", 0).ljust(40, b"\0")
    flags = struct.unpack_from("16sH", fcntl.ioctl(control, SIOCGIFFLAGS, request))[1]
    fcntl.ioctl(control, SIOCSIFFLAGS, struct.pack("16sH", b"lo", flags | IFF_UP).ljust(40, b"\0"))
PYTHON
    exec "$@"
fi

if unshare --user --map-root-user --net true 2>/dev/null; then
    exec unshare --user --map-root-user --net bash "$(readlink -f "$0")" --inside "$@"
fi
echo "run-isolated: no private network namespace here; using the machine's own loopback" >&2
exec "$@"
