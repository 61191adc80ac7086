// How the front end shows every answer from the radio: the labelled byte
// line, and the note on an answer that looks like sj's own frame.
#pragma once

#include "cat.h"

#include <cstdint>

// "label: " then each byte as two upper-case hex digits and a blank.
void print_byte_line(const char* label, int count, const std::uint8_t* bytes);

// On standard error, after an answer that looks like part of sj's own frame.
void note_if_like_frame(const Answer& answer);
