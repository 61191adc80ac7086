// A terminal outlives the programs started in it: nothing to hold.
#include "console_window.h"

#include <termios.h>
#include <unistd.h>

void hold_window_if_started_alone() {}

void discard_typed_ahead()
{
    if (isatty(STDIN_FILENO))
        tcflush(STDIN_FILENO, TCIFLUSH);
}
