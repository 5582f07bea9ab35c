#!/usr/bin/env bash
# The demonstration program headless against a model the API does not drive: it answers the start-up
# boxes as its user, says what they said, and ends at once with a mismatch (nothing fed).
set -euo pipefail
program=$1
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cd "$run"
status=0
out=$(timeout 120 "$program" --headless --model QV625 --cheques 2 2>&1) || status=$?
echo "$out"
test "$status" -eq 1
grep -Eq 'ZARNInit => -[0-9]+\.' <<<"$out"
grep -q '^lumivex: 0 cheques fed' <<<"$out"
grep -q '^lumivex: MISMATCH' <<<"$out"
