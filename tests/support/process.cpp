// fork/exec with captured output, a time limit and an optional interrupt.
#include "process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Standard input is a pipe; its input goes in at once (it is small), or
// when an event in the output calls for it.
int input_fd(const ProcessOptions& options, int& writer)
{
    writer = -1;
    int ends[2];
    if (!options.input || pipe(ends) != 0)
        return -1;
    writer = ends[1];
    return ends[0];
}

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const ProcessOptions& options, int in, int out,
                             int err)
{
    if (!options.stdin_from.empty())
        dup2(open(options.stdin_from.c_str(), O_RDONLY | O_NOCTTY), 0);
    else if (in >= 0)
        dup2(in, 0);
    else
        close(0);
    if (!options.stdout_to)
        dup2(out, 1);
    else if (*options.stdout_to)
        dup2(open(options.stdout_to, O_WRONLY), 1);
    else
        close(1);
    dup2(options.err_to_out ? 1 : err, 2);
    if (!options.controlling_terminal.empty() && setsid() >= 0) {
        int terminal = open(options.controlling_terminal.c_str(), O_RDWR);  // without O_NOCTTY: it becomes ours
        if (terminal > 2)
            close(terminal);
    }
    std::signal(SIGPIPE, SIG_DFL);  // the tests ignore it, the tool must not inherit that
    for (const std::string& assignment : options.env)
        putenv(const_cast<char*>(assignment.c_str()));
    exec_words(argv);
}

int elapsed_ms(Clock::time_point start)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Reads both pipes until they close, answering, interrupting or killing
// as the output and the clock say.
void collect(int pid, int out, int err, int writer, const ProcessOptions& options, ProcessResult& result)
{
    Clock::time_point start = Clock::now();
    bool interrupted = false;
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_pipes = 2;
    while (open_pipes > 0) {
        if (writer >= 0 && (!options.input_when || options.input_when(result))) {
            if (options.stdout_gone_at_input && fds[0].fd >= 0) {
                close(fds[0].fd);
                fds[0].fd = -1;
                --open_pipes;
            }
            ssize_t ignored = write(writer, options.input->data(), options.input->size());  // EPIPE if it ended
            (void)ignored;
            close(writer);
            writer = -1;
        }
        if (options.interrupt_when && !interrupted && options.interrupt_when(result)) {
            kill(pid, options.interrupt_with);
            interrupted = true;
        }
        if (elapsed_ms(start) >= options.timeout_ms && !result.timed_out) {
            kill(pid, SIGKILL);
            result.timed_out = true;
        }
        if (poll(fds, 2, 10) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char chunk[4096];
            ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_pipes;
            }
        }
    }
    if (writer >= 0)
        close(writer);
}

}  // namespace

void exec_words(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& word : argv)
        args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
}

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {};
    std::signal(SIGPIPE, SIG_IGN);  // a child that ends before its input is written
    int writer;
    int in = input_fd(options, writer);
    int pid = fork();
    if (pid == 0) {
        close(out[0]);
        close(err[0]);
        if (writer >= 0)
            close(writer);
        exec_child(argv, options, in, out[1], err[1]);
    }
    if (in >= 0)
        close(in);
    close(out[1]);
    close(err[1]);
    ProcessResult result;
    collect(pid, out[0], err[0], writer, options, result);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        result.signal = WTERMSIG(wstatus);
    return result;
}

SimRadio start_sim_radio(const std::string& simradio, const std::string& link, const std::vector<std::string>& options)
{
    SimRadio radio;
    radio.log_path = link + ".log";
    unlink(link.c_str());
    std::vector<std::string> argv = {simradio, "--log", radio.log_path};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(link);
    radio.pid = fork();
    if (radio.pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        exec_words(argv);
    }
    // Ready once the link is there.
    struct stat st;
    for (int i = 0; i < 500 && lstat(link.c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return radio;
}

std::string stop_sim_radio(SimRadio& radio)
{
    if (radio.pid > 0) {
        kill(radio.pid, SIGTERM);
        waitpid(radio.pid, nullptr, 0);
        radio.pid = -1;
    }
    return radio_log(radio);
}

std::string radio_log(const SimRadio& radio)
{
    return read_file(radio.log_path);
}

std::string read_file(const std::string& path)
{
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            text.append(chunk, n);
        std::fclose(file);
    }
    return text;
}

std::vector<std::string> frames_in(const std::string& log)
{
    std::vector<std::string> frames;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("rx ", 0) == 0)
            frames.push_back(line.substr(3));
    }
    return frames;
}

std::string eeprom_in(const std::string& log)
{
    std::size_t at = log.rfind("eeprom 0004: ");
    return at == std::string::npos ? "" : log.substr(at + 13, 5);
}
