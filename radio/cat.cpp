// The EEPROM read and write commands and their one exchange rule.
#include "cat.h"
#include "operator_note.h"

#include <cstdio>

namespace {

CatFrame make_frame(std::uint8_t data1, std::uint8_t data2, std::uint8_t opcode)
{
    return CatFrame{{0x00, JUMPER_ADDRESS, data1, data2, opcode}};
}

bool exchange(SerialLink& link, const CatFrame& frame, const char* short_write_format, Answer& answer)
{
    // The answer to this command is judged only by what comes after it.
    if (!discard_input(link))
        return false;
    int written = send_frame(link, frame.bytes, sizeof frame.bytes);
    if (written < 0)
        return false;
    if (written != static_cast<int>(sizeof frame.bytes)) {
        std::printf(short_write_format, written);
        return false;
    }
    // The radio may never answer; what was printed so far must not be lost
    // if the operator gives up with Ctrl-C.
    flush_standard_output();
    answer.count = receive(link, answer.bytes, sizeof answer.bytes);
    return answer.count >= 0;
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
