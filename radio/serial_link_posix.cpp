// The serial link on Linux and other POSIX systems, over termios: COMn: is
// the device that port_list_posix.cpp finds for it; a device path is taken
// as it is.
#include "link_internal.h"
#include "operator_note.h"
#include "port_list.h"
#include "radio_line_posix.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal keeps TIOCEXCL after its last close for as long as its
// master lives, which would lock every later run out; the flock suffices there.
bool is_pseudo_terminal(int fd)
{
#ifdef __linux__
    struct stat st;
    return fstat(fd, &st) == 0 && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
#else
    (void)fd;
    return false;
#endif
}

// With standard input closed, the port would take its place and the radio's
// bytes would be read as the operator's answer.
int move_above_standard_streams(int fd)
{
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int error = errno;
    close(fd);  // the copy above the standard streams is the one kept
    errno = error;
    return moved;
}

// The port whose exclusive flag is set, -1 for none: close_link and a
// signal that ends sj clear it, as it would outlive sj while another program
// holds the port.
volatile sig_atomic_t exclusive_fd = -1;

void clear_exclusive_and_die(int signal_number)
{
    if (exclusive_fd >= 0)
        ioctl(exclusive_fd, TIOCNXCL);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void clear_exclusive_on(int signal_number)
{
    struct sigaction old_action = {};
    if (sigaction(signal_number, nullptr, &old_action) != 0 || old_action.sa_handler != SIG_DFL)
        return;  // one ignored stays ignored
    struct sigaction action = {};
    action.sa_handler = clear_exclusive_and_die;
    sigaction(signal_number, &action, nullptr);
}

// Every signal whose default action ends sj, those that dump core too: sj
// still dies of it, with the same status, once the flag is cleared.
void clear_exclusive_on_fatal_signals()
{
    static const int fatal[] = {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1,
                                SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM,
                                SIGPROF, SIGSYS,
#ifdef __linux__
                                SIGSTKFLT, SIGIO, SIGPWR,
#endif
    };
    for (int signal_number : fatal)
        clear_exclusive_on(signal_number);
#ifdef SIGRTMIN
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
        clear_exclusive_on(signal_number);
#endif
}

// Keeps programs that open the port after us out, where the driver allows
// it; the lock is what counts. A pty would keep the flag after its last close.
void take_exclusively(SerialLink& link)
{
    int fd = static_cast<int>(link.handle);
    if (is_pseudo_terminal(fd) || ioctl(fd, TIOCEXCL) != 0)
        return;
    exclusive_fd = fd;
    clear_exclusive_on_fatal_signals();
}

// Opens without waiting for carrier, then locks the port so that a second
// program fails here, as it would on Windows.
int open_locked(const char* path)
{
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && fd <= 2)
        fd = move_above_standard_streams(fd);
    if (fd < 0)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        int error = errno;
        close(fd);  // never the link's: the open fails as a whole
        errno = error;
        return -1;
    }
    return fd;
}

