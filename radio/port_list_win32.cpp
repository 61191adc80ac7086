// The COM ports that exist on Windows, named without opening any: each
// COMn that the system's DOS device names hold.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "port_list.h"

#include <cstdio>

void list_existing_ports()
{
    bool exists[MAX_PORT + 1] = {};
    for (int port = 1; port <= MAX_PORT; ++port) {
        char name[16];
        char target[512];
        std::snprintf(name, sizeof name, "COM%d", port);
        // A long target fails with ERROR_INSUFFICIENT_BUFFER, but the name exists.
        exists[port] = QueryDosDeviceA(name, target, sizeof target) != 0 || GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    }
    if (!print_existing_com_ports(exists))
        report_no_port_found();
}
