// simradio: a simulated FT-817 on a pseudo-terminal, for trying sj without a
// radio and for testing it. It answers the EEPROM read (BB) and write (BC)
// commands from a 64 KiB EEPROM, logs every frame, and can misbehave on request.
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
    "  --write-tail HEX    after the answer to a write, send these bytes too (e.g. E4E5)\n"
    "  --read-tail HEX     after the answer to a read, send these bytes too (e.g. 00)\n"
    "  --tail-gap MS       wait MS milliseconds before a tail (default 0)\n"
    "A tail sent while a frame is already waiting, and every stray, is logged as\n"
    "\"stray after a frame\"; a hang-up, with whether the frame before it was answered.\n";

constexpr int MAX_LENGTHS = 16;
constexpr int LONG_ANSWER = 6;
constexpr int MAX_TAIL = 32;

// Bytes sent after an answer, as a stray echo or a late byte would come.
struct Tail {
    unsigned char bytes[MAX_TAIL];
    int count = 0;
};

struct Options {
    const char* link = nullptr;
    const char* log = nullptr;
    int byte4 = 0xD8, byte5 = 0xBF;
    bool silent = false;
    int refuse = -1;       // status byte for refused writes, -1 accepts
    int length = -1;       // bytes per answer, -1 for the natural length
    int lengths[MAX_LENGTHS];
    int lengths_count = 0;
    bool garbage = false;
    int gap_ms = 0;
    int delay_ms = 0;
    int delays[MAX_LENGTHS];
    int delays_count = 0;
    int noise_ms = 0;      // 0: no noise
    int hangup_after = 0;  // 0 never hangs up
    int stores[2] = {-1, -1};  // bytes stored by an accepted write, -1: those written
    bool echo = false;
    int echo_length = 5;     // bytes of each frame echoed
    int echo_pause_ms = 0;   // after the second echoed byte
    Tail pending;            // on the line before any client
    Tail write_tail;  // after a write's answer
    Tail read_tail;   // after a read's answer
    int tail_gap_ms = 0;
    int hangup_at_frame = 0;  // with hangup_at_ms: a hang-up at a time after that frame
    int hangup_at_ms = 0;
    Tail stray;
    int stray_after_ms = 0;
    int stray_frame = 0;      // 0: after every frame
};

// What is due at a time after a frame, whatever the answer is doing: strays
// and a hang-up, on the monotonic clock.
constexpr int MAX_DUE = 8;
struct Due {
    long long stray_at[MAX_DUE];
    int strays = 0;
    long long hangup_at = -1;
    long long noise_at = -1;
    bool answered = false;  // the last frame's answer has gone out
};
Due due;

volatile sig_atomic_t stop_requested = 0;
// SIGINT and SIGTERM are blocked but while waiting (ppoll with this mask),
// so that a stop that comes between the check and the wait is not lost.
sigset_t waiting_mask;
unsigned char eeprom[65536];
FILE* log_file = stdout;

void on_signal(int) { stop_requested = 1; }

bool parse_int(const char* text, int low, int high, int& value, int base = 10)
{
    char* end;
    errno = 0;
    long v = std::strtol(text, &end, base);
    if (errno || end == text || *end || v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool parse_list(char* text, int high, int (&values)[MAX_LENGTHS], int& count)
{
    for (char* item = std::strtok(text, ","); item; item = std::strtok(nullptr, ",")) {
        if (count == MAX_LENGTHS || !parse_int(item, 0, high, values[count]))
            return false;
        ++count;
    }
    return count > 0;
}

// Two hex bytes from the words after argv[i], which is moved past them.
bool parse_byte_pair(char** argv, int& i, int& first, int& second)
{
    i += 2;
    return parse_int(argv[i - 1], 0, 255, first, 16) && parse_int(argv[i], 0, 255, second, 16);
}

bool parse_tail(const char* hex, Tail& tail)
{
    std::size_t length = std::strlen(hex);
    if (length == 0 || length % 2 != 0 || length / 2 > MAX_TAIL)
        return false;
    tail.count = 0;
    for (std::size_t i = 0; i < length; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], '\0'};
        int value;
        if (!parse_int(pair, 0, 255, value, 16))
            return false;
        tail.bytes[tail.count] = static_cast<unsigned char>(value);
        ++tail.count;
    }
    return true;
}

