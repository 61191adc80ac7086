// The test build of the serial link (see fake_link.h).
#include "fake_link.h"
#include "link_internal.h"
#include "operator_note.h"

#include <cstdio>

FakeLinkScript fake_script;
FakeLinkRecord fake_record;

void reset_fake_link()
{
    fake_script = FakeLinkScript{};
    fake_record = FakeLinkRecord{};
}

namespace {

bool fails_now(LinkStep step, int exchange = 1)
{
    return fake_script.fail && fake_script.fail_step == step && fake_script.fail_at_frame == exchange;
}

// As the platforms' links do, the device is open (and taken) once the
// first step has passed, and a later step's failure leaves it so.
bool open_named(SerialLink& link)
{
    ++fake_record.opens;
    for (LinkStep step : {LinkStep::OpenDevice, LinkStep::ReadLineSettings, LinkStep::ApplyLineSettings,
                          LinkStep::ApplyTimeouts}) {
        if (fails_now(step))
            return open_failed(link, step, fake_script.fail_error);
        link.handle = 3;
        fake_record.held = true;
    }
    report_link_opened(link);
    return true;
}

}  // namespace

bool open_link(SerialLink& link, int port)
{
    name_link(link, port);
    return open_named(link);
}

bool open_link_at(SerialLink& link, const char* path)
{
    name_link_at(link, path);
    return open_named(link);
}

LineWait wait_for_quiet_line(SerialLink& /*link*/, int /*quiet_ms*/, int& dropped)
{
    dropped += ++fake_record.waits == fake_script.dropped_at_wait;
    bool noisy = static_cast<int>(fake_record.frames.size()) + 1 == fake_script.noisy_at;
    return noisy ? LineWait::Noisy : LineWait::Quiet;
}

bool discard_input(SerialLink& link)
{
    int exchange = static_cast<int>(fake_record.frames.size()) + 1;
    return !fails_now(LinkStep::DiscardInput, exchange) ||
           record_failure(link, LinkStep::DiscardInput, fake_script.fail_error);
}

int send_frame(SerialLink& link, const std::uint8_t* bytes, int count)
{
    int exchange = static_cast<int>(fake_record.frames.size()) + 1;
    if (fails_now(LinkStep::WriteFrame, exchange)) {
        record_failure(link, LinkStep::WriteFrame, fake_script.fail_error);
        return -1;
    }
    Frame frame{};
    for (int i = 0; i < count && i < 5; ++i)
        frame[i] = bytes[i];
    fake_record.frames.push_back(frame);
    return exchange == fake_script.short_write_at ? fake_script.short_count : count;
}

int receive(SerialLink& link, std::uint8_t* buffer, int size, SilenceNote& /*silence*/)
{
    int exchange = ++fake_record.receives;
    if (fails_now(LinkStep::ReadLine, exchange)) {
        record_failure(link, LinkStep::ReadLine, fake_script.fail_error);
        return -1;
    }
    if (exchange > static_cast<int>(fake_script.answers.size()))
        return 0;
    const Answer& answer = fake_script.answers[exchange - 1];
    // The whole buffer is filled: bytes past the count must not be taken.
    for (int i = 0; i < size && i < 4; ++i)
        buffer[i] = answer.bytes[i];
    return answer.count < size ? answer.count : size;
}

void close_link(SerialLink& link)
{
    if (link.handle == -1)
        return;
    ++fake_record.closes;
    fake_record.held = false;
    link.handle = -1;
}

// Where the real link lists the ports that exist, a line that says so.
void list_existing_ports()
{
    std::fprintf(operator_notes(), "(the ports that exist)\n");
}
