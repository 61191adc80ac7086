#!/bin/sh
# Prints the Depends of a .deb that holds BINARY as dpkg-shlibdeps gives them
# on the binary's own architecture: each library it needs, named by its
# Debian package, at the highest symbol version the binary asks of it (the
# symbols files of libc6 and libgcc-s1 map each version to itself). For the
# cross-built packages, where dpkg-shlibdeps sees only the cross toolchain's
# packages (libc6:armhf, libgcc-s1-armhf-cross). Usage: deb-depends.sh BINARY
set -eu
readelf -W -d -V "$1" | awk '
    function newer(a, b,   x, y, i) {
        split(a, x, "."); split(b, y, ".")
        for (i = 1; i <= 4; i++) if (x[i] + 0 != y[i] + 0) return x[i] + 0 > y[i] + 0
        return 0
    }
    function package_of(lib) {
        if (lib == "libc.so.6" || lib ~ /^ld-linux/) return "libc6"
        if (lib == "libgcc_s.so.1") return "libgcc-s1"
        print "deb-depends.sh: no package known for " lib > "/dev/stderr"; unknown = 1; exit 1
    }
    /\(NEEDED\)/ { lib = $NF; gsub(/[][]/, "", lib); needed[package_of(lib)] = 1 }
    $4 == "File:" { p = package_of($5) }
    $2 == "Name:" { v = $3; sub(/^[A-Z]+_/, "", v); if (!(p in top) || newer(v, top[p])) top[p] = v }
    END {
        if (unknown) exit 1
        split("libc6 libgcc-s1", order, " ")  # by name, as dpkg-shlibdeps sorts
        for (i = 1; i in order; i++)
            if (order[i] in needed) line = line (line == "" ? "" : ", ") order[i] " (>= " top[order[i]] ")"
        print line
    }'
