// Faulty radios on real time, the real sj against simradio on a
// pseudo-terminal: one row of the fault table for each class of fault, and
// drawn runs both ways, to hold the scripted clock to what real time does.
#include "e2e_harness.h"
#include "fault_table.h"
#include "scripted_radio.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

using namespace e2e;
using namespace faults;

class RealTimeFault : public EndToEnd, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(RealTimeFault, EndsAsTheTableSays)
{
    const FaultCase& c = fault_cases[GetParam()];
    std::string expected_out = sj_banner() + port_message(4) + c.after_port;
    ProcessOptions options;
    options.timeout_ms = 30000;  // slow radios' windows
    SimRadio& radio = radio_on(4, c.radio);
    if (c.status == HANGS)  // Ctrl-C once all is shown and sj waits for the radio
        options.interrupt_when = [&](const ProcessResult& run) { return run.out == expected_out && run.err == c.err; };
    options.input_when = [&](const ProcessResult& run) {
        return run.out.ends_with("> ") && radio_log(radio).find(c.yes_after) != std::string::npos;
    };
    ProcessResult run = sj({"-4", "70", "06"}, "YES\n", options);
    expect_row_end(c, run, stop_sim_radio(radio), sj_banner());
}

std::vector<std::size_t> real_time_rows()
{
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < std::size(fault_cases); ++i) {
        if (fault_cases[i].real_time)
            rows.push_back(i);
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Table, RealTimeFault, ::testing::ValuesIn(real_time_rows()), row_name);

class Faults : public EndToEnd {};

// Output that never arrived fails the run, as told on standard error; a
// YES to bytes and a prompt that may not have been seen writes nothing.
TEST_F(Faults, LostOutputEndsWithStatus1)
{
    const std::string not_sent = "sj: standard output failed, so the values and the prompt may not have been seen; " +
                                 write_not_sent() + "\n";
    const struct { const char* stdout_to; std::vector<std::string> words; const char* error; std::size_t frames; } cases[] = {
        {"/dev/full", {"-4"}, "No space left on device", 1},
        {"", {"-4"}, "Bad file descriptor", 1},
        {"/dev/full", {"-4", "70", "06"}, "No space left on device", 1},
        {"/dev/full", {"-0"}, "No space left on device", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words[0] + " > " + c.stdout_to);
        SimRadio radio = start_sim_radio(SIMRADIO, link_for(4), {});
        ProcessOptions options;
        options.stdout_to = c.stdout_to;
        ProcessResult run = sj(c.words, "YES\n", options);
        std::string log = stop_sim_radio(radio);
        EXPECT_EQ(run.status, 1);
        std::string before = c.frames == 0 ? port_forms_note() : c.words.size() == 3 ? not_sent : "";
        EXPECT_EQ(run.err, before + "sj: cannot write standard output: " + c.error + "\n");
        EXPECT_EQ(frames_in(log).size(), c.frames);
        EXPECT_EQ(eeprom_in(log), "D8 BF");
    }
}

// simradio replaces only a symbolic link, and removes only the link it made.
TEST(SimRadioLink, NeverReplacesAFileNorRemovesAnotherLink)
{
    std::string path = link_for(9);
    unlink(path.c_str());
    std::FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("data\n", file);
    std::fclose(file);
    ProcessResult refused = run_process({SIMRADIO, path}, {});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "simradio: " + path + " exists and is not a symbolic link; not replacing it\n");
    EXPECT_EQ(read_file(path), "data\n");

    SimRadio radio = start_sim_radio(SIMRADIO, path, {});  // replaces the file: the harness removes it first
    unlink(path.c_str());
    ASSERT_EQ(symlink("/dev/null", path.c_str()), 0);
    stop_sim_radio(radio);
    char target[32] = "";
    EXPECT_EQ(readlink(path.c_str(), target, sizeof target - 1), 9);
    EXPECT_STREQ(target, "/dev/null");
    unlink(path.c_str());
}

