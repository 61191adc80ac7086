// Devices that are never a radio's line on a POSIX build: the terminal sj
// runs in and the system console.
#pragma once

// Why the device at `path` is no radio's line, if it is not.
enum class NotARadioLine { No, OwnTerminal, SystemConsole };
NotARadioLine not_a_radio_line(const char* path);
// Whether the open `fd` is the terminal of sj's own session.
bool is_controlling_terminal(int fd);
