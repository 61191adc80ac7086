// The faulty radios of the fault tests, on either clock: a table of radio
// faults at each of the three exchanges, and seeded random runs with what
// must hold whatever happens (status 0 or 1, standard error only after a
// missing port, only the two frames on the line, no write without YES, no
// success the EEPROM denies).
#pragma once

#include "expected_byte.h"
#include "own_folder.h"
#include "process.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace faults {

// The radio's port in the fault table, as sj names it from the test's folder.
inline const std::string PORT_4 = port_path(4);

inline const std::string P = write_prompt("70", "06");
inline const std::string S = "\nSending CAT command: 00 04 70 06 BC to the Radio\n";
inline const std::string ACC = write_accepted();
inline const std::string ERR = "Error: Radio did not accept command, should have returned 00\n\n";
inline const std::string AGAIN = reading_again();
inline const std::string DONE = "\nEEPROM values updated, power off/on radio to activate\n\n";
inline const std::string UNSURE = "\nError: EEPROM values not confirmed, read-back should have given 70 06\n\n";
inline const std::string UNSETTLED = "\nError: EEPROM values not confirmed, more bytes came after the read-back; sj -4 reads them again\n\n";
inline const std::string LIKE = "sj: that answer looks like part of sj's own frame, from an interface that echoes what sj sends and lost or delayed some of it\n";
inline std::string UNTOLD(int more, const std::string& first = "00") { return "Radio answered " + first + " and " + std::to_string(more) + (more == 1 ? " more byte" : " more bytes") + ", so whether it accepted write EEPROM command cannot be told\n\n"; }
inline const std::string FAILED_READ = "ReadFile failed with error 5.\n";
inline std::string WENT(const std::string& fate) { return went_away_note(PORT_4, fate); }
inline const std::string WAS_OUT = write_was_out("sj -4");
inline std::string UNREAD(int late) { return unsettled_read_note(late, "sj -4"); }
inline std::string BACK_TO(const std::string& b) { return way_back("sj -4", b); }
inline const std::string BACK_DB = BACK_TO("D8 BF");
inline const std::string CONTRADICTED = "sj: the radio reads back the bytes written although it did not answer 00, so it may hold them\n";
inline const std::string CAME_BEFORE_WRITE = came_before_write_note(1, "sj -4");
inline const std::string NOISY = "Error: bytes kept coming from the radio for 2 seconds without a pause; command not sent\n";

inline std::string R(const std::string& bytes) { return "Radio response to write command is : " + bytes + "\n"; }
inline std::string BACK(const std::string& bytes) { return "Read current data from EEPROM gives : " + bytes + "\n"; }

inline constexpr int HANGS = -2;  // the radio never answers: the run is interrupted once the hint is out
inline constexpr int SLOW_RADIO_MS = 600;  // a radio this slow or slower counts as slow in the random runs

struct FaultCase {
    const char* name;
    std::vector<std::string> radio;
    std::string after_port;  // what follows the port message
    std::string err;
    int status;              // or HANGS
    int frames;              // how many frames reached the radio
    const char* eeprom;
    const char* yes_after = "";  // YES is typed only once the radio's log holds this
    bool real_time = false;      // also run on real time, as its class of fault's one row
};

inline const std::string WRITE_HINT = write_hint("sj -4", "D8 BF");

