// The EEPROM read and write commands and their one exchange rule.
#include "cat.h"
#include "operator_note.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int FRAME_SIZE = sizeof CatFrame::bytes;
constexpr int ANSWER_SIZE = sizeof Answer::bytes;

CatFrame make_frame(std::uint8_t data1, std::uint8_t data2, std::uint8_t opcode)
{
    return CatFrame{{0x00, JUMPER_ADDRESS, data1, data2, opcode}};
}

}  // namespace

bool clear_line_for_command(SerialLink& link, int& dropped)
{
    LineWait line = wait_for_quiet_line(link, QUIET_LINE_MS, dropped);
    if (line == LineWait::Failed)
        return false;
    if (line == LineWait::Noisy) {
        std::printf("Error: bytes kept coming from the radio for %d seconds without a pause; command not sent\n",
                    NOISY_LINE_LIMIT_MS / 1000);
        if (link.write_sent)
            std::fprintf(operator_notes(), "sj: the write command was sent before the line became noisy. The radio may "
                                           "or may not hold the new bytes; once the line is quiet, %s reads them.\n",
                         read_again_command(link));
        return false;
    }
    return discard_input(link);
}

namespace {

// An interface that echoes puts the frame on the line ahead of the radio's
// answer. A radio's answer is shorter than a frame, so an answer that
// begins with the very frame sent is an echo: the radio's own answer
// follows it, read by the same rule.
int receive_answer(SerialLink& link, const CatFrame& frame, Answer& answer)
{
    std::uint8_t first[FRAME_SIZE];
    int size = FRAME_SIZE;
    int count = receive(link, first, size);
    if (count == FRAME_SIZE && std::memcmp(first, frame.bytes, FRAME_SIZE) == 0) {
        if (!link.echo_noted)
            std::fprintf(operator_notes(), "sj: the interface echoes what sj sends; the echo is left out of the "
                                           "answers shown\n");
        link.echo_noted = true;
        size = ANSWER_SIZE;
        count = receive(link, first, size);
    }
    if (count < 0)
        return -1;
    answer.received = count;
    // A full buffer may not be the whole answer: the rest, by the read rule, is counted.
    if (count == size && wait_for_quiet_line(link, READ_GAP_MS, answer.received) == LineWait::Failed)
        return -1;
    // A damaged echo: an interface that lost or delayed bytes of the frame.
    answer.like_frame = count >= 2 && first[0] == frame.bytes[0] && first[1] == frame.bytes[1];
    if (count > ANSWER_SIZE)
        count = ANSWER_SIZE;  // the rest of a long answer is dropped before the next command
    if (count > 0)
        std::memcpy(answer.bytes, first, static_cast<std::size_t>(count));
    return count;
}

// How long the line must now stay quiet after the last byte for the answer
// to count (see SLOWEST_LINK_MS): fixed by the frame's time alone.
int settle_window_ms(const SerialLink& link)
{
    long long envelope_end_us = link.frame_sent_us + (SLOWEST_LINK_MS + READ_GAP_MS) * 1000LL;
    long long left_ms = (envelope_end_us - link.last_byte_us + 999) / 1000;
    return left_ms > QUIET_LINE_MS ? static_cast<int>(left_ms) : QUIET_LINE_MS;
}

bool exchange(SerialLink& link, const CatFrame& frame, const char* short_write_format, Answer& answer)
{
    int dropped = 0;
    if (!clear_line_for_command(link, dropped))
        return false;
    int written = send_frame(link, frame.bytes, FRAME_SIZE);
    if (written < 0)
        return false;
    if (written != FRAME_SIZE) {
        std::printf(short_write_format, written);
        return false;
    }
    if (frame.bytes[4] == EEPROM_WRITE) {
        link.write_sent = true;
        link.hinted = false;  // a silence from here on has another meaning
    }
    // The radio may never answer; what was printed so far must not be lost
    // if the operator gives up with Ctrl-C.
    flush_standard_output();
    answer.count = receive_answer(link, frame, answer);
    if (answer.count < 0)
        return false;
    // A line that never falls quiet has sent late bytes too: the count says so.
    if (wait_for_quiet_line(link, settle_window_ms(link), answer.late) == LineWait::Failed)
        return false;
    // Two bytes alone are what a radio answers a read with, jumpers 00 04 too.
    answer.like_frame = answer.like_frame && !is_two_bytes_alone(answer);
    return true;
}

}  // namespace

bool read_jumpers(SerialLink& link, Answer& answer)
{
    return exchange(link, make_frame(0x00, 0x00, EEPROM_READ), "Write of CAT command failed, rc = %d\n", answer);
}

bool write_jumpers(SerialLink& link, std::uint8_t byte1, std::uint8_t byte2, Answer& answer)
{
    return exchange(link, make_frame(byte1, byte2, EEPROM_WRITE), "Write to the radio failed! RC = %d\n", answer);
}
