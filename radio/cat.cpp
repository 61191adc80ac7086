// The EEPROM read and write commands and their one exchange rule.
#include "cat.h"
#include "link_failure.h"
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

// "sj: ", the cause, then what the radio may now hold, from the stage
// alone, in one sentence (none before YES); empty when there is neither.
void describe_fate_line(const SerialLink& link, const RunStage& stage, const char* cause, char* text, int size)
{
    char fate[LINK_NOTE_SIZE] = "";
    if (stage.write == WriteStage::Sent)
        std::snprintf(fate, sizeof fate, "the write command was out, so the radio may or may not hold the new bytes: "
                      "%s reads them", read_again_command(link));
    else if (stage.write == WriteStage::Due)
        std::snprintf(fate, sizeof fate, "the write command was not sent, so the radio holds what it had");
    text[0] = '\0';
    if (cause[0] || fate[0])
        std::snprintf(text, static_cast<std::size_t>(size), "sj: %s%s%s\n", cause, cause[0] && fate[0] ? "; " : "", fate);
}

void describe_way_back(const SerialLink& link, const RunStage& stage, char* text, int size)
{
    const char* again = read_again_command(link);
    std::snprintf(text, static_cast<std::size_t>(size), "sj: the bytes before this write were %02X %02X; %s %02X %02X "
                  "writes them back%s%s%s\n", stage.before[0], stage.before[1], again, stage.before[0], stage.before[1],
                  stage.kept_in ? " (kept in " : "", stage.kept_in ? stage.kept_in : "", stage.kept_in ? ")" : "");
}

// Once the write frame is out, a silence says nothing of the cable: the
// operator needs the write's fate and the way back before giving up.
void describe_silence(const SerialLink& link, const RunStage& stage, char* text, int size)
{
    if (stage.write != WriteStage::Sent) {
        std::snprintf(text, static_cast<std::size_t>(size), "sj: no answer from the radio yet. Check that it is "
                      "switched on, that its CAT rate is 38400 baud and that the cable is in its CAT jack (the ACC "
                      "jack on an FT-817). Ctrl-C stops sj.\n");
        return;
    }
    describe_fate_line(link, stage, "no answer from the radio since the write command was sent (Ctrl-C stops sj)",
                       text, size);
    int used = static_cast<int>(std::strlen(text));
    describe_way_back(link, stage, text + used, size - used);
}

// Every command goes out on a quiet line, cleared of what came before it.
// Once the write is due, nothing may have come since the jumpers were read:
// the values shown may not have been the radio's.
bool clear_line_for_command(SerialLink& link, RunStage& stage)
{
    int dropped = 0;
    LineWait line = wait_for_quiet_line(link, QUIET_LINE_MS, dropped);
    if (line == LineWait::Failed)
        return report_link_failure(link, stage);
    if (line == LineWait::Noisy) {
        std::printf("Error: bytes kept coming from the radio for %d seconds without a pause; command not sent\n",
                    NOISY_LINE_LIMIT_MS / 1000);
        tell_write_fate(link, stage, "");
        return false;
    }
    if (dropped > 0 && stage.write == WriteStage::Due) {
        char cause[LINK_NOTE_SIZE];
        std::snprintf(cause, sizeof cause, "%d more byte%s came after the jumpers were read, so the values shown are "
                      "not certain: once the line is quiet, %s reads them again", dropped, dropped == 1 ? "" : "s",
                      read_again_command(link));
        tell_write_fate(link, stage, cause);
        return false;
    }
    return discard_input(link) || report_link_failure(link, stage);
}

// Once at each write stage, a silence brings the hint for it.
int receive_from_radio(SerialLink& link, RunStage& stage, std::uint8_t* buffer, int size)
{
    char hint[2 * LINK_NOTE_SIZE];  // the fate and the way back, each with a quoted path
    if (!stage.hinted)
        describe_silence(link, stage, hint, sizeof hint);
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
    if (!clear_line_for_command(link, stage))
        return false;
    bool write_command = frame.bytes[4] == EEPROM_WRITE;
    // A write that failed or went out short may have left bytes on the line.
    if (write_command) {
        stage.write = WriteStage::Sent;
        stage.hinted = false;  // a silence from here on has another meaning
    }
    int written = send_frame(link, frame.bytes, FRAME_SIZE);
    if (written < 0)
        return report_link_failure(link, stage);
    stage.frame_sent_us = link_clock_us();
    if (written != FRAME_SIZE) {
        report_short_write(write_command, written);
        tell_write_fate(link, stage, "");
        return false;
    }
    // The radio may never answer; what was printed so far must not be lost
    // if the operator gives up with Ctrl-C.
    flush_standard_output();
    answer.count = receive_answer(link, stage, frame, answer);
    // A line that never falls quiet has sent late bytes too: the count says so.
    if (answer.count < 0 || wait_for_quiet_line(link, settle_window_ms(link, stage), answer.late) == LineWait::Failed)
        return report_link_failure(link, stage);
    // Two bytes alone are what a radio answers a read with, jumpers 00 04 too.
    answer.like_frame = answer.like_frame && !is_two_bytes_alone(answer);
    return true;
}

}  // namespace

bool clear_line_for_write(SerialLink& link, RunStage& stage, const Answer& before)
{
    stage.write = WriteStage::Due;
    stage.before[0] = before.bytes[0];
    stage.before[1] = before.bytes[1];
    return clear_line_for_command(link, stage);
}

bool read_jumpers(SerialLink& link, RunStage& stage, Answer& answer)
{
    return exchange(link, stage, make_frame(0x00, 0x00, EEPROM_READ), answer);
}

bool write_jumpers(SerialLink& link, RunStage& stage, std::uint8_t byte1, std::uint8_t byte2, Answer& answer)
{
    return exchange(link, stage, make_frame(byte1, byte2, EEPROM_WRITE), answer);
}

void tell_write_fate(const SerialLink& link, const RunStage& stage, const char* cause)
{
    char line[2 * LINK_NOTE_SIZE];
    describe_fate_line(link, stage, cause, line, sizeof line);
    std::fprintf(operator_notes(), "%s", line);  // Wine holds back an fputs to stderr
}

bool report_link_failure(const SerialLink& link, const RunStage& stage)
{
    print_failed_step(link);
    char cause[LINK_NOTE_SIZE];
    describe_link_failure(link, cause, sizeof cause);  // only an open's failure calls for the port list
    tell_write_fate(link, stage, cause);
    return false;
}

void tell_way_back(const SerialLink& link, const RunStage& stage)
{
    if (stage.write != WriteStage::Sent)
        return;
    char line[LINK_NOTE_SIZE];
    describe_way_back(link, stage, line, sizeof line);
    std::fprintf(operator_notes(), "%s", line);  // Wine holds back an fputs to stderr
}