bool parse_options(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        bool has1 = i + 1 < argc, has2 = i + 2 < argc;
        if (!std::strcmp(a, "--jumpers") && has2) {
            if (!parse_byte_pair(argv, i, o.byte4, o.byte5))
                return false;
        } else if (!std::strcmp(a, "--log") && has1) {
            o.log = argv[++i];
        } else if (!std::strcmp(a, "--silent")) {
            o.silent = true;
        } else if (!std::strcmp(a, "--refuse") && has1) {
            if (!parse_int(argv[++i], 0, 255, o.refuse, 16))
                return false;
        } else if (!std::strcmp(a, "--stores") && has2) {
            if (!parse_byte_pair(argv, i, o.stores[0], o.stores[1]))
                return false;
        } else if (!std::strcmp(a, "--echo")) {
            o.echo = true;
        } else if (!std::strcmp(a, "--echo-lose")) {
            o.echo = true;
            o.echo_length = 4;
        } else if (!std::strcmp(a, "--echo-pause") && has1) {
            o.echo = true;
            if (!parse_int(argv[++i], 0, 60000, o.echo_pause_ms))
                return false;
        } else if (!std::strcmp(a, "--pending") && has1) {
            if (!parse_tail(argv[++i], o.pending))
                return false;
        } else if (!std::strcmp(a, "--write-tail") && has1) {
            if (!parse_tail(argv[++i], o.write_tail))
                return false;
        } else if (!std::strcmp(a, "--read-tail") && has1) {
            if (!parse_tail(argv[++i], o.read_tail))
                return false;
        } else if (!std::strcmp(a, "--tail-gap") && has1) {
            if (!parse_int(argv[++i], 0, 60000, o.tail_gap_ms))
                return false;
        } else if (!std::strcmp(a, "--short")) {
            o.length = 1;
        } else if (!std::strcmp(a, "--long")) {
            o.length = LONG_ANSWER;
        } else if (!std::strcmp(a, "--lengths") && has1) {
            if (!parse_list(argv[++i], LONG_ANSWER, o.lengths, o.lengths_count))
                return false;
        } else if (!std::strcmp(a, "--delays") && has1) {
            if (!parse_list(argv[++i], 60000, o.delays, o.delays_count))
                return false;
        } else if (!std::strcmp(a, "--noise") && has1) {
            if (!parse_int(argv[++i], 1, 60000, o.noise_ms))
                return false;
        } else if (!std::strcmp(a, "--garbage")) {
            o.garbage = true;
        } else if (!std::strcmp(a, "--gap") && has1) {
            if (!parse_int(argv[++i], 0, 60000, o.gap_ms))
                return false;
        } else if (!std::strcmp(a, "--delay") && has1) {
            if (!parse_int(argv[++i], 0, 60000, o.delay_ms))
                return false;
        } else if (!std::strcmp(a, "--hangup-at") && has1) {
            char* comma = std::strchr(argv[++i], ',');
            if (!comma)
                return false;
            *comma = '\0';
            if (!parse_int(argv[i], 1, 1000, o.hangup_at_frame) || !parse_int(comma + 1, 0, 60000, o.hangup_at_ms))
                return false;
        } else if (!std::strcmp(a, "--stray") && has1) {
            if (!parse_tail(argv[++i], o.stray))
                return false;
        } else if (!std::strcmp(a, "--stray-frame") && has1) {
            if (!parse_int(argv[++i], 1, 1000, o.stray_frame))
                return false;
        } else if (!std::strcmp(a, "--stray-after") && has1) {
            if (!parse_int(argv[++i], 0, 60000, o.stray_after_ms))
                return false;
        } else if (!std::strcmp(a, "--hangup-after") && has1) {
            if (!parse_int(argv[++i], 1, 1000000, o.hangup_after))
                return false;
        } else if (a[0] != '-' && !o.link) {
            o.link = a;
        } else {
            return false;
        }
    }
    return o.link != nullptr;
}

void log_bytes(const char* what, const unsigned char* bytes, int count)
{
    std::fprintf(log_file, "%s", what);
    for (int i = 0; i < count; ++i)
        std::fprintf(log_file, " %02X", bytes[i]);
    std::fprintf(log_file, "\n");
    std::fflush(log_file);
}

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

// Ends early only for a stop: no other signal is caught.
void sleep_ms(long long ms)
{
    timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    if (!stop_requested && ms > 0)
        ppoll(nullptr, 0, &ts, &waiting_mask);
}

// The earliest time something is due, -1 for nothing.
long long next_due()
{
    long long next = due.hangup_at;
    if (due.noise_at >= 0 && (next < 0 || due.noise_at < next))
        next = due.noise_at;
    for (int i = 0; i < due.strays; ++i)
        next = next < 0 || due.stray_at[i] < next ? due.stray_at[i] : next;
    return next;
}

