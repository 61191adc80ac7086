// See radio_model.h. Every time is the driver's clock in milliseconds; the
// radio answers one frame at a time, as a radio's CPU does.
#include "radio_model.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int FRAME = 5;
constexpr int LONG_ANSWER = 6;
constexpr int STRAY_RANK = 0;   // due at the same time, a stray goes before an answer
constexpr int ANSWER_RANK = 1;

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

bool parse_list(char* text, int high, int (&values)[MAX_LIST], int& count)
{
    for (char* item = std::strtok(text, ","); item; item = std::strtok(nullptr, ",")) {
        if (count == MAX_LIST || !parse_int(item, 0, high, values[count]))
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

bool parse_hangup_at(char* text, RadioOptions& o)
{
    char* comma = std::strchr(text, ',');
    if (!comma)
        return false;
    *comma = '\0';
    return parse_int(text, 1, 1000, o.hangup_at_frame) && parse_int(comma + 1, 0, 60000, o.hangup_at_ms);
}

// An option with one word after it; false for a word it does not take.
bool parse_valued(const char* a, char* v, RadioOptions& o)
{
    if (!std::strcmp(a, "--refuse"))
        return parse_int(v, 0, 255, o.refuse, 16);
    if (!std::strcmp(a, "--echo-pause")) {
        o.echo = true;
        return parse_int(v, 0, 60000, o.echo_pause_ms);
    }
    if (!std::strcmp(a, "--pending"))
        return parse_tail(v, o.pending);
    if (!std::strcmp(a, "--pending-after"))
        return parse_int(v, 1, 60000, o.pending_after_ms);
    if (!std::strcmp(a, "--write-tail"))
        return parse_tail(v, o.write_tail);
    if (!std::strcmp(a, "--read-tail"))
        return parse_tail(v, o.read_tail);
    if (!std::strcmp(a, "--tail-gap"))
        return parse_int(v, 0, 60000, o.tail_gap_ms);
    if (!std::strcmp(a, "--lengths"))
        return parse_list(v, LONG_ANSWER, o.lengths, o.lengths_count);
    if (!std::strcmp(a, "--delays"))
        return parse_list(v, 60000, o.delays, o.delays_count);
    if (!std::strcmp(a, "--noise"))
        return parse_int(v, 1, 60000, o.noise_ms);
    if (!std::strcmp(a, "--gap"))
        return parse_int(v, 0, 60000, o.gap_ms);
    if (!std::strcmp(a, "--delay"))
        return parse_int(v, 0, 60000, o.delay_ms);
    if (!std::strcmp(a, "--hangup-at"))
        return parse_hangup_at(v, o);
    if (!std::strcmp(a, "--stray"))
        return parse_tail(v, o.stray);
    if (!std::strcmp(a, "--stray-frame"))
        return parse_int(v, 1, 1000, o.stray_frame);
    if (!std::strcmp(a, "--stray-after"))
        return parse_int(v, 0, 60000, o.stray_after_ms);
    if (!std::strcmp(a, "--hangup-after"))
        return parse_int(v, 1, 1000000, o.hangup_after);
    return false;
}

bool parse_flag(const char* a, RadioOptions& o)
{
    if (!std::strcmp(a, "--silent"))
        o.silent = true;
    else if (!std::strcmp(a, "--echo"))
        o.echo = true;
    else if (!std::strcmp(a, "--echo-lose"))
        o.echo = true, o.echo_length = 4;
    else if (!std::strcmp(a, "--short"))
        o.length = 1;
    else if (!std::strcmp(a, "--long"))
        o.length = LONG_ANSWER;
    else if (!std::strcmp(a, "--garbage"))
        o.garbage = true;
    else
        return false;
    return true;
}

void log_text(RadioModel& radio, const char* text)
{
    int room = MAX_LOG - radio.log_length;
    int n = std::snprintf(radio.log + radio.log_length, static_cast<std::size_t>(room), "%s", text);
    radio.log_length += n < room ? n : room - 1;
}

void log_bytes(RadioModel& radio, const char* what, const unsigned char* bytes, int count)
{
    log_text(radio, what);
    for (int i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        log_text(radio, hex);
    }
    log_text(radio, "\n");
}

void send_bytes(RadioModel& radio, const unsigned char* bytes, int count)
{
    for (int i = 0; i < count && radio.sent_count < MAX_SENT; ++i)
        radio.sent[radio.sent_count++] = bytes[i];
}

// In time order; at the same time, by rank, then in the order scheduled.
void schedule(RadioModel& radio, const RadioEvent& event)
{
    if (radio.event_count == MAX_EVENTS)
        return;
    int at = radio.event_count;
    while (at > 0 && (radio.events[at - 1].at_ms > event.at_ms ||
                      (radio.events[at - 1].at_ms == event.at_ms && radio.events[at - 1].rank > event.rank))) {
        radio.events[at] = radio.events[at - 1];
        --at;
    }
    radio.events[at] = event;
    ++radio.event_count;
}

Tail tail_of(const unsigned char* bytes, int count)
{
    Tail tail;
    std::memcpy(tail.bytes, bytes, static_cast<std::size_t>(count));
    tail.count = count;
    return tail;
}

// Bytes sent from `at_ms` on: at once, or one by one with the gap between
// them; logged once the last is out. Returns the time the last goes.
long long schedule_send(RadioModel& radio, long long at_ms, const unsigned char* bytes, int count)
{
    int chunk = radio.options.gap_ms > 0 ? 1 : count;
    for (int i = 0; i < count; i += chunk) {
        if (i > 0)
            at_ms += radio.options.gap_ms;
        bool last = i + chunk >= count;
        schedule(radio, {at_ms, Act::Send, tail_of(bytes + i, chunk), last ? "tx" : nullptr, ANSWER_RANK,
                         last ? tail_of(bytes, count) : Tail{}});
    }
    return at_ms;
}

// The answer a healthy radio gives, and bytes beyond it for long answers.
int make_answer(RadioModel& radio, const unsigned char* frame, unsigned char* answer)
{
    const RadioOptions& o = radio.options;
    int address = frame[0] << 8 | frame[1];
    int natural = 0;
    if (frame[4] == 0xBB) {
        for (int i = 0; i < LONG_ANSWER; ++i)
            answer[i] = radio.eeprom[(address + i) & 0xFFFF];
        natural = 2;
    } else if (frame[4] == 0xBC) {
        // Past the status byte, a long answer carries bytes no EEPROM read gives.
        static const unsigned char tail[LONG_ANSWER] = {0x00, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5};
        std::memcpy(answer, tail, sizeof tail);
        if (o.refuse >= 0)
            answer[0] = static_cast<unsigned char>(o.refuse);
        if (o.refuse < 0 || o.stores[0] >= 0) {
            radio.eeprom[address] = static_cast<unsigned char>(o.stores[0] >= 0 ? o.stores[0] : frame[2]);
            radio.eeprom[(address + 1) & 0xFFFF] = static_cast<unsigned char>(o.stores[1] >= 0 ? o.stores[1] : frame[3]);
        }
        natural = 1;
    }
    if (o.garbage) {
        static const unsigned char noise[LONG_ANSWER] = {0xFF, 0x7E, 0xC3, 0x00, 0x5A, 0xA5};
        std::memcpy(answer, noise, sizeof noise);
    }
    return natural;
}

int answer_length(const RadioOptions& o, int frame_number, int natural)
{
    if (o.silent)
        return 0;
    if (frame_number <= o.lengths_count)
        return o.lengths[frame_number - 1];
    return o.length >= 0 ? o.length : natural;
}

// A frame's timed events apart from its answer: its stray, and the hang-up
// after the Nth frame.
void schedule_after_frame(RadioModel& radio, long long now_ms)
{
    const RadioOptions& o = radio.options;
    radio.answered = false;
    if (o.stray.count > 0 && (o.stray_frame == 0 || o.stray_frame == radio.frames))
        schedule(radio, {now_ms + o.stray_after_ms, Act::Send, o.stray, "stray after a frame:", STRAY_RANK, o.stray});
    if (radio.frames == o.hangup_at_frame)
        radio.hangup_due_ms = now_ms + o.hangup_at_ms;
}

// The answer to one frame, its echo and its tail. An echo of the frame comes
// in the same write as the answer, or its first two bytes at once and the
// rest after a pause. The radio takes no frame until its answer is out; a
// tail is late bytes on the line, and keeps no frame waiting, so that each
// answer's delay counts from its own frame.
void schedule_answer(RadioModel& radio, const unsigned char* frame, long long at_ms)
{
    const RadioOptions& o = radio.options;
    unsigned char line[FRAME + LONG_ANSWER] = {};
    int echoed = o.echo ? o.echo_length : 0;
    std::memcpy(line, frame, static_cast<std::size_t>(echoed));
    int natural = make_answer(radio, frame, line + echoed);
    int length = answer_length(o, radio.frames, natural);
    int first = 0;
    if (o.echo_pause_ms > 0) {
        at_ms = schedule_send(radio, at_ms, line, 2) + o.echo_pause_ms;
        first = 2;
    }
    at_ms += radio.frames <= o.delays_count ? o.delays[radio.frames - 1] : o.delay_ms;
    at_ms = schedule_send(radio, at_ms, line + first, echoed + length - first);
    schedule(radio, {at_ms, Act::Answered, {}, nullptr, ANSWER_RANK, {}});
    radio.busy_until_ms = at_ms;
    const Tail* tail = frame[4] == 0xBB ? &o.read_tail : frame[4] == 0xBC ? &o.write_tail : nullptr;
    if (length > 0 && tail && tail->count > 0) {
        at_ms += o.tail_gap_ms;
        schedule(radio, {at_ms, Act::TailCheck, {}, nullptr, ANSWER_RANK, {}});
        schedule_send(radio, at_ms, tail->bytes, tail->count);
    }
}

void take_frame(RadioModel& radio, long long now_ms)
{
    unsigned char frame[FRAME];
    std::memcpy(frame, radio.received, FRAME);
    radio.received_count -= FRAME;
    std::memmove(radio.received, radio.received + FRAME, static_cast<std::size_t>(radio.received_count));
    std::memmove(radio.received_at, radio.received_at + FRAME, static_cast<std::size_t>(radio.received_count) * sizeof(long long));
    log_bytes(radio, "rx", frame, FRAME);
    ++radio.frames;
    if (radio.frames == radio.options.hangup_after) {
        log_text(radio, "hangup\n");
        radio.hung_up = true;
        return;
    }
    schedule_after_frame(radio, now_ms);
    schedule_answer(radio, frame, now_ms);
}

void hang_up(RadioModel& radio)
{
    log_text(radio, radio.answered ? "hangup after the answer\n" : "hangup before the answer\n");
    radio.hung_up = true;
    radio.event_count = 0;
}

void send_noise(RadioModel& radio)
{
    static const unsigned char noise = 0x55;
    send_bytes(radio, &noise, 1);
    radio.noise_at_ms += radio.options.noise_ms;
}

void run_event(RadioModel& radio, long long now_ms)
{
    RadioEvent event = radio.events[0];
    --radio.event_count;
    std::memmove(radio.events, radio.events + 1, static_cast<std::size_t>(radio.event_count) * sizeof(RadioEvent));
    if (event.act == Act::Send) {
        send_bytes(radio, event.bytes.bytes, event.bytes.count);
        if (event.log_as)
            log_bytes(radio, event.log_as, event.logged.bytes, event.logged.count);
    } else if (event.act == Act::Answered) {
        radio.answered = true;
    } else if (event.act == Act::TailCheck && radio.received_count > 0 && radio.received_at[0] <= now_ms) {
        log_text(radio, "stray after a frame\n");  // sj's next frame is already waiting
    }
}

// When the next whole frame is taken, -1 for none.
long long frame_due_ms(const RadioModel& radio)
{
    if (radio.received_count < FRAME)
        return -1;
    long long arrived = radio.received_at[FRAME - 1];
    return arrived > radio.busy_until_ms ? arrived : radio.busy_until_ms;
}

// The earliest of the times, -1 for none.
long long earliest(long long a, long long b)
{
    return a < 0 ? b : b < 0 || a < b ? a : b;
}

}  // namespace

bool parse_radio_options(int argc, char** argv, RadioOptions& o, const char*& link, const char*& log)
{
    link = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--jumpers") && i + 2 < argc) {
            if (!parse_byte_pair(argv, i, o.byte4, o.byte5))
                return false;
        } else if (!std::strcmp(a, "--stores") && i + 2 < argc) {
            if (!parse_byte_pair(argv, i, o.stores[0], o.stores[1]))
                return false;
        } else if (!std::strcmp(a, "--log") && i + 1 < argc) {
            log = argv[++i];
        } else if (parse_flag(a, o)) {
            continue;
        } else if (a[0] == '-' && i + 1 < argc) {
            if (!parse_valued(a, argv[++i], o))
                return false;
        } else if (a[0] != '-' && !link) {
            link = a;
        } else {
            return false;
        }
    }
    return link != nullptr;
}

