// The two EEPROM CAT commands on the soft-jumper bytes (locations 4 and 5):
// one 5-byte frame out, one answer of up to 4 bytes back.
#pragma once

#include "serial_link.h"

#include <cstdint>

constexpr std::uint8_t JUMPER_ADDRESS = 0x04;
constexpr std::uint8_t EEPROM_READ = 0xBB;
constexpr std::uint8_t EEPROM_WRITE = 0xBC;

// A command goes out only once nothing has come for QUIET_LINE_MS (the
// radio's own limit between the bytes of an answer); bytes that keep coming
// for NOISY_LINE_LIMIT_MS without such a pause end the run.
constexpr int QUIET_LINE_MS = 200;

// Every answer counts only once nothing has come for a window after its
// last byte: a stray that came first is then told by the radio's own answer
// behind it, which comes at most SLOWEST_LINK_MS after the frame. The window
// is SETTLE_FACTOR times the longest time from a frame to its answer's first
// byte so far in the run (this answer's included), but at least SETTLE_MS
// and at most MAX_SETTLE_MS: a prompt radio's run stays short, and once an
// answer took 34 ms the window covers the slowest link. An answer that
// begins like sj's own frame may be an echo with a pause in it as long as
// the slowest link's: its window is MAX_SETTLE_MS.
constexpr int SETTLE_MS = 600;
constexpr int SETTLE_FACTOR = 50;
constexpr int SLOWEST_LINK_MS = 1500;
constexpr int MAX_SETTLE_MS = SLOWEST_LINK_MS + 200;

struct CatFrame {
    std::uint8_t bytes[5];  // address high, address low, data, data, opcode
};

struct Answer {
    int count = 0;  // 0..4; bytes past it are not part of the answer
    std::uint8_t bytes[4] = {};
    int received = 0;         // bytes that came as the answer, shown or not
    int late = 0;             // bytes that came in its settle window (see SETTLE_MS)
    bool like_frame = false;  // it begins like the frame just sent, and is more than 2 bytes alone
};

// What a radio answers a read with: two bytes, and nothing in their window.
inline bool is_two_bytes_alone(const Answer& answer)
{
    return answer.received == 2 && answer.late == 0;
}

// Waits for a quiet line and drops what waits on it, so that a command's
// answer is judged only by what comes after the command. False after
// printing why the command is not sent.
bool clear_line_for_command(SerialLink& link);

// Each sends its frame and reads the answer, which is settled (see
// SETTLE_MS). False means the run must end with status 1: the failure
// (platform error, a hang-up, or a short write) is printed.
bool read_jumpers(SerialLink& link, Answer& answer);
bool write_jumpers(SerialLink& link, std::uint8_t byte1, std::uint8_t byte2, Answer& answer);
