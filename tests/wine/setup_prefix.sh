#!/usr/bin/env bash
# Makes a private Wine prefix (once) and maps COM1..COM9 and COM12 to the
# simulated radio's links, so that sj.exe never reaches one of the
# machine's own ports through them (Wine maps the machine's own ports to the
# numbers left free, which no test uses).
# Usage: setup_prefix.sh PREFIX PORTS_DIR
#        setup_prefix.sh PREFIX --make-only   (makes the prefix and stops its wineserver)
set -eu
export WINEPREFIX=$1 WINEDEBUG=-all
ports=$2
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (slow the first time)"
    # No Mono or Gecko: sj.exe needs neither, and their installers would ask.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
fi
if [ "$ports" = --make-only ]; then
    wineserver -k || true
    wineserver -w || true
    exit 0
fi
ports_used="1 2 3 4 5 6 7 8 9 12"
for n in $ports_used; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$ports/ttySIM$((n - 1))" /f >/dev/null 2>&1
done
wineserver -k || true
wineserver -w || true
# The mapping takes effect when Wine starts again. One wineserver serves the
# whole run, started here with no test's pipe open, so that no test waits on
# it; the cleanup test stops it.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
for n in $ports_used; do
    target=$(readlink "$WINEPREFIX/dosdevices/com$n")
    if [ "$target" != "$ports/ttySIM$((n - 1))" ]; then
        echo "FAIL: COM$n maps to '$target'"
        exit 1
    fi
done
echo "COM1..COM9 and COM12 map to $ports/ttySIM0..8 and ttySIM11"
