// What a byte word must give, worked out apart from the tool's parser: its
// first two characters, hex digits in either case, anything else a 0 digit.
#pragma once

#include <string_view>

inline int expected_hex_digit(char c)
{
    static const char lower[] = "0123456789abcdef", upper[] = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        if (c == lower[i] || c == upper[i])
            return i;
    }
    return 0;
}

inline int expected_byte(std::string_view word)
{
    if (word.size() < 2)
        return word.empty() ? 0 : expected_hex_digit(word[0]);
    return expected_hex_digit(word[0]) * 16 + expected_hex_digit(word[1]);
}
