// The real sj binary against the simulated radio on pseudo-terminals: whole
// output byte for byte, exit status, the frames that reached the radio and
// its EEPROM afterwards.
#include "e2e_harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <algorithm>
#include <list>
#include <regex>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace e2e;

// Answers are shown as they came, and a count other than two is remarked
// on and uncertain: COM1's 300 ms gap ends its answer after the first byte,
// and its second byte comes in the answer's window; COM2's interface
// echoes, and of the radio's six bytes four are shown, the rest dropped at
// the close. COM12 is past the names that Windows opens plainly.
// Bytes left on COM4 before sj opened it never lead an answer.
TEST_F(EndToEnd, ReadRunOnThreePorts)
{
    const struct { int port; std::vector<std::string> radio, words; const char* bytes; std::string err; int status; } cases[] = {
        {1, {"--jumpers", "70", "06", "--gap", "300"}, {}, "70 ", odd_read_note(1) + unsettled_read_note(1, "sj -1"), 1},
        {2, {"--long", "--echo"}, {"-2"}, "D8 BF 06 07 ", echo_note() + odd_read_note(6, "sj -2"), 1},
        {12, {}, {"-12"}, "D8 BF ", "", 0},
        {4, {"--pending", "5566"}, {"-4"}, "D8 BF ", "", 0},  // bytes that waited before sj opened the port
    };
    for (const auto& c : cases) {
        SimRadio& radio = radio_on(c.port, c.radio);
        ProcessResult run = sj(c.words);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, sj_banner() + port_message(c.port) + jumper_line(c.bytes));
        EXPECT_EQ(frames_in(stop_sim_radio(radio)), std::vector<std::string>{read_frame});
    }
}

// A missing port names those that exist, on standard error, after the
// failure in a log of both streams.
TEST_F(EndToEnd, MissingDeviceAndNonSerialDeviceFailAtTheOpen)
{
    radio_on(12);
    const std::string by_id = sim_ports + "/by-id", named = by_id + "/usb-sim-if00";
    mkdir(by_id.c_str(), 0755);
    ASSERT_EQ(symlink(full_link_for(12).c_str(), named.c_str()), 0);
    unlink(link_for(7).c_str());
    ProcessOptions one_stream;  // as `sj -7 >log 2>&1`: the events in their order
    one_stream.err_to_out = true;
    ProcessResult missing = sj({"-7"}, "", one_stream);
    ProcessResult missing_path = sj({by_id + "/nowhere"});
    unlink(named.c_str());
    unlink(link_for(8).c_str());
    const std::string folder = sim_ports + "/a-folder";  // no serial port: Windows' access denied, under Wine
    mkdir(folder.c_str(), 0755);
    ASSERT_EQ(symlink(folder.c_str(), link_for(8).c_str()), 0);
    ProcessResult not_serial = sj({"-8"});
    unlink(link_for(8).c_str());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(not_serial.status, 1);
    EXPECT_EQ(not_serial.err, under_wine ? "sj: another program has COM8 open (Windows gives a COM port to one program at a "
                                           "time); close it and run sj again\n" : "sj: " + link_for(8) + ": Is a directory\n");
    if (!under_wine) {
        const std::string exist = "sj: ports that exist: sj -12\nsj: by name: sj ports/by-id/usb-sim-if00\n";
        EXPECT_EQ(missing.out, sj_banner() + "CreateFile failed opening COM7: with error 2.\n" + exist);
        EXPECT_EQ(missing_path.out, sj_banner() + "CreateFile failed opening " + by_id + "/nowhere with error 2.\n");
        EXPECT_EQ(missing_path.err, exist);
        EXPECT_EQ(not_serial.out, sj_banner() + "CreateFile failed opening COM8: with error 21.\n");
        return;
    }
    // Wine opens whatever its device link names and fails at GetCommState;
    // the error numbers are Wine's.
    const std::string failure = "^(CreateFile failed opening COM[78]: with error [0-9]+\\.|"
                                "GetCommState failed with error [0-9]+\\.)\n(sj: .*\n)?$";
    EXPECT_TRUE(missing.out.starts_with(sj_banner()));
    EXPECT_EQ(not_serial.out, sj_banner() + "CreateFile failed opening COM8: with error 5.\n");
    EXPECT_THAT(missing.out.substr(sj_banner().size()), ::testing::MatchesRegex(failure));
    ProcessResult unmapped = sj({"-256"});  // no port of Wine's or the machine's has that number
    EXPECT_EQ(unmapped.out, sj_banner() + "CreateFile failed opening COM256: with error 2.\n");
    EXPECT_THAT(unmapped.err, ::testing::MatchesRegex("sj: ports that exist: sj -1, sj -2, .*sj -9, .*sj -12(, sj -[0-9]+)*\n"));
}

