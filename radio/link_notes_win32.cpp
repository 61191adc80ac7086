// What a link failure means on Windows and what to do next: the table of
// notes, and Windows' own text for any other error.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "link_internal.h"
#include "operator_note.h"

#include <cstdio>

namespace {

constexpr int NO_SUCH_DEVICE = 433;  // ERROR_NO_SUCH_DEVICE, which mingw-w64's headers do not name
const char* const went_away = "%s went away: the cable was pulled or the adapter was reset";

}  // namespace

const LinkNote link_notes[] = {
    {LinkStep::OpenDevice, ERROR_FILE_NOT_FOUND, NoteDetail::PortList, nullptr},
    {LinkStep::OpenDevice, ERROR_ACCESS_DENIED, NoteDetail::None,
     "another program has %s open (Windows gives a COM port to one program at a time)%s; close it and run sj again"},
    {LinkStep::OpenDevice, ERROR_GEN_FAILURE, NoteDetail::None, "%s is a device that does not work%s: often a USB "
     "adapter whose driver refuses its chip, as with PL2303 clones; Device Manager says more"},
    {LinkStep::OpenDevice, NO_SUCH_DEVICE, NoteDetail::None, "the adapter behind %s is not there%s: it was unplugged"},
    {LinkStep::OpenDevice, ERROR_DEVICE_NOT_CONNECTED, NoteDetail::None, "the adapter behind %s is not there%s: it was unplugged"},
    {LinkStep::DiscardInput, ERROR_NOT_READY, NoteDetail::None, went_away},
    {LinkStep::DiscardInput, ERROR_BAD_COMMAND, NoteDetail::None, went_away},
    {LinkStep::DiscardInput, ERROR_GEN_FAILURE, NoteDetail::None, went_away},
    {LinkStep::DiscardInput, ERROR_OPERATION_ABORTED, NoteDetail::None, went_away},
    {LinkStep::DiscardInput, ERROR_DEVICE_NOT_CONNECTED, NoteDetail::None, went_away},
    {LinkStep::WriteFrame, ERROR_BAD_COMMAND, NoteDetail::None, went_away},
    {LinkStep::WriteFrame, ERROR_GEN_FAILURE, NoteDetail::None, went_away},
    {LinkStep::WriteFrame, ERROR_OPERATION_ABORTED, NoteDetail::None, went_away},
    {LinkStep::WriteFrame, ERROR_DEVICE_NOT_CONNECTED, NoteDetail::None, went_away},
    {LinkStep::ReadLine, ERROR_NOT_READY, NoteDetail::None, went_away},  // a hang-up, as Wine tells it
    {LinkStep::ReadLine, ERROR_BAD_COMMAND, NoteDetail::None, went_away},
    {LinkStep::ReadLine, ERROR_GEN_FAILURE, NoteDetail::None, went_away},
    {LinkStep::ReadLine, ERROR_OPERATION_ABORTED, NoteDetail::None, went_away},
    {LinkStep::ReadLine, ERROR_DEVICE_NOT_CONNECTED, NoteDetail::None, went_away},
};
const int link_note_count = sizeof link_notes / sizeof *link_notes;

void describe_detail(const char* /*device*/, NoteDetail /*detail*/, char* /*text*/, int /*size*/) {}

void describe_error(int error, char* text, int size)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(error), 0, text, static_cast<DWORD>(size), nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
        text[--length] = '\0';  // Windows ends its texts with a line break
    if (length == 0)
        std::snprintf(text, static_cast<std::size_t>(size), "error %d", error);
}
