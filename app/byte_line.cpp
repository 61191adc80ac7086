// The byte line and its notes, shared by the jumper read and the write dialogue.
#include "byte_line.h"
#include "operator_note.h"

#include <cstdio>

void print_byte_line(const char* label, int count, const std::uint8_t* bytes)
{
    std::printf("%s: ", label);
    for (int i = 0; i < count; ++i)
        std::printf("%02X ", bytes[i]);
    std::printf("\n");
}

void note_if_odd_read(const Answer& answer, const char* advice)
{
    if (answer.received == 2)
        return;
    char shown[32] = "";
    if (answer.received > answer.count)
        std::snprintf(shown, sizeof shown, " (%d shown)", answer.count);
    std::fprintf(operator_notes(), "sj: the radio's answer had %d byte%s%s, not 2, so the values shown may not be the "
                                   "jumpers (a wrong CAT rate, a noisy line)%s\n", answer.received,
                 answer.received == 1 ? "" : "s", shown, advice);
}

void note_if_like_frame(const Answer& answer)
{
    if (answer.like_frame)
        std::fprintf(operator_notes(), "sj: that answer looks like part of sj's own frame, from an interface that "
                                       "echoes what sj sends and lost or delayed some of it\n");
}
