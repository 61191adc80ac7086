// The main line: banner, port option and word count, the port, the jumper read.
#include "jumper_run.h"
#include "byte_line.h"
#include "cat.h"
#include "history.h"
#include "operator_note.h"
#include "write_dialogue.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Where the build's link takes a device path for the port (POSIX), a word
// beginning with '/' is one; on Windows it stays a byte word, as it always was.
bool is_device_path(const char* word)
{
    return SJ_DEVICE_PATHS && word[0] == '/';
}

// Reads the port number as atoi would, but saturates instead of
// overflowing: any number too large to be a port stays too large.
int parse_port_number(const char* text)
{
    while (std::isspace(static_cast<unsigned char>(*text)))  // sj keeps the "C" locale
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    int value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= MAX_PORT)
            value = value * 10 + (*text - '0');
    }
    return negative ? -value : value;
}

void print_banner(const char* program)
{
    std::printf("%s version " SJ_VERSION " by the sj contributors\n\n", program);
    std::printf("This program uses undocumented CAT commands to read or update the EEPROM\n");
    std::printf("in the Yaesu FT817, FT857, and FT897 Radios. The soft jumper settings are stored\n");
    std::printf("in location 4 and 5 of the EEPROM. Power the radio off and on to activate\n");
    std::printf("the new settings. If you do a reset of the radio, you will have to run\n");
    std::printf("this program again to rewrite the values\n\n");
    std::printf("The program assumes that the radio CAT rate is set to 38400 baud\n\n");
    std::printf("*** USE AT YOUR OWN RISK ***\n\n");
}

void show_usage()
{
    std::printf("Usage: sj [-#]               Reads the current EEPROM values only, does not\n");
    std::printf("                             write anything to the EEPROM\n\n");
    std::printf("       sj [-#] <B1> <B2>     Byte1 and byte2 are the two hex values\n");
    std::printf("                             to put into address 4 and address 5 in the EEPROM\n\n");
    std::printf("                             Optional: -#, use COM port COM#\n\n");
    std::printf("Example: sj 70 06            Writes the values 70 06 to the EEPROM via COM1:\n");
    std::printf("         sj -2               Reads the current values using COM2:\n");
    std::printf("         sj -2 F8 BF         Writes F8 BF using COM2:\n\n");
}

// The usage text stays as it always was; what it leaves out follows it, on
// standard error after a bad command line.
void print_port_forms(std::FILE* stream)
{
    std::fprintf(stream, "sj: the port is -1 to -%d (COM1: to COM%d:)%s; see \"Finding the port\" in sj's README\n",
                 MAX_PORT, MAX_PORT, SJ_DEVICE_PATHS ? ", or a device path such as /dev/serial0" : "");
}

// The help adds to the usage text every form of the command line and where
// bugs go.
void show_help()
{
    show_usage();
    print_port_forms(stdout);
    const char* port = SJ_DEVICE_PATHS ? "[-N | DEVICE]" : "[-N]";
    char read_form[32];
    char write_form[40];
    std::snprintf(read_form, sizeof read_form, "sj %s", port);
    std::snprintf(write_form, sizeof write_form, "sj %s B1 B2", port);
    std::printf("\nEvery form:\n  %-24s reads the soft jumpers\n  %-24s writes B1 B2 once you answer YES\n"
                "  %-24s prints the history of readings and writes\n  %-24s prints this help\n"
                "  %-24s prints the version and the licence\n\n",
                read_form, write_form, "sj --history", "sj --help, sj -h", "sj --version");
    std::printf("Report bugs where you got sj (its source repository's issues), with the\n"
                "command, all it printed (sj ... 2>&1 | tee sj.log) and sj --version.\n");
}

