// The serial link on Windows, over the Win32 serial functions of kernel32.
#include "serial_link_win32.h"
#include "link_internal.h"
#include "operator_note.h"

#include <cstdio>

namespace {

HANDLE handle_of(const SerialLink& link)
{
    return reinterpret_cast<HANDLE>(link.handle);
}

int last_error()
{
    return static_cast<int>(GetLastError());
}

}  // namespace

void apply_cat_line_settings(DCB& dcb)
{
    dcb.BaudRate = 38400;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fBinary = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
}

namespace {

// The steps after the name: `device` is what CreateFileA is given.
bool open_device(SerialLink& link, const char* device)
{
    HANDLE handle = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return open_failed(link, LinkStep::OpenDevice, last_error());
    link.handle = reinterpret_cast<std::intptr_t>(handle);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        return open_failed(link, LinkStep::ReadLineSettings, last_error());  // run_sj closes the port
    apply_cat_line_settings(dcb);
    if (!SetCommState(handle, &dcb))
        return open_failed(link, LinkStep::ApplyLineSettings, last_error());
    // No overall limit: wait for the first byte, then end after a 100 ms gap.
    COMMTIMEOUTS timeouts = {.ReadIntervalTimeout = READ_GAP_MS,
                             .ReadTotalTimeoutMultiplier = 0,
                             .ReadTotalTimeoutConstant = 0,
                             .WriteTotalTimeoutMultiplier = 0,
                             .WriteTotalTimeoutConstant = 0};
    if (!SetCommTimeouts(handle, &timeouts))
        return open_failed(link, LinkStep::ApplyTimeouts, last_error());
    report_link_opened(link);
    return true;
}

}  // namespace

bool open_link(SerialLink& link, int port)
{
    name_link(link, port);
    // CreateFileA knows only COM1 to COM9 by their plain names; the others
    // are reached through the device namespace.
    char device[16];
    if (port < 10)
        std::snprintf(device, sizeof device, "%s", link.name);
    else
        std::snprintf(device, sizeof device, "\\\\.\\COM%d", port);
    return open_device(link, device);
}

bool open_link_at(SerialLink& link, const char* path)
{
    name_link_at(link, path);
    return open_device(link, path);
}

// The tick count since boot, which no one sets.
long long link_clock_us()
{
    return static_cast<long long>(GetTickCount64()) * 1000;
}

namespace {

// How many bytes wait in the port's input; -1 after a failure (a port that
// went away is no quiet line).
long long bytes_waiting(SerialLink& link)
{
    DWORD errors = 0;
    COMSTAT status = {};
    if (ClearCommError(handle_of(link), &errors, &status))
        return status.cbInQue;
    record_failure(link, LinkStep::ReadLine, last_error());
    return -1;
}

}  // namespace

// ReadFile's time-outs stay those of the read rule: the input queue is
// looked at every 10 ms instead, and what comes is counted and dropped.
LineWait wait_for_quiet_line(SerialLink& link, int quiet_ms, int& dropped)
{
    if (link.last_byte_us < 0)
        link.last_byte_us = link_clock_us();  // the open: the first command waits for a quiet line too
    long long give_up_us = link_clock_us() + NOISY_LINE_LIMIT_MS * 1000LL;
    for (;;) {
        long long waiting = bytes_waiting(link);
        if (waiting < 0 || (waiting > 0 && !discard_input(link)))
            return LineWait::Failed;
        if (waiting > 0) {
            dropped += static_cast<int>(waiting);
            link.last_byte_us = link_clock_us();
            if (link.last_byte_us >= give_up_us)
                return LineWait::Noisy;
        }
        if (link_clock_us() >= link.last_byte_us + quiet_ms * 1000LL)
            return LineWait::Quiet;
        Sleep(10);
    }
}

bool discard_input(SerialLink& link)
{
    return PurgeComm(handle_of(link), PURGE_RXCLEAR) || record_failure(link, LinkStep::DiscardInput, last_error());
}

int send_frame(SerialLink& link, const std::uint8_t* bytes, int count)
{
    DWORD written = 0;
    if (WriteFile(handle_of(link), bytes, static_cast<DWORD>(count), &written, nullptr))
        return static_cast<int>(written);
    record_failure(link, LinkStep::WriteFrame, last_error());
    return -1;
}

namespace {

// The silence note comes from a thread of its own: ReadFile blocks, and
// its time-outs are the read rule's, not to be bent for the note.
struct SilenceWatch {
    SilenceNote* silence;
    HANDLE answered;  // set once ReadFile has returned
};

DWORD WINAPI note_unless_answered(void* context)
{
    SilenceWatch& watch = *static_cast<SilenceWatch*>(context);
    if (WaitForSingleObject(watch.answered, SILENCE_HINT_MS) == WAIT_TIMEOUT) {
        std::fprintf(operator_notes(), "%s", watch.silence->text);  // Wine holds back an fputs to stderr
        watch.silence->given = true;
    }
    return 0;
}

}  // namespace

// Without an event or a thread there is no note; the read goes on all the same.
int receive(SerialLink& link, std::uint8_t* buffer, int size, SilenceNote& silence)
{
    SilenceWatch watch = {&silence, nullptr};
    HANDLE thread = nullptr;
    if (silence.text && !silence.given && (watch.answered = CreateEventA(nullptr, TRUE, FALSE, nullptr)))
        thread = CreateThread(nullptr, 0, note_unless_answered, &watch, 0, nullptr);
    DWORD got = 0;
    BOOL read = ReadFile(handle_of(link), buffer, static_cast<DWORD>(size), &got, nullptr);
    int error = last_error();
    if (thread) {
        SetEvent(watch.answered);
        WaitForSingleObject(thread, INFINITE);  // then `given` is as the thread left it
        CloseHandle(thread);
    }
    if (watch.answered)
        CloseHandle(watch.answered);
    if (!read) {
        record_failure(link, LinkStep::ReadLine, error);
        return -1;
    }
    // A read short of `size` ended with the gap: its last byte came that much earlier.
    if (got > 0)
        link.last_byte_us = link_clock_us() - (static_cast<int>(got) < size ? READ_GAP_MS * 1000LL : 0);
    return static_cast<int>(got);
}

// A handle opened without sharing is given back by its close alone.
void close_link(SerialLink& link)
{
    if (link.handle == -1)
        return;
    CloseHandle(handle_of(link));
    link.handle = -1;
}
