// The write run: the new byte values, the operator's YES, the EEPROM write,
// the radio's verdict and the read-back.
#include "write_dialogue.h"
#include "byte_line.h"
#include "console_window.h"
#include "history.h"
#include "operator_note.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// A hex digit's value; anything else counts as a zero digit.
int hex_digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    int upper = std::toupper(static_cast<unsigned char>(c));
    return upper >= 'A' && upper <= 'F' ? upper - 'A' + 10 : 0;
}

bool confirm_yes()
{
    discard_typed_ahead();  // keys pressed before the values were on screen answer nothing
    std::printf("Are you SURE you want to do this ?\nPlease answer YES to continue > ");
    flush_standard_output();  // the prompt must be on the screen before we wait
    return answer_is_yes(stdin);
}

enum class WriteVerdict { Accepted, Refused, CannotBeTold };

// A radio answers a write with one status byte, 00 for accepted. With more
// bytes, in the answer or while it settled, any of them may be a stray's.
WriteVerdict judge_write_answer(const Answer& answer)
{
    if (answer.received == 1 && answer.late == 0)
        return answer.bytes[0] == 0x00 ? WriteVerdict::Accepted : WriteVerdict::Refused;
    return answer.count == 0 ? WriteVerdict::Refused : WriteVerdict::CannotBeTold;
}

void print_write_verdict(const Answer& answer, WriteVerdict verdict)
{
    if (verdict == WriteVerdict::Accepted) {
        std::printf("Radio accepted write EEPROM command\n\n");
    } else if (verdict == WriteVerdict::Refused) {
        std::printf("Error: Radio did not accept command, should have returned 00\n\n");
    } else {
        int more = answer.received - 1 + answer.late;
        std::printf("Radio answered %02X and %d more byte%s, so whether it accepted write EEPROM command cannot be "
                    "told\n\n", answer.bytes[0], more, more == 1 ? "" : "s");
    }
}

// Only bytes seen in the radio's read-back count as written: a radio that
// answers 00 but stores nothing must not pass for an update. Bytes beyond
// a radio's two may be the answer, and which ones cannot be told.
bool read_back_shows(const Answer& answer, std::uint8_t byte1, std::uint8_t byte2)
{
    return is_two_bytes_alone(answer) && answer.bytes[0] == byte1 && answer.bytes[1] == byte2;
}

// The last exchange: the bytes read back, and the run's verdict on them.
int read_back_and_judge(SerialLink& link, RunStage& stage, WriteVerdict verdict, std::uint8_t byte1,
                        std::uint8_t byte2)
{
    std::printf("Reading EEPROM values again:\n");
    Answer answer;
    if (!read_jumpers(link, stage, answer)) {
        keep_outcome(link, "failed at the read-back", nullptr);
        return 1;
    }
    print_byte_line("Read current data from EEPROM gives ", answer.count, answer.bytes);
    note_if_odd_read(answer, "");
    bool confirmed = read_back_shows(answer, byte1, byte2);
    if (!confirmed)
        note_if_like_frame(answer);
    const char* outcome = verdict == WriteVerdict::Refused        ? "refused"
                          : confirmed                             ? "updated"
                          : verdict == WriteVerdict::CannotBeTold ? "cannot be told"
                                                                  : "not confirmed";
    keep_outcome(link, outcome, &answer);
    // A refused write is no update, even where the radio holds the bytes.
    if (verdict == WriteVerdict::Refused) {
        if (confirmed)
            std::fprintf(operator_notes(), "sj: the radio reads back the bytes written although it did not answer 00, "
                                           "so it may hold them\n");
        return 1;
    }
    if (confirmed)
        std::printf("\nEEPROM values updated, power off/on radio to activate\n\n");
    else if (answer.late > 0)
        std::printf("\nError: EEPROM values not confirmed, more bytes came after the read-back; %s reads them again\n\n",
                    read_again_command(link));
    else
        std::printf("\nError: EEPROM values not confirmed, read-back should have given %02X %02X\n\n", byte1, byte2);
    return confirmed ? 0 : 1;
}

}  // namespace

std::uint8_t parse_hex_byte(const char* word)
{
    if (word[0] == '\0')
        return 0;
    int value = hex_digit_value(word[0]);
    if (word[1] == '\0')
        return static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>(value * 16 + hex_digit_value(word[1]));
}

// Yes only when the line starts with YES in capitals; the rest is ignored.
bool answer_is_yes(std::FILE* input)
{
    char line[31];
    return std::fgets(line, sizeof line, input) && std::strncmp(line, "YES", 3) == 0;
}

int run_write_dialogue(SerialLink& link, RunStage& stage, const char* b1, const char* b2, const Answer& before)
{
    std::uint8_t byte1 = parse_hex_byte(b1);
    std::uint8_t byte2 = parse_hex_byte(b2);
    std::printf("\nAbout to write the values %02x %02x to the EEPROM\n", byte1, byte2);
    if (!confirm_yes()) {
        std::printf("Aborted: you must enter YES in uppercase to continue and write to the EEPROM\n\n");
        return 0;
    }
    // Announced only once the line is quiet and the frame is about to go out.
    if (!clear_line_for_write(link, stage, before))
        return 1;
    std::printf("\nSending CAT command: 00 04 %02x %02x BC to the Radio\n", byte1, byte2);
    // The values, the prompt and this line must have reached their reader
    // before the frame goes out: the operator said YES to what they saw.
    if (flush_standard_output() != 0) {
        tell_write_fate(link, stage, "standard output failed, so the values and the prompt may not have been seen");
        return 1;
    }
    keep_write(link, stage, byte1, byte2);
    Answer answer;
    if (!write_jumpers(link, stage, byte1, byte2, answer)) {
        keep_outcome(link, stage.write == WriteStage::Sent ? "failed at the write's answer" : "not sent", nullptr);
        return 1;
    }
    print_byte_line("Radio response to write command is ", answer.count, answer.bytes);
    note_if_like_frame(answer);
    WriteVerdict verdict = judge_write_answer(answer);
    print_write_verdict(answer, verdict);
    return read_back_and_judge(link, stage, verdict, byte1, byte2);
}
