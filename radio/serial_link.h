// The serial link to the radio, for the front end and the CAT layer: one COM
// port, opened exclusively, set to the radio's CAT line settings. Each
// platform implements these in its own file.
#pragma once

#include <cstdint>

constexpr int MAX_PORT = 256;             // COM1: .. COM256:, as Windows numbers them
constexpr int MAX_DEVICE_PATH = 255;      // a longer path is no serial device's

// Which platform call failed; each has its own message. ReadLine is any
// read from the line: an answer, or the wait for a quiet line.
enum class LinkStep { OpenDevice, ReadLineSettings, ApplyLineSettings, ApplyTimeouts, DiscardInput, WriteFrame, ReadLine };

struct SerialLink {
    char name[MAX_DEVICE_PATH + 1];    // "COM1:" .. "COM256:", or the device path; shown in messages
    char device[MAX_DEVICE_PATH + 1];  // the device behind the name, once known; else empty
    int port;                        // the COM number, 0 for a device path
    std::intptr_t handle;            // file descriptor on POSIX, HANDLE on Win32; -1 when closed
    long long last_byte_us;          // when the last byte came (Win32: from the read's end); -1 before any
    LinkStep failed_step;            // the last failure, for its report
    int error;
};

// The read rule's gap: an answer ends once this passes without a byte.
constexpr int READ_GAP_MS = 100;

// Bytes that keep coming this long without the pause a wait asks for end the run.
constexpr int NOISY_LINE_LIMIT_MS = 2000;

// The links' clock, in microseconds, never set back. C linkage: the tests
// put a clock of their own in its place at link time (--wrap).
extern "C" long long link_clock_us();

// Opens COM<port>: (or the device at `path`, named so) and applies the line
// settings and time-outs. Prints the port message on success, the failing
// step's message and note otherwise.
bool open_link(SerialLink& link, int port);
bool open_link_at(SerialLink& link, const char* path);

// Once the port is open, a call that fails notes its step and error in the
// link and prints nothing: the caller reports it in the words of its stage.

// Waits until nothing has come for `quiet_ms` since the last byte received,
// dropping what comes meanwhile and adding its count to `dropped`; before
// any byte has come, `quiet_ms` from the first wait, so that the first
// command too goes out on a quiet line. Noisy when bytes kept coming for
// NOISY_LINE_LIMIT_MS; Failed when the line hung up or a read failed: no
// end of the line is quiet.
enum class LineWait { Quiet, Noisy, Failed };
LineWait wait_for_quiet_line(SerialLink& link, int quiet_ms, int& dropped);

// Drops whatever waits in the port's input, so that a late or overlong
// answer cannot pass for the start of the next one.
bool discard_input(SerialLink& link);

// One write of `count` bytes. Returns the count the platform wrote, or -1.
int send_frame(SerialLink& link, const std::uint8_t* bytes, int count);

// One read of up to `size` bytes: waits for the first byte without limit
// (once SILENCE_HINT_MS have passed, the silence note, if any, goes to
// standard error), then stops at `size` bytes or after more than 100 ms
// without a further byte; the last byte's time is noted in last_byte_us.
// Returns the count, or -1 (a hang-up too, whether or not bytes came).
constexpr int SILENCE_HINT_MS = 2000;
struct SilenceNote {
    const char* text;  // null for none
    bool given;
};
int receive(SerialLink& link, std::uint8_t* buffer, int size, SilenceNote& silence);

// Gives the port back to others (POSIX: clears the exclusive flag, which
// would outlive sj while another program holds the port), then closes it;
// after an open that failed too, and again without harm.
void close_link(SerialLink& link);
