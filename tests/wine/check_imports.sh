#!/usr/bin/env bash
# sj.exe must import nothing but the DLLs every Windows has.
# Usage: check_imports.sh OBJDUMP SJ_EXE
set -u
dlls=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
echo "imports:" $dlls
others=$(echo "$dlls" | grep -viE '^(KERNEL32|msvcrt)\.dll$')
if [ -n "$others" ] || [ -z "$dlls" ]; then
    echo "FAIL: unexpected imports: $others"
    exit 1
fi
echo "1 passed, 0 failed"
