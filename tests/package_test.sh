#!/usr/bin/env bash
# Checks the packages as a user gets them: lintian and the metadata of the
# .deb, what it installs (unpacked into a scratch root and run), and what the
# Windows zip holds. Usage: package_test.sh SJ.deb SJ.zip
set -u
deb=$1 zip=$2
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)

lint=$(lintian --fail-on error,warning "$deb" 2>&1 | grep -v "running with root privileges")
check "lintian: no error, no warning${lint:+: $lint}" test -z "$lint"
check "the .deb holds sj, its man page and its docs, and nothing else" test \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | tr '\n' ' ')" = \
    "./usr/bin/sj ./usr/share/doc/sj/README.gz ./usr/share/doc/sj/changelog.gz ./usr/share/doc/sj/copyright ./usr/share/man/man1/sj.1.gz "
check "the description reads back" test "$(field Description)" = \
"read and write the soft-jumper bytes of FT-817, FT-857 and FT-897 radios
 sj reads, and on request rewrites, the two soft-jumper bytes (EEPROM
 locations 4 and 5) of Yaesu FT-817, FT-857 and FT-897 transceivers over
 their CAT serial port. It never writes without the operator typing YES."
check "the .deb depends on the C library" grep -q "^libc6 (>= " <<<"$(field Depends)"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
out=$("$root/usr/bin/sj" -0)
status=$?
check "the installed sj shows its usage with status 1" test "$status" = 1
check "its banner carries the package's version" grep -qx "$root/usr/bin/sj version $version by the sj contributors" <<<"$out"
check "the man page renders, with the same version" bash -c \
    "zcat '$root/usr/share/man/man1/sj.1.gz' | groff -man -ww -z 2>&1 | grep -q . && exit 1; zcat '$root/usr/share/man/man1/sj.1.gz' | grep -q '\"sj $version\"'"
check "the changelog's first entry is this version" bash -c "zcat '$root/usr/share/doc/sj/changelog.gz' | head -1 | grep -qF 'sj ($version) '"
if [ "$(id -u)" = 0 ]; then
    check "apt-get would install the .deb" apt-get install -s "$(realpath "$deb")"
fi

unzip -q -d "$root/zip" "$zip"
dir=$root/zip/sj-$version-win64
check "the zip holds sj.exe, README.txt and LICENSE.txt in sj-$version-win64, nothing else" test \
    "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = \
    "sj-$version-win64/LICENSE.txt sj-$version-win64/README.txt sj-$version-win64/sj.exe "
for text in README.txt LICENSE.txt; do
    check "$text has CRLF line ends only" bash -c "[ \$(grep -c \$'\\r\$' '$dir/$text') = \$(wc -l <'$dir/$text') ]"
done
imports=$(x86_64-w64-mingw32-objdump -p "$dir/sj.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ')
check "sj.exe imports only KERNEL32.dll and msvcrt.dll (it imports: $imports)" test "$imports" = "KERNEL32.dll msvcrt.dll "
check "sj.exe is at most 64 KiB" test "$(stat -c %s "$dir/sj.exe")" -le 65536
check "sj.exe's version resource names sj $version" bash -c \
    "strings -n 2 -el '$dir/sj.exe' | grep -A1 -x ProductVersion | grep -qx '$version' && strings -n 2 -el '$dir/sj.exe' | grep -A1 -x ProductName | grep -qx sj"
check "sj.exe's manifest asks for asInvoker" grep -q 'requestedExecutionLevel level="asInvoker"' "$dir/sj.exe"
check "the zip's licence is the source's" bash -c "tr -d '\\r' <'$dir/LICENSE.txt' | cmp -s - '$(dirname "$0")/../LICENSE'"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