// Raw 8 data bits, no parity, 2 stop bits, no flow control, 38400 baud.
void make_cat_settings(termios& tio)
{
    cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_oflag &= ~OPOST;
    tio.c_cflag &= ~(CSIZE | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
}

// DTR and RTS inactive; a device without modem lines has nothing to clear.
bool clear_modem_lines(int fd)
{
    int lines = TIOCM_DTR | TIOCM_RTS;
    return ioctl(fd, TIOCMBIC, &lines) == 0 || errno == ENOTTY || errno == EINVAL;
}

// Milliseconds left until `deadline_us`, rounded up so that poll() never
// wakes early; -1 (no limit) before the first byte.
int ms_left_until(long long deadline_us)
{
    if (deadline_us < 0)
        return -1;
    long long left = deadline_us - link_clock_us();
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

// The steps after the name: the same for a COM number and a device path.
bool open_device(SerialLink& link, const char* path)
{
    std::snprintf(link.device, sizeof link.device, "%s", path);
    NotARadioLine why = not_a_radio_line(path);
    int fd = why == NotARadioLine::No ? open_locked(path) : -1;
    if (fd >= 0 && is_controlling_terminal(fd)) {
        close(fd);  // opened without a setting; the lock goes with it
        fd = -1;
        why = NotARadioLine::OwnTerminal;
    }
    // The operator's own terminal or the console would be set raw and written on.
    if (why != NotARadioLine::No) {
        report_not_a_radio_line(link, path, why == NotARadioLine::OwnTerminal ? "the terminal sj runs in"
                                                                               : "the system console");
        return false;
    }
    if (fd < 0)
        return open_failed(link, LinkStep::OpenDevice, errno);
    link.handle = fd;
    take_exclusively(link);
    termios tio;
    if (tcgetattr(fd, &tio) != 0)
        return open_failed(link, LinkStep::ReadLineSettings, errno);  // run_sj closes the port
    make_cat_settings(tio);
    if (tcsetattr(fd, TCSANOW, &tio) != 0 || !clear_modem_lines(fd))
        return open_failed(link, LinkStep::ApplyLineSettings, errno);
    // The read rule needs no device setting here: receive() keeps the time.
    report_link_opened(link);
    return true;
}

}  // namespace

bool open_link(SerialLink& link, int port)
{
    name_link(link, port);
    char path[MAX_DEVICE_PATH + 1];
    if (serial_device_for(port, path, sizeof path) < 0)
        return open_failed(link, LinkStep::OpenDevice, ENOENT);
    return open_device(link, path);
}

bool open_link_at(SerialLink& link, const char* path)
{
    name_link_at(link, path);
    return open_device(link, path);
}

namespace {

// A hang-up (end of file, or EIO) or an error.
bool line_ended(SerialLink& link, ssize_t n)
{
    return record_failure(link, LinkStep::ReadLine, n == 0 || errno == EIO ? EIO : errno);
}

}  // namespace

LineWait wait_for_quiet_line(SerialLink& link, int quiet_ms, int& dropped)
{
    if (link.last_byte_us < 0)
        link.last_byte_us = link_clock_us();  // the open: the first command waits for a quiet line too
    int fd = static_cast<int>(link.handle);
    long long give_up_us = link_clock_us() + NOISY_LINE_LIMIT_MS * 1000LL;
    for (;;) {
        int quiet_left_ms = ms_left_until(link.last_byte_us + quiet_ms * 1000LL);
        pollfd pfd = {fd, POLLIN, 0};
        int ready = poll(&pfd, 1, quiet_left_ms);
        if (ready == 0)
            return LineWait::Quiet;
        std::uint8_t bytes[64];
        ssize_t n = ready < 0 ? -1 : read(fd, bytes, sizeof bytes);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            line_ended(link, n);
            return LineWait::Failed;
        }
        dropped += static_cast<int>(n);
        link.last_byte_us = link_clock_us();
        if (link.last_byte_us >= give_up_us)
            return LineWait::Noisy;
    }
}

bool discard_input(SerialLink& link)
{
    return tcflush(static_cast<int>(link.handle), TCIFLUSH) == 0 || record_failure(link, LinkStep::DiscardInput, errno);
}

int send_frame(SerialLink& link, const std::uint8_t* bytes, int count)
{
    ssize_t written;
    do
        written = write(static_cast<int>(link.handle), bytes, static_cast<std::size_t>(count));
    while (written < 0 && errno == EINTR);
    if (written < 0)
        record_failure(link, LinkStep::WriteFrame, errno);
    return written < 0 ? -1 : static_cast<int>(written);
}

int receive(SerialLink& link, std::uint8_t* buffer, int size, SilenceNote& silence)
{
    int fd = static_cast<int>(link.handle);
    int got = 0;
    long long deadline_us = -1;
    while (got < size) {
        pollfd pfd = {fd, POLLIN, 0};
        bool note_due = got == 0 && silence.text && !silence.given;
        int ready = poll(&pfd, 1, note_due ? SILENCE_HINT_MS : ms_left_until(deadline_us));
        if (ready == 0 && note_due) {
            std::fprintf(operator_notes(), "%s", silence.text);
            silence.given = true;
            continue;  // and wait on as before
        }
        if (ready == 0)
            break;  // the gap after the last byte has passed
        ssize_t n = ready < 0 ? -1 : read(fd, buffer + got, static_cast<std::size_t>(size - got));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            // Nothing after a hang-up can contradict what came before it: no answer.
            line_ended(link, n);
            return -1;
        }
        link.last_byte_us = link_clock_us();
        got += static_cast<int>(n);
        deadline_us = link.last_byte_us + READ_GAP_MS * 1000LL;
    }
    return got;
}

// The flag is cleared before it is marked so: a signal in between clears
// it again, which does no harm, where the other order could leave it set.
void close_link(SerialLink& link)
{
    if (link.handle < 0)
        return;
    if (exclusive_fd >= 0 && exclusive_fd == link.handle) {
        ioctl(static_cast<int>(link.handle), TIOCNXCL);
        exclusive_fd = -1;
    }
    close(static_cast<int>(link.handle));
    link.handle = -1;
}
