// The serial link to the radio: one COM port, opened exclusively, set to the
// radio's CAT line settings. Each platform implements these in its own file.
#pragma once

#include <cstdint>

// Which platform call failed; each has its own message.
enum class LinkStep { OpenDevice, ReadLineSettings, ApplyLineSettings, ApplyTimeouts, WriteFrame, ReadAnswer };

struct SerialLink {
    char name[8];          // "COM1:" .. "COM9:", shown in messages
    std::intptr_t handle;  // file descriptor on POSIX, HANDLE on Win32
};

// Opens COM<port>: and applies the line settings and time-outs. Prints the
// port message on success, the failing step's message otherwise.
bool open_link(SerialLink& link, int port);

// One write of `count` bytes. Returns the count the platform wrote, or -1
// after printing the failure.
int send_frame(SerialLink& link, const std::uint8_t* bytes, int count);

// One read of up to `size` bytes: waits for the first byte without limit,
// then stops at `size` bytes or after more than 100 ms without a further
// byte. Returns the count, or -1 after printing the failure.
int receive(SerialLink& link, std::uint8_t* buffer, int size);

// Releases the port; the result is of no interest.
void close_link(SerialLink& link);

// Shared by the implementations: fills the device name, prints a failure.
void name_link(SerialLink& link, int port);
void report_link_failure(const SerialLink& link, LinkStep step, int error);
