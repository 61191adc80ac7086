// Reports of the link's failures and its other texts, the same on every
// platform. Linux keeps the Windows calls' names ("CreateFile failed ..."):
// they are the tool's own texts, which operators and scripts know.
#include "link_report.h"
#include "operator_note.h"

#include <cctype>
#include <cstdio>
#include <cstring>

void name_link(SerialLink& link, int port)
{
    char name[16];
    std::snprintf(name, sizeof name, "COM%d:", port);
    name_link_at(link, name);
    link.port = port;
}

void name_link_at(SerialLink& link, const char* path)
{
    std::snprintf(link.name, sizeof link.name, "%s", path);
    link.device[0] = '\0';
    link.port = 0;
    link.handle = -1;
    link.hinted = false;
    link.write_due = false;
    link.write_sent = false;
    link.echo_noted = false;
    link.last_byte_us = -1;
    link.frame_sent_us = -1;
}

bool report_link_failure(const SerialLink& link, LinkStep step, int error)
{
    switch (step) {
    case LinkStep::OpenDevice:
        std::printf("CreateFile failed opening %s with error %d.\n", link.name, error);
        break;
    case LinkStep::ReadLineSettings:
        std::printf("GetCommState failed with error %d.\n", error);
        break;
    case LinkStep::ApplyLineSettings:
        std::printf("SetCommState failed with error %d.\n", error);
        break;
    case LinkStep::ApplyTimeouts:
        std::printf("SetCommTimeouts failed with error %d.\n", error);
        break;
    case LinkStep::DiscardInput:
        std::printf("PurgeComm failed with error %d.\n", error);
        break;
    case LinkStep::WriteFrame:
        std::printf("WriteFile failed with error %d.\n", error);
        break;
    case LinkStep::ReadAnswer:
        std::printf("ReadFile failed with error %d.\n", error);
        break;
    }
    note_link_failure(link, step, error);
    return false;
}

namespace {

// A failure once the write frame is out leaves the write's fate open; one
// after YES but before it leaves the radio as it was.
void describe_write_fate(const SerialLink& link, char* text, int size)
{
    if (link.write_sent)
        std::snprintf(text, static_cast<std::size_t>(size), "; the write command was out, so the radio may or may not "
                      "hold the new bytes: once the line is back, %s reads them", read_again_command(link));
    else if (link.write_due)
        std::snprintf(text, static_cast<std::size_t>(size), "; the write command was not sent, so the radio holds "
                      "what it had");
}

}  // namespace

void note_link_failure(const SerialLink& link, LinkStep step, int error)
{
    char device[MAX_DEVICE_PATH + 1];  // "COM4" rather than "COM4:" in a sentence
    std::snprintf(device, sizeof device, "%s", link.device[0] ? link.device : link.name);
    std::size_t length = std::strlen(device);
    if (length > 0 && device[length - 1] == ':')
        device[length - 1] = '\0';
    char detail[8 * MAX_DEVICE_PATH] = "";  // a command with a quoted path among them
    for (int i = 0; i < link_note_count; ++i) {
        const LinkNote& note = link_notes[i];
        if (note.step != step || note.error != error)
            continue;
        if (note.detail == NoteDetail::WriteFate)
            describe_write_fate(link, detail, sizeof detail);
        else
            describe_detail(device, note.detail, detail, sizeof detail);
        if (note.text) {
            std::fprintf(operator_notes(), note.text, device, detail);
            std::fputc('\n', operator_notes());
        }
        if (note.detail == NoteDetail::PortList)
            list_existing_ports();
        return;
    }
    describe_error(error, detail, sizeof detail);
    std::fprintf(operator_notes(), "sj: %s: %s\n", device, detail);
}

// What sj adds for the operator goes to standard error, so that the tool's
// own texts stay as they are.
int print_existing_com_ports(const bool (&exists)[MAX_PORT + 1])
{
    int listed = 0;
    for (int port = 1; port <= MAX_PORT; ++port) {
        if (exists[port])
            std::fprintf(operator_notes(), listed++ ? ", sj -%d" : "sj: ports that exist: sj -%d", port);
    }
    if (listed)
        std::fputc('\n', operator_notes());
    return listed;
}

void report_no_port_found()
{
    std::fprintf(operator_notes(), "sj: no serial port found; see \"Finding the port\" in sj's README\n");
}

namespace {

// Whether a POSIX shell takes `path` as one word as it stands.
bool is_plain_word(const char* path)
{
    for (const char* c = path; *c; ++c) {
        if (!std::isalnum(static_cast<unsigned char>(*c)) && !std::strchr("/._-+,:@%=", *c))
            return false;
    }
    return true;
}

}  // namespace

// A path the shell would split or expand is single-quoted, as it must be typed.
const char* read_again_command(const SerialLink& link)
{
    static char again[4 * MAX_DEVICE_PATH + 8];
    if (link.port > 0) {
        std::snprintf(again, sizeof again, "sj -%d", link.port);
    } else if (is_plain_word(link.name)) {
        std::snprintf(again, sizeof again, "sj %s", link.name);
    } else {
        char* out = again + std::snprintf(again, sizeof again, "sj '");
        for (const char* c = link.name; *c; ++c) {  // a name's 255 characters fit, each one quoted
            if (*c == '\'') {
                std::memcpy(out, "'\\''", 4);
                out += 4;
            } else {
                *out++ = *c;
            }
        }
        std::snprintf(out, static_cast<std::size_t>(again + sizeof again - out), "'");
    }
    return again;
}

// Once the write frame is out, a silence says nothing of the cable: the
// operator needs to know that the bytes may or may not be in the radio.
void hint_silent_radio(const SerialLink& link)
{
    if (!link.write_sent) {
        std::fprintf(operator_notes(), "sj: no answer from the radio yet. Check that it is switched on, that its CAT rate "
                                       "is 38400 baud and that the cable is in its CAT jack (the ACC jack on an FT-817). Ctrl-C stops sj.\n");
        return;
    }
    std::fprintf(operator_notes(), "sj: no answer from the radio since the write command was sent. The radio may or may "
                                   "not hold the new bytes. Ctrl-C stops sj; then %s reads them.\n",
                 read_again_command(link));
}
