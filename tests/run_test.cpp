// Whole runs in process over the test link: every platform failure, short
// writes, odd answers, and the write dialogue's decisions.
#include "capture.h"
#include "fake_link.h"
#include "sj.h"
#include "texts.h"

#include <gtest/gtest.h>

namespace {

const Frame read_frame = {0x00, 0x04, 0x00, 0x00, 0xBB};

// A write run of 70 06 on COM1: with D8 BF read first, up to the sending line.
std::string write_70_06_sent()
{
    return banner() + port_message(1) + jumper_line("D8 BF ") + write_prompt("70", "06") +
           "\nSending CAT command: 00 04 70 06 BC to the Radio\n";
}

Answer answer_of(std::initializer_list<std::uint8_t> bytes)
{
    Answer answer{static_cast<int>(bytes.size()), {}};
    int i = 0;
    for (std::uint8_t b : bytes)
        answer.bytes[i++] = b;
    return answer;
}

class Run : public ::testing::Test {
protected:
    void SetUp() override { reset_fake_link(); }
};

struct FailureCase {
    LinkStep step;
    int error;
    const char* message;
};

TEST_F(Run, EachOpenStepFailureEndsWithItsMessageAndStatus1)
{
    const FailureCase cases[] = {
        {LinkStep::create_file, 2, "CreateFile failed opening COM3: with error 2.\n"},
        {LinkStep::create_file, 5, "CreateFile failed opening COM3: with error 5.\n"},
        {LinkStep::get_comm_state, 25, "GetCommState failed with error 25.\n"},
        {LinkStep::set_comm_state, 87, "SetCommState failed with error 87.\n"},
        {LinkStep::set_comm_timeouts, 31, "SetCommTimeouts failed with error 31.\n"},
    };
    for (const FailureCase& c : cases) {
        reset_fake_link();
        fake_script.fail = true;
        fake_script.fail_step = c.step;
        fake_script.fail_error = c.error;
        InProcessRun run = run_in_process({"-3", "70", "06"}, "YES\n");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, banner() + c.message);
        EXPECT_TRUE(fake_record.frames.empty());
    }
}

TEST_F(Run, ReadFrameWriteOrReadFailureEndsWithStatus1)
{
    fake_script.fail = true;
    fake_script.fail_step = LinkStep::write_file;
    fake_script.fail_error = 5;
    InProcessRun run = run_in_process({});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, banner() + port_message(1) + "WriteFile failed with error 5.\n");

    reset_fake_link();
    fake_script.fail = true;
    fake_script.fail_step = LinkStep::read_file;
    fake_script.fail_error = 995;
    run = run_in_process({"-2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, banner() + port_message(2) + "ReadFile failed with error 995.\n");
}

// A short write must not pass for success: the run ends with status 1.
TEST_F(Run, ShortWriteOfTheReadFrameEndsWithStatus1AndReadsNothing)
{
    for (int count : {0, 4}) {
        reset_fake_link();
        fake_script.short_write_at = 1;
        fake_script.short_count = count;
        InProcessRun run = run_in_process({"-2", "F8", "BF"}, "YES\n");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output,
                  banner() + port_message(2) + "Write of CAT command failed, rc = " + std::to_string(count) + "\n");
        EXPECT_EQ(fake_record.receives, 0);
    }
}

TEST_F(Run, ReadRunShowsWhateverCameAndSendsOneReadFrame)
{
    struct { Answer answer; const char* shown; } cases[] = {
        {answer_of({}), ""},
        {answer_of({0xD8}), "D8 "},
        {answer_of({0xD8, 0xBF}), "D8 BF "},
        {answer_of({0x00, 0x01, 0xFE, 0xFF}), "00 01 FE FF "},
    };
    for (const auto& c : cases) {
        reset_fake_link();
        fake_script.answers = {c.answer};
        InProcessRun run = run_in_process({});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, banner() + port_message(1) + jumper_line(c.shown));
        ASSERT_EQ(fake_record.frames.size(), 1u);
        EXPECT_EQ(fake_record.frames[0], read_frame);
        EXPECT_EQ(fake_record.closes, 0);
    }
}

