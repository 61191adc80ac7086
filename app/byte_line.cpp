// The byte line, shared by the jumper read and the write dialogue.
#include "byte_line.h"

#include <cstdio>

void print_byte_line(const char* label, int count, const std::uint8_t* bytes)
{
    std::printf("%s: ", label);
    for (int i = 0; i < count; ++i)
        std::printf("%02X ", bytes[i]);
    std::printf("\n");
}
