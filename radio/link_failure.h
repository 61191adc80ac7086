// What the link says of its last failure, for the CAT layer to tell in the
// words of the run's stage (link_texts.cpp has the texts).
#pragma once

#include "serial_link.h"

// A failure's note: the device's name, the cause and what would help, or
// the port list; a command with a quoted path fits.
constexpr int LINK_NOTE_SIZE = 16 * MAX_DEVICE_PATH;

// The failed step's message with its error number, on standard output.
void print_failed_step(const SerialLink& link);

// What the last failure means on this platform and what would help, as a
// note's words without "sj: " ("COM4 went away: ..."); empty where the port
// list says it all. True when the port list should follow.
bool describe_link_failure(const SerialLink& link, char* text, int size);

// A frame that the platform wrote only `written` bytes of.
void report_short_write(bool write_command, int written);