TEST_F(Run, CompleteWriteRunClosesTheLink)
{
    fake_script.answers = {answer_of({0xD8, 0xBF}), answer_of({0x00}), answer_of({0xF8, 0xBF})};
    InProcessRun run = run_in_process({"-2", "f8", "bf"}, "YES\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, banner() + port_message(2) + jumper_line("D8 BF ") + write_prompt("f8", "bf") +
                              "\nSending CAT command: 00 04 f8 bf BC to the Radio\n"
                              "Radio response to write command is : 00 \n"
                              "Radio accepted write EEPROM command\n\n"
                              "Reading EEPROM values again:\n"
                              "Read current data from EEPROM gives : F8 BF \n"
                              "\nEEPROM values updated, power off/on radio to activate\n\n");
    const std::vector<Frame> frames = {read_frame, {0x00, 0x04, 0xF8, 0xBF, 0xBC}, read_frame};
    EXPECT_EQ(fake_record.frames, frames);
    EXPECT_EQ(fake_record.closes, 1);
}

// A refused write is reported, read back, and never called an update.
TEST_F(Run, RadioRefusingTheWriteEndsWithStatus1WithoutTheUpdatedText)
{
    for (const Answer& verdict : {answer_of({0x01}), answer_of({0xF0, 0x00}), answer_of({})}) {
        reset_fake_link();
        fake_script.answers = {answer_of({0xD8, 0xBF}), verdict, answer_of({0xD8, 0xBF})};
        InProcessRun run = run_in_process({"70", "06"}, "YES\n");
        EXPECT_EQ(run.status, 1);
        std::string response = "Radio response to write command is : ";
        for (int i = 0; i < verdict.count; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X ", verdict.bytes[i]);
            response += hex;
        }
        EXPECT_EQ(run.output, write_70_06_sent() + response + "\n" +
                                  "Error: Radio did not accept command, should have returned 00\n\n"
                                  "Reading EEPROM values again:\n"
                                  "Read current data from EEPROM gives : D8 BF \n");
        EXPECT_EQ(fake_record.frames.size(), 3u);
    }
}

TEST_F(Run, ShortWriteOfTheWriteFrameEndsWithStatus1)
{
    fake_script.answers = {answer_of({0xD8, 0xBF})};
    fake_script.short_write_at = 2;
    fake_script.short_count = 3;
    InProcessRun run = run_in_process({"70", "06"}, "YES\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, write_70_06_sent() + "Write to the radio failed! RC = 3\n");
    EXPECT_EQ(fake_record.receives, 1);
}

TEST_F(Run, ShortWriteOrFailureAtTheReadBackEndsWithStatus1)
{
    const std::string before_read_back = write_70_06_sent() +
                                         "Radio response to write command is : 00 \n"
                                         "Radio accepted write EEPROM command\n\n"
                                         "Reading EEPROM values again:\n";
    fake_script.answers = {answer_of({0xD8, 0xBF}), answer_of({0x00})};
    fake_script.short_write_at = 3;
    fake_script.short_count = 1;
    InProcessRun run = run_in_process({"70", "06"}, "YES\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, before_read_back + "Write of CAT command failed, rc = 1\n");

    reset_fake_link();
    fake_script.answers = {answer_of({0xD8, 0xBF}), answer_of({0x00})};
    fake_script.fail = true;
    fake_script.fail_step = LinkStep::read_file;
    fake_script.fail_at_frame = 3;
    fake_script.fail_error = 1167;
    run = run_in_process({"70", "06"}, "YES\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, before_read_back + "ReadFile failed with error 1167.\n");
}

TEST_F(Run, WriteFrameFailureEndsWithStatus1)
{
    fake_script.answers = {answer_of({0xD8, 0xBF})};
    fake_script.fail = true;
    fake_script.fail_step = LinkStep::write_file;
    fake_script.fail_at_frame = 2;
    fake_script.fail_error = 22;
    InProcessRun run = run_in_process({"70", "06"}, "YES\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, write_70_06_sent() + "WriteFile failed with error 22.\n");
}

}  // namespace
