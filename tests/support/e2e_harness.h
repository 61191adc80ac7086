// The harness of the end-to-end tests: runs the real sj (or sj.exe under
// Wine) against simulated radios and compares what an operator would see.
#pragma once

#include "own_folder.h"
#include "process.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <list>
#include <optional>
#include <string>
#include <vector>
#include <unistd.h>

#if !defined(SJ_UNDER_TEST) || !defined(SIMRADIO) || !defined(SIM_PORTS) || !defined(SJ_TEST_RUNS)
#error "SJ_UNDER_TEST, SIMRADIO, SIM_PORTS and SJ_TEST_RUNS must name the binaries and the folders"
#endif

namespace e2e {

#ifdef SJ_E2E_WINE
// sj.exe under Wine: the prefix maps COM1..COM9 to the simulated radio's
// links, and the console's CR LF line ends are folded to LF before comparing.
constexpr bool under_wine = true;
#else
constexpr bool under_wine = false;
#endif

// The sj under test is built in. A cross-built sj is named by
// SJ_E2E_CROSS, "QEMU|LIBRARIES|TREE": the emulator that runs it, the
// target's library folder, and its build tree. So one suite serves every
// build. Its ports are in the "ports" folder of the test's own folder, where
// it runs (sj-testports), so that tests run side by side; under Wine, in the
// folder that the prefix maps COM1 to COM9 and COM12 to.
struct SjUnderTest {
    std::string program, ports, qemu, libraries;
};

inline SjUnderTest sj_from_environment()
{
    std::string ports = under_wine ? SIM_PORTS : enter_own_folder(SJ_TEST_RUNS) + "/ports";
    const char* cross = std::getenv("SJ_E2E_CROSS");
    if (!cross)
        return {SJ_UNDER_TEST, ports, "", ""};
    std::string text = cross, tree = text.substr(text.rfind('|') + 1);
    std::size_t bar = text.find('|');
    return {tree + "/sj-testports", ports, text.substr(0, bar), text.substr(bar + 1, text.rfind('|') - bar - 1)};
}

inline const SjUnderTest under_test = sj_from_environment();
inline const std::string& sj_under_test = under_test.program;
inline const std::string& sim_ports = under_test.ports;

// The test's own folder, sj's home: its history is kept there.
inline std::string own_home()
{
    return enter_own_folder(SJ_TEST_RUNS);
}

// Where sj says the history is kept.
inline const std::string kept_in = under_wine ? "%LOCALAPPDATA%\\sj\\history.txt" : "~/.local/state/sj/history";

// The full path, for a symbolic link to the port.
inline std::string full_link_for(int port)
{
    return sim_ports + "/ttySIM" + std::to_string(port - 1);
}

// The port's path as sj names it: from the test's folder, or under Wine the full path.
inline std::string link_for(int port)
{
    return under_wine ? full_link_for(port) : port_path(port);
}

inline std::string without_carriage_returns(std::string text)
{
    std::string folded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            folded += text[i];
    }
    return folded;
}

// Runs `program` (under Wine, a Windows program; under qemu-user, an ARM one)
// with `words` after its name.
inline ProcessResult run_program(const std::string& program, const std::vector<std::string>& words,
                                 std::optional<std::string> input = "", ProcessOptions options = {})
{
    std::vector<std::string> argv = {program};
#if defined(SJ_E2E_WINE)
    argv.insert(argv.begin(), WINE);
    options.env = {"WINEPREFIX=" WINE_PREFIX, "WINEDEBUG=-all"};
#else
    if (!under_test.qemu.empty())
        argv.insert(argv.begin(), {under_test.qemu, "-L", under_test.libraries});
    // The history goes to ~/.local/state/sj/history in the test's own folder.
    options.env.insert(options.env.begin(), {"HOME=" + own_home(), "XDG_STATE_HOME="});  // a test may name others
#endif
    argv.insert(argv.end(), words.begin(), words.end());
    options.input = std::move(input);
    ProcessResult result = run_process(argv, options);
    if (under_wine) {
        result.out = without_carriage_returns(result.out);
        result.err = without_carriage_returns(result.err);
    }
    return result;
}

inline ProcessResult sj(const std::vector<std::string>& words, std::optional<std::string> input = "",
                        ProcessOptions options = {})
{
    return run_program(sj_under_test, words, std::move(input), std::move(options));
}

// The program name as the tool sees it: under Wine, the DOS path of sj.exe.
inline std::string sj_banner()
{
    std::string name = sj_under_test;
    if (under_wine) {
        for (char& c : name)
            c = c == '/' ? '\\' : c;
        name = "Z:" + name;
    }
    return banner(name);
}

class EndToEnd : public ::testing::Test {
protected:
    std::list<SimRadio> radios;  // a list keeps references valid

    SimRadio& radio_on(int port, const std::vector<std::string>& options = {})
    {
        radios.push_back(start_sim_radio(SIMRADIO, link_for(port), options));
        return radios.back();
    }
    // A cross build's suite run before that build: one line says which
    // preset to build, instead of every run failing slowly.
    void SetUp() override
    {
        if (access(sj_under_test.c_str(), X_OK) != 0)
            GTEST_FAIL() << sj_under_test << " is missing: build the preset "
                         << std::filesystem::path(sj_under_test).parent_path().filename() << " first";
    }
    void TearDown() override
    {
        for (SimRadio& radio : radios)
            stop_sim_radio(radio);
    }
    static void expect_clean(const ProcessResult& run)
    {
        EXPECT_EQ(run.signal, 0);
        EXPECT_FALSE(run.timed_out);
        EXPECT_EQ(run.err, "");
    }
};

}  // namespace e2e
