// Whole write runs in process over the test link, failing at each platform
// call and written short at each frame: what only a test link can make happen.
#include "capture.h"
#include "console_window.h"
#include "fake_link.h"
#include "jumper_run.h"
#include "texts.h"

#include <gtest/gtest.h>

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

struct FailureCase {
    const char* name;
    FakeLinkScript script;
    std::string output;
    std::size_t frames;  // recorded as sent
    int receives;
    std::string errors = "";
};

TEST(Run, EachFailureEndsTheRunWithItsMessageAndStatus1)
{
    const std::string opened = banner() + port_message(1);
    const std::string prompted = opened + jumper_line("D8 BF ") + write_prompt("70", "06");
    const std::string sent = prompted + "\nSending CAT command: 00 04 70 06 BC to the Radio\n";
    const std::string noise = "Error: bytes kept coming from the radio for 2 seconds without a pause; command not sent\n";
    const std::string again = sent + "Radio response to write command is : 00 \n" + write_accepted() + reading_again();
    // Each message is followed by its note on standard error (after a missing port, the port list).
    const std::string gone = went_away_note("COM1"), fate = went_away_note("COM1", write_was_out("sj -1"));
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
        {"input before the write", failing(LinkStep::DiscardInput, 2, 5), prompted + "PurgeComm failed with error 5.\n", 1, 1, went_away_note("COM1", write_not_sent())},
        // Nothing is announced on a noisy line; after the write the operator learns what it leaves open.
        {"never quiet before the write", [] { FakeLinkScript noisy = healthy(); noisy.noisy_at = 2; return noisy; }(), prompted + noise, 1, 1},
        {"never quiet before the read-back", [] { FakeLinkScript noisy = healthy(); noisy.noisy_at = 3; return noisy; }(), again + noise, 2, 2, "sj: the write command was sent before the "
         "line became noisy. The radio may or may not hold the new bytes; once the line is quiet, sj -1 reads them.\n"},
        {"write frame", failing(LinkStep::WriteFrame, 2, 22), sent + "WriteFile failed with error 22.\n", 1, 1, "sj: COM1: Invalid argument\n"},
        {"write frame, 3 of 5", written_short(2, 3), sent + "Write to the radio failed! RC = 3\n", 2, 1},
        {"write answer", failing(LinkStep::ReadLine, 2, 5), sent + "ReadFile failed with error 5.\n", 2, 2, fate},
        {"read-back frame, 1 of 5", written_short(3, 1), again + "Write of CAT command failed, rc = 1\n", 3, 2},
        {"read-back answer", failing(LinkStep::ReadLine, 3, 5), again + "ReadFile failed with error 5.\n", 3, 3, fate},
    };
    for (const FailureCase& c : cases) {
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

// sj.exe started from Explorer has its console to itself, and waits.
TEST(Run, OnlyAWindowOfItsOwnWaitsForEnter)
{
    EXPECT_TRUE(window_needs_holding(1, true));
    EXPECT_FALSE(window_needs_holding(2, true));   // cmd, PowerShell or a .bat file shares the console
    EXPECT_FALSE(window_needs_holding(1, false));  // input from a pipe or a file
}

}  // namespace
