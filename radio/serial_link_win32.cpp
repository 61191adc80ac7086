// The serial link on Windows, over the Win32 serial functions of kernel32.
// The only file of the tool that sees the Windows headers.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "serial_link.h"

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

// The CAT line: 38400 8N2, no flow control, DTR and RTS held inactive.
// Every field not named here keeps what the port reported.
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

bool open_link(SerialLink& link, int port)
{
    name_link(link, port);
    HANDLE handle = CreateFileA(link.name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        report_link_failure(link, LinkStep::OpenDevice, last_error());
        return false;
    }
    link.handle = reinterpret_cast<std::intptr_t>(handle);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb)) {
        report_link_failure(link, LinkStep::ReadLineSettings, last_error());
        return false;
    }
    apply_cat_line_settings(dcb);
    if (!SetCommState(handle, &dcb)) {
        report_link_failure(link, LinkStep::ApplyLineSettings, last_error());
        return false;
    }
    // No overall limit: wait for the first byte, then end after a 100 ms gap.
    COMMTIMEOUTS timeouts = {.ReadIntervalTimeout = 100,
                             .ReadTotalTimeoutMultiplier = 0,
                             .ReadTotalTimeoutConstant = 0,
                             .WriteTotalTimeoutMultiplier = 0,
                             .WriteTotalTimeoutConstant = 0};
    if (!SetCommTimeouts(handle, &timeouts)) {
        report_link_failure(link, LinkStep::ApplyTimeouts, last_error());
        return false;
    }
    std::printf("Serial port %s successfully reconfigured.\n\n", link.name);
    return true;
}

int send_frame(SerialLink& link, const std::uint8_t* bytes, int count)
{
    DWORD written = 0;
    if (!WriteFile(handle_of(link), bytes, static_cast<DWORD>(count), &written, nullptr)) {
        report_link_failure(link, LinkStep::WriteFrame, last_error());
        return -1;
    }
    return static_cast<int>(written);
}

int receive(SerialLink& link, std::uint8_t* buffer, int size)
{
    DWORD got = 0;
    if (!ReadFile(handle_of(link), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        report_link_failure(link, LinkStep::ReadAnswer, last_error());
        return -1;
    }
    return static_cast<int>(got);
}

void close_link(SerialLink& link)
{
    CloseHandle(handle_of(link));
    link.handle = -1;
}
