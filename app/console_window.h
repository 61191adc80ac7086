// The operator's console: keys typed ahead of a question, and the window of
// an sj.exe started from Explorer, which stays open until it is read.
#pragma once

// True when sj is the only process on its console (so the window is its
// own and closes with it; a shell, a batch file or a test harness shares
// it) and the operator can answer from that console (not a pipe or file).
inline bool window_needs_holding(unsigned long console_processes, bool input_is_console)
{
    return console_processes == 1 && input_is_console;
}

// Where that holds, asks for Enter on standard error and waits for it.
void hold_window_if_started_alone();

// Drops what was typed on a terminal or console before a question; input
// from a pipe or a file is left as it is.
void discard_typed_ahead();
