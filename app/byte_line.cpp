// The byte line and its note, shared by the jumper read and the write dialogue.
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

void note_if_like_frame(const Answer& answer)
{
    if (answer.like_frame)
        std::fprintf(operator_notes(), "sj: that answer looks like part of sj's own frame, from an interface that "
                                       "echoes what sj sends and lost or delayed some of it\n");
}
