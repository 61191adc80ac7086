// sj in this process against the simulated radio's model on a scripted
// clock: the link's calls on the radio's port (poll, read, write, tcflush)
// and the monotonic clock are wrapped at link time (-Wl,--wrap), and a wait
// moves the clock on instead of sleeping. The port is a real pseudo-terminal,
// so that opening and setting it up are the real calls.
#pragma once

#include "process.h"

#include <optional>
#include <string>
#include <vector>

struct ScriptedRun {
    ProcessResult result;  // a run that would wait for ever ends as Ctrl-C ends it
    std::string log;       // the radio's, as simradio writes it
    int margin_ms;         // how near any wait's end came to something the radio did
    std::string history_at_write_frame;  // sj's history file as the write frame reached the radio
};

// The radio takes simradio's options and sits on COM<port>:; `words` follow
// "sj", and `input` (none: closed) is typed once the radio's log holds
// `input_after_log`.
ScriptedRun run_scripted(const std::vector<std::string>& radio, int port, const std::vector<std::string>& words,
                         const std::optional<std::string>& input, const std::string& input_after_log = "");
