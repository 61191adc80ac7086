// Runs the tool in this process with given words and standard input, and
// captures what it prints.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct InProcessRun {
    int status;
    std::string output;
    std::string errors;  // standard error
    bool interrupted = false;
};

// Thrown by a test double to end the run as Ctrl-C would.
struct RunInterrupted {};

// An argument vector as main is given it: "sj", then `words`, then a null.
// `storage` holds the words that the pointers point into.
std::vector<char*> argv_for(const std::vector<std::string>& words, std::vector<std::string>& storage);

// `words` are typed after the program name "sj"; no input means standard input closed.
InProcessRun run_in_process(const std::vector<std::string>& words, const std::optional<std::string>& input = "");

// Captures standard output around any piece of the tool.
void begin_capture();
std::string end_capture();
