// When a console window must wait for the operator; the platform's own file
// gathers the facts.
#include "console_window.h"

bool window_needs_holding(unsigned long console_processes, bool input_is_console)
{
    // A shell, a batch file or a test harness shares the console, or gives
    // input from a pipe or a file: then nothing waits.
    return console_processes == 1 && input_is_console;
}
