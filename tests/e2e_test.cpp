// The real sj binary against the simulated radio on pseudo-terminals: whole
// output byte for byte, exit status, the frames that reached the radio and
// its EEPROM afterwards.
#include "e2e_harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <list>
#include <thread>
#include <unistd.h>

namespace {

// Answers are shown as they came: COM1's 300 ms gap ends its answer after
// the first byte; COM2 gives four of its six, the rest dropped at the close.
TEST_F(EndToEnd, ReadRunOnTwoPorts)
{
    SimRadio& com1 = radio_on(1, {"--jumpers", "70", "06", "--gap", "300"});
    SimRadio& com2 = radio_on(2, {"--long"});
    ProcessResult one = sj({});
    ProcessResult two = sj({"-2"});
    expect_clean(one);
    expect_clean(two);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, sj_banner() + port_message(1) + jumper_line("70 "));
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(two.out, sj_banner() + port_message(2) + jumper_line("D8 BF 06 07 "));
    EXPECT_EQ(frames_in(stop_sim_radio(com1)), std::vector<std::string>{read_frame});
    EXPECT_EQ(frames_in(stop_sim_radio(com2)), std::vector<std::string>{read_frame});
}

TEST_F(EndToEnd, MissingDeviceAndNonSerialDeviceFailAtTheOpen)
{
    unlink(link_for(7).c_str());
    ProcessResult missing = sj({"-7"});
    unlink(link_for(8).c_str());
    ASSERT_EQ(symlink("/dev/null", link_for(8).c_str()), 0);
    ProcessResult not_serial = sj({"-8"});
    unlink(link_for(8).c_str());
    expect_clean(missing);
    expect_clean(not_serial);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(not_serial.status, 1);
    if (!under_wine) {
        EXPECT_EQ(missing.out, sj_banner() + "CreateFile failed opening COM7: with error 2.\n");
        EXPECT_EQ(not_serial.out, sj_banner() + "GetCommState failed with error 25.\n");
        return;
    }
    // Wine opens whatever its device link names and fails at GetCommState;
    // the error numbers are Wine's.
    const std::string failure = "^(CreateFile failed opening COM[78]: with error [0-9]+\\.|"
                                "GetCommState failed with error [0-9]+\\.)\n$";
    EXPECT_TRUE(missing.out.starts_with(sj_banner()));
    EXPECT_TRUE(not_serial.out.starts_with(sj_banner()));
    EXPECT_THAT(missing.out.substr(sj_banner().size()), ::testing::MatchesRegex(failure));
    EXPECT_THAT(not_serial.out.substr(sj_banner().size()), ::testing::MatchesRegex(failure));
}

// The first run waits on a silent radio: what it printed is already out,
// the second run cannot have the port, and Ctrl-C ends the first.
TEST_F(EndToEnd, SilentRadioHeldPortAndInterrupt)
{
    if (under_wine)
        GTEST_SKIP() << "Wine neither keeps a COM port to one process nor turns SIGINT into Ctrl-C here";
    SimRadio& com3 = radio_on(3, {"--silent"});
    std::atomic<bool> waiting{false}, second_done{false};
    ProcessOptions options;
    options.interrupt_when = [&](const std::string& out) {
        waiting = out == sj_banner() + port_message(3);  // the port is open and the frame sent
        return second_done.load();
    };
    ProcessResult first;
    std::thread first_run([&] { first = sj({"-3"}, "", options); });
    for (int i = 0; i < 1000 && !waiting; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ProcessResult second = sj({"-3"});
    second_done = true;
    first_run.join();
    expect_clean(second);
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.out, sj_banner() + "CreateFile failed opening COM3: with error 11.\n");
    EXPECT_EQ(first.signal, SIGINT);
    EXPECT_EQ(first.out, sj_banner() + port_message(3));
    EXPECT_EQ(frames_in(stop_sim_radio(com3)), std::vector<std::string>{read_frame});
}

// Standard output is a pipe here, so fully buffered: the prompt must be out
// before sj waits for the answer, and nothing sent past the first read.
TEST_F(EndToEnd, WriteRunWithYesTypedAtThePrompt)
{
    SimRadio& com2 = radio_on(2);
    std::vector<std::string> frames_at_prompt;
    ProcessOptions options;
    options.input_when = [&](const std::string& out) {
        if (!out.ends_with("Please answer YES to continue > "))
            return false;
        frames_at_prompt = frames_in(radio_log(com2));
        return true;
    };
    ProcessResult run = sj({"-2", "F8", "BF"}, "YES\n", options);
    expect_clean(run);
    EXPECT_EQ(frames_at_prompt, std::vector<std::string>{read_frame});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, sj_banner() + port_message(2) + jumper_line("D8 BF ") + write_prompt("f8", "bf") +
                           "\nSending CAT command: 00 04 f8 bf BC to the Radio\n"
                           "Radio response to write command is : 00 \n"
                           "Radio accepted write EEPROM command\n\n"
                           "Reading EEPROM values again:\n"
                           "Read current data from EEPROM gives : F8 BF \n"
                           "\nEEPROM values updated, power off/on radio to activate\n\n");
    std::string log = stop_sim_radio(com2);
    EXPECT_EQ(frames_in(log), (std::vector<std::string>{read_frame, "00 04 F8 BF BC", read_frame}));
    EXPECT_EQ(eeprom_in(log), "F8 BF");
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

#ifdef SJ_E2E_WINE
// What the port holds once opened as sj opens it, read back through Wine.
TEST_F(EndToEnd, PortHoldsTheCatLineAndTheTimeouts)
{
    radio_on(7);
    ProcessResult run = run_program(DCB_CHECK, {"7"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, port_message(7) + "4 passed, 0 failed\n");
}
#endif

}  // namespace
