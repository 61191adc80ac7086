// The history: a line for every certain reading and every write sj makes,
// in a file of the operator's, so that the old bytes outlive the screen.
#pragma once

#include "cat.h"

#include <cstdint>
#include <cstdio>

// A certain reading of the jumpers (two bytes alone).
void keep_reading(const SerialLink& link, const std::uint8_t* bytes);
// Before the write frame: the write over `stage.before`, on disk with the
// reading before it; `stage.kept_in` then names the file.
void keep_write(const SerialLink& link, RunStage& stage, std::uint8_t byte1, std::uint8_t byte2);
// After it: how it ended ("updated"), with the bytes read back (or null).
void keep_outcome(const SerialLink& link, const char* outcome, const Answer* read_back);
// The run's end: the file closed. sj --history: the file and where it
// lives, and the run's status.
void close_history();
int print_history();

// The platform's share (history_posix.cpp, history_win32.cpp): the file's
// path and how to show it (false when no folder is named); the file opened
// to append (the folder made), for this user alone, in text mode, errno set
// on failure; made durable; a line that Ctrl-C leaves there (null: none).
constexpr int HISTORY_PATH_SIZE = 1024;
bool find_history(char* path, char* shown);
std::FILE* open_history(char* path);
bool sync_history(std::FILE* file);
void keep_if_interrupted(std::FILE* file, const char* line);
