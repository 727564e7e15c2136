#!/usr/bin/env bash
# Runs one scenario of kestrane-cli: cli-test.sh PATH-TO-KESTRANE-CLI SCENARIO
set -uo pipefail

cli=$1
scenario=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- stdout:" >&2; cat "$work/out" >&2
  echo "--- stderr:" >&2; cat "$work/err" >&2
  exit 1
}

# run STDIN-TEXT ARGUMENTS...: runs the tool, leaving $status, $work/out and $work/err.
run() {
  local input=$1
  shift
  printf '%s' "$input" | "$cli" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }
expect_out() { [ "$(cat "$work/out")" = "$1" ] || fail "stdout differs from: $1"; }
expect_err() { [ "$(cat "$work/err")" = "$1" ] || fail "stderr differs from: $1"; }
expect_err_contains() { grep -qF -- "$1" "$work/err" || fail "stderr lacks: $1"; }
expect_out_contains() { grep -qF -- "$1" "$work/out" || fail "stdout lacks: $1"; }

layout='{"updatedAt":"2026-01-31T18:15:00+09:00","theme":"liquidGlass","id":"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0","pages":[{"id":"11111111-2222-3333-4444-555555555555","name":"Main","order":0,"gradient":"zoom","gridColumns":6,"gridRows":3,"buttons":[{"id":"AAAAAAAA-0000-0000-0000-000000000001","position":0,"icon":{"type":"custom","dataBase64":"+/+/AA=="},"colorGradient":{"startHex":"#4facfe","endHex":"#00f2fe","angle":135.0},"action":{"type":"openURL","url":"https://example.com/"}}]}]}'
canonical_layout='{"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","pages":[{"buttons":[{"action":{"type":"openURL","url":"https:\/\/example.com\/"},"colorGradient":{"angle":135,"endHex":"#00f2fe","startHex":"#4facfe"},"icon":{"dataBase64":"+\/+\/AA==","type":"custom"},"id":"AAAAAAAA-0000-0000-0000-000000000001","position":0}],"gradient":"zoom","gridColumns":6,"gridRows":3,"id":"11111111-2222-3333-4444-555555555555","name":"Main","order":0}],"theme":"liquidGlass","updatedAt":"2026-01-31T09:15:00Z"}'

case "$scenario" in
decodeClientWritesTheCanonicalForm)
  run '{"type":"execute","unknown":[1,2],"buttonId":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","action":{"type":"keyboardShortcut","combo":{"modifiers":["command","shift"],"key":"c"}}}' decode client
  expect_status 0
  expect_out '{"action":{"combo":{"key":"c","modifiers":["command","shift"]},"type":"keyboardShortcut"},"buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","type":"execute"}'
  expect_err ''
  ;;
decodeServerLeavesOutAnAbsentError)
  run '{"type":"execute_result","buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","success":true,"error":null}' decode server
  expect_status 0
  expect_out '{"buttonId":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","success":true,"type":"execute_result"}'
  ;;
decodeRefusesMalformedInputWithItsReason)
  run '{"type":"capture_keys","timeoutMs":2.5}' decode client
  expect_status 1
  expect_out ''
  expect_err 'timeoutMs: expected an integer, found a number that is not a 64-bit integer'
  run '{"type":"auth_success","token":"t","deviceName":"d","deviceType":"mac"}' decode client
  expect_status 1
  expect_err 'type: unknown value "auth_success"'
  run '' decode server
  expect_status 1
  expect_err 'empty input'
  ;;
checkLayoutSummarisesAFile)
  printf '%s' "$layout" >"$work/layout.json"
  run '' check-layout "$work/layout.json"
  expect_status 0
  expect_out "$canonical_layout"
  expect_err 'pages: 1, buttons: 1, custom icon bytes: 4'
  run "$layout" check-layout -
  expect_status 0
  expect_out "$canonical_layout"
  ;;
checkLayoutRefusesABadIcon)
  run "${layout/+\/+\/AA==/+\/+\/AA=}" check-layout -
  expect_status 1
  expect_out ''
  expect_err 'pages[0].buttons[0].icon.dataBase64: custom icon is not valid Base64'
  run '' check-layout "$work/missing.json"
  expect_status 1
  expect_err_contains "cannot read $work/missing.json"
  ;;
helpAndUsage)
  run '' --help
  expect_status 0
  expect_out_contains 'check-layout FILE|-'
  run '' decode --help
  expect_status 0
  expect_out_contains 'usage: kestrane-cli decode client|server'
  run '' check-layout --help
  expect_status 0
  run '' frobnicate
  expect_status 2
  expect_err_contains "unknown command 'frobnicate'"
  expect_err_contains 'usage: kestrane-cli COMMAND'
  run '' decode phone
  expect_status 2
  run ''
  expect_status 2
  expect_err_contains 'usage: kestrane-cli COMMAND'
  ;;
*)
  echo "unknown scenario $scenario" >&2
  exit 2
  ;;
esac
