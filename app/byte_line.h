// How the front end shows every answer from the radio: the labelled byte
// line, and the notes on an answer of an odd count or like sj's own frame.
#pragma once

#include "cat.h"

#include <cstdint>

// "label: " then each byte as two upper-case hex digits and a blank.
void print_byte_line(const char* label, int count, const std::uint8_t* bytes);

// On standard error, after an answer that looks like part of sj's own frame.
void note_if_like_frame(const Answer& answer);

// On standard error, after a read whose answer had other than the radio's
// two bytes; `advice` ends the note (may be empty).
void note_if_odd_read(const Answer& answer, const char* advice);
