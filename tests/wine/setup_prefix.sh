#!/usr/bin/env bash
# Makes a private Wine prefix (once) and maps COM1..COM9 and COM12 to the
# simulated radio's links, so that sj.exe never reaches one of the
# machine's own ports through them (Wine maps the machine's own ports to the
# numbers left free, which no test uses). Then starts the wineserver that
# the tests share, unless told --no-server (scripts/test makes the prefix
# so while the trees build).
# Usage: setup_prefix.sh PREFIX PORTS_DIR [--no-server]
set -eu
export WINEPREFIX=$1 WINEDEBUG=-all
ports=$2
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (slow the first time)"
    # No Mono or Gecko: sj.exe needs neither, and their installers would ask.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
fi
ports_used="1 2 3 4 5 6 7 8 9 12"
mapped() {
    for n in $ports_used; do
        [ "$(readlink "$WINEPREFIX/dosdevices/com$n")" = "$ports/ttySIM$((n - 1))" ] || return 1
    done
}
if ! mapped; then
    # One import for every port: each start of Wine is slow on a busy machine.
    reg=$WINEPREFIX/sj-ports.reg
    {
        printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
        for n in $ports_used; do
            path=$ports/ttySIM$((n - 1))
            path=${path//\\/\\\\}
            printf '"COM%s"="%s"\n' "$n" "${path//\"/\\\"}"
        done
    } >"$reg"
    wine regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1
    # The mapping takes effect when Wine starts again.
    wineserver -k || true
    wineserver -w || true
    wine cmd /c exit >/dev/null 2>&1
fi
wineserver -k || true
wineserver -w || true
for n in $ports_used; do
    target=$(readlink "$WINEPREFIX/dosdevices/com$n")
    if [ "$target" != "$ports/ttySIM$((n - 1))" ]; then
        echo "FAIL: COM$n maps to '$target'"
        exit 1
    fi
done
echo "COM1..COM9 and COM12 map to $ports/ttySIM0..8 and ttySIM11"
[ "${3:-}" != --no-server ] || exit 0
# One wineserver serves the whole run, started here with no test's pipe
# open, so that no test waits on it; the cleanup test stops it.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
