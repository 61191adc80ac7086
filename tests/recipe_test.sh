#!/usr/bin/env bash
# HACKING's "try sj without a radio" lines, run as written (from the second:
# the test stands in its built tree already), must read and write the
# simulated radio. Usage, from a build tree: recipe_test.sh PATH/HACKING.md
set -euo pipefail
recipe=$(awk '/^<!-- recipe:/ { on = 1; next } on && /^    / { print substr($0, 5); next } on { exit }' "$1" | tail -n +2)
home=$(mktemp -d "$PWD/recipe-home.XXXXXX")  # sj's history goes here, not to the user's
trap 'rm -rf "$home"' EXIT
fail() { printf '%s\n%s\n0 passed, 1 failed\n' "$1" "${out:-}"; exit 1; }
[ -n "$recipe" ] || fail "no recipe in $1"
out=$(HOME=$home XDG_STATE_HOME='' timeout 120 bash -e -c "$recipe" 2>&1) || fail "the recipe failed:"
grep -q '^Software jumpers are set to : D8 BF $' <<<"$out" || fail "no read:"
grep -q '^EEPROM values updated' <<<"$out" || fail "no write:"
echo "1 passed, 0 failed"
