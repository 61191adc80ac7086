// Run under Wine (or on Windows): the CAT line settings must change exactly
// the DCB fields they name and keep every other bit and byte of the port's.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>

void apply_cat_line_settings(DCB& dcb);

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

}  // namespace

int main()
{
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
