#!/usr/bin/env bash
# The scripts' apt-get update survives a source that fails: apt_update goes on
# and names it, a package from the sources that did update still downloads,
# and one that cannot be had fails with its name and the failed source. Two
# local repositories of the test's own (one of them missing), through apt's
# options: nothing of the machine's apt changes, and no network is used.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
dir="$work/apt test" passed=0
mkdir -p "$dir"/{repo,lists/partial,cache/archives/partial,parts,deb/DEBIAN,got}
printf 'Package: sj-probe\nVersion: 1\nArchitecture: all\nMaintainer: sj <sj@localhost>\nDescription: probe\n' \
    >"$dir/deb/DEBIAN/control"
dpkg-deb -b "$dir/deb" "$dir/repo/sj-probe.deb" >/dev/null
{ cat "$dir/deb/DEBIAN/control"; printf 'Filename: ./sj-probe.deb\nSize: %s\nSHA256: %s\n' \
    "$(stat -c %s "$dir/repo/sj-probe.deb")" "$(sha256sum <"$dir/repo/sj-probe.deb" | cut -d' ' -f1)"; } >"$dir/repo/Packages"
printf 'deb [trusted=yes] file:%s ./\ndeb [trusted=yes] file:%s sj-broken main\n' "${dir// /%20}/repo" "${dir// /%20}/gone" \
    >"$dir/sources.list"
apt=(apt-get -q -o "Dir::Etc::SourceList=$dir/sources.list" -o "Dir::Etc::SourceParts=$dir/parts"
     -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache" -o Dir::State::status=/dev/null
     -o Debug::NoLocking=1 -o APT::Sandbox::User="$(id -un)")
fail() { echo "FAIL: $*"; exit 1; }
. "$here/scripts/apt.sh"

SJ_APT_RETRY_PAUSE=0 apt_update "${apt[@]}" 2>"$dir/said" || fail "apt_update failed on one broken source"
grep -q "could not update file:.*/gone sj-broken.* (3 tries); going on without it" "$dir/said" ||
    fail "the broken source is not named: $(cat "$dir/said")"
passed=$((passed + 1))
(cd "$dir/got" && apt_need sj-probe "${apt[@]}" -qq download sj-probe) || fail "a package of the updated source failed"
[ -s "$dir/got/sj-probe_1_all.deb" ] || fail "sj-probe was not downloaded"
passed=$((passed + 1))
if err=$(cd "$dir/got" && apt_need sj-absent "${apt[@]}" -qq download sj-absent 2>&1); then fail "a missing package passed"; fi
grep -q "could not get sj-absent (sources not updated: file:.*/gone sj-broken.*)" <<<"$err" ||
    fail "the missing package and the failed source are not named: $err"
echo "$((passed + 1)) passed, 0 failed"
