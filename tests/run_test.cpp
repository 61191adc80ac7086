// Whole write runs in process over the test link, failing at each platform
// call and written short at each frame: what only a test link can make happen.
#include "capture.h"
#include "console_window.h"
#include "fake_link.h"
#include "history.h"
#include "link_internal.h"
#include "own_folder.h"
#include "process.h"
#include "jumper_run.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A radio that answers a write run of 70 06 as it should.
FakeLinkScript healthy()
{
    FakeLinkScript script;
    script.answers = {{2, {0xD8, 0xBF}}, {1, {0x00}}, {2, {0x70, 0x06}}};
    return script;
}

FakeLinkScript failing(LinkStep step, int exchange, int error)
{
    FakeLinkScript script = healthy();
    script.fail = true;
    script.fail_step = step;
    script.fail_at_frame = exchange;
    script.fail_error = error;
    return script;
}

FakeLinkScript written_short(int exchange, int count)
{
    FakeLinkScript script = healthy();
    script.short_write_at = exchange;
    script.short_count = count;
    return script;
}

FakeLinkScript with(FakeLinkScript script, int FakeLinkScript::*field, int value)
{
    script.*field = value;
    return script;
}

struct FailureCase {
    const char* name;
    FakeLinkScript script;
    std::string output;
    std::size_t frames;  // recorded as sent
    int receives;
    std::string errors = "";
};