// The first run waits on a silent radio: what it printed is already out,
// after 2 s a hint on standard error says what to check while sj waits on,
// the second run cannot have the port, and Ctrl-C ends the first. A radio
// that answers after 1 s gets no hint.
TEST_F(EndToEnd, SilentRadioHintHeldPortAndInterrupt)
{
    const std::string hint = silence_hint();
    SimRadio& com3 = radio_on(3, {"--silent"});
    SimRadio& com5 = radio_on(5, {"--delay", "1000"});
    std::atomic<bool> waiting{false}, second_done{false};
    ProcessOptions options;
    options.interrupt_with = under_wine ? SIGKILL : SIGINT;  // Wine turns no SIGINT into Ctrl-C here
    options.interrupt_when = [&](const ProcessResult& so_far) {
        waiting = without_carriage_returns(so_far.out) == sj_banner() + port_message(3);  // the frame is sent
        return second_done.load() && without_carriage_returns(so_far.err) == hint;
    };
    ProcessResult first;
    std::thread first_run([&] { first = sj({"-3"}, "", options); });
    for (int i = 0; i < 1000 && !waiting; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!under_wine) {  // Wine keeps no COM port to one process
        ProcessResult second = sj({"-3"});
        // The note names the holders (the radio's end here, and sj or qemu running it) with their pids.
        EXPECT_THAT(second.err, ::testing::MatchesRegex("sj: " + link_for(3) + " is held by another program: simradio "
                                                        "\\(pid [0-9]+\\), [-a-z0-9]+ \\(pid [0-9]+\\); close it and run sj again\n"));
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(second.out, sj_banner() + "CreateFile failed opening COM3: with error 11.\n");
    }
    second_done = true;
    ProcessResult slow = sj({"-5"});
    first_run.join();
    EXPECT_FALSE(first.timed_out);
    EXPECT_EQ(first.signal, options.interrupt_with);
    EXPECT_EQ(first.out, sj_banner() + port_message(3));
    EXPECT_EQ(first.err, hint);
    expect_clean(slow);
    EXPECT_EQ(slow.out, sj_banner() + port_message(5) + jumper_line("D8 BF "));
    EXPECT_EQ(frames_in(stop_sim_radio(com3)), std::vector<std::string>{read_frame});
    EXPECT_EQ(frames_in(stop_sim_radio(com5)), std::vector<std::string>{read_frame});
}

// Standard output is a pipe here, so fully buffered: the prompt must be out
// before sj waits for the answer, and nothing sent past the first read.
TEST_F(EndToEnd, WriteRunWithYesTypedAtThePrompt)
{
    SimRadio& com2 = radio_on(2);
    std::vector<std::string> frames_at_prompt;
    ProcessOptions options;
    options.input_when = [&](const ProcessResult& so_far) {
        if (!so_far.out.ends_with("Please answer YES to continue > "))
            return false;
        frames_at_prompt = frames_in(radio_log(com2));
        return true;
    };
    ProcessResult run = sj({"-2", "F8", "BF"}, "YES\n", options);
    EXPECT_EQ(run.err, way_back("sj -2", "D8 BF", kept_in));
    EXPECT_EQ(frames_at_prompt, std::vector<std::string>{read_frame});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, sj_banner() + port_message(2) + jumper_line("D8 BF ") + write_prompt("f8", "bf") +
                           "\nSending CAT command: 00 04 f8 bf BC to the Radio\n"
                           "Radio response to write command is : 00 \n" + write_accepted() + reading_again() +
                           "Read current data from EEPROM gives : F8 BF \n"
                           "\nEEPROM values updated, power off/on radio to activate\n\n");
    std::string log = stop_sim_radio(com2);
    EXPECT_EQ(frames_in(log), (std::vector<std::string>{read_frame, "00 04 F8 BF BC", read_frame}));
    EXPECT_EQ(eeprom_in(log), "F8 BF");
}

