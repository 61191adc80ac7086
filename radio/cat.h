// The two EEPROM CAT commands on the soft-jumper bytes (locations 4 and 5):
// one 5-byte frame out, one answer of up to 4 bytes back.
#pragma once

#include "link_failure.h"
#include "serial_link.h"

#include <cstdint>

constexpr std::uint8_t JUMPER_ADDRESS = 0x04;
constexpr std::uint8_t EEPROM_READ = 0xBB;
constexpr std::uint8_t EEPROM_WRITE = 0xBC;

// A command goes out only once nothing has come for QUIET_LINE_MS (the
// radio's own limit between the bytes of an answer); bytes that keep coming
// for NOISY_LINE_LIMIT_MS without such a pause end the run.
constexpr int QUIET_LINE_MS = 200;

// An answer counts only once nothing else has come from its frame until
// SLOWEST_LINK_MS and the read gap after the frame, nor for QUIET_LINE_MS
// after the answer's own last byte. A radio or link up to SLOWEST_LINK_MS
// slow answers inside that window, so a stray before or after its answer
// shows as more bytes there, however early it came: nothing a stray does
// can shorten the window.
constexpr int SLOWEST_LINK_MS = 1500;

struct CatFrame {
    std::uint8_t bytes[5];  // address high, address low, data, data, opcode
};

struct Answer {
    int count = 0;  // 0..4; bytes past it are not part of the answer
    std::uint8_t bytes[4] = {};
    int received = 0;         // bytes that came as the answer, shown or not
    int late = 0;             // bytes that came in its window (see SLOWEST_LINK_MS)
    bool like_frame = false;  // it begins like the frame just sent, and is more than 2 bytes alone
};

// What a radio answers a read with: two bytes, and nothing in their window.
inline bool is_two_bytes_alone(const Answer& answer)
{
    return answer.received == 2 && answer.late == 0;
}

// The run's stage, which this layer keeps: how far the write has got, what
// the operator has been told at it, and when the last frame went out.
struct RunStage {
    WriteStage write = WriteStage::NotAsked;
    bool hinted = false;      // the silent-radio hint has been given at this write stage
    bool echo_noted = false;  // the operator has been told that the interface echoes
    long long frame_sent_us = -1;
};

// After the operator's YES (a failure from here on leaves the radio as it
// was): waits for a quiet line, adding the bytes dropped to `dropped`; false
// after printing why the write is not sent.
bool clear_line_for_write(SerialLink& link, RunStage& stage, int& dropped);

// Each sends its frame and reads the answer, which is settled (see
// SLOWEST_LINK_MS). False means the run must end with status 1: the failure
// (platform error, a hang-up, or a short write) is printed.
bool read_jumpers(SerialLink& link, RunStage& stage, Answer& answer);
bool write_jumpers(SerialLink& link, RunStage& stage, std::uint8_t byte1, std::uint8_t byte2, Answer& answer);
