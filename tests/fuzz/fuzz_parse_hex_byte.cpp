// Any word gives a byte, decided by its first two characters alone.
#include "sj.h"

#include <cstdlib>
#include <cstring>

namespace {

int digit(char c)
{
    const char* hex = "0123456789abcdef";
    const char* upper = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        if (c == hex[i] || c == upper[i])
            return i;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    char* word = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(word, data, size);
    word[size] = '\0';
    std::size_t length = std::strlen(word);
    int expected = length == 0 ? 0 : length == 1 ? digit(word[0]) : digit(word[0]) * 16 + digit(word[1]);
    if (parse_hex_byte(word) != expected)
        std::abort();
    std::free(word);
    return 0;
}
