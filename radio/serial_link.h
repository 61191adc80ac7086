// The serial link to the radio, for the front end and the CAT layer: one COM
// port, opened exclusively, set to the radio's CAT line settings. Each
// platform implements these in its own file.
#pragma once

#include <cstdint>

constexpr int MAX_PORT = 256;             // COM1: .. COM256:, as Windows numbers them
constexpr int MAX_DEVICE_PATH = 255;      // a longer path is no serial device's

struct SerialLink {
    char name[MAX_DEVICE_PATH + 1];    // "COM1:" .. "COM256:", or the device path; shown in messages
    char device[MAX_DEVICE_PATH + 1];  // the device behind the name, once known; else empty
    int port;                        // the COM number, 0 for a device path
    std::intptr_t handle;            // file descriptor on POSIX, HANDLE on Win32
    bool hinted;                     // the silent-radio hint has been given at this stage
    bool write_due;                  // the operator said YES: the write frame is about to go out
    bool write_sent;                 // the write frame is out: a silence now leaves its fate open
    bool echo_noted;                 // the operator has been told that the interface echoes
    long long last_byte_us;          // when the last byte came, on the link's clock; -1 before any
    long long frame_sent_us;         // when the last frame went out
};

// The read rule's gap: an answer ends once this passes without a byte.
constexpr int READ_GAP_MS = 100;

// How long a read waits for a first byte before the operator is told what
// to check. The wait itself goes on without limit.
constexpr int SILENCE_HINT_MS = 2000;

// Bytes that keep coming this long without the pause a wait asks for end the run.
constexpr int NOISY_LINE_LIMIT_MS = 2000;

// Opens COM<port>: and applies the line settings and time-outs. Prints the
// port message on success, the failing step's message otherwise.
bool open_link(SerialLink& link, int port);

// Opens the device at `path` exactly as a COM port is opened; the messages
// name the path.
bool open_link_at(SerialLink& link, const char* path);

// Waits until nothing has come for `quiet_ms` since the last byte received,
// dropping what comes meanwhile and adding its count to `dropped`; before
// any byte has come, `quiet_ms` from the first wait, so that the first
// command too goes out on a quiet line. Noisy when bytes kept coming for
// NOISY_LINE_LIMIT_MS; Failed, after printing the failure, when the line
// hung up or a read failed: no end of the line is quiet.
enum class LineWait { Quiet, Noisy, Failed };
LineWait wait_for_quiet_line(SerialLink& link, int quiet_ms, int& dropped);

// Drops whatever waits in the port's input, so that a late or overlong
// answer cannot pass for the start of the next one. False after printing
// the failure.
bool discard_input(SerialLink& link);

// One write of `count` bytes, its time noted in frame_sent_us. Returns the
// count the platform wrote, or -1 after printing the failure.
int send_frame(SerialLink& link, const std::uint8_t* bytes, int count);

// One read of up to `size` bytes: waits for the first byte without limit,
// then stops at `size` bytes or after more than 100 ms without a further
// byte; the last byte's time is noted in last_byte_us. Once in a run,
// after SILENCE_HINT_MS without a first byte, the hint goes to standard
// error. Returns the count, or -1 after printing the failure (a hang-up
// too, whether or not bytes came before it).
int receive(SerialLink& link, std::uint8_t* buffer, int size);

// Gives the port back to others at the end of a run, on every path, an open
// that failed too (POSIX: clears the exclusive flag, which would outlive sj
// while another program holds the port); the handle stays until close_link
// or the process ends.
void release_link(SerialLink& link);

// Releases the port and closes it; the result is of no interest.
void close_link(SerialLink& link);

// The command that reads the jumpers again on this port ("sj -4", or "sj "
// and the device path, quoted as a POSIX shell needs it).
const char* read_again_command(const SerialLink& link);