// Sends the strays that are due; false once the hang-up is due.
bool run_due(const Options& o, int master)
{
    long long now = now_ms();
    if (due.hangup_at >= 0 && due.hangup_at <= now) {
        std::fprintf(log_file, "hangup %s the answer\n", due.answered ? "after" : "before");
        return false;
    }
    static const unsigned char noise = 0x55;
    if (due.noise_at >= 0 && due.noise_at <= now) {
        due.noise_at = now + o.noise_ms;
        if (write(master, &noise, 1) != 1)
            std::fprintf(log_file, "noise not sent\n");
    }
    for (int i = 0; i < due.strays;) {
        if (due.stray_at[i] > now) {
            ++i;
            continue;
        }
        due.stray_at[i] = due.stray_at[--due.strays];
        if (write(master, o.stray.bytes, static_cast<std::size_t>(o.stray.count)) == o.stray.count)
            log_bytes("stray after a frame:", o.stray.bytes, o.stray.count);
    }
    return true;
}

// Waits `ms`, doing what falls due meanwhile; false once the hang-up is due.
bool pause_ms(const Options& o, int master, int ms)
{
    long long until = now_ms() + ms;
    for (;;) {
        if (!run_due(o, master))
            return false;
        if (stop_requested || now_ms() >= until)
            return true;
        long long next = next_due();
        long long wake = next >= 0 && next < until ? next : until;
        sleep_ms(wake - now_ms());
    }
}

// The answer a healthy radio gives, and bytes beyond it for long answers.
int make_answer(const Options& o, const unsigned char* frame, unsigned char* answer)
{
    int address = frame[0] << 8 | frame[1];
    int natural = 0;
    if (frame[4] == 0xBB) {
        for (int i = 0; i < LONG_ANSWER; ++i)
            answer[i] = eeprom[(address + i) & 0xFFFF];
        natural = 2;
    } else if (frame[4] == 0xBC) {
        // Past the status byte, a long answer carries bytes no EEPROM read gives.
        static const unsigned char tail[LONG_ANSWER] = {0x00, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5};
        std::memcpy(answer, tail, sizeof tail);
        if (o.refuse >= 0)
            answer[0] = static_cast<unsigned char>(o.refuse);
        if (o.refuse < 0 || o.stores[0] >= 0) {
            eeprom[address] = static_cast<unsigned char>(o.stores[0] >= 0 ? o.stores[0] : frame[2]);
            eeprom[(address + 1) & 0xFFFF] = static_cast<unsigned char>(o.stores[1] >= 0 ? o.stores[1] : frame[3]);
        }
        natural = 1;
    }
    if (o.garbage) {
        static const unsigned char noise[LONG_ANSWER] = {0xFF, 0x7E, 0xC3, 0x00, 0x5A, 0xA5};
        std::memcpy(answer, noise, sizeof noise);
    }
    return natural;
}

int answer_length(const Options& o, int frame_number, int natural)
{
    if (o.silent)
        return 0;
    if (frame_number <= o.lengths_count)
        return o.lengths[frame_number - 1];
    return o.length >= 0 ? o.length : natural;
}

// Whether sj has sent its next frame already: the tail then comes after it.
bool frame_waiting(int master)
{
    pollfd pfd = {master, POLLIN, 0};
    return poll(&pfd, 1, 0) > 0;
}

// Without a gap the answer goes out in one write, so that it arrives whole;
// it is logged once sent, so that the log tells when the line has it.
// False once a hang-up is due.
bool send_answer(const Options& o, int master, const unsigned char* answer, int count)
{
    int chunk = o.gap_ms > 0 ? 1 : count;
    for (int i = 0; i < count; i += chunk) {
        if (i > 0 && !pause_ms(o, master, o.gap_ms))
            return false;
        if (write(master, answer + i, static_cast<std::size_t>(chunk)) != chunk)
            return true;
    }
    if (count > 0)
        log_bytes("tx", answer, count);
    return true;
}

// A frame's timed events: its stray, and the hang-up after the Nth frame.
void schedule_after_frame(const Options& o, int frame_number)
{
    long long now = now_ms();
    due.answered = false;
    if (o.stray.count > 0 && due.strays < MAX_DUE && (o.stray_frame == 0 || o.stray_frame == frame_number))
        due.stray_at[due.strays++] = now + o.stray_after_ms;
    if (frame_number == o.hangup_at_frame)
        due.hangup_at = now + o.hangup_at_ms;
}

