// The ports that exist, as the user would type them; where POSIX finds COMn:.
#pragma once

#include "serial_link.h"

#include <cstddef>

// On standard error: the ports that exist (each platform's list), or that
// there is none. Its texts: the COM ports marked in `exists` on one line
// (returns how many), and that there is no port.
void list_existing_ports();
int print_existing_com_ports(const bool (&exists)[MAX_PORT + 1]);
void report_no_port_found();

// POSIX: the first device of the build's list that exists for COM<port>:,
// written to `path`. Returns the index of its entry in the list, or -1.
int serial_device_for(int port, char* path, std::size_t size);
