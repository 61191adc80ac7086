// The run from the command line to the end: banner, port option and word
// count, the port, the jumper read, and the write dialogue on request.
#pragma once

enum class RunMode { ReadOnly, Write };

struct CommandLine {
    int port;             // 1..MAX_PORT
    const char* device;   // a device path in place of the COM port, or null
    RunMode mode;
    const char* b1;   // the byte words, Write mode only
    const char* b2;
};

// The whole tool; the run's exit status. It opens the port and closes it
// (close_link) on every path.
int run_sj(int argc, char** argv);

// False when the words call for the usage text.
bool parse_command_line(int argc, char** argv, CommandLine& command);
