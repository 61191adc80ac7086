// The COM ports that exist on Windows, named without opening any: each
// COMn that the system's DOS device names hold.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "serial_link.h"

#include <cstdio>

void list_existing_ports()
{
    int found = 0;
    for (int port = 1; port <= MAX_PORT; ++port) {
        char name[16];
        char target[512];
        std::snprintf(name, sizeof name, "COM%d", port);
        // A long target fails with ERROR_INSUFFICIENT_BUFFER, but the name exists.
        if (QueryDosDeviceA(name, target, sizeof target) == 0 && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            continue;
        std::fprintf(stderr, found++ ? ", sj -%d" : "sj: ports that exist: sj -%d", port);
    }
    if (found)
        std::fputc('\n', stderr);
    else
        std::fprintf(stderr, "sj: no serial port found; see \"Finding the port\" in sj's README\n");
}
