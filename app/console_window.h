// The console window of an sj.exe started from Explorer: it stays open
// until the operator has read it.
#pragma once

// True when sj is the only process on its console (so the window is its
// own and closes with it) and the operator can answer from that console.
bool window_needs_holding(unsigned long console_processes, bool input_is_console);

// Where that holds, asks for Enter on standard error and waits for it.
void hold_window_if_started_alone();