// A write run of 70 06 with YES typed at the prompt against a radio with
// bytes D8 BF, on the scripted clock; the rows marked true on real time too; its EEPROM holds its own addresses elsewhere, so long answers
// show where bytes came from.
inline const FaultCase fault_cases[] = {
    // A first read of other than two bytes alone is uncertain: no YES is asked for.
    {"first read: 1 byte", {"--lengths", "1"}, jumper_line("D8 "), odd_read_note(1, "sj -4"), 1, 1, "D8 BF"},
    {"first read: a stray 5 ms after the frame, merged into a prompt radio's answer", {"--stray", "7006", "--stray-frame", "1", "--stray-after", "5"}, jumper_line("D8 BF 70 06 "), odd_read_note(4, "sj -4"), 1, 1, "D8 BF"},
    // The first command's quiet line counts from the open, whether or not a byte waits there.
    {"a stray 50 ms after the open", {"--pending", "7006", "--pending-after", "50"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 ") + DONE, BACK_DB, 0, 3, "70 06"},
    {"a stray 150 ms after the open", {"--pending", "70", "--pending-after", "150"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 ") + DONE, BACK_DB, 0, 3, "70 06"},
    {"first read: 0 bytes", {"--lengths", "0"}, "", silence_hint(), HANGS, 1, "D8 BF"},
    // Silent after the write frame: the hint says the write is out.
    {"write: 0 bytes", {"--lengths", "2,0"}, jumper_line("D8 BF ") + P + S, WRITE_HINT, HANGS, 2, "70 06", "", true},
    {"read-back: 1 byte", {"--lengths", "2,1,1"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 ") + UNSURE, odd_read_note(1) + BACK_DB, 1, 3, "70 06", "", true},
    // Only an answer of exactly two bytes is the radio's read-back.
    {"read-back: 4 bytes", {"--lengths", "2,1,4"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 06 07 ") + UNSURE, odd_read_note(4) + BACK_DB, 1, 3, "70 06"},
    {"read-back: 0 bytes", {"--lengths", "2,1,0"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN, WRITE_HINT, HANGS, 3, "70 06"},
    // A line that hangs up before answering has failed the read.
    {"hang-up at the write", {"--hangup-after", "2"}, jumper_line("D8 BF ") + P + S + FAILED_READ, WENT(WAS_OUT) + BACK_DB, 1, 2, "D8 BF"},
    // No end of the line is quiet: a hang-up at the prompt, or in an answer's window, ends the run.
    {"hang-up at the prompt", {"--hangup-at", "1,2500"}, jumper_line("D8 BF ") + P + FAILED_READ, WENT(write_not_sent()), 1, 1, "D8 BF", "hangup"},
    {"hang-up in the write's window", {"--refuse", "F0", "--delay", "300", "--stray", "00", "--stray-frame", "2", "--stray-after", "20", "--hangup-at", "2,200"}, jumper_line("D8 BF ") + P + S + FAILED_READ, WENT(WAS_OUT) + BACK_DB, 1, 2, "D8 BF"},
    {"hang-up in the read-back's window", {"--stores", "00", "00", "--delay", "300", "--stray", "7006", "--stray-frame", "3", "--stray-after", "20", "--hangup-at", "3,200"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + FAILED_READ, WENT(WAS_OUT) + BACK_DB, 1, 3, "00 00", "", true},
    // The window covers a slow radio: its tail 620 ms after its 00 is seen.
    {"a radio 800 ms slow", {"--delay", "800", "--write-tail", "7006", "--tail-gap", "620", "--stores", "00", "00"}, jumper_line("D8 BF ") + P + S + R("00 ") + UNTOLD(2) + AGAIN + BACK("00 00 ") + UNSURE, BACK_DB, 1, 3, "00 00"},
    // The window runs from the frame: a stray just after it, however early, is seen with a slow radio's answer behind it.
    {"first read: a stray 5 ms after the frame, the radio 1 s slow", {"--delay", "1000", "--stray", "7006", "--stray-frame", "1", "--stray-after", "5"}, jumper_line("70 06 "), UNREAD(2), 1, 1, "D8 BF", "", true},
    {"read-back: a stray 10 ms after the frame, the radio 800 ms slow, nothing stored", {"--delays", "0,0,800", "--stores", "D8", "BF", "--stray", "7006", "--stray-frame", "3", "--stray-after", "10"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 ") + UNSETTLED, BACK_DB, 1, 3, "D8 BF"},
    {"read-back: a stray at once, the radio 1.5 s slow", {"--delays", "0,0,1500", "--stores", "12", "34", "--stray", "7006", "--stray-frame", "3"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 ") + UNSETTLED, BACK_DB, 1, 3, "12 34"},
    // Nothing comes from a radio within the envelope between its settled answer and the next frame.
    {"a byte after the first read's window, before YES", {"--read-tail", "00", "--tail-gap", "1800"}, jumper_line("D8 BF ") + P, CAME_BEFORE_WRITE, 1, 1, "D8 BF", "tx 00\n", true},
    // Scripted only: on real time a loaded machine can stall the radio past the 200 ms a quiet line needs (the
    // link's own noisy wait runs on real pseudo-terminals in link_tests).
    {"a line noisy from the open", {"--noise", "20"}, NOISY, "", 1, 0, "D8 BF"},
    {"first read: a byte in its window", {"--jumpers", "D8", "00", "--refuse", "05", "--gap", "150"}, jumper_line("D8 "), odd_read_note(1) + UNREAD(1), 1, 1, "D8 00"},
    // Only a lone byte is the write's status.
    {"write: a stray 05 ahead of the radio's 00", {"--delay", "300", "--stray", "05", "--stray-frame", "2", "--stray-after", "20"}, jumper_line("D8 BF ") + P + S + R("05 ") + UNTOLD(1, "05") + AGAIN + BACK("70 06 ") + DONE, BACK_DB, 0, 3, "70 06"},
    {"jumpers 00 04 are no echo", {"--jumpers", "00", "04"}, jumper_line("00 04 ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 ") + DONE, BACK_TO("00 04"), 0, 3, "70 06"},
    {"read-back: a stray in its window", {"--stray", "00", "--stray-frame", "3", "--stray-after", "300"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 ") + UNSETTLED, BACK_DB, 1, 3, "70 06"},
    {"says 00, stores other bytes", {"--stores", "12", "34"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("12 34 ") + UNSURE, BACK_DB, 1, 3, "12 34"},
    // A stray 00 after the write frame is no acceptance (a write's tail is no read-back: EndToEnd.AWriteTailIsNoReadBack).
    {"refused 800 ms late, a stray 00 12 ms after the write frame", {"--refuse", "05", "--delays", "0,800", "--stray", "00", "--stray-frame", "2", "--stray-after", "12"}, jumper_line("D8 BF ") + P + S + R("00 ") + UNTOLD(1) + AGAIN + BACK("D8 BF ") + UNSURE, BACK_DB, 1, 3, "D8 BF"},
    {"echo with its last byte lost", {"--echo-lose", "--refuse", "F0"}, jumper_line("00 04 00 00 "), odd_read_note(6, "sj -4") + LIKE, 1, 1, "D8 BF"},
    {"echo split by a pause", {"--echo-pause", "1400"}, jumper_line("00 04 "), LIKE + UNREAD(5), 1, 1, "D8 BF", "", true},
    // An interface that echoes the frame: its echo is no answer.
    {"echo", {"--echo"}, jumper_line("D8 BF ") + P + S + R("00 ") + ACC + AGAIN + BACK("70 06 ") + DONE, echo_note() + BACK_DB, 0, 3, "70 06"},
    {"refused (F0), yet it stores the bytes", {"--refuse", "F0", "--stores", "70", "06"}, jumper_line("D8 BF ") + P + S + R("F0 ") + ERR + AGAIN + BACK("70 06 "), CONTRADICTED + BACK_DB, 1, 3, "70 06", "", true},
    {"garbage", {"--garbage"}, jumper_line("FF 7E ") + P + S + R("FF ") + ERR + AGAIN + BACK("FF 7E "), BACK_TO("FF 7E"), 1, 3, "70 06"},
};

// What a row's run must show, on either clock: `banner` as the program
// names itself.
inline void expect_row_end(const FaultCase& c, const ProcessResult& run, const std::string& log, const std::string& banner)
{
    EXPECT_EQ(run.out, banner + port_message(4) + c.after_port);
    EXPECT_EQ(run.err, c.err);
    EXPECT_FALSE(run.timed_out);
    if (c.status == HANGS)
        EXPECT_EQ(run.signal, SIGINT);
    else
        EXPECT_EQ(run.status, c.status);
    std::vector<std::string> expected = {read_frame, "00 04 70 06 BC", read_frame};
    expected.resize(static_cast<std::size_t>(c.frames));
    EXPECT_EQ(frames_in(log), expected);
    EXPECT_EQ(eeprom_in(log), c.eeprom);
}

// A row's name as a test's: its number and its words.
inline std::string row_name(const ::testing::TestParamInfo<std::size_t>& info)
{
    std::string name = std::to_string(info.param) + "_";
    for (const char* c = fault_cases[info.param].name; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

// The write frame these words may put on the line.
inline std::string frame_for(const std::string& b1, const std::string& b2)
{
    char frame[32];
    std::snprintf(frame, sizeof frame, "00 04 %02X %02X BC", expected_byte(b1), expected_byte(b2));
    return frame;
}

struct RandomRun {
    int radio_port;
    std::vector<std::string> radio;
    std::vector<std::string> words;
    std::optional<std::string> input;
};

class Generator {
public:
    explicit Generator(unsigned seed) : random(seed) {}

    RandomRun next()
    {
        RandomRun run;
        run.radio_port = pick(1, 9);
        bool well_formed = pick(0, 2) > 0;
        if (well_formed) {
            if (pick(0, 2) > 0)
                run.words.push_back("-" + std::to_string(run.radio_port));
            if (pick(0, 2) > 0) {
                run.words.push_back(word());
                run.words.push_back(word());
            }
        } else {
            int count = pick(0, 4);
            for (int i = 0; i < count; ++i)
                run.words.push_back(i == 0 && pick(0, 1) ? "-" + word() : word());
        }
        // Without a port word sj goes to COM1: the radio is there, so that every run that parses reaches it.
        if (run.words.empty() || !run.words[0].starts_with("-"))
            run.radio_port = 1;
        std::string written = run.words.size() < 2 ? "" : frame_for(run.words.end()[-2], run.words.end()[-1]);
        run.radio = radio_options(written.empty() ? "" : written.substr(6, 2) + written.substr(9, 2));
        run.input = answer();
        return run;
    }

private:
    std::mt19937 random;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    std::string random_bytes(int length)
    {
        std::string text;
        for (int i = 0; i < length; ++i)
            text += static_cast<char>(pick(1, 255));  // a word cannot hold NUL
        return text;
    }

    std::string word()
    {
        static const char* const shapes[] = {"F8", "bf", "7", "0x12", "123", "-4", "%n", "%s%s%s%s", "%08x",
                                             "\xc3\x84\xc3\x96", "\xff\xfe", "", "YES", "G5", "4294967298"};
        switch (pick(0, 3)) {
        case 0: return shapes[pick(0, sizeof shapes / sizeof *shapes - 1)];
        case 1: return random_bytes(pick(1, 12));
        case 2: return std::string(static_cast<std::size_t>(pick(100, 20000)), static_cast<char>(pick(33, 126)));
        default: {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", pick(0, 255));
            return hex;
        }
        }
    }

    std::string ms(int high) { return std::to_string(pick(0, high)); }

    // Two faults at once: one in how the radio answers, one in what it
    // stores. A tail repeats the bytes written, where there are any, as a
    // stray echo of them would, to tempt a false confirmation.
    std::vector<std::string> radio_options(const std::string& written)
    {
        // Never an opcode: a lost echo byte and a 1-byte answer would make a whole echo.
        char b4[3], b5[3];
        int byte4 = pick(0, 253);
        std::snprintf(b4, sizeof b4, "%02X", byte4 < 0xBB ? byte4 : byte4 + 2);
        std::snprintf(b5, sizeof b5, "%02X", pick(0, 255));
        std::vector<std::string> shapes[] = {
            {"--short"}, {"--long"}, {"--garbage"}, {"--echo"}, {"--gap", std::to_string(pick(0, 1) ? 30 : 150)},
            {"--hangup-after", std::to_string(pick(1, 3))},
            {"--lengths", std::to_string(pick(1, 6)) + "," + std::to_string(pick(1, 6)) + "," + std::to_string(pick(1, 6))},
            {"--write-tail", written.empty() ? std::string(b4) + b5 : written, "--tail-gap", ms(1000)},
        };
        std::vector<std::string> stores[] = {{"--refuse", "00"}, {"--refuse", b4}, {"--stores", b4, b5}, {"--jumpers", b4, b5}};
        std::vector<std::string> options = shapes[pick(0, 7)];
        const std::vector<std::string>& storage = stores[pick(0, 3)];
        options.insert(options.end(), storage.begin(), storage.end());
        // At drawn times: one radio in three slow, up to the slowest link;
        // a stray after a frame (the bytes written, a 00, or others), to
        // tempt a false confirmation; a hang-up, in an answer's window too;
        // an echo with its last byte lost or with a pause in it.
        std::string stray_bytes[] = {written.empty() ? "0000" : written, "00", std::string(b4) + b5};
        // A third of the strays within 30 ms of a frame, where a stray looks most like a prompt radio's answer.
        if (pick(0, 2) > 0)
            options.insert(options.end(), {"--stray", stray_bytes[pick(0, 2)], "--stray-after", ms(pick(0, 2) ? 3000 : 30)});
        if (pick(0, 1) && options.end()[-2] == "--stray-after")
            options.insert(options.end(), {"--stray-frame", std::to_string(pick(1, 3))});
        if (pick(0, 3) == 0)
            options.insert(options.end(), {"--hangup-at", std::to_string(pick(1, 3)) + "," + ms(3000)});
        int pause = pick(0, 5) == 0 ? pick(0, 1500) : -1;
        if (pause >= 0)
            options.insert(options.end(), {"--echo-pause", std::to_string(pause)});
        else if (pick(0, 4) == 0 && !written.starts_with("BB"))  // BB written and read back would make a whole echo
            options.insert(options.end(), {"--echo-lose"});
        // An echo's pause is the link's time too: the answer comes within 1.5 s.
        // A third of the radios prompt (0 to 20 ms), a third 600 ms or more
        // slow, a third anywhere up to the slowest link; each answer's delay
        // is drawn in its radio's range, so a prompt answer may come before a slow one.
        int slowest = 1500 - (pause > 0 ? pause : 0), kind = pick(0, 2);
        int low[] = {0, std::min(SLOW_RADIO_MS, slowest), 0}, high[] = {20, slowest, slowest};
        std::string delays;
        for (int frame = 0; frame < 3; ++frame)
            delays += (frame ? "," : "") + std::to_string(pick(low[kind], high[kind]));
        options.insert(options.end(), {"--delays", delays});
        return options;
    }

    std::optional<std::string> answer()
    {
        switch (pick(-2, 7)) {
        case -2:
        case -1:
        case 0: return "YES\n";
        case 1: return "YES" + random_bytes(pick(0, 60));
        case 2: return std::nullopt;  // standard input closed
        case 3: return "";
        case 4: return random_bytes(pick(1, 80));
        case 5: return "yes\n";
        case 6: return "YE";
        default: return std::string(static_cast<std::size_t>(pick(31, 200)), 'Y') + "ES\n";
        }
    }
};


// The longest of the delays drawn for a radio's answers.
inline int slowest_answer_ms(const std::vector<std::string>& radio)
{
    auto option = std::find(radio.begin(), radio.end(), "--delays");
    int slowest = 0;
    const char* at = option == radio.end() ? "" : option[1].c_str();
    for (char* end = nullptr; *at; at = *end ? end + 1 : end)
        slowest = std::max(slowest, static_cast<int>(std::strtol(at, &end, 10)));
    return slowest;
}

// How many bytes the first read took as its answer: as many as its byte
// line shows, or, past two, the count of the first odd-read note, which is
// the first read's (a read-back's follows it).
inline int first_answer_count(const ProcessResult& run)
{
    const std::string line = "Software jumpers are set to : ", note = "sj: the radio's answer had ";
    std::size_t at = run.out.find(line);
    if (at == std::string::npos)
        return 0;
    std::size_t end = run.out.find('\n', at);
    int shown = static_cast<int>((end - at - line.size()) / 3);
    std::size_t noted = run.err.find(note);
    return shown == 2 || noted == std::string::npos ? shown : std::atoi(run.err.c_str() + noted + note.size());
}

// Whether the radio's log shows a stray sent ahead of its answer to the first frame.
inline bool stray_ahead_of_first_answer(const std::string& log)
{
    std::size_t first = log.find("rx "), next = log.find("\nrx ", first);
    std::size_t answer = log.rfind("\ntx ", next), stray = log.find("stray after a frame:", first);
    return answer != std::string::npos && answer > first && stray < answer;
}

// What the random runs did, counted for the summary line.
struct Tally {
    int runs = 0, wrote = 0, claims = 0, strays_after_a_frame = 0, hangups_in_a_window = 0, slow = 0;
};

// What must hold of one random run, whatever the radio did.
inline void check_random_run(const RandomRun& c, const ProcessResult& run, const std::string& log, Tally& tally)
{
    std::vector<std::string> frames = frames_in(log);
    ++tally.runs;
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status;
        EXPECT_EQ(run.signal, 0);
        EXPECT_FALSE(run.timed_out);
        // Standard error names the ports that exist only after a missing one,
        // the port's forms only after the usage text.
        bool usage = run.out.ends_with(usage_text()), missing = run.out.ends_with(" with error 2.\n");
        EXPECT_EQ(run.err.starts_with("sj: ports that exist") || run.err.starts_with("sj: no serial port"), missing) << run.err;
        EXPECT_EQ(run.err == port_forms_note(), usage) << run.err;
        bool option = !c.words.empty() && !c.words[0].empty() && c.words[0][0] == '-';
        std::size_t bytes_at = option ? 1 : 0;
        bool yes = c.input && c.input->starts_with("YES");
        bool two_bytes = c.words.size() == bytes_at + 2;
        for (std::size_t f = 0; f < frames.size(); ++f) {
            if (frames[f] == read_frame)
                continue;
            ASSERT_TRUE(yes) << "a write frame without YES";
            ASSERT_EQ(f, 1u) << "the write frame must follow the first read";
            ASSERT_TRUE(two_bytes);
            EXPECT_EQ(frames[f], frame_for(c.words[bytes_at], c.words[bytes_at + 1]));
            ++tally.wrote;
        }
        EXPECT_LE(frames.size(), 3u);
        // A radio that refused the write is never said to have accepted it.
        auto refuse = std::find(c.radio.begin(), c.radio.end(), "--refuse");
        bool garbage = std::find(c.radio.begin(), c.radio.end(), "--garbage") != c.radio.end();
        if ((refuse != c.radio.end() && refuse[1] != "00") || garbage) {
            EXPECT_EQ(run.out.find("Radio accepted"), std::string::npos);
        }
        tally.strays_after_a_frame += log.find("stray after a frame") != std::string::npos;
        tally.hangups_in_a_window += log.find("hangup after the answer") != std::string::npos;
        tally.slow += slowest_answer_ms(c.radio) >= SLOW_RADIO_MS;
        // A stray ahead of the radio's first answer makes the reading
        // uncertain, however early it came: status 1, no write. Only bytes
        // that the read rule merged with the radio's into one answer (within
        // its 100 ms gap) make an answer longer than the stray; the odd-read
        // note names it unless a 1-byte radio made it two. A stray taken
        // alone for the answer is never enough, noted or not.
        auto stray = std::find(c.radio.begin(), c.radio.end(), "--stray");
        int stray_bytes = stray == c.radio.end() ? 0 : static_cast<int>(stray[1].size() / 2);
        if (stray_ahead_of_first_answer(log) && first_answer_count(run) <= stray_bytes) {
            EXPECT_EQ(run.status, 1) << log;
            EXPECT_LE(frames.size(), 1u);
        }
        // Only two bytes alone are a certain reading: anything else ends the run before YES.
        if (run.out.find("Software jumpers are set to") != std::string::npos && first_answer_count(run) != 2) {
            EXPECT_EQ(run.status, 1);
            EXPECT_LE(frames.size(), 1u);
        }
        // Once the write frame has reached the radio, the way back ends the run (or stands in the silence's hint).
        if (frames.size() >= 2) {
            EXPECT_NE(run.err.find("sj: the bytes before this write were "), std::string::npos) << run.err;
        }
        // A run that ends well after YES, or says "updated", has put its bytes in the radio.
        bool claimed = run.out.find("EEPROM values updated") != std::string::npos || (yes && run.status == 0);
        if (claimed && two_bytes) {
            ++tally.claims;
            EXPECT_EQ("00 04 " + eeprom_in(log) + " BC", frame_for(c.words[bytes_at], c.words[bytes_at + 1]));
        }
}

inline void print_tally(const Tally& t)
{
    std::printf("%d of %d runs wrote to the radio, %d claimed success, %d had a stray after a frame, %d a hang-up in "
                "an answer's window, %d a radio %d ms or more slow\n", t.wrote, t.runs, t.claims, t.strays_after_a_frame,
                t.hangups_in_a_window, t.slow, SLOW_RADIO_MS);
}

}  // namespace faults