// The scripted clock held to real time -------------------------------------

// A drawn run is compared only when each of its waits ended this far from
// anything the radio did, on the scripted clock: no real machine's jitter
// can then change its course. The runs are drawn as the random runs are.
constexpr int MARGIN_MS = 60;
// 20 compared runs, in shards that ctest runs side by side.
constexpr int SHARDS = 4, COMPARED_PER_SHARD = 5;

unsigned seed_from_environment(int shard)
{
    const char* seed = std::getenv("SJ_TEST_SEED");
    // Each build's suite (native, arm64, armhf) draws runs of its own.
    unsigned build = under_test.qemu.empty() ? 0u : static_cast<unsigned char>(under_test.qemu.back());
    return seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 20261207u + build * 16u + static_cast<unsigned>(shard);
}

// The real run's output with the program's name as the scripted run has it.
std::string as_named_sj(std::string text)
{
    const std::string real = sj_under_test + " version ";
    if (text.starts_with(real))
        text.replace(0, real.size(), "sj version ");
    return text;
}

// What a shard compares: runs that reach the radio, among them one where the
// radio hangs up, one with a write frame and one with a stray after a frame.
enum { HANG_UP, WRITE, STRAY, ANY, KINDS };
constexpr int WANTED[KINDS] = {1, 1, 1, COMPARED_PER_SHARD - 3};

// The kind a scripted run counts as, KINDS when it is not wanted (any more).
int kind_wanted(const ScriptedRun& run, const int (&taken)[KINDS])
{
    std::size_t frames = frames_in(run.log).size();
    if (frames == 0 || run.margin_ms < MARGIN_MS || run.result.signal != 0)
        return KINDS;
    const bool is[KINDS] = {run.log.find("hangup") != std::string::npos, frames > 1,
                            run.log.find("stray after a frame") != std::string::npos, true};
    for (int kind = 0; kind < KINDS; ++kind) {
        if (is[kind] && taken[kind] < WANTED[kind])
            return kind;
    }
    return KINDS;
}

class CrossCheck : public EndToEnd, public ::testing::WithParamInterface<int> {};

TEST_P(CrossCheck, ScriptedClockAgreesWithRealTime)
{
    unsigned seed = seed_from_environment(GetParam());
    std::printf("seed %u (replay with SJ_TEST_SEED=%u)\n", seed, seed);
    Generator generator(seed);
    ProcessOptions options;
    options.timeout_ms = 30000;  // slow radios' windows
    int compared = 0, drawn = 0, taken[KINDS] = {};
    for (; compared < COMPARED_PER_SHARD && drawn < 1000 * COMPARED_PER_SHARD && !HasFailure(); ++drawn) {
        RandomRun c = generator.next();
        ScriptedRun scripted = run_scripted(c.radio, c.radio_port, c.words, c.input);
        int kind = kind_wanted(scripted, taken);
        if (kind == KINDS)
            continue;
        ++taken[kind];
        SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(drawn));
        SimRadio radio = start_sim_radio(SIMRADIO, link_for(c.radio_port), c.radio);
        ProcessResult run = sj(c.words, c.input, options);
        std::string log = stop_sim_radio(radio);
        EXPECT_EQ(as_named_sj(run.out), scripted.result.out);
        EXPECT_EQ(run.err, scripted.result.err);
        EXPECT_EQ(run.status, scripted.result.status);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(frames_in(log), frames_in(scripted.log));
        EXPECT_EQ(eeprom_in(log), eeprom_in(scripted.log));
        ++compared;
    }
    std::printf("%d drawn runs compared, of %d drawn\n", compared, drawn);
    EXPECT_EQ(compared, COMPARED_PER_SHARD);
}

INSTANTIATE_TEST_SUITE_P(Shard, CrossCheck, ::testing::Range(0, SHARDS));

}  // namespace
