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

// Every command goes out on a quiet line, cleared of what came before it.
bool clear_line_for_command(SerialLink& link, RunStage& stage, int& dropped)
{
    LineWait line = wait_for_quiet_line(link, QUIET_LINE_MS, dropped);
    if (line == LineWait::Failed)
        return report_link_failure(link, stage.write);
    if (line == LineWait::Noisy) {
        std::printf("Error: bytes kept coming from the radio for %d seconds without a pause; command not sent\n",
                    NOISY_LINE_LIMIT_MS / 1000);
        if (stage.write == WriteStage::Sent)
            std::fprintf(operator_notes(), "sj: the write command was sent before the line became noisy. The radio may "
                                           "or may not hold the new bytes; once the line is quiet, %s reads them.\n",
                         read_again_command(link));
        return false;
    }
    return discard_input(link) || report_link_failure(link, stage.write);
}

// Once at each write stage, a silence brings the hint for it.
int receive_from_radio(SerialLink& link, RunStage& stage, std::uint8_t* buffer, int size)
{
    char hint[4 * MAX_DEVICE_PATH + 256];  // with a command to read again, its path quoted
    if (!stage.hinted)
        describe_silence(link, stage.write, hint, sizeof hint);
    SilenceNote silence = {stage.hinted ? nullptr : hint, false};
    int count = receive(link, buffer, size, silence);
    stage.hinted = stage.hinted || silence.given;
    return count;
}

// An interface that echoes puts the frame on the line ahead of the radio's
// answer. A radio's answer is shorter than a frame, so an answer that
// begins with the very frame sent is an echo: the radio's own answer
// follows it, read by the same rule. -1 for a failure of the link.
int receive_answer(SerialLink& link, RunStage& stage, const CatFrame& frame, Answer& answer)
{
    std::uint8_t first[FRAME_SIZE];
    int size = FRAME_SIZE;
    int count = receive_from_radio(link, stage, first, size);
    if (count == FRAME_SIZE && std::memcmp(first, frame.bytes, FRAME_SIZE) == 0) {
        if (!stage.echo_noted)
            std::fprintf(operator_notes(), "sj: the interface echoes what sj sends; the echo is left out of the "
                                           "answers shown\n");
        stage.echo_noted = true;
        size = ANSWER_SIZE;
        count = receive_from_radio(link, stage, first, size);
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
int settle_window_ms(const SerialLink& link, const RunStage& stage)
{
    long long envelope_end_us = stage.frame_sent_us + (SLOWEST_LINK_MS + READ_GAP_MS) * 1000LL;
    long long left_ms = (envelope_end_us - link.last_byte_us + 999) / 1000;
    return left_ms > QUIET_LINE_MS ? static_cast<int>(left_ms) : QUIET_LINE_MS;
}

bool exchange(SerialLink& link, RunStage& stage, const CatFrame& frame, Answer& answer)
{
    int dropped = 0;
    if (!clear_line_for_command(link, stage, dropped))
        return false;
    bool write_command = frame.bytes[4] == EEPROM_WRITE;
    int written = send_frame(link, frame.bytes, FRAME_SIZE);
    if (written < 0)
        return report_link_failure(link, stage.write);
    stage.frame_sent_us = link_clock_us();
    if (written != FRAME_SIZE)
        return report_short_write(write_command, written);
    if (write_command) {
        stage.write = WriteStage::Sent;
        stage.hinted = false;  // a silence from here on has another meaning
    }
    // The radio may never answer; what was printed so far must not be lost
    // if the operator gives up with Ctrl-C.
    flush_standard_output();
    answer.count = receive_answer(link, stage, frame, answer);
    // A line that never falls quiet has sent late bytes too: the count says so.
    if (answer.count < 0 || wait_for_quiet_line(link, settle_window_ms(link, stage), answer.late) == LineWait::Failed)
        return report_link_failure(link, stage.write);
    // Two bytes alone are what a radio answers a read with, jumpers 00 04 too.
    answer.like_frame = answer.like_frame && !is_two_bytes_alone(answer);
    return true;
}

}  // namespace

bool clear_line_for_write(SerialLink& link, RunStage& stage, int& dropped)
{
    stage.write = WriteStage::Due;
    return clear_line_for_command(link, stage, dropped);
}

bool read_jumpers(SerialLink& link, RunStage& stage, Answer& answer)
{
    return exchange(link, stage, make_frame(0x00, 0x00, EEPROM_READ), answer);
}

bool write_jumpers(SerialLink& link, RunStage& stage, std::uint8_t byte1, std::uint8_t byte2, Answer& answer)
{
    return exchange(link, stage, make_frame(byte1, byte2, EEPROM_WRITE), answer);
}