void expect_failure(const FailureCase& c)
{
    SCOPED_TRACE(c.name);
    reset_fake_link();
    fake_script = c.script;
    InProcessRun run = run_in_process({"70", "06"}, "YES\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.errors, c.errors);
    EXPECT_EQ(fake_record.frames.size(), c.frames);
    EXPECT_EQ(fake_record.receives, c.receives);
    EXPECT_FALSE(fake_record.held);  // an open that failed half-way too
}

const std::string opened = banner() + port_message(1);
const std::string prompted = opened + jumper_line("D8 BF ") + write_prompt("70", "06");
const std::string sent = prompted + "\nSending CAT command: 00 04 70 06 BC to the Radio\n";
const std::string again = sent + "Radio response to write command is : 00 \n" + write_accepted() + reading_again();
const std::string was_out = write_was_out("sj -1") + "\n" + way_back("sj -1", "D8 BF");

// Before YES: each failure's message, then its note on standard error
// (after a missing port, the port list).
TEST(Run, EachFailureBeforeYesEndsTheRunWithItsMessageAndNote)
{
    const std::string gone = went_away_note("COM1");
    const FailureCase cases[] = {
        {"open", failing(LinkStep::OpenDevice, 1, 2), banner() + "CreateFile failed opening COM1: with error 2.\n", 0, 0, "(the ports that exist)\n"},
        {"settings read", failing(LinkStep::ReadLineSettings, 1, 22), banner() + "GetCommState failed with error 22.\n", 0, 0, "sj: COM1 is not a serial port\n"},
        {"held", failing(LinkStep::OpenDevice, 1, 16), banner() + "CreateFile failed opening COM1: with error 16.\n", 0, 0, "sj: COM1 is held by another program; close it and run sj again\n"},
        {"no UART", failing(LinkStep::ReadLineSettings, 1, 5), banner() + "GetCommState failed with error 5.\n", 0, 0, "sj: COM1 has no serial hardware behind it (a built-in port without a UART)\n(the ports that exist)\n"},
        {"settings set", failing(LinkStep::ApplyLineSettings, 1, 22), banner() + "SetCommState failed with error 22.\n", 0, 0, "sj: COM1: Invalid argument\n"},
        {"time-outs", failing(LinkStep::ApplyTimeouts, 1, 31), banner() + "SetCommTimeouts failed with error 31.\n", 0, 0, "sj: COM1: Too many links\n"},
        {"read frame", failing(LinkStep::WriteFrame, 1, 5), opened + "WriteFile failed with error 5.\n", 0, 0, gone},
        {"read frame, 4 of 5", written_short(1, 4), opened + "Write of CAT command failed, rc = 4\n", 1, 0},
        {"first answer", failing(LinkStep::ReadLine, 1, 5), opened + "ReadFile failed with error 5.\n", 1, 1, gone},
    };
    for (const FailureCase& c : cases)
        expect_failure(c);
}

// After YES, every way the run ends early says what the radio may hold,
// from the stage alone: the same for an error that a row of the notes
// names (EIO) and for those that none does. Once the write frame has gone
// out, the way back ends the run.
TEST(Run, AfterYesEveryFailureTellsTheWritesFateWhateverTheError)
{
    const struct { const char* name; LinkStep step; int exchange; std::string output; std::size_t frames; int receives; bool out; } steps[] = {
        {"input before the write", LinkStep::DiscardInput, 2, prompted + "PurgeComm", 1, 1, false},
        {"write frame", LinkStep::WriteFrame, 2, sent + "WriteFile", 1, 1, true},
        {"write answer", LinkStep::ReadLine, 2, sent + "ReadFile", 2, 2, true},
        {"input before the read-back", LinkStep::DiscardInput, 3, again + "PurgeComm", 2, 2, true},
        {"read-back frame", LinkStep::WriteFrame, 3, again + "WriteFile", 2, 2, true},
        {"read-back answer", LinkStep::ReadLine, 3, again + "ReadFile", 3, 3, true},
    };
    for (int error : {EIO, ENXIO, 9999}) {
        std::string cause = error == EIO ? "COM1 went away: the cable was pulled or the adapter was reset"
                                         : "COM1: " + std::string(std::strerror(error));
        for (const auto& s : steps) {
            std::string fate = s.out ? was_out : write_not_sent() + "\n";
            expect_failure({s.name, failing(s.step, s.exchange, error), s.output + " failed with error " +
                            std::to_string(error) + ".\n", s.frames, s.receives, "sj: " + cause + "; " + fate});
        }
    }
    // The link's other ends: a short frame, a line that never falls quiet,
    // a byte that came after the jumpers were read (in the first wait after
    // YES, or in the one just before the frame, while the announcement was
    // held up).
    const std::string noise = "Error: bytes kept coming from the radio for 2 seconds without a pause; command not sent\n";
    const std::string came = came_before_write_note(1, "sj -1");
    const FailureCase cases[] = {
        {"never quiet before the write", with(healthy(), &FakeLinkScript::noisy_at, 2), prompted + noise, 1, 1, fate_note(write_not_sent())},
        {"a byte after YES", with(healthy(), &FakeLinkScript::dropped_at_wait, 3), prompted, 1, 1, came},
        {"a byte just before the write frame", with(healthy(), &FakeLinkScript::dropped_at_wait, 4), sent, 1, 1, came},
        {"write frame, 3 of 5", written_short(2, 3), sent + "Write to the radio failed! RC = 3\n", 2, 1, "sj: " + was_out},
        {"never quiet before the read-back", with(healthy(), &FakeLinkScript::noisy_at, 3), again + noise, 2, 2, "sj: " + was_out},
        {"read-back frame, 1 of 5", written_short(3, 1), again + "Write of CAT command failed, rc = 1\n", 3, 2, "sj: " + was_out},
    };
    for (const FailureCase& c : cases)
        expect_failure(c);
}

// Each way a run ends after the open closes the port once and gives it back.
TEST(Run, EveryPathEndsWithThePortClosedAndGivenBack)
{
    const struct { std::vector<std::string> words; const char* input; Answer read_back; int status; } cases[] = {
        {{"70", "06"}, "YES\n", {2, {0x70, 0x06}}, 0},
        {{"70", "06"}, "YES\n", {2, {0xD8, 0xBF}}, 1},  // accepted, but not held
        {{"70", "06"}, "YES\n", {1, {0x70, 0x06}}, 1},  // the second byte is not part of the answer
        {{"70", "06"}, "no\n", {}, 0},
        {{}, "", {}, 0},
    };
    for (const auto& c : cases) {
        reset_fake_link();
        fake_script = healthy();
        fake_script.answers[2] = c.read_back;
        EXPECT_EQ(run_in_process(c.words, c.input).status, c.status);
        EXPECT_EQ(fake_record.closes, 1);
        EXPECT_FALSE(fake_record.held);
    }
}

// Runs at once on two radios share the file: each line goes in one write,
// so no line is ever split by another's.
TEST(History, LinesFromProcessesAtOnceStayWhole)
{
    const std::string home = enter_own_folder(SJ_TEST_RUNS) + "/at-once";
    constexpr int WRITERS = 4, LINES = 300;
    const std::uint8_t bytes[2] = {0xD8, 0xBF};
    std::vector<pid_t> writers;
    for (int w = 0; w < WRITERS; ++w) {
        pid_t pid = fork();
        if (pid == 0) {
            setenv("HOME", home.c_str(), 1);
            unsetenv("XDG_STATE_HOME");
            SerialLink link;
            name_link_at(link, ("/dev/" + std::string(40 + w * 30, static_cast<char>('a' + w))).c_str());
            for (int i = 0; i < LINES; ++i)
                keep_reading(link, bytes);
            close_history();
            _exit(0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_EQ(status, 0);
    }
    std::istringstream text(read_file(home + "/.local/state/sj/history"));
    int lines = 0;
    for (std::string line; std::getline(text, line); ++lines) {
        std::size_t name = line.find(" /dev/") + 6;
        int w = name < line.size() ? line[name] - 'a' : 0;
        EXPECT_EQ(line.substr(line.find(' ') + 1), "/dev/" + std::string(40 + w * 30, static_cast<char>('a' + w)) + " read D8 BF");
    }
    EXPECT_EQ(lines, WRITERS * LINES);
}

// sj.exe started from Explorer has its console to itself, and waits.
TEST(Run, OnlyAWindowOfItsOwnWaitsForEnter)
{
    EXPECT_TRUE(window_needs_holding(1, true));
    EXPECT_FALSE(window_needs_holding(2, true));   // cmd, PowerShell or a .bat file shares the console
    EXPECT_FALSE(window_needs_holding(1, false));  // input from a pipe or a file
}

}  // namespace
