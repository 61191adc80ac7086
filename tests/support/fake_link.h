// A serial link for in-process tests, chosen at link time in place of the
// platform's: it records frames, hands out scripted answers and fails on request.
#pragma once

#include "cat.h"

#include <array>
#include <cstdint>
#include <vector>

using Frame = std::array<std::uint8_t, 5>;

struct FakeLinkScript {
    bool fail = false;          // fail at `fail_step` with `fail_error`
    LinkStep fail_step = LinkStep::OpenDevice;
    int fail_error = 0;
    int fail_at_frame = 1;      // for discard_input, send_frame and receive: which exchange
    int short_write_at = 0;     // the exchange whose frame is written short, 0 none
    int short_count = 4;
    int noisy_at = 0;           // the exchange before which the line never falls quiet, 0 none
    int dropped_at_wait = 0;    // the wait for a quiet line (counted from 1) that drops a byte, 0 none
    std::vector<Answer> answers;  // one per exchange; missing ones are empty
};

struct FakeLinkRecord {
    int opens = 0;
    int closes = 0;
    bool held = false;  // the port is open and taken exclusively; only close_link gives it back
    int receives = 0;
    int waits = 0;  // for a quiet line
    std::vector<Frame> frames;
};

extern FakeLinkScript fake_script;
extern FakeLinkRecord fake_record;

void reset_fake_link();
