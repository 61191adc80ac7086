// What sj adds for the operator (a hint, the ports that exist) goes to
// standard error, after whatever standard output holds so far, so that a
// log of both streams reads in the order of events.
#pragma once

#include "serial_link.h"

#include <cstdio>

// Standard error, once standard output has been flushed: where each note
// is printed.
std::FILE* operator_notes();

// Flushes standard output. Returns 0, or once anything was lost there the
// first failure's error number, however many flushes came after it.
int flush_standard_output();

// The platform's own text for an error number (link_notes_*.cpp).
void describe_error(int error, char* text, int size);

// The command that many notes give to read the jumpers again: "sj -4", or
// "sj " and the device path, quoted as a POSIX shell needs it.
const char* read_again_command(const SerialLink& link);
