// What the serial link says when a step fails: the messages, the notes after
// them, the silent-radio hint and the port list's texts. For the platforms'
// link files (and the test build of the link) alone; link_report.cpp has the
// part they share.
#pragma once

#include "serial_link.h"

// Which platform call failed; each has its own message.
enum class LinkStep { OpenDevice, ReadLineSettings, ApplyLineSettings, ApplyTimeouts, DiscardInput, WriteFrame, ReadAnswer };

// Fills the device name and clears the link's state; prints a failure.
void name_link(SerialLink& link, int port);
void name_link_at(SerialLink& link, const char* path);
// The failing step's message with the error number, then the note for it;
// false, so that a failed step ends with `return report_link_failure(...)`.
bool report_link_failure(const SerialLink& link, LinkStep step, int error);
void note_link_failure(const SerialLink& link, LinkStep step, int error);

// After each failure's message, one line on standard error: what the error
// means here and what to do. Each platform has one table of these notes.
// PortList: the ports that exist follow the note (or stand for it).
enum class NoteDetail { None, Permission, Holders, WriteFate, PortList };
struct LinkNote {
    LinkStep step;
    int error;
    NoteDetail detail;
    const char* text;  // a format given the device, then the detail; or none
};
extern const LinkNote link_notes[];
extern const int link_note_count;
// The platform's share: a detail it can find out about `device`, and its
// own text for an error.
void describe_detail(const char* device, NoteDetail detail, char* text, int size);
void describe_error(int error, char* text, int size);
// The silent-radio hint, for the stage the run is at.
void hint_silent_radio(const SerialLink& link);
// After a port that does not exist: the ports that do, on standard error,
// as the user would type them (each platform's port list). Its texts: the
// COM ports marked in `exists` on one line (returns how many), or that there
// is none.
void list_existing_ports();
int print_existing_com_ports(const bool (&exists)[MAX_PORT + 1]);
void report_no_port_found();
