// The command line: port option, word count and usage.
#include "capture.h"
#include "fake_link.h"
#include "jumper_run.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CommandCase {
    std::vector<std::string> words;  // as typed after the program name
    bool usage;
    int port;
    RunMode mode;
    const char* b1;
    const char* b2;
};

const CommandCase command_cases[] = {
    {{}, false, 1, RunMode::ReadOnly, nullptr, nullptr},
    {{"-2"}, false, 2, RunMode::ReadOnly, nullptr, nullptr},
    {{"-9"}, false, 9, RunMode::ReadOnly, nullptr, nullptr},
    {{"-256", "F8", "BF"}, false, 256, RunMode::Write, "F8", "BF"},
    {{"/nowhere/by-id/usb-cable-if00-port0", "F8", "BF"}, false, 1, RunMode::Write, "F8", "BF"},
    {{"-2x"}, false, 2, RunMode::ReadOnly, nullptr, nullptr},
    {{"- 3"}, false, 3, RunMode::ReadOnly, nullptr, nullptr},
    {{"-+4"}, false, 4, RunMode::ReadOnly, nullptr, nullptr},
    {{"-0000000000000000000000005"}, false, 5, RunMode::ReadOnly, nullptr, nullptr},
    {{"70", "06"}, false, 1, RunMode::Write, "70", "06"},
    {{"-2", "F8", "BF"}, false, 2, RunMode::Write, "F8", "BF"},
    {{"-4", "70", "06"}, false, 4, RunMode::Write, "70", "06"},
    {{"70", "-4"}, false, 1, RunMode::Write, "70", "-4"},
    {{"-0"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-257"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"/nowhere/cable", "F8"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-x"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"--2"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-4294967298"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-4294967297"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-99999999999999999999"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"--99999999999999999999"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-2147483649"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"70"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-2", "F8"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"70", "06", "01"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-2", "70", "06", "01"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
    {{"-3", "-4"}, true, 0, RunMode::ReadOnly, nullptr, nullptr},
};

std::string describe(const std::vector<std::string>& words)
{
    std::string text = "sj";
    for (const std::string& word : words)
        text += " '" + word + "'";
    return text;
}

// Words that call for usage get it after the banner, and the port is never
// touched; the others are read as the table says.
TEST(CommandLine, PortOptionAndWordCount)
{
    for (const CommandCase& c : command_cases) {
        SCOPED_TRACE(describe(c.words));
        std::vector<std::string> storage;
        std::vector<char*> argv = argv_for(c.words, storage);
        CommandLine command;
        ASSERT_EQ(parse_command_line(static_cast<int>(storage.size()), argv.data(), command), !c.usage);
        if (!c.usage) {
            EXPECT_EQ(command.port, c.port);
            EXPECT_EQ(command.device, c.words.empty() || c.words[0][0] != '/' ? nullptr : argv[1]);
            EXPECT_EQ(command.mode, c.mode);
            EXPECT_STREQ(command.b1, c.b1);
            EXPECT_STREQ(command.b2, c.b2);
            continue;
        }
        reset_fake_link();
        InProcessRun run = run_in_process(c.words);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, banner() + usage_text());
        EXPECT_EQ(fake_record.opens, 0);
    }
}

// A path too long for any device is told as such, not with the usage text.
TEST(CommandLine, ADevicePathTooLong)
{
    reset_fake_link();
    InProcessRun run = run_in_process({"/" + std::string(255, 'x')});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, banner());
    EXPECT_EQ(run.errors, "sj: that device path is too long (256 characters): no device's path has more than 255\n");
    EXPECT_EQ(fake_record.opens, 0);
}

// As command-line tools have them, alone on the line: on standard output,
// status 0. The help is the usage text, which stays as it always was, and
// what it leaves out: every form, and where bugs go.
TEST(CommandLine, HelpAndVersion)
{
    const std::string help = usage_text() + port_forms_note() +
                             "\nEvery form:\n"
                             "  sj [-N | DEVICE]         reads the soft jumpers\n"
                             "  sj [-N | DEVICE] B1 B2   writes B1 B2 once you answer YES\n"
                             "  sj --history             prints the history of readings and writes\n"
                             "  sj --help, sj -h         prints this help\n"
                             "  sj --version             prints the version and the licence\n\n"
                             "Report bugs where you got sj (its source repository's issues), with the\n"
                             "command, all it printed (sj ... 2>&1 | tee sj.log) and sj --version.\n";
    const struct { const char* word; std::string output; } cases[] = {
        {"--help", help}, {"-h", help},
        {"--version", "sj version " SJ_VERSION "\nCopyright (c) 2026 the sj contributors\n"
                      "Licence: MIT (it comes with sj). You may use, change and pass on sj;\n"
                      "it comes with no warranty.\n"}};
    for (const auto& c : cases) {
        InProcessRun run = run_in_process({c.word});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, c.output);
        EXPECT_EQ(run.errors, "");
    }
}

TEST(CommandLine, EmptyArgumentVectorGivesUsage)
{
    char* argv[] = {nullptr};
    begin_capture();
    int status = run_sj(0, argv);
    EXPECT_EQ(end_capture(), banner("sj") + usage_text());
    EXPECT_EQ(status, 1);
}

}  // namespace
