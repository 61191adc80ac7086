// The byte words and the operator's answer: the two decisions that stand
// between the command line and a write to the radio.
#include "capture.h"
#include "fake_link.h"
#include "write_dialogue.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ParseHexByte, FirstTwoCharactersOnlyAndNeverFails)
{
    const struct { const char* word; int value; } cases[] = {
        {"70", 0x70}, {"06", 0x06}, {"f8", 0xF8}, {"F8", 0xF8}, {"bF", 0xBF}, {"ff", 0xFF},
        {"00", 0x00}, {"7", 0x07}, {"F", 0x0F}, {"a", 0x0A}, {"", 0x00}, {"0x12", 0x00},
        {"123", 0x12}, {"G5", 0x05}, {"5G", 0x50}, {"-4", 0x04}, {"g", 0x00}, {"9z", 0x90},
        {"\xe4" "5", 0x05}, {"5\xff", 0x50}, {"%n", 0x00}, {"A9%s%s%s", 0xA9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(parse_hex_byte(c.word), c.value);
    }
}

struct AnswerCase {
    std::string input;
    bool yes;
};

// The answer's characters are the fuzz target's; here, whole runs.
const AnswerCase answer_cases[] = {
    {"YES\n", true},
    {"YES", true},  // no newline before the end of input
    {"YES" + std::string(57, 'x') + "\n", true},
    {"yes\n", false},
    {" YES\n", false},
    {"", false},
    {std::string(30, 'x') + "YES\n", false},  // a long line: only its start decides
};

TEST(ConfirmYes, OnlyTheFirstThreeCharactersOfTheLineDecide)
{
    for (const AnswerCase& c : answer_cases) {
        SCOPED_TRACE(c.input);
        reset_fake_link();
        fake_script.answers = {{2, {0xD8, 0xBF}}, {1, {0x00}}, {2, {0x70, 0x06}}};
        InProcessRun run = run_in_process({"70", "06"}, c.input);
        std::size_t frames = fake_record.frames.size();
        EXPECT_EQ(frames, c.yes ? 3u : 1u);
        if (!c.yes) {
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.output, banner() + port_message(1) + jumper_line("D8 BF ") + write_prompt("70", "06") +
                                      "Aborted: you must enter YES in uppercase to continue and write to the EEPROM\n\n");
        }
    }
}

}  // namespace
