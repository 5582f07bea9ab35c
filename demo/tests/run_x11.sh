#!/usr/bin/env bash
# The demonstration program in a window on a private X server: it plays the user and must scan the
# stack and end with its summary "OK". Skipped (77) where no X server can be started.
set -euo pipefail
program=$1
command -v xvfb-run >/dev/null || exit 77
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cd "$run"
# The X libraries keep their own allocations to the end of the process.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
out=$(xvfb-run -a -s "-screen 0 1024x768x24" "$program" --x11 --cheques 2 2>&1) || { echo "$out"; exit 1; }
echo "$out"
grep -q "X11 window" <<<"$out"
grep -q "^lumivex: OK" <<<"$out"
test -f Images/f0000002.tif
