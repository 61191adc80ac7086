// The write run, once the first read has shown the jumpers.
#pragma once

#include "cat.h"

#include <cstdint>
#include <cstdio>

std::uint8_t parse_hex_byte(const char* word);
bool answer_is_yes(std::FILE* input);  // reads one answer line of at most 30 characters
// `before`: the first read's answer, two bytes alone: the way back once the write frame is out.
int run_write_dialogue(SerialLink& link, RunStage& stage, const char* b1, const char* b2, const Answer& before);
