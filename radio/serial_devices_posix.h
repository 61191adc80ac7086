// Where a POSIX build looks for COMn:, and which devices it never takes;
// shared by the link and the port list.
#pragma once

#include <cstddef>

// The first device of the build's list that exists for COM<port>:, written
// to `path`. Returns the index of its entry in the list, or -1 for none.
int serial_device_for(int port, char* path, std::size_t size);

// Why the device at `path` is no radio's line, if it is not.
enum class NotARadioLine { No, OwnTerminal, SystemConsole };
NotARadioLine not_a_radio_line(const char* path);
// Whether the open `fd` is the terminal of sj's own session.
bool is_controlling_terminal(int fd);