// No write frame goes out unseen: not once standard output's reader has
// gone (sj dies of SIGPIPE, or under Wine says that the write was not
// sent), nor for a YES typed on the terminal before the prompt.
TEST_F(EndToEnd, NoWriteFrameUnseen)
{
    SimRadio& com3 = radio_on(3);
    ProcessOptions reader_gone;
    reader_gone.input_when = [](const ProcessResult& so_far) { return so_far.out.ends_with("continue > "); };
    reader_gone.stdout_gone_at_input = true;
    ProcessResult gone = sj({"-3", "F8", "BF"}, "YES\n", reader_gone);
    EXPECT_TRUE(gone.signal == SIGPIPE || gone.status == 1) << gone.status << " " << gone.signal;
    if (under_wine) {
        EXPECT_TRUE(gone.err.starts_with("sj: standard output failed, so the values and the prompt may not have been "
                                         "seen; " + write_not_sent() + "\nsj: cannot write standard output: ")) << gone.err;
    }
    std::string log = stop_sim_radio(com3);
    EXPECT_EQ(frames_in(log), std::vector<std::string>{read_frame});
    if (under_wine)
        return;  // Wine's console is not the pseudo-terminal
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    SimRadio& com4 = radio_on(4);
    ProcessOptions on_terminal;  // in its usual mode: a line at a time, echoed
    on_terminal.stdin_from = ptsname(master);
    int typed = 0;  // YES while the first read settles, long before the prompt; then "no" at the prompt
    on_terminal.interrupt_when = [&](const ProcessResult& so_far) {
        const char* keys = typed == 0 && !frames_in(radio_log(com4)).empty() ? "YES\n"
                           : typed == 1 && so_far.out.ends_with("> ")          ? "no\n"
                                                                               : nullptr;
        if (keys) {
            ++typed;
            EXPECT_EQ(write(master, keys, std::strlen(keys)), static_cast<ssize_t>(std::strlen(keys)));
        }
        return false;
    };
    ProcessResult ahead = sj({"-4", "F8", "BF"}, std::nullopt, on_terminal);
    close(master);
    EXPECT_EQ(ahead.out, sj_banner() + port_message(4) + jumper_line("D8 BF ") + write_prompt("f8", "bf") +
                             "Aborted: you must enter YES in uppercase to continue and write to the EEPROM\n\n");
    EXPECT_EQ(frames_in(stop_sim_radio(com4)), std::vector<std::string>{read_frame});
}

// A tail of the bytes written that trails the radio's 00, so coming in its window
// or after the read-back frame, is never taken for the read-back.
TEST_F(EndToEnd, AWriteTailIsNoReadBack)
{
    const struct { const char* gap; std::string verdict; } cases[] = {
        {"250", "read-back should have given F8 BF\n\n"},
        {"2000", "more bytes came after the read-back; sj -5 reads them again\n\n"}};
    for (const auto& c : cases) {
        SimRadio& com5 = radio_on(5, {"--stores", "11", "22", "--write-tail", "F8BF", "--tail-gap", c.gap, "--delay", "150"});
        ProcessResult run = sj({"-5", "F8", "BF"}, "YES\n");
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.out.ends_with("\nError: EEPROM values not confirmed, " + c.verdict)) << run.out;
        EXPECT_EQ(eeprom_in(stop_sim_radio(com5)), "11 22");
    }
}

// After a confirmed write, the way back, in a command a POSIX shell takes as typed.
TEST_F(EndToEnd, TheWayBackAfterAWrite)
{
    if (under_wine)
        GTEST_SKIP() << "device paths are POSIX's";
    radio_on(6);
    std::string path = sim_ports + "/my radio's", quoted = sim_ports + "/my radio'\\''s";
    unlink(path.c_str());
    ASSERT_EQ(symlink(full_link_for(6).c_str(), path.c_str()), 0);
    ProcessResult run = sj({path, "70", "06"}, "YES\n");
    unlink(path.c_str());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, way_back("sj '" + quoted + "'", "D8 BF"));
}

