#!/usr/bin/env bash
# Builds the release receivers and measures one phone's execute round trip while another
# pushes a large layout back to back: against `kestrane-cli serve --dry-run`, then against
# `kestrane` in a private network namespace (its port is fixed).
# Usage: bench/head-of-line.sh [--seconds S] [--pushes N]
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target kestrane HeadOfLineDriver >/dev/null
driver="$PWD/build/release/bench/HeadOfLineDriver"
"$driver" "$@"
exec bash tests/integration/run-isolated.sh "$driver" \
    --kestrane "$PWD/build/release/QuorixMacApp/kestrane" "$@"
