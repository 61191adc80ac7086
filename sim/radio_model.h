// A simulated FT-817 apart from any clock or line: told which bytes reached
// it and when, it says which bytes it sends and when, and when it hangs up.
// simradio runs it on real time on a pseudo-terminal; the tests on a
// scripted clock, in process.
#pragma once

constexpr int MAX_LIST = 16;
constexpr int MAX_TAIL = 32;
constexpr int MAX_EVENTS = 256;    // a frame's answer, echo and tail sent a byte at a time: 45
constexpr int MAX_RECEIVED = 256;  // bytes from sj the radio has not taken yet; more are lost
constexpr int MAX_SENT = 1024;     // bytes for the line that the driver has not taken yet
constexpr int MAX_LOG = 8192;      // log text the driver has not taken yet; more is lost

// Bytes sent beside the answers: pending, a tail, a stray.
struct Tail {
    unsigned char bytes[MAX_TAIL];
    int count = 0;
};

struct RadioOptions {
    int byte4 = 0xD8, byte5 = 0xBF;
    bool silent = false;
    int refuse = -1;       // status byte for refused writes, -1 accepts
    int length = -1;       // bytes per answer, -1 for the natural length
    int lengths[MAX_LIST];
    int lengths_count = 0;
    bool garbage = false;
    int gap_ms = 0;
    int delay_ms = 0;
    int delays[MAX_LIST];
    int delays_count = 0;
    int noise_ms = 0;      // 0: no noise
    int hangup_after = 0;  // 0 never hangs up
    int stores[2] = {-1, -1};  // bytes stored by an accepted write, -1: those written
    bool echo = false;
    int echo_length = 5;     // bytes of each frame echoed
    int echo_pause_ms = 0;   // after the second echoed byte
    Tail pending;            // on the line before any client
    int pending_after_ms = 0;  // or sent this long after the start, as a stray
    Tail write_tail;  // after a write's answer
    Tail read_tail;   // after a read's answer
    int tail_gap_ms = 0;
    int hangup_at_frame = 0;  // with hangup_at_ms: a hang-up at a time after that frame
    int hangup_at_ms = 0;
    Tail stray;
    int stray_after_ms = 0;
    int stray_frame = 0;      // 0: after every frame
};

// The options simradio takes, from argv[1] on; `link` gets the one word
// that is no option, `log` the --log file. False for anything else.
bool parse_radio_options(int argc, char** argv, RadioOptions& options, const char*& link, const char*& log);

// Something the radio does at a time: sends bytes, notes that a frame's
// answer is out, or looks whether a frame waits. (A hang-up is kept apart,
// in hangup_due_ms: it ends all that is still to come.)
enum class Act { Send, Answered, TailCheck };
struct RadioEvent {
    long long at_ms;
    Act act;
    Tail bytes;
    const char* log_as;  // the log line's start, or null; it names `logged`
    int rank;            // at the same time, the lower rank goes first
    Tail logged;
};

struct RadioModel {
    RadioOptions options;
    unsigned char eeprom[65536];
    unsigned char received[MAX_RECEIVED];  // bytes not yet taken as a frame
    long long received_at[MAX_RECEIVED];
    int received_count;
    RadioEvent events[MAX_EVENTS];         // in time order
    int event_count;
    long long busy_until_ms;               // the answer under way keeps the next frame waiting
    long long hangup_due_ms;               // scheduled, -1 for none; done once hung_up
    long long noise_at_ms;                 // -1 for none
    bool hung_up;
    bool answered;                         // the last frame's answer has gone out
    int frames;
    char log[MAX_LOG];                     // as simradio logs it, NUL-terminated
    int log_length;
    unsigned char sent[MAX_SENT];          // bytes due on the line, since the driver last took them
    int sent_count;
};

// The radio from `now_ms` on: its EEPROM, the pending bytes, the noise.
void start_radio(RadioModel& radio, const RadioOptions& options, long long now_ms);
// Bytes from sj that reached the radio at `now_ms`.
void radio_receives(RadioModel& radio, const unsigned char* bytes, int count, long long now_ms);
// Does all that falls due up to `now_ms`; what it sends lands in `sent`.
void advance_radio(RadioModel& radio, long long now_ms);
// When something next falls due, -1 for nothing.
long long radio_next_ms(const RadioModel& radio);
// The end of a run: frames still waiting are logged, then the EEPROM.
void stop_radio(RadioModel& radio);
