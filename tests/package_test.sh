#!/usr/bin/env bash
# Checks the packages as a user gets them: lintian and the metadata of each
# .deb, what it installs (unpacked into a scratch root, its sj run under
# qemu-user against the simulated radio), and what the Windows zip holds.
# Usage: package_test.sh SIMRADIO SJ.zip SJ.deb...
set -u
simradio=$1 zip=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; return 1; fi
}
top=$(mktemp -d) radio=""
trap 'kill $radio 2>/dev/null; rm -rf "$top"' EXIT
check_deb() {  # DEB, in a folder of its own, as the debs are checked side by side
    local deb=$1 arch version lint out status root
    root=$(mktemp -d "$top/deb.XXXXXX")
    field() { dpkg-deb -f "$deb" "$1"; }
    arch=$(field Architecture) version=$(field Version)
    # lintian's status decides; what it says (less its note on running as root) is shown.
    lint=$(lintian --fail-on error,warning "$deb" 2>&1) && status=0 || status=$?
    lint=$(grep -v "running with root privileges" <<<"$lint")
    check "$arch: lintian: no error, no warning (status $status)${lint:+: $lint}" test "$status" = 0 -a -z "$lint"
    check "$arch: the .deb holds sj, its man page and its docs, and nothing else" test \
        "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | tr '\n' ' ')" = \
        "./usr/bin/sj ./usr/share/doc/sj/README.gz ./usr/share/doc/sj/changelog.gz ./usr/share/doc/sj/copyright ./usr/share/man/man1/sj.1.gz "
    check "$arch: the description reads back" test "$(field Description)" = \
"read and write the soft-jumper bytes of FT-817, FT-857 and FT-897 radios
 sj reads, and on request rewrites, the two soft-jumper bytes (EEPROM
 locations 4 and 5) of Yaesu FT-817, FT-857 and FT-897 transceivers over
 their CAT serial port. It never writes without the operator typing YES."
    check "$arch: Depends names the native packages ($(field Depends))" \
        grep -Eqx 'libc6 \(>= [0-9.]+\)(, libgcc-s1 \(>= [0-9.]+\))?' <<<"$(field Depends)"

    rm -rf "$root/fs"
    mkdir -p "$root/fs"
    dpkg-deb -x "$deb" "$root/fs"
    local sj=$root/fs/usr/bin/sj qemu=qemu-x86_64
    case $arch in
        arm64) qemu=qemu-aarch64; ln -s /usr/aarch64-linux-gnu/lib "$root/fs/lib" ;;
        armhf) qemu=qemu-arm; ln -s /usr/arm-linux-gnueabihf/lib "$root/fs/lib" ;;
    esac
    # qemu looks up files in $root/fs first: an ARM sj finds its libraries
    # there. No run may wait for ever.
    run_sj() { timeout 60 "$qemu" -L "$root/fs" "$sj" "$@"; }
    if [ "$arch" = "$(dpkg --print-architecture)" ]; then
        # dpkg-shlibdeps made these Depends: the derivation used for the others must agree.
        check "$arch: cmake/deb-depends.sh gives what dpkg-shlibdeps gave" \
            test "$("$here/../cmake/deb-depends.sh" "$sj")" = "$(field Depends)"
        [ "$(id -u)" != 0 ] || check "$arch: apt-get would install the .deb" apt-get install -s "$(realpath "$deb")"
    fi
    out=$(run_sj -0 2>&1)
    status=$?
    check "$arch: the packaged sj shows its usage with status 1" test "$status" = 1
    check "$arch: its banner carries the package's version" grep -qx "$sj version $version by the sj contributors" <<<"$out"
    # sj is given the radio's own path: no COM number, and no name that a
    # device of this machine could answer to. It runs only while the radio
    # is up, its link leading to a live pseudo-terminal.
    local line=$root/radio
    "$simradio" --log "$root/radio.log" "$line" &
    radio=$!
    for _ in $(seq 100); do [ -L "$line" ] && break; sleep 0.1; done
    radio_up() { kill -0 "$radio" && [ -L "$line" ] && [ -c "$(readlink -f "$line")" ]; }
    out="" status=""
    check "$arch: the simulated radio is up before the read" radio_up && out=$(run_sj "$line")
    check "$arch: the packaged sj reads the radio" grep -qx "Software jumpers are set to : D8 BF " <<<"$out"
    out=""
    check "$arch: the simulated radio is up before the write" radio_up && { out=$(echo YES | run_sj "$line" 70 06 2>"$root/notes"); status=$?; }
    kill $radio; wait $radio 2>/dev/null
    check "$arch: and writes it (status $status)" grep -qx "EEPROM values updated, power off/on radio to activate" <<<"$out"
    check "$arch: the radio holds the bytes written" grep -qx "eeprom 0004: 70 06" "$root/radio.log"
    check "$arch: the man page renders, with the same version" bash -c \
        "zcat '$root/fs/usr/share/man/man1/sj.1.gz' | groff -man -ww -z 2>&1 | grep -q . && exit 1; zcat '$root/fs/usr/share/man/man1/sj.1.gz' | grep -q '\"sj $version\"'"
    check "$arch: the changelog's first entry is this version" bash -c "zcat '$root/fs/usr/share/doc/sj/changelog.gz' | head -1 | grep -qF 'sj ($version) '"
}
# Each .deb's checks wait on its simulated radio: they run side by side,
# each telling its counts and failures in a file of its own.
n=0
for deb in "$@"; do
    n=$((n + 1))
    (check_deb "$deb"; echo "$passed $failed" >"$top/$n.counts") >"$top/$n.out" 2>&1 &
done
wait
for i in $(seq "$n"); do
    cat "$top/$i.out"
    read -r p f <"$top/$i.counts" || { p=0 f=1; echo "FAIL: the checks of the .deb number $i did not finish"; }
    passed=$((passed + p)) failed=$((failed + f))
done
root=$top
version=$(dpkg-deb -f "$1" Version)

unzip -q -d "$root/zip" "$zip"
dir=$root/zip/sj-$version-win64
check "the zip holds sj.exe, README.txt, MANUAL.txt and LICENSE.txt in sj-$version-win64, nothing else" test \
    "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = \
    "sj-$version-win64/LICENSE.txt sj-$version-win64/MANUAL.txt sj-$version-win64/README.txt sj-$version-win64/sj.exe "
for text in README.txt MANUAL.txt LICENSE.txt; do
    check "$text has CRLF line ends only" bash -c "[ \$(grep -c \$'\\r\$' '$dir/$text') = \$(wc -l <'$dir/$text') ]"
done
imports=$(x86_64-w64-mingw32-objdump -p "$dir/sj.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ')
check "sj.exe imports only KERNEL32.dll and msvcrt.dll (it imports: $imports)" test "$imports" = "KERNEL32.dll msvcrt.dll "
check "sj.exe is at most 64 KiB" test "$(stat -c %s "$dir/sj.exe")" -le 65536
check "sj.exe's version resource names sj $version" bash -c \
    "strings -n 2 -el '$dir/sj.exe' | grep -A1 -x ProductVersion | grep -qx '$version' && strings -n 2 -el '$dir/sj.exe' | grep -A1 -x ProductName | grep -qx sj"
check "sj.exe's manifest asks for asInvoker" grep -q 'requestedExecutionLevel level="asInvoker"' "$dir/sj.exe"
check "MANUAL.txt is sj(1), its Windows messages among it" grep -q "Press Enter to close this window." "$dir/MANUAL.txt"
check "the zip's licence is the source's" bash -c "tr -d '\\r' <'$dir/LICENSE.txt' | cmp -s - '$here/../LICENSE'"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
