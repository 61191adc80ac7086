// Where a POSIX build looks for COMn:, shared by the link and the port list.
#pragma once

#include <cstddef>

// The first device of the build's list that exists for COM<port>:, written
// to `path`. Returns the index of its entry in the list, or -1 for none.
int serial_device_for(int port, char* path, std::size_t size);
