// The labelled byte line that every answer from the radio is shown with.
#pragma once

#include <cstdint>

// "label: " then each byte as two upper-case hex digits and a blank.
void print_byte_line(const char* label, int count, const std::uint8_t* bytes);
