// Whatever the operator types, the answer is yes only when the line starts
// with the three characters YES.
#include "write_dialogue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;  // fmemopen wants a buffer
    std::FILE* input = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
    if (!input)
        return 0;
    bool yes = answer_is_yes(input);
    std::fclose(input);
    bool expected = size >= 3 && std::memcmp(data, "YES", 3) == 0;
    if (yes != expected)
        std::abort();
    return 0;
}
