// The console front end: the command line, the texts, the read and the
// write dialogue. Every path gives its exit status back to the caller.
#pragma once

#include "serial_link.h"

#include <cstdint>
#include <cstdio>

enum class RunMode { ReadOnly, Write };

struct CommandLine {
    int port;             // 1..MAX_PORT
    const char* device;   // a device path in place of the COM port, or null
    RunMode mode;
    const char* b1;   // the byte words, Write mode only
    const char* b2;
};

// The whole tool: banner, command line, read, and write dialogue.
int run_sj(int argc, char** argv);

// False when the words call for the usage text.
bool parse_command_line(int argc, char** argv, CommandLine& command);

// The write dialogue.
std::uint8_t parse_hex_byte(const char* word);
bool answer_is_yes(std::FILE* input);  // reads one answer line of at most 30 characters
struct Answer;
// `before`: the first read's answer, the way back once the write is confirmed.
int run_write_dialogue(SerialLink& link, const char* b1, const char* b2, const Answer& before);

// On standard error, after an answer that looks like part of sj's own frame.
void note_if_like_frame(const Answer& answer);