// The history: where it cannot be kept, the write goes on and one note
// names the file and the cause; two runs at once keep whole lines; Ctrl-C
// after the write frame is kept; sj --history shows it. Under Wine, the
// Windows path and CRLF.
TEST_F(EndToEnd, TheHistoryKeptOrNotTheWriteGoesOn)
{
    const std::string home = own_home(), state = home + "/.local/state/sj/history";
#ifdef SJ_E2E_WINE
    ProcessResult none = sj({"--history"});
    EXPECT_EQ(none.status, 0);
    radio_on(6);
    ProcessResult run = sj({"-6", "70", "06"}, "YES\n");
    EXPECT_EQ(run.err, way_back("sj -6", "D8 BF", kept_in));
    std::string windows = std::filesystem::path(WINE_PREFIX) / "drive_c/users";
    std::string text;
    for (const auto& user : std::filesystem::directory_iterator(windows))
        text += read_file(user.path().string() + "/AppData/Local/sj/history.txt");
    EXPECT_TRUE(std::regex_search(text, std::regex(" COM6: read D8 BF\r\n[^\n]* COM6: write 70 06 over D8 BF\r\n"
                                                   "[^\n]* COM6: updated: read back 70 06\r\n$"))) << text;
#else
    ProcessResult none = sj({"--history"});
    EXPECT_EQ(none.out, "No history in ~/.local/state/sj/history: No such file or directory\n");
    EXPECT_EQ(none.status, 0);
    // Each a folder of its own for the history, made unusable in one way.
    for (const char* folder : {"/file/sj", "/folder/sj/history/x", "/link/sj"})
        std::filesystem::create_directories(home + "/ways" + folder);
    std::filesystem::remove(home + "/ways/file/sj");
    std::ofstream(home + "/ways/file/sj") << "";
    std::ofstream(home + "/target") << "";
    std::filesystem::create_symlink(home + "/target", home + "/ways/link/sj/history");
    const struct { int port; std::string env, note; } ways[] = {
        {1, "HOME=", ": $HOME is not set"},
        {2, "XDG_STATE_HOME=" + home + "/ways/file", " in ~/ways/file/sj/history: Not a directory"},
        {3, "XDG_STATE_HOME=" + home + "/ways/folder", " in ~/ways/folder/sj/history: Is a directory"},
        {5, "XDG_STATE_HOME=" + home + "/ways/link", " in ~/ways/link/sj/history: Too many levels of symbolic links"},
        {6, "", ""},  // these two at once on the one history
        {7, "", ""},
    };
    std::vector<std::thread> runs;
    std::vector<ProcessResult> results(std::size(ways));
    for (std::size_t i = 0; i < std::size(ways); ++i) {
        radio_on(ways[i].port);
        runs.emplace_back([&, i] {
            ProcessOptions options;
            if (!ways[i].env.empty())
                options.env.push_back(ways[i].env);
            results[i] = sj({"-" + std::to_string(ways[i].port), "70", "06"}, "YES\n", options);
        });
    }
    // Ctrl-C once the hint after the write frame is out: the history says so.
    SimRadio& silent = radio_on(8, {"--lengths", "2,0"});
    ProcessOptions interrupt;
    interrupt.interrupt_when = [](const ProcessResult& so_far) { return so_far.err.ends_with(")\n"); };
    ProcessResult interrupted = sj({"-8", "70", "06"}, "YES\n", interrupt);
    for (std::thread& run : runs)
        run.join();
    for (std::size_t i = 0; i < std::size(ways); ++i) {
        SCOPED_TRACE(ways[i].port);
        std::string again = "sj -" + std::to_string(ways[i].port);
        EXPECT_EQ(results[i].status, 0);
        EXPECT_EQ(results[i].err, ways[i].note.empty() ? way_back(again, "D8 BF")
                                                       : "sj: cannot keep the history" + ways[i].note + "\n" + way_back(again, "D8 BF", ""));
    }
    EXPECT_EQ(read_file(home + "/target"), "");  // never written through a link
    struct stat file{}, folder{};
    EXPECT_TRUE(stat(state.c_str(), &file) == 0 && stat((home + "/.local/state/sj").c_str(), &folder) == 0);
    EXPECT_EQ(file.st_mode & 07777, 0600u);  // for this user alone
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(interrupted.signal, SIGINT);
    EXPECT_EQ(frames_in(stop_sim_radio(silent)).size(), 2u);
    std::vector<std::string> lines;
    std::istringstream text(read_file(state));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line.substr(line.find(' ') + 1));
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected;
    for (int port : {6, 7, 8}) {
        std::string com = "COM" + std::to_string(port) + ": (" + link_for(port) + ") ";
        expected.insert(expected.end(), {com + "read D8 BF", com + (port == 8 ? "interrupted" : "updated: read back 70 06"),
                                         com + "write 70 06 over D8 BF"});
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    ProcessResult shown = sj({"--history"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, "The history of sj, kept in ~/.local/state/sj/history; its first reading is the radio's bytes as "
                         "sj first found them:\n" + read_file(state));
#endif
}

TEST_F(EndToEnd, NoYesNoWrite)
{
    const std::optional<std::string> answers[] = {"yes\n", "", std::nullopt};  // nullopt: stdin closed
    for (const auto& answer : answers) {
        SimRadio radio = start_sim_radio(SIMRADIO, link_for(2), {});
        ProcessResult run = sj({"-2", "F8", "BF"}, answer);
        std::string log = stop_sim_radio(radio);
        expect_clean(run);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, sj_banner() + port_message(2) + jumper_line("D8 BF ") + write_prompt("f8", "bf") +
                               "Aborted: you must enter YES in uppercase to continue and write to the EEPROM\n\n");
        EXPECT_EQ(frames_in(log), std::vector<std::string>{read_frame});
        EXPECT_EQ(eeprom_in(log), "D8 BF");
    }
}

