// The serial link on Windows, over the Win32 serial functions of kernel32.
#include "serial_link_win32.h"
#include "link_report.h"

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
        return report_link_failure(link, LinkStep::OpenDevice, last_error());
    link.handle = reinterpret_cast<std::intptr_t>(handle);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        return report_link_failure(link, LinkStep::ReadLineSettings, last_error());
    apply_cat_line_settings(dcb);
    if (!SetCommState(handle, &dcb))
        return report_link_failure(link, LinkStep::ApplyLineSettings, last_error());
    // No overall limit: wait for the first byte, then end after a 100 ms gap.
    COMMTIMEOUTS timeouts = {.ReadIntervalTimeout = READ_GAP_MS,
                             .ReadTotalTimeoutMultiplier = 0,
                             .ReadTotalTimeoutConstant = 0,
                             .WriteTotalTimeoutMultiplier = 0,
                             .WriteTotalTimeoutConstant = 0};
    if (!SetCommTimeouts(handle, &timeouts))
        return report_link_failure(link, LinkStep::ApplyTimeouts, last_error());
    std::printf("Serial port %s successfully reconfigured.\n\n", link.name);
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

namespace {

long long now_us()
{
    return static_cast<long long>(GetTickCount64()) * 1000;
}

// How many bytes wait in the port's input; -1 after printing the failure
// (a port that went away is no quiet line).
long long bytes_waiting(const SerialLink& link)
{
    DWORD errors = 0;
    COMSTAT status = {};
    if (ClearCommError(handle_of(link), &errors, &status))
        return status.cbInQue;
    report_link_failure(link, LinkStep::ReadAnswer, last_error());
    return -1;
}

}  // namespace

// ReadFile's time-outs stay those of the read rule: the input queue is
// looked at every 10 ms instead, and what comes is counted and dropped.
LineWait wait_for_quiet_line(SerialLink& link, int quiet_ms, int& dropped)
{
    if (link.last_byte_us < 0)
        link.last_byte_us = now_us();  // the open: the first command waits for a quiet line too
    long long give_up_us = now_us() + NOISY_LINE_LIMIT_MS * 1000LL;
    for (;;) {
        long long waiting = bytes_waiting(link);
        if (waiting < 0 || (waiting > 0 && !discard_input(link)))
            return LineWait::Failed;
        if (waiting > 0) {
            dropped += static_cast<int>(waiting);
            link.last_byte_us = now_us();
            if (link.last_byte_us >= give_up_us)
                return LineWait::Noisy;
        }
        if (now_us() >= link.last_byte_us + quiet_ms * 1000LL)
            return LineWait::Quiet;
        Sleep(10);
    }
}

bool discard_input(SerialLink& link)
{
    if (PurgeComm(handle_of(link), PURGE_RXCLEAR))
        return true;
    return report_link_failure(link, LinkStep::DiscardInput, last_error());
}

int send_frame(SerialLink& link, const std::uint8_t* bytes, int count)
{
    DWORD written = 0;
    if (!WriteFile(handle_of(link), bytes, static_cast<DWORD>(count), &written, nullptr)) {
        report_link_failure(link, LinkStep::WriteFrame, last_error());
        return -1;
    }
    link.frame_sent_us = now_us();
    return static_cast<int>(written);
}

namespace {

// The silent-radio hint comes from a thread of its own: ReadFile blocks, and
// its time-outs are the read rule's, not to be bent for the hint.
struct SilenceWatch {
    const SerialLink* link = nullptr;
    HANDLE answered = nullptr;  // set once ReadFile has returned
    HANDLE thread = nullptr;
    bool hinted = false;
};

DWORD WINAPI hint_unless_answered(void* context)
{
    SilenceWatch& watch = *static_cast<SilenceWatch*>(context);
    if (WaitForSingleObject(watch.answered, SILENCE_HINT_MS) == WAIT_TIMEOUT) {
        hint_silent_radio(*watch.link);
        watch.hinted = true;
    }
    return 0;
}

// Without an event or a thread there is no hint; the read goes on all the same.
void start_watch(SilenceWatch& watch)
{
    watch.answered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (watch.answered)
        watch.thread = CreateThread(nullptr, 0, hint_unless_answered, &watch, 0, nullptr);
}

void stop_watch(SilenceWatch& watch)
{
    if (watch.thread) {
        SetEvent(watch.answered);
        WaitForSingleObject(watch.thread, INFINITE);
        CloseHandle(watch.thread);
    }
    if (watch.answered)
        CloseHandle(watch.answered);
}

}  // namespace

int receive(SerialLink& link, std::uint8_t* buffer, int size)
{
    SilenceWatch watch;
    watch.link = &link;
    if (!link.hinted)
        start_watch(watch);
    DWORD got = 0;
    BOOL read = ReadFile(handle_of(link), buffer, static_cast<DWORD>(size), &got, nullptr);
    int error = last_error();
    stop_watch(watch);
    link.hinted = link.hinted || watch.hinted;
    if (!read) {
        report_link_failure(link, LinkStep::ReadAnswer, error);
        return -1;
    }
    // A read short of `size` ended with the gap: its last byte came that much earlier.
    if (got > 0)
        link.last_byte_us = now_us() - (static_cast<int>(got) < size ? READ_GAP_MS * 1000LL : 0);
    return static_cast<int>(got);
}

// A handle opened without sharing is given back by its close alone.
void release_link(SerialLink& /*link*/) {}

void close_link(SerialLink& link)
{
    CloseHandle(handle_of(link));
    link.handle = -1;
}
