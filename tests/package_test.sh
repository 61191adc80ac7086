#!/usr/bin/env bash
# Checks the packages: the .deb's contents, metadata and a run of what it
# installs (unpacked into a scratch root), and the .zip's contents.
# Usage: package_test.sh SJ.deb SJ.zip
set -u
deb=$1 zip=$2
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/sj ./usr/bin/simradio ./usr/share/man/man1/sj.1 ./usr/share/doc/sj/README.md; do
    check "the .deb holds $path" grep -q " $path\$" <<<"$contents"
done
check "the .deb is named sj" grep -qx "sj" <<<"$(dpkg-deb -f "$deb" Package)"
check "the .deb depends on the C library" grep -q "libc6" <<<"$(dpkg-deb -f "$deb" Depends)"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
out=$("$root/usr/bin/sj" -0)
status=$?
check "the installed sj shows its usage with status 1" test "$status" = 1
check "the usage text is there" grep -q "^Usage: sj \[-#\]" <<<"$out"
check "the installed simradio answers --help" "$root/usr/bin/simradio" --help
check "the man page renders" bash -c "[ -z \"\$(groff -man -ww -z '$root/usr/share/man/man1/sj.1' 2>&1)\" ]"
if [ "$(id -u)" = 0 ]; then
    check "apt-get would install the .deb" apt-get install -s "$(realpath "$deb")"
fi

listing=$(unzip -Z1 "$zip")
check "the .zip holds sj.exe" grep -qE '(^|/)sj\.exe$' <<<"$listing"
check "the .zip holds the README" grep -qE '(^|/)README\.md$' <<<"$listing"
check "the .zip holds nothing else" test "$(grep -cv '/$' <<<"$listing")" = 2

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
