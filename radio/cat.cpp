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

bool clear_line_for_command(SerialLink& link)
{
    int dropped = 0;
    if (!wait_for_quiet_line(link, QUIET_LINE_MS, dropped)) {
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
    answer.received = count;
    // A full buffer may not be the whole answer: the rest, by the read rule, is counted.
    if (count == size)
        wait_for_quiet_line(link, READ_GAP_MS, answer.received);
    // A damaged echo: an interface that lost or delayed bytes of the frame.
    answer.like_frame = count >= 2 && first[0] == frame.bytes[0] && first[1] == frame.bytes[1];
    if (count > ANSWER_SIZE)
        count = ANSWER_SIZE;  // the rest of a long answer is dropped before the next command
    if (count > 0)
        std::memcpy(answer.bytes, first, static_cast<std::size_t>(count));
    return count;
}

bool exchange(SerialLink& link, const CatFrame& frame, const char* short_write_format, Answer& answer, bool settle)
{
    if (!clear_line_for_command(link))
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
    if (settle)  // a line that never falls quiet has sent late bytes too: the count says so
        wait_for_quiet_line(link, SETTLE_MS, answer.late);
    return true;
}

}  // namespace

bool read_jumpers(SerialLink& link, Answer& answer, bool settle)
{
    return exchange(link, make_frame(0x00, 0x00, EEPROM_READ), "Write of CAT command failed, rc = %d\n", answer,
                    settle);
}

bool write_jumpers(SerialLink& link, std::uint8_t byte1, std::uint8_t byte2, Answer& answer)
{
    return exchange(link, make_frame(byte1, byte2, EEPROM_WRITE), "Write to the radio failed! RC = %d\n", answer,
                    true);
}
