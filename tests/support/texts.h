// The tool's texts as an operator sees them, put together for comparisons.
#pragma once

#include <string>

// The read frame, as logs and texts show it.
inline const std::string read_frame = "00 04 00 00 BB";

std::string banner(const std::string& program = "sj");
std::string usage_text();
// The line on standard error after the usage text (device paths: POSIX).
std::string port_forms_note(bool device_paths = true);
std::string port_message(int port);
std::string jumper_line(const std::string& bytes);  // bytes as printed, e.g. "D8 BF "
// The write dialogue up to the prompt, for byte1 and byte2 in lower-case hex.
std::string write_prompt(const std::string& b1, const std::string& b2);
// Notes on standard error: a read of other than two bytes (the first read's
// says how to read `again`), an echoing interface, a silence after the write
// (`again` reads the bytes, `before` were the bytes before it).
std::string odd_read_note(int count, const std::string& again = "", int shown = 4);
std::string echo_note();
std::string silence_hint();
std::string write_hint(const std::string& again, const std::string& before);
// The way back once the write frame went out, and where the history keeps it.
std::string way_back(const std::string& again, const std::string& before,
                     const std::string& kept_in = "~/.local/state/sj/history");
std::string unsettled_read_note(int late, const std::string& again);  // bytes in the first answer's window
// The write run after the radio's 00, up to the read-back's answer.
std::string write_accepted();
std::string reading_again();
// The note after a line that went away, and what it leaves of the write;
// the note of a write's fate alone (a noisy line, a short write).
std::string went_away_note(const std::string& device, const std::string& fate = "");
std::string fate_note(const std::string& fate);
std::string write_not_sent();
std::string write_was_out(const std::string& again);
// Bytes that came after the first read's window, once YES was given.
std::string came_before_write_note(int count, const std::string& again);
