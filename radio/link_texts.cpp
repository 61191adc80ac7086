// The link's texts, the same on every platform: its failures and what they
// mean, the opening's texts and the port list's. Linux
// keeps the Windows calls' names ("CreateFile failed ..."): they are the
// tool's own texts, which operators and scripts know.
#include "link_internal.h"
#include "operator_note.h"
#include "port_list.h"

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
    link.last_byte_us = -1;
}

bool record_failure(SerialLink& link, LinkStep step, int error)
{
    link.failed_step = step;
    link.error = error;
    return false;
}

bool open_failed(SerialLink& link, LinkStep step, int error)
{
    record_failure(link, step, error);
    print_failed_step(link);
    char note[LINK_NOTE_SIZE];
    bool list_ports = describe_link_failure(link, note, sizeof note);
    if (note[0])
        std::fprintf(operator_notes(), "sj: %s\n", note);
    if (list_ports)
        list_existing_ports();
    return false;
}

namespace {

// Each step's message, indexed by LinkStep; the open's names the port too.
const char* const step_messages[] = {
    "CreateFile failed opening %s with error %d.\n", "GetCommState failed with error %d.\n",
    "SetCommState failed with error %d.\n", "SetCommTimeouts failed with error %d.\n",
    "PurgeComm failed with error %d.\n", "WriteFile failed with error %d.\n", "ReadFile failed with error %d.\n"};
static_assert(sizeof step_messages / sizeof *step_messages == static_cast<int>(LinkStep::ReadLine) + 1);

}  // namespace

void print_failed_step(const SerialLink& link)
{
    const char* message = step_messages[static_cast<int>(link.failed_step)];
    if (link.failed_step == LinkStep::OpenDevice)
        std::printf(message, link.name, link.error);
    else
        std::printf(message, link.error);
}

void report_short_write(bool write_command, int written)
{
    std::printf(write_command ? "Write to the radio failed! RC = %d\n" : "Write of CAT command failed, rc = %d\n",
                written);
}

void report_link_opened(const SerialLink& link)
{
    std::printf("Serial port %s successfully reconfigured.\n\n", link.name);
}

void report_not_a_radio_line(const SerialLink& link, const char* path, const char* what)
{
    char device[2 * MAX_DEVICE_PATH + 8];  // the device behind a COM number too
    std::snprintf(device, sizeof device, std::strcmp(link.name, path) == 0 ? "%s" : "%s (%s)", link.name, path);
    std::printf("Not opening %s: it is %s, not a radio's line.\n", device, what);
    list_existing_ports();
}

// A row of the platform's table where one names the step and the error;
// the platform's own text for any other.
bool describe_link_failure(const SerialLink& link, char* text, int size)
{
    char device[MAX_DEVICE_PATH + 1];  // "COM4" rather than "COM4:" in a sentence
    std::snprintf(device, sizeof device, "%s", link.device[0] ? link.device : link.name);
    std::size_t length = std::strlen(device);
    if (length > 0 && device[length - 1] == ':')
        device[length - 1] = '\0';
    char detail[8 * MAX_DEVICE_PATH] = "";  // a command with a quoted path among them
    text[0] = '\0';
    for (int i = 0; i < link_note_count; ++i) {
        const LinkNote& note = link_notes[i];
        if (note.step != link.failed_step || note.error != link.error)
            continue;
        describe_detail(device, note.detail, detail, sizeof detail);
        if (note.text)
            std::snprintf(text, static_cast<std::size_t>(size), note.text, device, detail);
        return note.detail == NoteDetail::PortList;
    }
    describe_error(link.error, detail, sizeof detail);
    std::snprintf(text, static_cast<std::size_t>(size), "%s: %s", device, detail);
    return false;
}

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
