// Run under Wine (or on Windows): the CAT line settings must change exactly
// the DCB fields they name and keep every other bit and byte of the port's.
// Given a port number, it opens that port as sj does and reads back what
// the port then holds: the line settings and the time-outs.
#include "serial_link_win32.h"
#include "cat.h"
#include "link_internal.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace {

constexpr std::size_t FLAGS_AT = offsetof(DCB, BaudRate) + sizeof(DWORD);

DWORD flag_word(const DCB& dcb)
{
    DWORD word;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&dcb) + FLAGS_AT, sizeof word);
    return word;
}

// True when every byte outside the fields the settings own is as before.
bool rest_unchanged(const DCB& before, const DCB& after)
{
    const unsigned char* a = reinterpret_cast<const unsigned char*>(&before);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&after);
    for (std::size_t i = 0; i < sizeof(DCB); ++i) {
        bool owned = (i >= offsetof(DCB, BaudRate) && i < FLAGS_AT + sizeof(DWORD)) ||
                     i == offsetof(DCB, ByteSize) || i == offsetof(DCB, Parity) || i == offsetof(DCB, StopBits);
        if (!owned && a[i] != b[i])
            return false;
    }
    return true;
}

// 1 for a failure, after saying what it was.
int check(bool ok, const char* what)
{
    if (!ok)
        std::printf("FAIL: %s\n", what);
    return ok ? 0 : 1;
}

int check_open_port(int port)
{
    SerialLink link;
    if (!open_link(link, port))
        return 1;
    HANDLE handle = reinterpret_cast<HANDLE>(link.handle);
    COMMTIMEOUTS t = {};
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    int failed = check(GetCommTimeouts(handle, &t) && GetCommState(handle, &dcb), "reading back");
    failed += check(t.ReadIntervalTimeout == 100 && t.ReadTotalTimeoutMultiplier == 0 &&
                        t.ReadTotalTimeoutConstant == 0 && t.WriteTotalTimeoutMultiplier == 0 &&
                        t.WriteTotalTimeoutConstant == 0, "time-outs");
    failed += check(dcb.BaudRate == 38400 && dcb.ByteSize == 8 && dcb.Parity == NOPARITY &&
                        dcb.StopBits == TWOSTOPBITS, "38400 8N2");
    // Wine reads DTR and RTS control back as enabled from a pty whatever was
    // set; the table above checks what sj sets.
    failed += check(!dcb.fOutxCtsFlow && !dcb.fOutxDsrFlow && !dcb.fOutX && !dcb.fInX, "no flow control");
    // The failures that cannot be made here, as the CAT layer reports them:
    // two of the open's, then each step after it with an error of the notes'
    // table and one that no row names, before the write frame and after it.
    for (int error : {31, 433}) {
        record_failure(link, LinkStep::OpenDevice, error);
        report_link_failure(link, RunStage{});
    }
    for (WriteStage write : {WriteStage::Due, WriteStage::Sent}) {
        for (int error : {ERROR_OPERATION_ABORTED, ERROR_INVALID_HANDLE}) {
            for (LinkStep step : {LinkStep::DiscardInput, LinkStep::WriteFrame, LinkStep::ReadLine}) {
                RunStage stage;
                stage.write = write;
                record_failure(link, step, error);
                report_link_failure(link, stage);
            }
        }
    }
    close_link(link);
    std::printf("%d passed, %d failed\n", 4 - failed, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2)
        return check_open_port(std::atoi(argv[1]));
    const DWORD starts[] = {0x00000000, 0xFFFFFFFF, 0x00000002, 0x00003B7C, 0x00004080,
                            0xAAAAAAAA, 0x55555555, 0x12345678, 0x00000400, 0xFFFF8000};
    int passed = 0, failed = 0;
    for (DWORD start : starts) {
        for (int fill : {0x00, 0xA5, 0xFF}) {
            DCB dcb;
            std::memset(&dcb, fill, sizeof dcb);
            std::memcpy(reinterpret_cast<unsigned char*>(&dcb) + FLAGS_AT, &start, sizeof start);
            DCB before = dcb;
            apply_cat_line_settings(dcb);
            DWORD expected = (start | 1) & 0xFFFFC483;
            bool ok = flag_word(dcb) == expected && dcb.BaudRate == 38400 && dcb.ByteSize == 8 && dcb.Parity == 0 &&
                      dcb.StopBits == 2 && rest_unchanged(before, dcb);
            if (!ok)
                std::printf("FAIL: start %08lX fill %02X gave %08lX, expected %08lX\n", static_cast<unsigned long>(start),
                            fill, static_cast<unsigned long>(flag_word(dcb)), static_cast<unsigned long>(expected));
            ok ? ++passed : ++failed;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