void start_radio(RadioModel& radio, const RadioOptions& options, long long now_ms)
{
    radio.options = options;
    radio.received_count = radio.event_count = radio.log_length = radio.sent_count = radio.frames = 0;
    radio.log[0] = '\0';
    radio.hung_up = radio.answered = false;
    for (int i = 0; i < 65536; ++i)
        radio.eeprom[i] = static_cast<unsigned char>(i);  // a pattern that shows where bytes came from
    radio.eeprom[4] = static_cast<unsigned char>(options.byte4);
    radio.eeprom[5] = static_cast<unsigned char>(options.byte5);
    if (options.pending_after_ms > 0)
        schedule(radio, {now_ms + options.pending_after_ms, Act::Send, options.pending, "stray after the start:",
                         STRAY_RANK, options.pending});
    else
        send_bytes(radio, options.pending.bytes, options.pending.count);
    radio.busy_until_ms = now_ms;
    radio.hangup_due_ms = -1;
    radio.noise_at_ms = options.noise_ms > 0 ? now_ms : -1;
}

void radio_receives(RadioModel& radio, const unsigned char* bytes, int count, long long now_ms)
{
    for (int i = 0; i < count && !radio.hung_up && radio.received_count < MAX_RECEIVED; ++i) {
        radio.received[radio.received_count] = bytes[i];
        radio.received_at[radio.received_count++] = now_ms;
    }
}