// The answer to one frame, its echo and its tail; false once a hang-up is due.
bool answer_frame(const Options& o, int master, const unsigned char* frame, int frame_number)
{
    // An echo of the frame comes first, in the same write as the answer:
    // an interface echoes as the bytes pass, long before the radio answers.
    unsigned char line[5 + LONG_ANSWER] = {};
    int echoed = o.echo ? o.echo_length : 0;
    std::memcpy(line, frame, static_cast<std::size_t>(echoed));
    int natural = make_answer(o, frame, line + echoed);
    int length = answer_length(o, frame_number, natural);
    int first = 0;
    if (o.echo_pause_ms > 0) {  // a delayed echo: its first two bytes, a pause, the rest
        if (!send_answer(o, master, line, 2) || !pause_ms(o, master, o.echo_pause_ms))
            return false;
        first = 2;
    }
    int delay_ms = frame_number <= o.delays_count ? o.delays[frame_number - 1] : o.delay_ms;
    if (!pause_ms(o, master, delay_ms) || !send_answer(o, master, line + first, echoed + length - first))
        return false;
    due.answered = true;
    const Tail* tail = frame[4] == 0xBB ? &o.read_tail : frame[4] == 0xBC ? &o.write_tail : nullptr;
    if (length > 0 && tail && tail->count > 0) {
        if (!pause_ms(o, master, o.tail_gap_ms))
            return false;
        if (frame_waiting(master))
            std::fprintf(log_file, "stray after a frame\n");
        return send_answer(o, master, tail->bytes, tail->count);
    }
    return true;
}

// What a client left unread must not reach the next one, as a real port
// drops it when closed.
void drop_leftovers_on_close(int watch, int slave)
{
    char events[4096];
    if (read(watch, events, sizeof events) > 0)
        tcflush(slave, TCIFLUSH);
}

int serve(const Options& o, Pty& pty)
{
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch >= 0)
        inotify_add_watch(watch, pty.path, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
    unsigned char frame[5];
    int have = 0, frames = 0;
    if (o.noise_ms > 0)
        due.noise_at = now_ms();
    while (!stop_requested) {
        pollfd fds[2] = {{pty.master, POLLIN, 0}, {watch, POLLIN, 0}};
        long long next = next_due();
        long long wait = next < 0 ? -1 : next > now_ms() ? next - now_ms() : 0;
        timespec ts = {static_cast<time_t>(wait / 1000), static_cast<long>(wait % 1000) * 1000000L};
        int ready = ppoll(fds, watch >= 0 ? 2 : 1, wait < 0 ? nullptr : &ts, &waiting_mask);
        if (!run_due(o, pty.master))
            return 0;
        if (ready <= 0)
            continue;
        if (fds[1].revents & POLLIN)
            drop_leftovers_on_close(watch, pty.slave);
        if (!(fds[0].revents & POLLIN))
            continue;
        ssize_t n = read(pty.master, frame + have, sizeof frame - have);
        if (n <= 0)
            continue;
        have += static_cast<int>(n);
        if (have < 5)
            continue;
        have = 0;
        log_bytes("rx", frame, 5);
        ++frames;
        if (frames == o.hangup_after) {
            std::fprintf(log_file, "hangup\n");
            return 0;
        }
        schedule_after_frame(o, frames);
        if (!answer_frame(o, pty.master, frame, frames))
            return 0;
    }
    // A frame already on the line when the stop came is still logged.
    fcntl(pty.master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = read(pty.master, frame + have, sizeof frame - have)) > 0;) {
        have += static_cast<int>(n);
        if (have == 5) {
            log_bytes("rx", frame, 5);
            have = 0;
        }
    }
    if (have > 0)
        log_bytes("partial", frame, have);
    return 0;
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
    Options options;
    if (argc == 2 && !std::strcmp(argv[1], "--help")) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (!parse_options(argc, argv, options)) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    if (options.log)
        log_file = std::fopen(options.log, "w");
    if (!log_file) {
        std::perror(options.log);
        return 1;
    }
    for (int i = 0; i < 65536; ++i)
        eeprom[i] = static_cast<unsigned char>(i);  // a pattern that shows where bytes came from
    eeprom[4] = static_cast<unsigned char>(options.byte4);
    eeprom[5] = static_cast<unsigned char>(options.byte5);
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
    // Pending bytes go on the line before the link exists, so before any client.
    std::size_t pending = static_cast<std::size_t>(options.pending.count);
    if (write(pty.master, options.pending.bytes, pending) != static_cast<ssize_t>(pending) ||
        !make_link(pty.path, options.link))
        return 1;
    int status = serve(options, pty);
    remove_link(pty.path, options.link);
    std::fprintf(log_file, "eeprom 0004: %02X %02X\n", eeprom[4], eeprom[5]);
    std::fclose(log_file);
    close(pty.master);  // hangs up any client still on the line
    return status;
}
