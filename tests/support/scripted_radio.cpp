// See scripted_radio.h.
#include "scripted_radio.h"

#include "capture.h"
#include "own_folder.h"
#include "radio_model.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#ifndef SJ_TEST_RUNS
#error "SJ_TEST_RUNS must name the folder where the tests make their own"
#endif

namespace {

constexpr long long NEVER = LLONG_MAX;

// The line between sj and the radio: what the radio sent, each byte with
// its time, and how far sj has read.
struct Line {
    bool active = false;
    dev_t device = 0;  // the pseudo-terminal's
    int fd = -1;       // sj's descriptor for it, once seen
    long long now_ms = 0;
    RadioModel radio;
    std::vector<long long> arrival_ms;
    std::vector<unsigned char> bytes;
    std::size_t taken = 0;
    long long hangup_ms = -1;
    std::string input_after_log;
    long long margin_ms = NEVER;
    std::string history_at_write_frame;
};

Line line;

bool is_radio(int fd)
{
    if (!line.active || fd < 0)
        return false;
    if (fd == line.fd)
        return true;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || st.st_rdev != line.device)
        return false;
    line.fd = fd;
    return true;
}

bool hung_up()
{
    return line.hangup_ms >= 0 && line.hangup_ms <= line.now_ms;
}

bool readable()
{
    return line.taken < line.bytes.size() && line.arrival_ms[line.taken] <= line.now_ms;
}

// Runs the radio on to `t_ms`; true when the line changed at that time.
bool run_radio_to(long long t_ms)
{
    std::size_t before = line.bytes.size();
    advance_radio(line.radio, t_ms);
    line.bytes.insert(line.bytes.end(), line.radio.sent, line.radio.sent + line.radio.sent_count);
    line.arrival_ms.resize(line.bytes.size(), t_ms);
    line.radio.sent_count = 0;
    if (line.radio.hung_up && line.hangup_ms < 0) {
        line.hangup_ms = t_ms;
        return true;
    }
    return line.bytes.size() > before;
}

void note_margin(long long distance_ms)
{
    line.margin_ms = std::min(line.margin_ms, distance_ms < 0 ? -distance_ms : distance_ms);
}

// Waits for a byte or the hang-up until `deadline_ms` (NEVER: no limit);
// the time moves on to whichever comes first.
bool wait_for_change(long long deadline_ms)
{
    for (;;) {
        if (hung_up() || readable())
            return true;
        long long next = radio_next_ms(line.radio);
        if (next < 0 || next > deadline_ms) {
            if (deadline_ms == NEVER)
                throw RunInterrupted{};  // nothing will ever come: the operator gives up
            if (next >= 0)
                note_margin(next - deadline_ms);
            line.now_ms = deadline_ms;
            return false;
        }
        next = std::max(next, line.now_ms);
        if (run_radio_to(next)) {
            if (deadline_ms != NEVER)
                note_margin(deadline_ms - next);
            line.now_ms = next;
        }
    }
}

// The pseudo-terminal behind every radio of this process.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
};

const Pty& pty()
{
    static Pty pty = [] {
        Pty p;
        p.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (p.master < 0 || grantpt(p.master) != 0 || unlockpt(p.master) != 0)
            std::abort();
        p.path = ptsname(p.master);
        p.slave = open(p.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        return p;
    }();
    return pty;
}

bool start_model(const std::vector<std::string>& words, const std::string& link)
{
    std::vector<std::string> with_link = words, storage;
    with_link.push_back(link);
    std::vector<char*> argv = argv_for(with_link, storage);  // the program's name is not read
    RadioOptions options;
    const char* named = nullptr;
    const char* log = nullptr;
    if (!parse_radio_options(static_cast<int>(storage.size()), argv.data(), options, named, log))
        return false;
    start_radio(line.radio, options, line.now_ms);
    run_radio_to(line.now_ms);  // the pending bytes
    return true;
}

}  // namespace

