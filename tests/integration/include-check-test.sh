#!/usr/bin/env bash
# The module-order check passes on the tree as it is and fails on each reintroduced edge.
# include-check-test.sh SOURCE-DIR
set -uo pipefail

source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

copy_tree() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree"
  for top in QuorixProtocol QuorixMacCore QuorixMacApp tools; do
    cp -r "$source_dir/$top" "$work/tree/"
  done
}

copy_tree
"$source_dir/scripts/check-includes" "$work/tree" || { echo "FAIL: the tree itself breaks the order" >&2; exit 1; }

# file | line added to it | what the check must say
cases=(
  'QuorixMacCore/Storage/MacEditorLayoutStore.h|#include "QuorixMacCore/Editor/MacEditorState.h"|QuorixMacCore/Storage may not include QuorixMacCore/Editor'
  'QuorixMacCore/Platform/Linux/XTestEventPoster.cpp|#include "QuorixMacCore/Actions/KeyboardExecutor.h"|QuorixMacCore/Platform/Linux may not include QuorixMacCore/Actions'
  'QuorixMacCore/Catalog/InstalledAppsScanner.cpp|#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"|QuorixMacCore/Catalog may not include QuorixMacCore/Platform/Linux'
  'QuorixMacCore/Transport/WebSocketServer.cpp|#include "QuorixMacCore/Editor/MacEditorState.h"|QuorixMacCore/Transport may not include QuorixMacCore/Editor'
  'QuorixMacCore/Editor/MacEditorState.h|#include <QWidget>|a core module includes Qt Widgets'
  'QuorixProtocol/Models.h|#include <QString>|the protocol module includes Qt'
)
for case in "${cases[@]}"; do
  IFS='|' read -r file line expected <<<"$case"
  copy_tree
  printf '%s\n' "$line" >>"$work/tree/$file"
  if out=$("$source_dir/scripts/check-includes" "$work/tree" 2>&1); then
    echo "FAIL: '$line' in $file passed the check" >&2
    exit 1
  fi
  grep -qF -- "$expected" <<<"$out" || { echo "FAIL: for $file the check said: $out" >&2; exit 1; }
done
echo "include check: ${#cases[@]} reintroduced edges refused"
