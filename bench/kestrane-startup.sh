#!/usr/bin/env bash
# Builds the release `kestrane` and measures its start-up time and idle memory.
# Usage: bench/kestrane-startup.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target kestrane >/dev/null
exec bash tests/integration/run-isolated.sh /usr/bin/python3 bench/kestrane_startup.py \
    "$PWD/build/release/QuorixMacApp/kestrane" "$@"
