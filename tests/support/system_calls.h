// The system calls of the POSIX link, wrapped at link time (-Wl,--wrap): the
// tests see its ioctl requests, and may run its reads on a line and a clock
// of their own. Every other call passes through.
#pragma once

#include <cstdint>
#include <vector>

struct IoctlCall {
    unsigned long request;
    int lines;  // the modem lines named by TIOCMBIC/TIOCMBIS, else 0
};

// A line whose bytes arrive at set times on a clock that moves only when
// the link waits in poll().
struct ScriptedLine {
    int fd = -1;                             // the link's descriptor; -1 when off
    long long now_ms = 0;
    std::vector<long long> arrival_ms;       // one per byte, in order
    std::vector<std::uint8_t> bytes;
    std::size_t taken = 0;                   // bytes read so far
    std::vector<int> poll_timeouts;          // as the link asked for them
    long long hangup_ms = -1;                // when the line hangs up, -1 never
};

extern ScriptedLine scripted_line;
extern std::vector<IoctlCall> ioctl_calls;
extern bool fstat_says_serial_port;  // fstat reports a ttyS device (major 4)
