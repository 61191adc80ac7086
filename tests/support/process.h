// Child processes for end-to-end tests: the real sj binary and the
// simulated radio.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;   // exit status, or -1 when a signal ended the process
    int signal = 0;    // the signal that ended it, if any
    bool timed_out = false;
    std::string out;
    std::string err;
};

// Looks at the output so far (standard output and error); true when the
// moment has come.
using OutputEvent = std::function<bool(const ProcessResult& so_far)>;

struct ProcessOptions {
    std::optional<std::string> input;  // standard input; none means closed
    OutputEvent input_when;            // if set, `input` goes in only then
    OutputEvent interrupt_when;        // `interrupt_with` once this holds
    int interrupt_with = 2;            // SIGINT
    const char* stdout_to = nullptr;   // a file instead of the pipe; "" closes standard output
    int timeout_ms = 10000;            // then SIGKILL
    std::vector<std::string> env;      // NAME=value added to the environment
    bool err_to_out = false;           // standard error into standard output's pipe, as 2>&1
    std::string controlling_terminal;  // a terminal the child takes as its own, in a session of its own
    std::string stdin_from;            // a file instead of `input`, opened without taking it as a terminal
    bool stdout_gone_at_input = false; // standard output's reader goes away just before `input` goes in
};

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options);
// In a child: runs argv[0] with argv, or ends the child with status 127.
[[noreturn]] void exec_words(const std::vector<std::string>& argv);

// A simulated radio behind the link `path`, running until stopped.
struct SimRadio {
    int pid = -1;
    std::string log_path;
};

SimRadio start_sim_radio(const std::string& simradio, const std::string& link, const std::vector<std::string>& options);
// Stops the radio (if it has not ended by itself) and returns its log.
std::string stop_sim_radio(SimRadio& radio);
// Its log so far.
std::string radio_log(const SimRadio& radio);
std::string read_file(const std::string& path);
// The frames the radio received, as "00 04 00 00 BB", from its log.
std::vector<std::string> frames_in(const std::string& log);
// The radio's EEPROM bytes 4 and 5 when it stopped, as "D8 BF".
std::string eeprom_in(const std::string& log);