ScriptedRun run_scripted(const std::vector<std::string>& radio, int port, const std::vector<std::string>& words,
                         const std::optional<std::string>& input, const std::string& input_after_log)
{
    enter_own_folder(SJ_TEST_RUNS);
    std::string link = port_path(port);
    unlink(link.c_str());
    struct stat st;
    if (symlink(pty().path.c_str(), link.c_str()) != 0 || stat(link.c_str(), &st) != 0)
        std::abort();
    line = Line{};
    line.device = st.st_rdev;
    line.now_ms = 1000000;
    line.input_after_log = input_after_log;
    ScriptedRun run{};
    if (!start_model(radio, link)) {
        run.result.status = 2;
        run.result.err = "simradio: bad options\n";
        return run;
    }
    line.active = true;
    InProcessRun done = run_in_process(words, input);
    if (line.fd >= 0 && fstat(line.fd, &st) == 0 && st.st_rdev == line.device)
        close(line.fd);  // unless the run closed it
    line.active = false;
    unlink(link.c_str());
    stop_radio(line.radio);
    run.result.status = done.interrupted ? -1 : done.status;
    run.result.signal = done.interrupted ? SIGINT : 0;
    run.result.out = done.output;
    run.result.err = done.errors;
    run.log = line.radio.log;
    run.history_at_write_frame = line.history_at_write_frame;
    run.margin_ms = line.margin_ms > INT_MAX ? INT_MAX : static_cast<int>(line.margin_ms);
    return run;
}

// The wraps: the link's clock and the calls that carry bytes or wait.
extern "C" {
int __real_poll(pollfd* fds, nfds_t count, int timeout);
ssize_t __real_read(int fd, void* buffer, size_t size);
ssize_t __real_write(int fd, const void* buffer, size_t size);
int __real_tcflush(int fd, int queue);
char* __real_fgets(char* text, int size, FILE* stream);
long long __real_link_clock_us();

long long __wrap_link_clock_us()
{
    return line.active ? line.now_ms * 1000 : __real_link_clock_us();
}

// As a pseudo-terminal whose other end has closed: readable and hung up.
int __wrap_poll(pollfd* fds, nfds_t count, int timeout)
{
    if (count != 1 || !is_radio(fds[0].fd))
        return __real_poll(fds, count, timeout);
    bool changed = wait_for_change(timeout < 0 ? NEVER : line.now_ms + timeout);
    fds[0].revents = static_cast<short>(hung_up() ? POLLIN | POLLERR | POLLHUP : changed ? POLLIN : 0);
    return changed ? 1 : 0;
}

// After a hang-up a pseudo-terminal reads as its end, unread bytes lost.
ssize_t __wrap_read(int fd, void* buffer, size_t size)
{
    if (!is_radio(fd))
        return __real_read(fd, buffer, size);
    if (hung_up())
        return 0;
    size_t n = 0;
    for (; n < size && readable(); ++n)
        static_cast<unsigned char*>(buffer)[n] = line.bytes[line.taken++];
    if (n == 0) {
        errno = EAGAIN;
        return -1;
    }
    return static_cast<ssize_t>(n);
}

ssize_t __wrap_write(int fd, const void* buffer, size_t size)
{
    if (!is_radio(fd))
        return __real_write(fd, buffer, size);
    run_radio_to(line.now_ms);
    if (hung_up()) {
        errno = EIO;
        return -1;
    }
    if (size == 5 && static_cast<const unsigned char*>(buffer)[4] == 0xBC)
        line.history_at_write_frame = read_file(std::string(std::getenv("HOME")) + "/.local/state/sj/history");
    radio_receives(line.radio, static_cast<const unsigned char*>(buffer), static_cast<int>(size), line.now_ms);
    return static_cast<ssize_t>(size);
}

int __wrap_tcflush(int fd, int queue)
{
    if (!is_radio(fd))
        return __real_tcflush(fd, queue);
    run_radio_to(line.now_ms);
    while (readable())
        ++line.taken;
    return 0;
}

// The operator types once the radio has done what the test waits for.
char* __wrap_fgets(char* text, int size, FILE* stream)
{
    if (line.active && stream == stdin && !line.input_after_log.empty()) {
        for (long long next; !std::strstr(line.radio.log, line.input_after_log.c_str()) &&
                             (next = radio_next_ms(line.radio)) >= 0;) {
            line.now_ms = std::max(line.now_ms, next);
            run_radio_to(line.now_ms);
        }
    }
    return __real_fgets(text, size, stream);
}
}