long long radio_next_ms(const RadioModel& radio)
{
    if (radio.hung_up)
        return -1;
    long long next = earliest(radio.hangup_due_ms, radio.noise_at_ms);
    next = earliest(next, radio.event_count > 0 ? radio.events[0].at_ms : -1);
    return earliest(next, frame_due_ms(radio));
}

// Ties: a hang-up first, then the noise, the strays, the answer under way,
// and last the next frame, which waits for that answer.
void advance_radio(RadioModel& radio, long long now_ms)
{
    for (long long next; (next = radio_next_ms(radio)) >= 0 && next <= now_ms;) {
        bool event_due = radio.event_count > 0 && radio.events[0].at_ms == next;
        if (radio.hangup_due_ms == next)
            hang_up(radio);
        else if (radio.noise_at_ms == next)
            send_noise(radio);
        else if (event_due)
            run_event(radio, next);
        else
            take_frame(radio, next);
    }
}

void stop_radio(RadioModel& radio)
{
    if (!radio.hung_up) {
        // A frame already on the line when the stop came is still logged.
        int whole = radio.received_count / FRAME * FRAME;
        for (int at = 0; at < whole; at += FRAME)
            log_bytes(radio, "rx", radio.received + at, FRAME);
        if (whole < radio.received_count)
            log_bytes(radio, "partial", radio.received + whole, radio.received_count - whole);
    }
    char line[32];
    std::snprintf(line, sizeof line, "eeprom 0004: %02X %02X\n", radio.eeprom[4], radio.eeprom[5]);
    log_text(radio, line);
}
