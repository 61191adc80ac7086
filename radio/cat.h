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

// How far the write has got: what a failure or a silence now leaves in the
// radio. Sent from the moment the write frame is handed to the link.
enum class WriteStage { NotAsked, Due, Sent };

// The run's stage, which this layer keeps: how far the write has got, what
// the operator has been told at it, when the last frame went out, and the
// bytes to go back to.
struct RunStage {
    WriteStage write = WriteStage::NotAsked;
    bool hinted = false;      // the silent-radio hint has been given at this write stage
    bool echo_noted = false;  // the operator has been told that the interface echoes
    long long frame_sent_us = -1;
    std::uint8_t before[2] = {};  // the first read's two bytes, once the write is due
    const char* kept_in = nullptr;  // the file that holds them on disk, once it does
};

// After the operator's YES, given the first read's answer (two bytes
// alone): waits for a quiet line. False after printing why the write is not
// sent: a failure, a noisy line, or bytes that came after the jumpers were
// read.
bool clear_line_for_write(SerialLink& link, RunStage& stage, const Answer& before);

// Each sends its frame and reads the answer, which is settled (see
// SLOWEST_LINK_MS). False means the run must end with status 1: the failure
// (platform error, a hang-up, a noisy line, or a short write) is printed,
// with what the radio may now hold.
bool read_jumpers(SerialLink& link, RunStage& stage, Answer& answer);
bool write_jumpers(SerialLink& link, RunStage& stage, std::uint8_t byte1, std::uint8_t byte2, Answer& answer);

// On standard error: "sj: ", the `cause` (may be empty), then, once YES was
// given, what the radio may now hold, from the stage alone.
void tell_write_fate(const SerialLink& link, const RunStage& stage, const char* cause);

// The failed link step's message, then its note with the write's fate. False.
bool report_link_failure(const SerialLink& link, const RunStage& stage);

// Once the write frame has gone out, whatever followed: the bytes before it
// and the command that writes them back.
void tell_way_back(const SerialLink& link, const RunStage& stage);
