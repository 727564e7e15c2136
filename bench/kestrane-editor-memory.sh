#!/usr/bin/env bash
# Builds the release `kestrane` and measures its resident memory with the editor window open
# on a large stored layout (20 pages of 18 buttons, each with a custom icon of about 55 KB),
# on a private X server.
# Usage: bench/kestrane-editor-memory.sh [SCREENSHOT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target kestrane EditorWindowBenchmark >/dev/null
exec bash tests/integration/run-isolated.sh /usr/bin/python3 bench/kestrane_editor_memory.py \
    "$PWD/build/release" "$@"
