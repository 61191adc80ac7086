#!/usr/bin/env bash
# scripts/tidy fails on a finding wherever the checkout lies: a copy of it
# over one planted finding, in a folder whose path holds a space.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
copy="$work/tidy gate"
mkdir -p "$copy/scripts" "$copy/app" "$copy/build"
cp "$here/scripts/tidy" "$copy/scripts/" && cp "$here/.clang-tidy" "$copy/"
printf '[{"directory": "%s", "file": "%s/app/planted.cpp", "arguments": ["c++", "-std=c++20", "-c", "app/planted.cpp"]}]\n' \
    "$copy" "$copy" >"$copy/build/compile_commands.json"
printf 'long planted() { return 1l; }\n' >"$copy/app/planted.cpp"
if out=$("$copy/scripts/tidy" build 2>&1); then echo "FAIL: a planted finding passed: $out"; exit 1; fi
grep -q '\[cert-dcl16-c[],]' <<<"$out" || { echo "FAIL: the finding is not named: $out"; exit 1; }
printf 'long planted() { return 1L; }\n' >"$copy/app/planted.cpp"
out=$("$copy/scripts/tidy" build 2>&1) || { echo "FAIL: code with no finding failed: $out"; exit 1; }
echo "2 passed, 0 failed"
