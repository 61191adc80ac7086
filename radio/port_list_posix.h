// Where a POSIX build looks for COMn:, from the build's list of devices.
#pragma once

#include <cstddef>

// The first device of the list that exists for COM<port>:, written to
// `path`. Returns the index of its entry in the list, or -1 for none.
int serial_device_for(int port, char* path, std::size_t size);