// As command-line tools answer them: on standard output, with status 0.
bool answers_help_or_version(int argc, char** argv, int& status)
{
    if (argc != 2 || (std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0 &&
                      std::strcmp(argv[1], "--version") != 0 && std::strcmp(argv[1], "--history") != 0))
        return false;
    status = 0;
    if (std::strcmp(argv[1], "--history") == 0)
        status = print_history();
    else if (std::strcmp(argv[1], "--version") == 0)
        std::printf("sj version " SJ_VERSION "\nCopyright (c) 2026 the sj contributors\n"
                    "Licence: MIT (it comes with sj). You may use, change and pass on sj;\n"
                    "it comes with no warranty.\n");
    else
        show_help();
    return true;
}

// Bytes in the first answer's window: a stray may have come first, and the
// radio's own answer behind it.
void note_unsettled_read(const SerialLink& link, const Answer& answer)
{
    std::fprintf(operator_notes(), "sj: %d more byte%s came after that answer, so it may not be the radio's and the "
                                   "values shown are not certain; once the line is quiet, %s reads them again\n",
                 answer.late, answer.late == 1 ? "" : "s", read_again_command(link));
}

// The run once the port is open: the read, and the write dialogue. Only two
// bytes alone are certain: anything else would be shown before YES and kept
// as the way back, so the run ends there.
int run_on_link(SerialLink& link, RunStage& stage, const CommandLine& command)
{
    Answer answer;
    if (!read_jumpers(link, stage, answer))
        return 1;
    print_byte_line("Software jumpers are set to ", answer.count, answer.bytes);
    char again[4 * MAX_DEVICE_PATH + 64];  // other counts are shown as they came, and how to read again
    std::snprintf(again, sizeof again, "; check the CAT rate and the cable, then %s reads them again",
                  read_again_command(link));
    note_if_odd_read(answer, answer.late > 0 ? "" : again);
    note_if_like_frame(answer);
    if (answer.late > 0)
        note_unsettled_read(link, answer);
    if (!is_two_bytes_alone(answer))
        return 1;
    keep_reading(link, answer.bytes);
    if (command.mode == RunMode::ReadOnly)
        return 0;
    int status = run_write_dialogue(link, stage, command.b1, command.b2, answer);
    tell_way_back(link, stage);
    return status;
}

}  // namespace

bool parse_command_line(int argc, char** argv, CommandLine& command)
{
    command = CommandLine{1, nullptr, RunMode::ReadOnly, nullptr, nullptr};
    int first = 1;
    if (argc > 1 && argv[1][0] == '-') {
        command.port = parse_port_number(argv[1] + 1);
        if (command.port < 1 || command.port > MAX_PORT)
            return false;
        first = 2;
    } else if (argc > 1 && is_device_path(argv[1])) {
        command.device = argv[1];
        if (std::strlen(command.device) > MAX_DEVICE_PATH)
            return false;
        first = 2;
    }
    int words = argc - first + 1;  // the program name still counts
    if (words == 3) {
        command.mode = RunMode::Write;
        command.b1 = argv[first];
        command.b2 = argv[first + 1];
        return true;
    }
    return words == 1;
}

int run_sj(int argc, char** argv)
{
    int status = 0;
    if (answers_help_or_version(argc, argv, status))
        return status;
    // An empty argument vector is possible with exec(); the banner still needs a name.
    print_banner(argc > 0 && argv[0] ? argv[0] : "sj");
    CommandLine command;
    if (argc > 1 && is_device_path(argv[1]) && std::strlen(argv[1]) > MAX_DEVICE_PATH) {
        std::fprintf(operator_notes(), "sj: that device path is too long (%zu characters): no device's path has more "
                                       "than %d\n", std::strlen(argv[1]), MAX_DEVICE_PATH);
        return 1;
    }
    if (!parse_command_line(argc, argv, command)) {
        show_usage();
        print_port_forms(operator_notes());
        return 1;
    }
    SerialLink link;
    RunStage stage;
    bool opened = command.device ? open_link_at(link, command.device) : open_link(link, command.port);
    status = opened ? run_on_link(link, stage, command) : 1;
    close_link(link);  // every path ends here, an open that failed half-way too
    close_history();
    return status;
}
