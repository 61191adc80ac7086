// What the serial link says when a step fails: the messages, the notes
// after them, the silent-radio hint and the port list's texts, shared by
// the platforms' implementations (link_messages.cpp has the shared part).
#pragma once

#include "serial_link.h"

// Shared by the implementations: fills the device name, prints a failure.
void name_link(SerialLink& link, int port);
void name_link_at(SerialLink& link, const char* path);
// The failing step's message with the error number, then the note for it.
void report_link_failure(const SerialLink& link, LinkStep step, int error);
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
// The port list's texts: the COM ports marked in `exists` on one line
// (returns how many), or that there is none.
int print_existing_com_ports(const bool (&exists)[MAX_PORT + 1]);
void report_no_port_found();
