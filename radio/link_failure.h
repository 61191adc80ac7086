// What sj says when the link fails, in the words of the run's stage: for
// the CAT layer (link_texts.cpp has them).
#pragma once

#include "serial_link.h"

// How far the write has got, which the CAT layer keeps: what a failure or
// a silence now leaves in the radio.
enum class WriteStage { NotAsked, Due, Sent };

// The failed step's message with its error number, then the note for it;
// a frame that the platform wrote only `written` bytes of. Both false, so
// that a failure ends with `return report_...(...)`.
bool report_link_failure(const SerialLink& link, WriteStage stage);
bool report_short_write(bool write_command, int written);

// The silent-radio hint for the stage.
void describe_silence(const SerialLink& link, WriteStage stage, char* text, int size);
