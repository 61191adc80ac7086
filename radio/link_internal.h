// What the link's files share (the test build of the link too): naming,
// the opening's texts, and the notes after a failure, a table a platform.
#pragma once

#include "link_failure.h"

// A fresh link of that name: nothing open, no byte seen.
void name_link(SerialLink& link, int port);
void name_link_at(SerialLink& link, const char* path);

// Notes the failed step in the link (false); an open's is also reported.
bool record_failure(SerialLink& link, LinkStep step, int error);
bool open_failed(SerialLink& link, LinkStep step, int error);

// The opening's texts: the port is ready, or it is the terminal or the
// console (`what`) behind `path`, not touched, and the ports that exist.
void report_link_opened(const SerialLink& link);
void report_not_a_radio_line(const SerialLink& link, const char* path, const char* what);

// What an error means here and what to do, a table a platform. PortList:
// the ports that exist follow the note (or stand for it).
enum class NoteDetail { None, Permission, Holders, PortList };
struct LinkNote {
    LinkStep step;
    int error;
    NoteDetail detail;
    const char* text;  // a format given the device, then the detail; or none
};
extern const LinkNote link_notes[];
extern const int link_note_count;

// The platform's share: a detail it can find out about `device`.
void describe_detail(const char* device, NoteDetail detail, char* text, int size);