#ifndef SJ_E2E_WINE
// sj never takes the terminal it runs in (by /dev/tty or by name) nor the
// console: nothing set or written there, no exclusive flag left, not listed.
TEST_F(EndToEnd, RefusesItsOwnTerminalAndTheConsole)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const std::string own = ptsname(master), term = "the terminal sj runs in";
    int terminal = open(own.c_str(), O_RDWR | O_NOCTTY), exclusive = 1;
    termios before{}, after{};
    SimRadio& radio = radio_on(6);  // named as the console by the file this build reads
    std::ofstream(sim_ports + "/console-active") << "tty0 " << std::filesystem::read_symlink(link_for(6)).string().substr(5);
    // The last: on sj's standard input, but not its controlling terminal.
    const struct { std::string word, shown, why; bool controlling = true; } cases[] = {
        {"/dev/tty", "/dev/tty", term}, {own, own, term}, {"-6", "COM6: (" + link_for(6) + ")", "the system console"},
        {own, own, term, false}};
    for (const auto& c : cases) {
        ProcessOptions options;
        (c.controlling ? options.controlling_terminal : options.stdin_from) = own;
        ASSERT_EQ(tcgetattr(terminal, &before), 0);
        ProcessResult run = sj({c.word}, "", options);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, sj_banner() + "Not opening " + c.shown + ": it is " + c.why + ", not a radio's line.\n");
        EXPECT_EQ(run.err, "sj: no serial port found; see \"Finding the port\" in sj's README\n");
        EXPECT_TRUE(tcgetattr(terminal, &after) == 0 && std::memcmp(&before, &after, sizeof before) == 0);
        EXPECT_TRUE(ioctl(terminal, TIOCGEXCL, &exclusive) == 0 && exclusive == 0);
    }
    std::remove((sim_ports + "/console-active").c_str());
    EXPECT_EQ(read(master, &before, 1), -1);  // nothing was written on it
    EXPECT_EQ(frames_in(stop_sim_radio(radio)), std::vector<std::string>{});
    close(terminal);
    close(master);
}
#else
// What the port holds once opened as sj opens it, read back through Wine.
TEST_F(EndToEnd, PortHoldsTheCatLineAndTheTimeouts)
{
    radio_on(7);
    ProcessResult run = run_program(DCB_CHECK, {"7"});
    EXPECT_EQ(run.status, 0);
    // Then the failures that cannot be made here, as the CAT layer reports
    // them: two of the open's, then each step after it with an error of the
    // notes' table (995) and one that no row names (6), before the write
    // frame and after it. The fate follows the stage alone.
    std::string out = port_message(7) + "CreateFile failed opening COM7: with error 31.\n"
                      "CreateFile failed opening COM7: with error 433.\n";
    std::string err = "sj: COM7 is a device that does not work: often a USB adapter whose driver refuses its chip, as "
                      "with PL2303 clones; Device Manager says more\nsj: the adapter behind COM7 is not there: it was "
                      "unplugged\n";
    for (const std::string& fate : {write_not_sent(), write_was_out("sj -7")}) {
        for (const auto& [error, cause] : {std::pair<int, std::string>{995, went_away_note("COM7")},
                                           {6, "sj: COM7: Invalid handle.\n"}}) {  // Wine's own words for error 6
            for (const char* step : {"PurgeComm", "WriteFile", "ReadFile"}) {
                out += std::string(step) + " failed with error " + std::to_string(error) + ".\n";
                err += cause.substr(0, cause.size() - 1) + "; " + fate + "\n";
            }
        }
    }
    EXPECT_EQ(run.out, out + "4 passed, 0 failed\n");
    EXPECT_EQ(run.err, err);
}
#endif

}  // namespace
