// simradio: a simulated FT-817 on a pseudo-terminal, for trying sj without a
// radio and for testing it. The radio itself is radio_model's; this runs it
// on real time, logs every frame, and hands its bytes to the line.
#include "radio_model.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

const char* const USAGE =
    "usage: simradio [options] LINK\n"
    "  Makes LINK a symbolic link to a pseudo-terminal that acts as an FT-817.\n"
    "  --jumpers B4 B5     EEPROM bytes 4 and 5 in hex (default D8 BF)\n"
    "  --log FILE          log frames received and answers sent (default: stdout)\n"
    "  --silent            never answer\n"
    "  --refuse XX         refuse writes: answer with status XX, store nothing\n"
    "                      (with --stores, store those bytes all the same)\n"
    "  --stores B4 B5      accept writes (00) but store B4 B5 instead\n"
    "  --short             answer 1 byte only\n"
    "  --long              answer 6 bytes (EEPROM from the address; 00 E1..E5 to a write)\n"
    "  --lengths N,N,...   answer N bytes to the 1st, 2nd, ... frame (0..6)\n"
    "  --garbage           answer with noise instead of data\n"
    "  --gap MS            wait MS milliseconds between answer bytes\n"
    "  --delay MS          wait MS milliseconds before each answer\n"
    "  --delays MS,MS,...  wait MS milliseconds before the answer to the 1st, 2nd, ... frame\n"
    "  --noise MS          send a byte (55) every MS milliseconds, from the start\n"
    "  --hangup-after N    hang up when the Nth frame arrives, without answering\n"
    "  --hangup-at N,MS    hang up MS milliseconds after the Nth frame arrives\n"
    "  --stray HEX         send these bytes after every frame, whatever the answer\n"
    "  --stray-after MS    ... MS milliseconds after the frame arrives (default 0)\n"
    "  --stray-frame N     ... after the Nth frame only\n"
    "  --echo              echo every byte received before answering (one-wire interfaces)\n"
    "  --echo-lose         echo all but the last byte of each frame (a byte lost)\n"
    "  --echo-pause MS     echo, with a pause of MS milliseconds after the second byte\n"
    "  --pending HEX       bytes already waiting on the line when the first client opens it\n"
    "  --pending-after MS  ... or sent MS milliseconds after the radio starts, as a stray\n"
    "  --write-tail HEX    after the answer to a write, send these bytes too (e.g. E4E5)\n"
    "  --read-tail HEX     after the answer to a read, send these bytes too (e.g. 00)\n"
    "  --tail-gap MS       wait MS milliseconds before a tail (default 0)\n"
    "A tail sent while a frame is already waiting, and every stray, is logged as\n"
    "\"stray after a frame\"; a hang-up, with whether the frame before it was answered.\n";

volatile sig_atomic_t stop_requested = 0;
// SIGINT and SIGTERM are blocked but while waiting (ppoll with this mask),
// so that a stop that comes between the check and the wait is not lost.
sigset_t waiting_mask;
FILE* log_file = stdout;

void on_signal(int) { stop_requested = 1; }

// The pseudo-terminal's slave side stays open here, so that the master never
// sees a hang-up between clients; its path is what LINK points to.
struct Pty {
    int master = -1;
    int slave = -1;
    char path[128] = "";
};

bool open_pty(Pty& pty)
{
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0)
        return false;
    std::snprintf(pty.path, sizeof pty.path, "%s", ptsname(pty.master));
    pty.slave = open(pty.path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio;
    if (pty.slave < 0 || tcgetattr(pty.slave, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    return tcsetattr(pty.slave, TCSANOW, &tio) == 0;
}

long long now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// What the radio has done since the last call reaches the line and the log.
void hand_over(RadioModel& radio, int master)
{
    auto count = static_cast<std::size_t>(radio.sent_count);
    if (count > 0 && write(master, radio.sent, count) != static_cast<ssize_t>(count))
        std::fprintf(log_file, "not all sent\n");
    radio.sent_count = 0;
    std::fputs(radio.log, log_file);
    std::fflush(log_file);
    radio.log_length = 0;
    radio.log[0] = '\0';
}

// What a client left unread must not reach the next one, as a real port
// drops it when closed.
void drop_leftovers_on_close(int watch, int slave)
{
    char events[4096];
    if (read(watch, events, sizeof events) > 0)
        tcflush(slave, TCIFLUSH);
}

void serve(RadioModel& radio, Pty& pty)
{
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch >= 0)
        inotify_add_watch(watch, pty.path, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
    unsigned char bytes[64];
    while (!stop_requested && !radio.hung_up) {
        pollfd fds[2] = {{pty.master, POLLIN, 0}, {watch, POLLIN, 0}};
        long long next = radio_next_ms(radio);
        long long wait = next < 0 ? -1 : next > now_ms() ? next - now_ms() : 0;
        timespec ts = {static_cast<time_t>(wait / 1000), static_cast<long>(wait % 1000) * 1000000L};
        int ready = ppoll(fds, watch >= 0 ? 2 : 1, wait < 0 ? nullptr : &ts, &waiting_mask);
        long long now = now_ms();
        if (ready > 0 && (fds[1].revents & POLLIN))
            drop_leftovers_on_close(watch, pty.slave);
        ssize_t n = ready > 0 && (fds[0].revents & POLLIN) ? read(pty.master, bytes, sizeof bytes) : 0;
        if (n > 0)
            radio_receives(radio, bytes, static_cast<int>(n), now);
        advance_radio(radio, now);
        hand_over(radio, pty.master);
    }
    // A frame already on the line when the stop came is still logged.
    fcntl(pty.master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; !radio.hung_up && (n = read(pty.master, bytes, sizeof bytes)) > 0;)
        radio_receives(radio, bytes, static_cast<int>(n), now_ms());
}

// Only a symbolic link may be replaced: LINK could name a file or a device.
bool make_link(const char* target, const char* link)
{
    struct stat st;
    if (lstat(link, &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "simradio: %s exists and is not a symbolic link; not replacing it\n", link);
            return false;
        }
        unlink(link);
    }
    if (symlink(target, link) != 0) {
        std::perror(link);
        return false;
    }
    return true;
}

// Removes LINK only while it is still the link made here.
void remove_link(const char* target, const char* link)
{
    char points_to[sizeof Pty::path];
    ssize_t n = readlink(link, points_to, sizeof points_to - 1);
    if (n < 0)
        return;
    points_to[n] = '\0';
    if (std::strcmp(points_to, target) == 0)
        unlink(link);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && !std::strcmp(argv[1], "--help")) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    RadioOptions options;
    const char* link = nullptr;
    const char* log = nullptr;
    if (!parse_radio_options(argc, argv, options, link, log)) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    if (log)
        log_file = std::fopen(log, "w");
    if (!log_file) {
        std::perror(log);
        return 1;
    }
    struct sigaction sa = {};
    sa.sa_handler = on_signal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &waiting_mask);
    Pty pty;
    if (!open_pty(pty)) {
        std::perror("simradio");
        return 1;
    }
    static RadioModel radio;  // 64 KiB of EEPROM
    start_radio(radio, options, now_ms());
    // Pending bytes go on the line before the link exists, so before any client.
    hand_over(radio, pty.master);
    if (!make_link(pty.path, link))
        return 1;
    serve(radio, pty);
    remove_link(pty.path, link);
    stop_radio(radio);
    hand_over(radio, pty.master);
    std::fclose(log_file);
    close(pty.master);  // hangs up any client still on the line
    return 0;
}
