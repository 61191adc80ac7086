// Holds the console window that Windows made for sj.exe alone (a double
// click in Explorer, a shortcut) until the operator presses Enter; drops
// keys typed ahead of a question.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "console_window.h"

#include <cstdio>
#include <cstring>

namespace {

bool is_console(HANDLE input)
{
    DWORD mode = 0;
    return input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode);
}

}  // namespace

void hold_window_if_started_alone()
{
    DWORD processes[2];
    DWORD count = GetConsoleProcessList(processes, 2);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!window_needs_holding(count, is_console(input)))
        return;
    std::fprintf(stderr, "Press Enter to close this window.\n");
    // Keys typed before the question must not close the window unread.
    FlushConsoleInputBuffer(input);
    char line[64];
    DWORD got = 0;
    while (ReadConsoleA(input, line, sizeof line, &got, nullptr) && got > 0 && !std::memchr(line, '\n', got)) {
    }
}

void discard_typed_ahead()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (is_console(input))
        FlushConsoleInputBuffer(input);
}
